#!/bin/sh
# demo.sh [SIM OPTIONS]: installs whatever is missing, builds the Windows module, the stand-in host
# and the simulated game, and plays the demo session in a fresh game folder (build/demo-game)
# under Wine. Options go to maneshade-sim (for example --realtime, or --trace trace.jsonl).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake --preset mingw-release >/dev/null
cmake --build --preset mingw-release -j2 --target maneshade_module maneshade-sim

game="$root/build/demo-game"
rm -rf "$game"
mkdir -p "$game"
cp "$root/build/mingw-release/bin/ManeShade.asi" "$game/"
cd "$game"
exec "$root/cmake/wine-run.sh" "$root/build/mingw-release/wineprefix" "$root/build/mingw-release/bin/maneshade-sim.exe" "$@"
