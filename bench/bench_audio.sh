#!/usr/bin/env bash
# The scan of every frame over the 1,000-file corpus, warm cache, one file after another: the
# report's --inspect --scan with one job (and the audio walk alone, bench's inspect_audio) against
# reading every byte in 1 MiB blocks (read_blocks), and against the peers that walk the stream,
# each run the way its users run it. Also runs the check against independent readers
# (check_audio.py).
#   bench/bench_audio.sh [BUILD]   (default build/bench, configured with -DVELTRANE_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
source dev/packages.sh
ensure_packages ffmpeg lame mp3val mp3check mpg123 python3-mutagen
b=${1:-build/bench}
cmake --build "$b" --target inspect_audio read_blocks make_corpus veltrane-report >/dev/null
corpus=$b/corpus
[ -d "$corpus" ] || "$b/bench/make_corpus" "$corpus" 1000
files=("$corpus"/*.mp3)
cat "${files[@]}" > /dev/null

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() { local t0; t0=$(now); "$@" > /dev/null 2>&1 || true; echo $(( ($(now) - t0) / 1000000 )); }
rounds() { local n=$1; shift; local all=(); for _ in $(seq "$n"); do all+=($(ms "$@")); done
    printf '%s\n' "${all[@]}" | median; }

floor=$(rounds 7 "$b/bench/read_blocks" "${files[@]}")
scan=$(rounds 7 "$b/src/veltrane-report" -j 1 --json --inspect --scan "${files[@]}")
report=$(rounds 7 "$b/src/veltrane-report" -j 1 --json "${files[@]}")
inspect=$(rounds 7 "$b/src/veltrane-report" -j 1 --json --inspect "${files[@]}")
walk=$(rounds 7 "$b/bench/inspect_audio" --scan --quiet "${files[@]}")
echo "== ${#files[@]} files, $(du -sm "$corpus" | cut -f1) MB, warm cache, one file after another (median ms)"
echo "read every byte, 1 MiB blocks: $floor"
awk -v s="$scan" -v f="$floor" 'BEGIN { printf "report --inspect --scan -j 1: %d  (%.2f x the reading; goal 1.3)\n", s, s / f }'
awk -v i="$inspect" -v r="$report" 'BEGIN { printf "report --inspect -j 1: %d  (%.2f x the plain report, %d; goal 1.6)\n", i, i / r, r }'
echo "the audio walk alone (inspect_audio --scan): $walk"
peer() {
    local name=$1; shift
    local t; t=$(rounds 3 "$@")
    awk -v n="$name" -v t="$t" -v s="$scan" \
        'BEGIN { printf "%s: %d  (the report\x27s scan takes %.3f of its time)\n", n, t, s / t }'
}
peer "ffprobe -count_packets (one process a file)" \
    bash -c 'for f in "$@"; do ffprobe -v quiet -count_packets -select_streams a:0 -show_entries stream=nb_read_packets -of csv=p=0 "$f"; done' _ "${files[@]}"
peer "mp3val" mp3val "${files[@]}"
peer "mp3check -e" mp3check -e "${files[@]}"
peer "mpg123 -t" mpg123 -q -t "${files[@]}"

echo "== against independent readers: ffprobe's packets, mutagen's duration"
peers=../shared/peer-corpus
/usr/bin/python3 bench/check_audio.py "$b/bench/inspect_audio" "$b/check" \
    $([ -d "$peers" ] && echo "$peers") "$corpus"
