#!/usr/bin/env bash
# Builds the Debian package (Release, no tests, prefix /usr) in build-deb/, checks the module's
# shipped surface, runs lintian on the package, installs it into a scratch root and renders the
# screen with the installed host on the installed demo data.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-deb}"
bash "$root/scripts/install-deps.sh"
for p in lintian dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || {
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$p"; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DBUILD_BENCHMARKS=OFF -DCMAKE_INSTALL_PREFIX=/usr "$@"
cmake --build "$build" -j "$(nproc)"

# What a shipped module exports: its entry, the package entries, three globals, six functions.
esperado="Cli_Kel00815::ListaPresenca(QVariant const*, int, QVariant&)
Cli_Kel00815::boSelTudo
Cli_Kel00815::frmPresenca
Finalize
GetPackageInfoTable
Initialize
ListaPresenca
Srv_Kel00815::getCentroCusto()
Srv_Kel00815::getPresenca(QString const&, QString const&, QString const&, QString const&, QString const&)
Srv_Kel00815::getProdServ(QString const&, QString const&, QString const&)
Srv_Kel00815::getProdServTCons(QString const&, QString const&, QString const&, QString const&)
Srv_Kel00815::getServico(QString const&, QString const&)
Srv_Kel00815::getTipoCons(QString const&, QString const&, QString const&, QString const&, QDateTime const&)
Srv_Kel00815::rdmListaPresenca"
exportado=$(nm -D --defined-only "$build/bin/libPkg_Kel00815.so" | c++filt | awk '{ $1=""; $2=""; sub(/^  /, ""); print }' \
  | grep -v -E '^(_edata|_end|__bss_start)$' | LC_ALL=C sort)
if [ "$exportado" != "$(echo "$esperado" | LC_ALL=C sort)" ]; then
  echo "O módulo exporta mais (ou menos) que a sua superfície pública:" >&2
  diff <(echo "$esperado" | LC_ALL=C sort) <(echo "$exportado") >&2 || true
  exit 1
fi
echo "Superfície do módulo conferida: $(echo "$exportado" | wc -l) símbolos."

(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls -t "$build"/lista-presenca_*.deb | head -n 1)
echo "Pacote: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
echo "== lintian"
achados=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null || true)
echo "${achados:-(nada)}"
if echo "$achados" | grep -q '^E:'; then
  echo "lintian encontrou erros no pacote." >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
# The package's links to /var and /etc are absolute: inside the scratch root they are pointed at
# the scratch root's own /var and /etc, as they resolve on a till.
for f in demo.db:var/lib PARAMETROSZOR.CDS:etc; do
  nome=${f%%:*}; raiz=${f#*:}
  ln -sfn "$scratch/$raiz/listapresenca/$nome" "$scratch/usr/lib/listapresenca/$nome"
done
QT_QPA_PLATFORM=offscreen LISTAPRESENCA_REGISTRO="$scratch/registro" \
  timeout 120 "$scratch/usr/bin/pdv-host" --screenshot "$build/tela-instalada.png"
test -s "$build/tela-instalada.png"
echo "O host instalado abriu a tela com os dados instalados: $build/tela-instalada.png"
