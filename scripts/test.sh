#!/usr/bin/env bash
# Builds and runs the whole test suite: the format check, the plain build, then the same tests
# under AddressSanitizer + UndefinedBehaviorSanitizer, then under ThreadSanitizer. Every build
# treats a compiler warning as an error.
# Every server a test needs is started by the test itself on 127.0.0.1. The window's tests (label
# "ui") run on Qt's offscreen platform, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

echo "== format =="
bash scripts/check-format.sh

jobs=$(nproc)
run_ctest() {
  local dir=$1; shift
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600 "$@"
}

echo "== plain build =="
bash scripts/build.sh release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_BUILD_BENCH=ON -DQM_BUILD_GUI=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
run_ctest build/release

echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
bash scripts/build.sh asan -DCMAKE_BUILD_TYPE=Debug "-DQM_SANITIZE=address;undefined" -DQM_BUILD_GUI=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest build/asan

echo "== ThreadSanitizer =="
bash scripts/build.sh tsan -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=thread -DQM_BUILD_GUI=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest build/tsan -LE ui
# Qt's own libraries are not built for ThreadSanitizer: what happens inside them is suppressed,
# the window's own code and the engine under it are still checked.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan-qt.supp \
  run_ctest build/tsan -L ui
