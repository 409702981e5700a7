#!/usr/bin/env bash
# Compares the dynamic symbols that libvornoledb.so exports with the checked-in list
# (src/library/exported-symbols.txt). A difference changes what programs linked against
# SONAME 1 may rely on: either it is a mistake, or the list is updated on purpose with
#   scripts/check-exports.sh BUILD_DIR --update
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
list=src/library/exported-symbols.txt
lib=$(find "$build" -maxdepth 1 -name 'libvornoledb.so.*.*' | head -n1)
if [ -z "$lib" ]; then
  echo "check-exports: no libvornoledb.so.* in $build" >&2
  exit 1
fi
current=$(nm -D --defined-only -C "$lib" | cut -d' ' -f3- | LC_ALL=C sort -u)
if [ "${2:-}" = "--update" ]; then
  printf '%s\n' "$current" > "$list"
  echo "check-exports: wrote $(wc -l < "$list") symbols to $list"
  exit 0
fi
if ! diff -u "$list" <(printf '%s\n' "$current"); then
  echo "check-exports: $lib exports other symbols than $list (lines with - are gone, + are new)" >&2
  exit 1
fi
echo "check-exports: $(wc -l < "$list") exported symbols, as listed"
