#!/usr/bin/env bash
# Installs the built library into a fresh prefix and checks it as a user of the installed
# tree would: a program built through find_package(VornOleDb) and one through pkg-config,
# the example hosts built as their own CMake project against the prefix and run, and the
# installed vornsql (with its man page) run on the installed sample.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" > /dev/null
libdir=$(dirname "$(find "$prefix/usr" -name 'libvornoledb.so' | head -n1)")

cmake -S tests/install -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix/usr" > /dev/null
cmake --build "$prefix/consumer" > /dev/null
LD_LIBRARY_PATH="$libdir" "$prefix/consumer/consumer"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
g++ -std=c++17 tests/install/consumer.cpp -o "$prefix/consumer-pc" $(pkg-config --cflags --libs vornoledb)
LD_LIBRARY_PATH="$(pkg-config --variable=libdir vornoledb)" "$prefix/consumer-pc"
echo "installed library: programs built through CMake and pkg-config ran"

# The examples, as a project of their own against the installed package; each makes what it
# needs in a temporary folder and exits 0 on success.
cmake -S examples -B "$prefix/examples" -DCMAKE_PREFIX_PATH="$prefix/usr" > /dev/null
cmake --build "$prefix/examples" -j"$(nproc)" > /dev/null
ran=0
for src in examples/*.cpp; do
  name=$(basename "$src" .cpp)
  if ! "$prefix/examples/$name" > "$prefix/example.log" 2>&1; then
    echo "example $name failed:" >&2
    cat "$prefix/example.log" >&2
    exit 1
  fi
  ran=$((ran + 1))
done
echo "installed library: $ran examples built against it ran"

# vornsql from the prefix: no library path given, it finds the library beside itself.
vornsql="$prefix/usr/bin/vornsql"
test -f "$prefix/usr/share/man/man1/vornsql.1"
"$vornsql" --version
work="$prefix/work"
mkdir -p "$work"
cp "$prefix/usr/share/vornoledb/sample.db" "$work/plant.db"
rows=$("$vornsql" --format csv --no-header "$work/plant.db" \
  "SELECT COUNT(*) FROM Parts" "SELECT COUNT(*) FROM OrderTotals")
if [ "$(echo $rows | tr -d '\r')" != "18 7" ]; then
  echo "vornsql on the installed sample gave: $rows" >&2
  exit 1
fi
"$vornsql" --format table "$work/plant.db" tables > /dev/null
"$vornsql" create "$work/new.db" > /dev/null
"$vornsql" "$work/new.db" < "$prefix/usr/share/vornoledb/sample.sql"
"$vornsql" compact "$work/new.db" > /dev/null
echo "installed vornsql: version, a query on the sample, create, a script and compact ran"
