# Shared by the bench/*_bench.sh scripts: finds the programs, makes the input image, times one
# command (wall seconds including the flush of its output, peak resident memory) and prints
# the table of results with the ratios between tools.
# shellcheck shell=bash

BENCH_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BENCH_BUILD="${TAVMOR_BUILD:-$BENCH_ROOT/build}"
BENCH_WORK="$BENCH_ROOT/bench/work"
TAVMOR="$BENCH_BUILD/cli/tavmor"
GENIMAGE="$BENCH_BUILD/tools/tavmor-genimage"

BENCH_KEEP_INPUT=0 # --keep-input: leave the generated input for the next script
BENCH_REPS=1       # --reps N: N rounds of every command, the fastest of each kept
BENCH_COLD=1       # --warm: do not drop the page cache (then every command runs once unmeasured)
BENCH_RESULTS=""
BENCH_TIME=""
BENCH_LOG=""

bench_usage() {
    cat <<EOF
Usage: $0 [--keep-input] [--reps N] [--warm]
  --keep-input  keep the generated input under bench/work/ for the next script
  --reps N      run the whole set N times over and keep each command's fastest (default 1)
  --warm        leave the page cache alone (default: drop it before every run, when allowed)
Environment: TAVMOR_BUILD=DIR (default: build/, a Release build of tavmor and tavmor-genimage)
EOF
}

bench_parse_args() {
    while [ $# -gt 0 ]; do
        case "$1" in
        --keep-input) BENCH_KEEP_INPUT=1 ;;
        --reps)
            BENCH_REPS="${2:?--reps needs a number}"
            shift
            ;;
        --warm) BENCH_COLD=0 ;;
        -h | --help)
            bench_usage
            exit 0
            ;;
        *)
            bench_usage >&2
            exit 2
            ;;
        esac
        shift
    done
}

# bench_setup NAME FREE_GB: checks the programs and the free space, prepares the work folder.
bench_setup() {
    local name="$1" need_gb="$2"
    for p in "$GENIMAGE" /usr/bin/time vips; do
        if [ ! -x "$p" ] && ! command -v "$p" >/dev/null; then
            echo "Missing $p (build: cmake --build $BENCH_BUILD --target tavmor tavmor-genimage)" >&2
            exit 1
        fi
    done
    [ -x "$TAVMOR" ] || echo "Note: $TAVMOR is missing; only the other tools are timed." >&2
    mkdir -p "$BENCH_WORK"
    # One benchmark at a time: two would share the disk and the cores, and the work files.
    exec {BENCH_LOCK_FD}>"$BENCH_WORK/.lock"
    if ! flock -n "$BENCH_LOCK_FD"; then
        echo "Waiting for another benchmark script to finish ..." >&2
        flock "$BENCH_LOCK_FD"
    fi
    local free_gb
    free_gb=$(df -Pk "$BENCH_WORK" | awk 'NR == 2 { printf "%d", $4 / 1048576 }')
    if [ "$free_gb" -lt "$need_gb" ]; then
        echo "$name needs about $need_gb GB free under $BENCH_WORK; $free_gb GB are free." >&2
        exit 1
    fi
    if [ "$BENCH_COLD" = 1 ] && ! bench_drop_cache; then
        echo "Note: the page cache cannot be dropped here; reporting warm-cache figures." >&2
        BENCH_COLD=0
    fi
    BENCH_RESULTS="$BENCH_WORK/$name.results"
    BENCH_TIME="$BENCH_WORK/$name.time"
    BENCH_LOG="$BENCH_WORK/$name.log"
    : >"$BENCH_RESULTS"
    : >"$BENCH_RESULTS.cpu"
    echo "# $name, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
        "$(free -g | awk '/^Mem:/ { print $2 " GB RAM" }')," \
        "$([ "$BENCH_COLD" = 1 ] && echo "cold page cache" || echo "warm page cache")," \
        "best of $BENCH_REPS, load average $(cut -d' ' -f1 /proc/loadavg) at start"
}

# bench_calc EXPR: floating-point arithmetic (awk, present everywhere, unlike bc).
bench_calc() {
    awk "BEGIN { print ($1) }"
}

