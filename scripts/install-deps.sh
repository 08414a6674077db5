#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, only those missing.
set -euo pipefail
pkgs=(
  cmake ninja-build g++ ccache pkg-config git clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libqt6printsupport6 libgl-dev
  libqt6sql6-sqlite libqt6sql6-odbc
  libsqlite3-dev sqlite3
  unixodbc unixodbc-dev odbcinst tdsodbc libsqliteodbc
  postgresql-15 odbc-postgresql libqt6sql6-psql
  libgtest-dev googletest qt6-pdf-dev
  fonts-dejavu-core fonts-liberation
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Instalando pacotes: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Rode como root ou instale sudo: faltam ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
