#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test: a plain build,
# then AddressSanitizer+UBSan over all tests, ThreadSanitizer over the threaded ones,
# the fuzz targets for a bounded time, and the benchmarks once as a smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

jobs=$(nproc)
display=(xvfb-run -a -s "-screen 0 1280x1024x24")

# Every ctest run's summary is added up for the closing line.
passed=0
failed=0
summary_log=$(mktemp)
trap 'rm -f "$summary_log"' EXIT
count() {
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary_log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
  fi
}
run_ctest() {
  "$@" 2>&1 | tee "$summary_log"
  local status=${PIPESTATUS[0]}
  count
  return "$status"
}

echo "== plain build"
cmake -S . -B build -G Ninja -DTW_WERROR=ON -DTW_BUILD_FUZZ=OFF
cmake --build build -j"$jobs"
run_ctest "${display[@]}" ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE="address;undefined" \
  -DTW_BUILD_BENCH=OFF -DTW_WERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest "${display[@]}" ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE slow --timeout 600

echo "== ThreadSanitizer (threaded tests)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=thread \
  -DTW_BUILD_BENCH=OFF -DTW_WERROR=ON
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_ctest "${display[@]}" ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L threaded --timeout 600 \
  --no-tests=ignore

if command -v clang++ >/dev/null && [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== fuzz targets (bounded)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_BUILD_FUZZ=ON \
    -DTW_BUILD_BENCH=OFF -DTW_BUILD_TESTS=ON
  cmake --build build-fuzz -j"$jobs" --target tw_fuzz_all
  run_ctest ctest --test-dir build-fuzz --output-on-failure -L fuzz --timeout 300
fi

echo "== benchmarks (smoke run)"
for b in build/bench/bench_*; do
  [ -x "$b" ] && "$b" --benchmark_min_time=0.05 >/dev/null
done

echo "== all test runs passed"
echo "$passed passed, $failed failed"