bench_drop_cache() {
    sync && { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null
}

# bench_input PATH W H [genimage options]: makes the panorama once (kept with --keep-input).
bench_input() {
    local path="$1" w="$2" h="$3"
    shift 3
    if [ -f "$path" ]; then
        return 0
    fi
    echo "Making $path ($w x $h)" >&2
    "$GENIMAGE" "$path.part" --format tif --width "$w" --height "$h" --quiet "$@" || exit 1
    mv "$path.part" "$path"
}

bench_cleanup_input() {
    [ "$BENCH_KEEP_INPUT" = 1 ] || rm -f "$@"
}

bench_has_command() {
    [ -x "$TAVMOR" ] && "$TAVMOR" "$1" --help >/dev/null 2>&1
}

# bench_run LABEL BYTES OUTDIR COMMAND...: times one run of COMMAND with an empty OUTDIR and
# records it. BYTES (the input's size) gives the MB/s column. The time includes an fsync of
# every file in OUTDIR, so tools that leave more in the page cache gain nothing. OUTDIR is
# emptied afterwards unless BENCH_KEEP_OUTPUT=1. Scripts call it once per round (bench_rounds)
# so that every tool meets the same swings of a shared machine; the tables keep the fastest.
bench_run() {
    local label="$1" bytes="$2" outdir="$3"
    shift 3
    if [ "$BENCH_COLD" = 0 ]; then
        rm -rf "$outdir" && mkdir -p "$outdir"
        "$@" >/dev/null 2>&1 # warm-up, not measured
    fi
    rm -rf "$outdir" && mkdir -p "$outdir"
    [ "$BENCH_COLD" = 0 ] || bench_drop_cache
    local t0 t1 rc
    t0=$(date +%s.%N)
    /usr/bin/time -v -o "$BENCH_TIME" "$@" >"$BENCH_LOG" 2>&1
    rc=$?
    find "$outdir" -type f -exec sync {} +
    t1=$(date +%s.%N)
    if [ "$rc" != 0 ]; then
        echo "FAILED ($rc): $label: $*" >&2
        tail -n 5 "$BENCH_LOG" >&2
        printf '%s\tfailed\t-\t-\t-\n' "$label" >>"$BENCH_RESULTS"
        rm -rf "$outdir"
        return 1
    fi
    local secs rss cpu
    secs=$(bench_calc "$t1 - $t0")
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 / 1024 }' "$BENCH_TIME")
    cpu=$(awk -F': ' '/(User|System) time \(seconds\)/ { t += $2 } END { print t }' \
        "$BENCH_TIME")
    printf '%s\t%.2f\t%.0f\t%.1f\t%.2f\n' "$label" "$secs" \
        "$(bench_calc "$bytes / 1000000 / $secs")" "$rss" "$cpu" >>"$BENCH_RESULTS"
    # User and system CPU apart, for the tables of medians.
    awk -F': ' -v l="$label" '/User time \(seconds\)/ { u = $2 } /System time \(seconds\)/ { s = $2 }
        END { printf "%s\t%s\t%s\n", l, u, s }' "$BENCH_TIME" >>"$BENCH_RESULTS.cpu"
    printf '  %-36s %8.2f s  %6.2f s CPU  %7.1f MiB peak\n' "$label" "$secs" "$cpu" "$rss" >&2
    [ "${BENCH_KEEP_OUTPUT:-0}" = 1 ] || rm -rf "$outdir"
}

# bench_rounds FUNCTION: calls FUNCTION (which makes the bench_run calls) BENCH_REPS times.
bench_rounds() {
    local round
    for ((round = 1; round <= BENCH_REPS; round++)); do
        echo "Round $round of $BENCH_REPS" >&2
        "$1"
    done
}

# The fastest run of each label, in the order of first appearance; a label that failed in any
# round stays "failed".
bench_best() {
    awk -F'\t' '
        !($1 in best) { order[n++] = $1; best[$1] = $0; secs[$1] = $2; next }
        secs[$1] == "failed" { next }
        $2 == "failed" || $2 + 0 < secs[$1] + 0 { best[$1] = $0; secs[$1] = $2 }
        END { for (i = 0; i < n; i++) print best[order[i]] }' "$BENCH_RESULTS"
}

