#!/usr/bin/env bash
# Installs what the build needs, builds with warnings as errors, starts a throwaway
# PostgreSQL cluster on a loopback port for the server provider's tests (stopped at the
# end, also when a test fails), runs every test, runs them again under AddressSanitizer
# and UndefinedBehaviorSanitizer, installs the library into a prefix and builds programs
# against it through CMake and through pkg-config, and runs each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh
bash scripts/check-format.sh

# The server provider's tests find the cluster through VORNOLEDB_PG_TEST.
export VORNOLEDB_PG_DIR="${VORNOLEDB_PG_DIR:-$(mktemp -d /tmp/vornoledb-pg-XXXXXX)}"
trap 'bash scripts/pg-test-server.sh stop' EXIT
pg_environment=$(bash scripts/pg-test-server.sh start)
eval "$pg_environment"

cmake -S . -B build -DVORNOLEDB_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" 2>&1 | tee build/ctest-summary.log
bash scripts/check-exports.sh build
bash scripts/check-install.sh build

cmake -S . -B build-asan -DVORNOLEDB_WERROR=ON -DVORNOLEDB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DVORNOLEDB_BUILD_BENCH=OFF -DVORNOLEDB_BUILD_EXAMPLES=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"


# The connection cache under ThreadSanitizer: eight threads sharing the pool.
cmake -S . -B build-tsan -DVORNOLEDB_WERROR=ON -DVORNOLEDB_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORNOLEDB_BUILD_BENCH=OFF -DVORNOLEDB_BUILD_EXAMPLES=OFF -DVORNOLEDB_BUILD_TOOLS=OFF
cmake --build build-tsan -j"$jobs" --target connection_tests
TSAN_OPTIONS=halt_on_error=1 ./build-tsan/tests/connection_tests --gtest_filter='ConnectionCacheTest.*'

# Each libFuzzer target for a minute (clang, AddressSanitizer and UndefinedBehaviorSanitizer),
# as many at once as there are cores: the connection-string parser, the Jet translator and
# whatever tests/fuzz holds.
bash scripts/fuzz.sh --build
mkdir -p build-fuzz
fuzz_targets=($(bash scripts/fuzz.sh --list))
for ((first = 0; first < ${#fuzz_targets[@]}; first += jobs)); do
  pids=()
  for target in "${fuzz_targets[@]:first:jobs}"; do
    VORNOLEDB_FUZZ_BUILT=1 bash scripts/fuzz.sh "$target" 60 > "build-fuzz/$target.log" 2>&1 &
    pids+=("$!")
  done
  index=0
  for target in "${fuzz_targets[@]:first:jobs}"; do
    if ! wait "${pids[$index]}"; then
      tail -n 60 "build-fuzz/$target.log"
      echo "fuzz target $target failed (its log: build-fuzz/$target.log)" >&2
      kill "${pids[@]}" 2> /dev/null || true
      exit 1
    fi
    index=$((index + 1))
    echo "fuzz target $target: $(grep -o 'number_of_executed_units: [0-9]*' "build-fuzz/$target.log" \
      | grep -o '[0-9]*') inputs in 60 s, nothing found"
  done
done

# Last, the whole suite's summary again, so that the closing line counts every test.
tail -n 3 build/ctest-summary.log
