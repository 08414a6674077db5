#!/usr/bin/env bash
# Builds, prepares the demo till (database and parameter file beside the host) and opens the
# attendance screen. Without a display the screen is rendered offscreen to a PNG.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh"
bin="${BUILD_DIR:-$root/build}/bin"
if [ ! -f "$bin/demo.db" ]; then
  "$bin/gerademo" --out "$bin/demo.db"
else
  "$bin/gerademo" --upgrade "$bin/demo.db" >/dev/null
fi
if ! ls "$bin" | grep -qi '^parametroszor\.cds$'; then
  "$bin/cdstool" param "$bin/PARAMETROSZOR.CDS" --filial 0001 --caixa 001 --esquema 001 \
    --cores 8421504,14079702,8388608,16777215,12632256,0
fi
exec "$bin/pdv-host" "$@"
