#!/bin/sh
# A batch conversion with one file at a time against two at a time, in one run: eight 2-minute
# music-like stereo 44.1 kHz WMA files converted by tavisto-convert at CBR 192 with --jobs 1 and
# with --jobs 2. Prints the medians of the wall time and of the total CPU time (user + system)
# of each, their ratios, and the peak memory of each. On two cores, --jobs 2 should take at most
# 0.55 × the wall time of --jobs 1 at no more than 1.03 × its CPU time, and stay under 40 MB of
# memory per file converting. Wall times need an otherwise idle machine.
# Usage: bench/batch.sh [ROUNDS]
set -eu
cd "$(dirname "$0")/.."
rounds="${1:-3}"
. bench/common.sh
bench_prepare tavisto-convert batch
convert="$(pwd)/build/cli/tavisto-convert"

echo "Generating eight 2-minute sources ..."
mkdir -p "$work/in"
i=0
for pitch in 196 220 247 262 294 330 349 392; do
  i=$((i + 1))
  # Each file at other pitches, so that no two are the same work for the encoder.
  music 120 "$work/in/song$i.wma" "$pitch" "$((pitch * 2))"
done

# Runs a batch with --jobs $1; prints "wall-seconds cpu-seconds peak-kilobytes".
batch() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$convert" -q --jobs "$1" -o "$work/out/" "$work"/in/*.wma
  awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$work/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/one"; : >"$work/two"
for r in $(seq "$rounds"); do
  batch 1 >>"$work/one"
  batch 2 >>"$work/two"
  echo "round $r: --jobs 1 $(tail -n1 "$work/one" | cut -d' ' -f1-2) s, --jobs 2 $(tail -n1 "$work/two" | cut -d' ' -f1-2) s (wall, cpu)"
done
w1=$(cut -d' ' -f1 "$work/one" | median); c1=$(cut -d' ' -f2 "$work/one" | median); m1=$(cut -d' ' -f3 "$work/one" | median)
w2=$(cut -d' ' -f1 "$work/two" | median); c2=$(cut -d' ' -f2 "$work/two" | median); m2=$(cut -d' ' -f3 "$work/two" | median)

echo
echo "Eight 2-minute WMA files to MP3 at CBR 192 on $(nproc) cores (medians of $rounds rounds):"
printf "  --jobs 1:  %7.2f s wall  %7.2f s cpu  %7d KB peak\n" "$w1" "$c1" "$m1"
printf "  --jobs 2:  %7.2f s wall  %7.2f s cpu  %7d KB peak\n" "$w2" "$c2" "$m2"
awk -v w1="$w1" -v w2="$w2" -v c1="$c1" -v c2="$c2" -v m2="$m2" 'BEGIN {
  printf "  wall time, --jobs 2 / --jobs 1:  %6.3f  (target: at most 0.55 on two cores)\n", w2 / w1
  printf "  cpu time,  --jobs 2 / --jobs 1:  %6.3f  (target: at most 1.03)\n", c2 / c1
  printf "  peak memory per running file:     %6.1f MB  (target: under 40 MB)\n", m2 / 2 / 1024 }'
