#!/usr/bin/env bash
# --inspect against the plain report, TagLib and mutagen over one corpus, side by side in one
# run: warm cache, one job, the median of 5 rounds each.
#   bench/inspect_speed.sh BUILD_DIR CORPUS
set -euo pipefail
b=$1; corpus=$2
files=("$corpus"/*.mp3)
cat "${files[@]}" > /dev/null  # warm cache
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() { local t0; t0=$(now); "$@" > /dev/null; echo $(( ($(now) - t0) / 1000 )); }
plain=(); inspect=(); taglib=(); mutagen=()
for round in 1 2 3 4 5; do
    plain+=($(ms "$b/src/veltrane-report" -j 1 --json "${files[@]}"))
    inspect+=($(ms "$b/src/veltrane-report" -j 1 --json --inspect "${files[@]}"))
    [ -x "$b/bench/taglib_read" ] && taglib+=($(ms "$b/bench/taglib_read" "${files[@]}"))
    /usr/bin/python3 -c 'import mutagen' 2>/dev/null &&
        mutagen+=($(ms /usr/bin/python3 "$(dirname "$0")/mutagen_read.py" "${files[@]}"))
done
p=$(printf '%s\n' "${plain[@]}" | median); i=$(printf '%s\n' "${inspect[@]}" | median)
echo "== --inspect against the plain report, TagLib and mutagen, ${#files[@]} files, -j 1, warm"
awk -v p="$p" -v i="$i" -v n="${#files[@]}" 'BEGIN {
    printf "plain report:     %7.1f ms  %6.1f us per file\n", p / 1000, p / n
    printf "--inspect:        %7.1f ms  %6.1f us per file  %.2f x the plain report (goal: 1.6)\n", i / 1000, i / n, i / p }'
if [ ${#taglib[@]} -gt 0 ]; then
    t=$(printf '%s\n' "${taglib[@]}" | median)
    awk -v t="$t" -v i="$i" -v n="${#files[@]}" 'BEGIN {
        printf "TagLib:           %7.1f ms  %6.1f us per file  --inspect takes %.2f of its time\n", t / 1000, t / n, i / t }'
fi
if [ ${#mutagen[@]} -gt 0 ]; then
    m=$(printf '%s\n' "${mutagen[@]}" | median)
    awk -v m="$m" -v i="$i" -v n="${#files[@]}" 'BEGIN {
        printf "mutagen:          %7.1f ms  %6.1f us per file  --inspect takes %.2f of its time\n", m / 1000, m / n, i / m }'
fi