bench_seconds() {
    bench_best | awk -F'\t' -v l="$1" '$1 == l { print $2 }'
}

# bench_table: the fastest run of each command as a Markdown table, and the spread of the
# times over the rounds.
bench_table() {
    echo
    echo "| Run | Seconds | MB/s of input | Peak RSS (MiB) | CPU user+sys (s) | Slowest round (s) |"
    echo "|---|---:|---:|---:|---:|---:|"
    local worst
    worst=$(awk -F'\t' '$2 != "failed" && $2 + 0 > w[$1] + 0 { w[$1] = $2 }
        END { for (l in w) print l "\t" w[l] }' "$BENCH_RESULTS")
    bench_best | while IFS=$'\t' read -r label secs mbs rss cpu; do
        printf '| %s | %s | %s | %s | %s | %s |\n' "$label" "$secs" "$mbs" "$rss" "${cpu:--}" \
            "$(awk -F'\t' -v l="$label" '$1 == l { print $2 }' <<<"$worst")"
    done
}

# bench_ratio TITLE LABEL_A LABEL_B GOAL: prints A / B and whether it meets "A <= GOAL x B"
# (GOAL "-": shown for information only).
bench_ratio() {
    local title="$1" a b
    a=$(bench_seconds "$2")
    b=$(bench_seconds "$3")
    if [ -z "$a" ] || [ -z "$b" ] || [ "$a" = failed ] || [ "$b" = failed ]; then
        echo "| $title | - | $4 | not measured |"
        return
    fi
    local r
    r=$(bench_calc "$a / $b")
    if [ "$4" = - ]; then
        printf '| %s | %.2f | - | no goal set |\n' "$title" "$r"
        return
    fi
    printf '| %s | %.2f | <= %s | %s |\n' "$title" "$r" "$4" \
        "$([ "$(bench_calc "$r <= $4")" = 1 ] && echo met || echo MISSED)"
}

bench_ratio_header() {
    echo
    echo "| Ratio (time) | Measured | Goal | |"
    echo "|---|---:|---:|---|"
}

# bench_median_table: per command, the median over the rounds of the wall time, the peak memory
# and the user and system CPU (an even count of rounds takes the mean of the middle two).
bench_median_table() {
    echo
    echo "| Run (median of $BENCH_REPS) | Seconds | Peak RSS (MiB) | User CPU (s) | System CPU (s) |"
    echo "|---|---:|---:|---:|---:|"
    local label
    awk -F'\t' '!($1 in seen) { seen[$1] = 1; print $1 }' "$BENCH_RESULTS" | while IFS= read -r label; do
        printf '| %s | %s | %s | %s | %s |\n' "$label" \
            "$(bench_median_of "$BENCH_RESULTS" "$label" 2)" \
            "$(bench_median_of "$BENCH_RESULTS" "$label" 4)" \
            "$(bench_median_of "$BENCH_RESULTS.cpu" "$label" 2)" \
            "$(bench_median_of "$BENCH_RESULTS.cpu" "$label" 3)"
    done
}

# bench_median_of FILE LABEL COLUMN: the median of a column over the label's rounds.
bench_median_of() {
    awk -F'\t' -v l="$2" -v c="$3" '$1 == l && $2 != "failed" { print $c }' "$1" | sort -g |
        awk '{ v[NR] = $1 } END {
            if (NR == 0) { print "-"; exit }
            m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.2f\n", m }'
}

# bench_median_ratio TITLE LABEL_A LABEL_B GOAL: like bench_ratio, on the median times.
bench_median_ratio() {
    local a b r
    a=$(bench_median_of "$BENCH_RESULTS" "$2" 2)
    b=$(bench_median_of "$BENCH_RESULTS" "$3" 2)
    if [ "$a" = - ] || [ "$b" = - ]; then
        echo "| $1 | - | $4 | not measured |"
        return
    fi
    r=$(bench_calc "$a / $b")
    if [ "$4" = - ]; then
        printf '| %s | %.2f | - | no goal set |\n' "$1" "$r"
        return
    fi
    printf '| %s | %.2f | <= %s | %s |\n' "$1" "$r" "$4" \
        "$([ "$(bench_calc "$r <= $4")" = 1 ] && echo met || echo MISSED)"
}
