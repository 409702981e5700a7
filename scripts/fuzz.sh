#!/usr/bin/env bash
# Builds one libFuzzer target of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs it for SECONDS, starting from the inputs its
# NAME.seeds lists and the corpus earlier runs grew (kept in build-fuzz/fuzz/NAME/corpus).
# An input that crashes is saved beside that corpus and the script exits non-zero.
#   scripts/fuzz.sh NAME SECONDS     e.g. scripts/fuzz.sh jet_translator 600
#   scripts/fuzz.sh --list           the targets
#   scripts/fuzz.sh --build          builds every target, so that several can then run at once
#                                    (VORNOLEDB_FUZZ_BUILT=1 skips the build step of a run)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
configure() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -DVORNOLEDB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVORNOLEDB_BUILD_TESTS=OFF -DVORNOLEDB_BUILD_TOOLS=OFF -DVORNOLEDB_BUILD_EXAMPLES=OFF \
      -DVORNOLEDB_BUILD_BENCH=OFF > /dev/null
  fi
}

if [ "${1:-}" = "--list" ]; then
  for f in tests/fuzz/*.cpp; do basename "$f" .cpp; done
  exit 0
fi
if [ "${1:-}" = "--build" ]; then
  configure
  targets=()
  for f in tests/fuzz/*.cpp; do targets+=(--target "fuzz_$(basename "$f" .cpp)"); done
  cmake --build "$build" -j"$(nproc)" "${targets[@]}"
  exit 0
fi
if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh NAME SECONDS   (scripts/fuzz.sh --list names the targets)" >&2
  exit 2
fi
name=$1
seconds=$2
if [ ! -f "tests/fuzz/$name.cpp" ]; then
  echo "fuzz.sh: no target '$name' (tests/fuzz/$name.cpp); the targets are:" >&2
  for f in tests/fuzz/*.cpp; do echo "  $(basename "$f" .cpp)" >&2; done
  exit 2
fi

if [ "${VORNOLEDB_FUZZ_BUILT:-}" != 1 ]; then
  configure
  cmake --build "$build" -j"$(nproc)" --target "fuzz_$name"
fi

work="$build/fuzz/$name"
rm -rf "$work/seeds"
mkdir -p "$work/corpus" "$work/seeds"
if [ -f "tests/fuzz/$name.seeds" ]; then
  python3 tests/fuzz/expand_seeds.py "tests/fuzz/$name.seeds" . "$work/seeds"
fi

# A leak or a sanitizer report ends the run as a crash does. Inputs are kept to 64 KiB and
# each must finish within 10 s.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/" \
  "$work/corpus" "$work/seeds"
