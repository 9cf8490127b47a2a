#!/bin/sh
# What checking a finished MP3 costs against the conversion that wrote it: 20 seconds of a
# music-like WMA converted as a run converts it (default settings, a tag with a 120 KB cover), and
# the same conversion followed by the verification (decoding the MP3 again, comparing its tag and
# its audio checksum). Also what measuring ReplayGain on the way adds. Instructions are counted by
# callgrind, the whole process each time: exact and repeatable on a busy machine.
# Usage: bench/verify.sh [SECONDS]   (default 20)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
bench_prepare bench_verify verify
bench=build/bench/bench_verify
seconds="${1:-20}"

music "$seconds" "$work/music.wma" 220 554

if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is needed to count instructions (apt-get install valgrind)" >&2
  exit 1
fi
count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
    "$bench" "$work/music.wma" "$work/$1.mp3" "$1" 2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
convert=$(count convert)
verify=$(count verify)
gain=$(count replaygain)
echo "Instructions for ${seconds} seconds of a music-like WMA to MP3 (callgrind, whole process):"
printf "  conversion:                        %14d\n" "$convert"
printf "  conversion and verification:       %14d\n" "$verify"
printf "  conversion measuring ReplayGain:   %14d\n" "$gain"
awk -v c="$convert" -v v="$verify" -v g="$gain" 'BEGIN {
  printf "  verification / conversion:         %8.3f  (%+.1f %%; target: at most +10 %%)\n", v / c, (v / c - 1) * 100
  printf "  with ReplayGain / conversion:      %8.3f  (%+.1f %%)\n", g / c, (g / c - 1) * 100
}'
