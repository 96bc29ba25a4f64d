#!/usr/bin/env bash
# Installs what is missing, builds everything and starts tagbench with its built-in virtual
# reader, so every page can be tried without hardware.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec ./build/bin/tagbench --demo "$@"
