#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the normal build, then the build
# with AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero on any failure.
# Usage: ./test.sh [--fast]   (--fast: the normal build only)
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

run_suite() {
    local build_dir=$1
    shift
    cmake -S . -B "$build_dir" -G Ninja "$@" >/dev/null
    cmake --build "$build_dir" --parallel "$jobs"
    ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" --timeout 600
}

echo "== normal build"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ "${1:-}" != "--fast" ]; then
    echo "== sanitizer build"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=0"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/tests/ubsan.supp"
    run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKVN_SANITIZE=ON
fi
