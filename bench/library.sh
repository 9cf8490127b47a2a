#!/bin/sh
# Keeping a library in step: tavisto-convert --update over a library whose MP3 files are all up
# to date (the run reads each MP3's record of its source, no audio), timed with a warm cache,
# beside the time a plain stat of the same files takes. Goal: under 3 seconds for 10,000 files.
# Usage: bench/library.sh [FILES] [ROUNDS]
set -eu
cd "$(dirname "$0")/.."
files="${1:-10000}"
rounds="${2:-3}"
. bench/common.sh
bench_prepare tavisto-convert library
convert="$(pwd)/build/cli/tavisto-convert"

echo "Making a library of $files short sources in 100 folders and converting it once ..."
ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=440:d=0.2" -ac 1 -ar 8000 -c:a pcm_s16le "$work/one.wav"
i=0
while [ "$i" -lt "$files" ]; do
  folder="$work/Music/$((i % 100))"
  mkdir -p "$folder"
  cp "$work/one.wav" "$folder/track $i.wav"
  i=$((i + 1))
done
"$convert" -q -u -o "$work/mp3/" "$work/Music"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() {
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}
: >"$work/update"; : >"$work/stat"
for r in $(seq "$rounds"); do
  seconds "$convert" -q -u -o "$work/mp3/" "$work/Music" >>"$work/update"
  seconds sh -c "find '$work/Music' '$work/mp3' -type f -exec stat {} + >/dev/null" >>"$work/stat"
  echo "round $r: --update $(tail -n1 "$work/update") s, stat $(tail -n1 "$work/stat") s"
done
u=$(median <"$work/update"); s=$(median <"$work/stat")
echo
echo "$files up-to-date MP3 files (median of $rounds rounds, warm cache):"
printf "  tavisto-convert --update:    %7.3f s  (goal: under 3 s)\n" "$u"
printf "  stat of sources and MP3s:    %7.3f s\n" "$s"
awk -v u="$u" -v s="$s" 'BEGIN { printf "  ratio:                       %7.1f\n", u / s }'
