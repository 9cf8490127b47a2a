#!/bin/sh
# What checking a finished MP3 costs against the conversion that wrote it, and what measuring
# ReplayGain on the way adds: 20 seconds of a music-like WMA with a 120 KB cover converted by
# tavisto-convert with neither, with verification alone, with ReplayGain alone, and with both (the
# default). Instructions are counted by callgrind, the whole process each time: exact and
# repeatable on a busy machine.
# Usage: bench/verify.sh [SECONDS]   (default 20)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
bench_prepare tavisto-convert verify
convert="$(pwd)/build/cli/tavisto-convert"
seconds="${1:-20}"

music "$seconds" "$work/plain.wma" 220 554
# A cover of about 120 KB, so that checking the tag's pictures costs what it does in a library.
ffmpeg -nostdin -loglevel error -y -f lavfi -i "mandelbrot=size=600x600" -frames:v 1 "$work/cover.png"
ffmpeg -nostdin -loglevel error -y -i "$work/plain.wma" -i "$work/cover.png" -map 0 -map 1 -c copy \
  -disposition:v attached_pic "$work/music.wma" 2>/dev/null || cp "$work/plain.wma" "$work/music.wma"

if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is needed to count instructions (apt-get install valgrind)" >&2
  exit 1
fi
count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
    "$convert" -q -f -j 1 "$@" -o "$work/out.mp3" "$work/music.wma" 2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
plain=$(count --no-verify --no-replaygain)
verify=$(count --no-replaygain)
gain=$(count --no-verify)
both=$(count)
echo "Instructions for ${seconds} seconds of a music-like WMA to MP3 (callgrind, whole process):"
printf "  conversion alone:                  %14d\n" "$plain"
printf "  with verification:                 %14d\n" "$verify"
printf "  with ReplayGain:                   %14d\n" "$gain"
printf "  with both (the default):           %14d\n" "$both"
awk -v c="$plain" -v v="$verify" -v g="$gain" -v b="$both" 'BEGIN {
  printf "  verification / conversion:         %8.3f  (%+.1f %%; target: at most +10 %%)\n", v / c, (v / c - 1) * 100
  printf "  ReplayGain / conversion:           %8.3f  (%+.1f %%)\n", g / c, (g / c - 1) * 100
  printf "  both / conversion:                 %8.3f  (%+.1f %%)\n", b / c, (b / c - 1) * 100
}'
