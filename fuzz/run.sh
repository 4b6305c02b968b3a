#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS seconds over its corpus: the seeds written by fuzz_seeds, the
# inputs kept from earlier runs and the committed regression inputs under fuzz/regressions/.
# Prints executions and findings per target; exits non-zero when a target found something.
#   fuzz/run.sh 600        # a long run, ten minutes per target
#   fuzz/run.sh 5          # the brief regression run of ./test.sh
set -euo pipefail
SECONDS_PER_TARGET=${1:-60}
cd "$(dirname "$0")/.."
BUILD=${TAVMOR_FUZZ_BUILD:-build-fuzz}
CXX=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$CXX" ]; then
    echo "fuzz: no clang++ found, the fuzz targets are skipped"
    exit 0
fi

# The compiler is chosen once: naming it again on a configured tree would reset the cache.
compiler=()
[ -f "$BUILD/CMakeCache.txt" ] || compiler=(-DCMAKE_CXX_COMPILER="$CXX")
cmake -S . -B "$BUILD" "${compiler[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVMOR_SANITIZE=ON -DTAVMOR_BUILD_FUZZ=ON -DTAVMOR_BUILD_TESTS=OFF \
    -DTAVMOR_BUILD_APP=OFF >/dev/null
targets=(fuzz_image fuzz_names fuzz_setup)
# The update-check target is there only when Qt was found.
if cmake --build "$BUILD" --target help | grep fuzz_version >/dev/null; then
    targets+=(fuzz_version)
fi
cmake --build "$BUILD" --target "${targets[@]}" fuzz_seeds -j 2 >/dev/null
"$BUILD/fuzz/fuzz_seeds" "$BUILD/fuzz-seeds"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
printf '%-14s %12s %10s %8s %s\n' target executions exec/s corpus findings
for t in "${targets[@]}"; do
    corpus="$BUILD/fuzz-corpus/$t"
    findings="$BUILD/fuzz-findings/$t"
    log="$BUILD/fuzz-$t.log"
    mkdir -p "$corpus" "$findings"
    extra=()
    [ -d "fuzz/regressions/$t" ] && extra+=("fuzz/regressions/$t")
    rc=0
    "$BUILD/fuzz/$t" -max_total_time="$SECONDS_PER_TARGET" -rss_limit_mb=2048 -timeout=30 \
        -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "$BUILD/fuzz-seeds/$t" "${extra[@]}" >"$log" 2>&1 || rc=$?
    execs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    rate=$(awk '/stat::average_exec_per_sec/ { print $2 }' "$log")
    units=$(find "$corpus" -type f | wc -l)
    found=$(find "$findings" -type f | wc -l)
    printf '%-14s %12s %10s %8s %s\n' "$t" "${execs:-?}" "${rate:-?}" "$units" "$found"
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
        echo "fuzz: $t found a problem; see $log and $findings" >&2
        status=1
    fi
done
exit "$status"
