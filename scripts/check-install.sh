#!/usr/bin/env bash
# Installs the built library into a fresh prefix and builds one program against it through
# find_package(VornOleDb) and one through pkg-config, then runs both.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" > /dev/null

cmake -S tests/install -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix/usr" > /dev/null
cmake --build "$prefix/consumer" > /dev/null
LD_LIBRARY_PATH="$prefix/usr/lib:$prefix/usr/lib/$(gcc -dumpmachine)" "$prefix/consumer/consumer"

libdir=$(dirname "$(find "$prefix/usr" -name vornoledb.pc | head -n1)")
export PKG_CONFIG_PATH="$libdir"
g++ -std=c++17 tests/install/consumer.cpp -o "$prefix/consumer-pc" $(pkg-config --cflags --libs vornoledb)
LD_LIBRARY_PATH="$(pkg-config --variable=libdir vornoledb)" "$prefix/consumer-pc"
echo "installed library: programs built through CMake and pkg-config ran"
