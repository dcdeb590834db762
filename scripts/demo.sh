#!/usr/bin/env bash
# Installs what is missing, builds the utility, sets up a demo KOLBAR
# installation under build/demo (program directory with KOLBAR.INI and the
# DADOS table folder) and runs insere9 there as an installed copy would run.
# Extra arguments go to insere9 (e.g. --no-pause).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FICHA_BUILD_DIR:-$root/build}
demo=$build/demo

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" --target insere9

# A fresh installation each time: the run changes KOLBAR.INI and the tables.
rm -rf "$demo"
mkdir -p "$demo/DADOS"
cp "$build/app/insere9" "$demo/insere9"
printf '%s\r\n' \
  '[Localidade]' \
  'DDD=048' \
  'Cidade=SAO JOSE' \
  'UF=SC' \
  '' \
  '[Controle]' \
  'Inst=0' >"$demo/KOLBAR.INI"

echo "Demo installation: $demo"
cd "$demo"
exec ./insere9 "$@"
