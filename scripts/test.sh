#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
#   scripts/test.sh            normal build (build/)
#   scripts/test.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   scripts/test.sh tsan       ThreadSanitizer, thread-labelled tests only (build-tsan/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
mode=${1:-normal}
case "$mode" in
  normal) dir=build; san=""; ctest_args=(); targets=(all) ;;
  asan)   dir=build-asan; san="address;undefined"; ctest_args=(); targets=(all_tests)
          export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
  tsan)   dir=build-tsan; san="thread"; ctest_args=(-L thread); targets=(thread_tests)
          export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" ;;
  *) echo "usage: $0 [normal|asan|tsan]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja -DQUENDA_SANITIZE="$san" >/dev/null
cmake --build "$dir" --target "${targets[@]}"
ctest --test-dir "$dir" --output-on-failure -j2 "${ctest_args[@]}"
