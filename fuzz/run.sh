#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs every one of them for SECONDS seconds (60 when
# not given), several at a time. The seed corpora are made afresh by the targets themselves;
# what the fuzzer adds is kept in build-fuzz/fuzz/corpus/<target>/found for later runs, and
# inputs that crash in build-fuzz/fuzz/artifacts/<target>/. Exits non-zero when a target
# crashed, hung, leaked or failed to run.
# Usage: fuzz/run.sh [SECONDS] [target ...]     KVN_FUZZ_JOBS: targets at a time (default nproc)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
case "$seconds" in
    '' | *[!0-9]*) echo "fuzz/run.sh: SECONDS must be a whole number" >&2; exit 2 ;;
esac

scripts/install-deps.sh clang libclang-rt-14-dev

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVN_FUZZ=ON -DKVN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target kvnfuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for binary in "$build"/fuzz/fuzz_*; do
        [ -x "$binary" ] && [ -f "$binary" ] && targets+=("$(basename "$binary")")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz/run.sh: no fuzz targets were built" >&2; exit 1; }

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/tests/ubsan.supp"

work=$PWD/$build/fuzz
logs=$(mktemp -d -t kvn-fuzz-logs.XXXXXX)
# The targets' private directories; in memory where there is some (file trees per input).
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export KVN_FUZZ_WORK_BASE=$(mktemp -d /dev/shm/kvn-fuzz-run.XXXXXX)
else
    export KVN_FUZZ_WORK_BASE=$logs
fi
trap 'rm -rf "$logs" "$KVN_FUZZ_WORK_BASE"' EXIT

run_target() {
    local name=$1
    local seeds=$work/corpus/$name/seeds found=$work/corpus/$name/found
    local artifacts=$work/artifacts/$name/
    rm -rf "$seeds"
    mkdir -p "$found" "$artifacts"
    KVN_FUZZ_SEED_DIR=$seeds "$work/$name" >/dev/null
    # -timeout: an input that takes this long is a hang; -rss_limit_mb: the sanitizers'
    # quarantine alone takes a few hundred megabytes.
    "$work/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$found" "$seeds" \
        >"$logs/$name.log" 2>&1
}

jobs=${KVN_FUZZ_JOBS:-$(nproc)}
echo "== fuzzing ${#targets[@]} targets for $seconds s each, $jobs at a time"
declare -A pids=()
running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$name" &
    pids[$name]=$!
    running=$((running + 1))
done

failed=()
for name in "${targets[@]}"; do
    status=0
    wait "${pids[$name]}" || status=$?
    log=$logs/$name.log
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
    if [ "$status" -eq 0 ]; then
        printf '%-24s ok      %10s runs %8s exec/s  %s\n' "$name" "${runs:-?}" "${speed:-?}" \
            "$coverage"
    else
        printf '%-24s FAILED  (exit %d)\n' "$name" "$status"
        grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -5 | sed 's/^/    /'
        cp "$log" "$work/artifacts/$name/last-run.log"
        echo "    full log: $work/artifacts/$name/last-run.log"
        failed+=("$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz/run.sh: ${#failed[@]} target(s) failed: ${failed[*]}" >&2
    exit 1
fi
echo "== no crash in ${#targets[@]} targets"
