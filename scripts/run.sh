#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it with the simulated instrument.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target KestrimaIII
exec build/bin/KestrimaIII "$@"
