#!/usr/bin/env bash
# Installs what the build needs, builds the library and runs the main job on the bundled
# sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target example_connection_string
./build/examples/connection_string "$PWD/examples/data/sample.db"
