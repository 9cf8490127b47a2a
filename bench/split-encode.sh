#!/bin/sh
# The split MP3 encoder (engine/mp3_stream_encoder.h) on 10 minutes of music-like PCM, fed as the
# pipeline feeds it (float samples, 16 KB blocks), at 192 kbps:
#  1. wall and CPU time with one worker and with two, several rounds, the best of each, and their
#     ratios (the wall time suffers from whatever else the machine runs: hence the best round);
#  2. with valgrind present, the instructions each way spends on 30 seconds, counted by
#     callgrind over every thread: the CPU ratio, exact and repeatable.
# Usage: bench/split-encode.sh [ROUNDS]   (default 3)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
bench_prepare bench_split_encode split
bench=build/bench/bench_split_encode

music 600 "$work/music.f32" 220 440 -f f32le -c:a pcm_f32le
echo "Split encoding, 10 minutes of music-like PCM at 44.1 kHz, CBR 192 kbps:"
"$bench" time "$work/music.f32" 44100 "${1:-3}"

if command -v valgrind >/dev/null 2>&1; then
  head -c $((30 * 44100 * 8)) "$work/music.f32" >"$work/music30.f32"
  count() {
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
      "$bench" encode "$work/music30.f32" 44100 /dev/null "$1" cbr 192 2>&1 |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
  }
  one=$(count 1)
  two=$(count 2)
  echo
  echo "Instructions for 30 seconds of PCM (callgrind, every thread):"
  printf "  1 worker:   %14d\n" "$one"
  printf "  2 workers:  %14d\n" "$two"
  awk -v a="$one" -v b="$two" 'BEGIN { printf "  ratio 2/1:  %.3f (goal: at most 1.10)\n", b / a }'
fi
