#!/usr/bin/env bash
# The report's engine, measured side by side in one run: jobs against one job and against the
# I/O floor, slow files among quick ones, many jobs over many small files, the first output of
# a walk over the whole machine, and peak memory over the memory hogs.
#   bench/engine.sh BUILD_DIR [OTHER_REPORT]   (OTHER_REPORT: another build, timed beside)
set -euo pipefail
b=$(realpath "$1"); other=${2:+$(realpath "$2")}
report=$b/src/veltrane-report
work=$b/engine; mkdir -p "$work"
[ -d "$work/corpus" ] || "$b/bench/make_corpus" "$work/corpus" 1000
[ -d "$work/heavy" ] || "$b/bench/make_corpus" --heavy "$work/heavy" 200
[ -d "$work/small" ] || "$b/bench/make_corpus" --tree "$work/small" 100 100
[ -d "$work/hogs" ] || "$b/bench/make_corpus" --memory-hogs "$work/hogs"
corpus=("$work"/corpus/*.mp3)
half=$(( ${#corpus[@]} / 2 ))

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
us() { local t0; t0=$(now); "$@" > /dev/null 2>&1 || true; echo $(( ($(now) - t0) / 1000 )); }
floor2() {
    "$b/bench/io_floor" --one-open "${corpus[@]:0:$half}" 2>/dev/null &
    "$b/bench/io_floor" --one-open "${corpus[@]:$half}" 2>/dev/null; wait
}
declare -A t
add() { t[$1]="${t[$1]:-} $2"; }
med() { printf '%s\n' ${t[$1]} | median; }
cat "${corpus[@]}" > /dev/null

echo "== 1,000-file corpus, warm cache, median of 9 alternating rounds"
for round in 1 2 3 4 5 6 7 8 9; do
    add floor1 "$(us "$b/bench/io_floor" --one-open "${corpus[@]}")"
    add floor2 "$(us floor2)"
    add j1 "$(us "$report" -j 1 --json "${corpus[@]}")"
    add jd "$(us "$report" --json "${corpus[@]}")"
    if [ -n "$other" ]; then
        add oj1 "$(us "$other" -j 1 --json "${corpus[@]}")"
        add ojd "$(us "$other" --json "${corpus[@]}")"
    fi
done
awk -v f1="$(med floor1)" -v f2="$(med floor2)" -v j1="$(med j1)" -v jd="$(med jd)" 'BEGIN {
    printf "floor, one open a file: 1 process %.1f ms, 2 processes %.1f ms: %.2f\n", f1/1e3, f2/1e3, f1/f2
    printf "report: -j 1 %.1f ms (%.1f us a file, %.2f x the floor), default %.1f ms: %.2f\n",
        j1/1e3, j1/1e3, j1/f1, jd/1e3, j1/jd }'
[ -n "$other" ] && awk -v j1="$(med oj1)" -v jd="$(med ojd)" \
    'BEGIN { printf "other build: -j 1 %.1f ms, default %.1f ms: %.2f\n", j1/1e3, jd/1e3, j1/jd }'

if [ "$(id -u)" -eq 0 ]; then
    echo "== the same, cold cache (caches dropped before each run), median of 3 rounds"
    for round in 1 2 3; do
        sync; echo 3 > /proc/sys/vm/drop_caches; add cj1 "$(us "$report" -j 1 --json "${corpus[@]}")"
        sync; echo 3 > /proc/sys/vm/drop_caches; add cjd "$(us "$report" --json "${corpus[@]}")"
    done
    awk -v j1="$(med cj1)" -v jd="$(med cjd)" \
        'BEGIN { printf "-j 1 %.0f ms, default %.0f ms: %.2f (goal 1.8)\n", j1/1e3, jd/1e3, j1/jd }'
    cat "${corpus[@]}" > /dev/null
fi

echo "== 200 files, one in four with a compressed frame of 16 MiB, median of 5 rounds"
cat "$work"/heavy/*.mp3 > /dev/null
for round in 1 2 3 4 5; do
    add hj1 "$(us "$report" -j 1 "$work"/heavy/*.mp3)"
    add hjd "$(us "$report" "$work"/heavy/*.mp3)"
    [ -n "$other" ] && add ohjd "$(us "$other" "$work"/heavy/*.mp3)"
done
awk -v j1="$(med hj1)" -v jd="$(med hjd)" \
    'BEGIN { printf "-j 1 %.0f ms, default %.0f ms: %.2f (goal 1.7)\n", j1/1e3, jd/1e3, j1/jd }'
[ -n "$other" ] && awk -v jd="$(med ohjd)" 'BEGIN { printf "other build, default: %.0f ms\n", jd/1e3 }'

echo "== 10,000 small files (-r over 100 folders), median of 5 rounds"
for round in 1 2 3 4 5; do
    add sd "$(us "$report" -r "$work/small")"
    add s1024 "$(us "$report" -j 1024 -r "$work/small")"
    add s1 "$(us "$report" -j 1 -r "$work/small")"
done
awk -v d="$(med sd)" -v m="$(med s1024)" -v o="$(med s1)" \
    'BEGIN { printf "-j 1 %.0f ms, default %.0f ms, -j 1024 %.0f ms: %.2f x the default (goal 1.5)\n", o/1e3, d/1e3, m/1e3, m/d }'

echo "== -r / : time to the first output (the run stops when its reader goes), 3 rounds"
for round in 1 2 3; do
    t0=$(now); { "$report" --no-progress -r / 2>/dev/null || true; } | head -c 1 > /dev/null
    t1=$(now)
    echo "first output after $(( (t1 - t0) / 1000000 )) ms (goal 500 ms)"
done

echo "== peak memory: hogs, zlib bombs, -j 1 and -j 4"
bombs=$work/bombs; [ -d "$bombs" ] || "$b/bench/make_corpus" --inflate-bombs "$bombs"
for file in "$work"/hogs/*.mp3 "$bombs"/*.mp3; do
    for jobs in 1 4; do
        for mode in "" --json; do
            set -- "$file" "$file" "$file" "$file"
            [ "$jobs" = 1 ] && set -- "$file"
            # shellcheck disable=SC2086
            peak=$("$b/bench/peak_rss" "$report" -j $jobs $mode "$@" 2>&1 >/dev/null | grep peak)
            echo "$(basename "$file") -j $jobs ${mode:-text}: ${peak#peak resident memory: }"
        done
    done
done
