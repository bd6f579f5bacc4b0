#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds (default 10),
# starting from its seed corpus, the inputs it found on earlier runs in this build
# directory, and the committed crash inputs of fuzz/regressions/<target>/.
#
#   fuzz/run.sh [SECONDS]
#
# Fails when any target crashes, leaks, times out (10 s per input) or exceeds 2 GiB.
# Prints libFuzzer's own summary lines for each target; a failing target's whole log is
# printed, and the input that failed is kept under $ORNITH_FUZZ_BUILD/artifacts/.
#
# Environment: ORNITH_FUZZ_BUILD (build directory, default build-fuzz), ORNITH_FUZZ_TARGETS
# (space-separated subset, default all), ORNITH_FUZZ_JOBS (targets run at once, default 1).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
build=${ORNITH_FUZZ_BUILD:-build-fuzz}
jobs=${ORNITH_FUZZ_JOBS:-1}
case $seconds in '' | *[!0-9]*) echo "usage: fuzz/run.sh [SECONDS]" >&2; exit 2 ;; esac

cxx=${ORNITH_FUZZ_CXX:-clang++}
if ! command -v "$cxx" >/dev/null; then
    echo "fuzz/run.sh: $cxx not found (scripts/bootstrap.sh installs it with ORNITH_WITH_FUZZ=1)" >&2
    exit 1
fi

# Line tables (-g1) are all that a crash report's stack trace needs, and build faster.
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)"
"$build/fuzz_make_seeds" . "$build/seeds"

if [ -n "${ORNITH_FUZZ_TARGETS:-}" ]; then
    read -r -a targets <<<"$ORNITH_FUZZ_TARGETS"
else
    mapfile -t targets < <(grep -v '^$' "$build/fuzz-targets.txt")
fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz/run.sh: no fuzz targets are built" >&2
    exit 1
fi

mkdir -p "$build/artifacts" "$build/logs"

# Runs one target; its log goes to $build/logs/<target>.log.
run_target() {
    local t=$1 status binary="$build/fuzz_$1" corpus="$build/corpus/$1" seeds="$build/seeds/$1"
    local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                -artifact_prefix="$build/artifacts/$t-")
    local dirs=("$corpus")
    mkdir -p "$corpus"
    [ -d "$seeds" ] && dirs+=("$seeds")
    [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
    local dict="fuzz/dict/$t.dict"
    case $t in class_* | javap_* | code | code_attributes | dependencies) dict=fuzz/dict/classfile.dict ;; zip_*) dict=fuzz/dict/zip.dict ;; esac
    [ -f "$dict" ] && args+=(-dict="$dict")
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:allocator_may_return_null=0} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        "$binary" "${args[@]}" "${dirs[@]}" >"$build/logs/$t.log" 2>&1 && status=0 || status=$?
    echo "$status" >"$build/logs/$t.status"
}

# Prints the lines that tell how a run went.
summarize() {
    local t=$1 status=$2 log="$build/logs/$1.log"
    if [ "$status" = 0 ]; then
        echo "== fuzz_$t: ok"
        grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|Done [0-9]+ runs|stat::)' "$log" | sed 's/^/   /'
    else
        echo "== fuzz_$t: FAILED (exit $status); log follows"
        cat "$log"
    fi
}

failed=()
for t in "${targets[@]}"; do
    if [ ! -x "$build/fuzz_$t" ]; then
        echo "fuzz/run.sh: no target fuzz_$t" >&2
        exit 1
    fi
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    rm -f "$build/logs/$t.status"
    run_target "$t" &
done
wait
for t in "${targets[@]}"; do
    status=$(cat "$build/logs/$t.status" 2>/dev/null || echo "no status")
    summarize "$t" "$status"
    [ "$status" = 0 ] || failed+=("$t")
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz/run.sh: failing targets: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz/run.sh: ${#targets[@]} targets, ${seconds} s each, no finding"
