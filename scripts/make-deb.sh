#!/usr/bin/env bash
# Builds the Debian package (Release, no tests, prefix /usr) in build-deb/, checks the module's
# shipped surface, runs lintian on the package, installs it on this machine, has a throwaway
# login of the till's group (not root) open the screen and sell with a receipt, and purges it.
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

# The smoke test installs the package for real, so that its maintainer scripts run, and uses it
# as a till does: a login of the till's group, not root, opens the demo, loads a list and sells
# with a receipt. The purge at the end must take the group and the state folder with it.
if [ "$(id -u)" -ne 0 ]; then
  echo "O teste de fumaça instala o pacote nesta máquina: rode como root (ou com sudo)." >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' lista-presenca 2>/dev/null | grep -q "ok installed"; then
  echo "lista-presenca já está instalado aqui; o teste instala e expurga o pacote:" \
    "remova-o antes (dpkg --purge lista-presenca)." >&2
  exit 1
fi
exec 9>/run/lock/lista-presenca-fumaca.lock
flock -w 600 9 || { echo "Outro teste de fumaça do pacote não terminou em 10 minutos." >&2; exit 1; }
for g in /var/lib/listapresenca /usr/lib/listapresenca; do
  [ ! -e "$g" ] || { echo "$g já existe nesta máquina; o teste precisa dela limpa." >&2; exit 1; }
done
scratch=$(mktemp -d)
chmod 755 "$scratch"  # the till's login works in it
usuario="lpfumaca$$"
limpa() {
  userdel "$usuario" 2>/dev/null || true
  dpkg --purge lista-presenca > /dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap limpa EXIT
echo "== instalação (apt-get install $deb)"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" > /dev/null
getent group listapresenca > /dev/null || { echo "O pacote não criou o grupo listapresenca." >&2; exit 1; }
[ "$(stat -c '%U:%G %a' /var/lib/listapresenca)" = "root:listapresenca 2775" ] || {
  echo "/var/lib/listapresenca: $(stat -c '%U:%G %a' /var/lib/listapresenca)," \
    "esperado root:listapresenca 2775." >&2; exit 1; }
useradd --no-create-home --home-dir "$scratch/casa" --shell /usr/sbin/nologin \
  --groups listapresenca "$usuario"
mkdir -p "$scratch/casa" && chown "$usuario" "$scratch/casa" && chmod 700 "$scratch/casa"
touch "$scratch/antes"
como_caixa() {
  runuser -u "$usuario" -- env -i PATH=/usr/bin:/bin HOME="$scratch/casa" LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/casa" "$@"
}
echo "== o caixa ($usuario, grupo listapresenca) abre a tela"
como_caixa timeout 120 /usr/bin/pdv-host --screenshot "$scratch/casa/tela.png"
cp "$scratch/casa/tela.png" "$build/tela-instalada.png"
echo "== o caixa vende (serviço 00001, impressão automática do cupom)"
como_caixa timeout 180 /usr/bin/pdv-host --sell 00001
cupom=$(find /var/lib/listapresenca/cupons -name '*.pdf' -user "$usuario" -newer "$scratch/antes" \
  2>/dev/null | head -n 1)
[ -s "$cupom" ] || { echo "Nenhum cupom do caixa em /var/lib/listapresenca/cupons." >&2; exit 1; }
echo "Cupom: $cupom ($(stat -c '%U:%G %a' "$cupom"))"
# What one login writes stays the group's, for the next login of the till.
[ "$(stat -c '%G' "$cupom")" = listapresenca ] && [ "$(stat -c '%G %A' "$(dirname "$cupom")")" = \
  "listapresenca drwxrwsr-x" ] || { echo "O cupom ou a sua pasta não ficou do grupo:" \
  "$(stat -c '%G %A' "$(dirname "$cupom")")." >&2; exit 1; }
[ -s /var/lib/listapresenca/listapresenca.log ] || {
  echo "O registro de suporte não ficou em /var/lib/listapresenca." >&2; exit 1; }
escrito=$(find /usr/lib/listapresenca /usr/share/listapresenca /etc/listapresenca -newer "$scratch/antes" -not -type d 2>/dev/null | head -n 5)
[ -z "$escrito" ] || { echo "O caixa escreveu fora da sua pasta de estado: $escrito" >&2; exit 1; }
echo "== expurgo"
userdel "$usuario"
dpkg --purge lista-presenca > /dev/null
! getent group listapresenca > /dev/null || { echo "O expurgo deixou o grupo listapresenca." >&2; exit 1; }
for g in /var/lib/listapresenca /usr/lib/listapresenca /etc/listapresenca; do
  [ ! -e "$g" ] || { echo "O expurgo deixou $g." >&2; exit 1; }
done
! dpkg-statoverride --list | grep -q listapresenca || {
  echo "O expurgo deixou permissões registradas (dpkg-statoverride)." >&2; exit 1; }
echo "O host instalado, usado por um caixa do grupo listapresenca, abriu a tela e vendeu com cupom;" \
  "o expurgo levou o grupo e a pasta de estado: $build/tela-instalada.png"
