#!/bin/sh
# A desktop run against the command line on the same files, in one run: 26 short music-like
# sources of mixed kinds (WMA, WMV, MP3, FLAC, WAV, Ogg Vorbis, Opus, AAC; stereo and mono;
# 22.05 to 48 kHz; 3 to 9 seconds) converted at the built-in settings (CBR 192, joint stereo,
# 44.1 kHz) into an empty output folder, with the same number of conversions at once, by
#   the desktop program: bench_gui_run (bench/gui_run.cpp), the program's windows wired as its
#     main() wires them, on one Xvfb display for the whole script; the files added as from the
#     command line (the first through the wizard, "same settings" for the rest), Start clicked as
#     soon as the add is done, the end question answered, the program ended with the run;
#   tavisto-convert -q -j JOBS -o FOLDER/ FILE...
# alternating, ROUNDS pairs after one unmeasured pair. Prints each pair, then the medians: the
# desktop's wall seconds from its start to the run's end (when the end question comes up) and in
# all, with its phases (windows shown, files added, the run from Start); tavisto-convert's; the
# CPU seconds of both; and the medians of the pairs' ratios desktop / command line: the desktop's
# run from Start to its end (what a user times; target: at most 1.05), from the desktop's start
# to the run's end, and of the whole processes. Both convert alike, so a run from Start that
# takes longer than the whole command line is time spent waiting; the rest of the difference is
# the desktop's own work before Start: its windows, and the inspection and listing of each added
# file. Wall times need an otherwise idle machine: on a shared one, look at the rounds whose
# command line took the least.
# Usage: bench/gui-run.sh [ROUNDS [JOBS]]   (JOBS: built in, the number of cores)
set -eu
cd "$(dirname "$0")/.."
rounds="${1:-5}"
jobs="${2:-$(nproc)}"
# One X server for every round, so that starting it is measured for neither side.
if [ -z "${TAVISTO_GUI_RUN_DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "gui-run.sh: xvfb-run is missing (apt-get install xvfb)" >&2; exit 1; }
  exec env TAVISTO_GUI_RUN_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$rounds" "$jobs"
fi
. bench/common.sh
bench_prepare bench_gui_run gui-run
cmake --build build -j"$(nproc)" --target tavisto-convert >/dev/null
gui="$(pwd)/build/bench/bench_gui_run"
convert="$(pwd)/build/cli/tavisto-convert"
# Settings of their own: the user's are neither read nor changed; no tips, no second instance.
export TAVISTO_REGISTRY="$work/Tavisto.reg" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=xcb

echo "Generating 26 short sources ..."
mkdir -p "$work/in"
i=0
for pitch in 196 208 220 233 247 262 277 294 311 330 349 370 392 415 440 466 494 523 554 587 622 659 698 740 784 831; do
  i=$((i + 1))
  seconds=$((3 + i % 7))
  name="$work/in/$(printf 'track%02d' "$i")"
  # Each file at other pitches, so that no two are the same work for the encoder.
  case $((i % 9)) in
    0) music "$seconds" "$name.wma" "$pitch" "$((pitch * 2))" ;;
    1) music "$seconds" "$name.mp3" "$pitch" "$((pitch * 2))" -c:a libmp3lame -b:a 160k ;;
    2) music "$seconds" "$name.flac" "$pitch" "$((pitch * 2))" -c:a flac -sample_fmt s16 ;;
    3) music "$seconds" "$name.wav" "$pitch" "$((pitch * 2))" -c:a pcm_s16le -ar 48000 ;;
    4) music "$seconds" "$name.ogg" "$pitch" "$((pitch * 2))" -c:a libvorbis -q:a 4 ;;
    5) music "$seconds" "$name.wma" "$pitch" "$((pitch * 2))" -ac 1 -ar 22050 -c:a wmav2 -b:a 64k ;;
    6) music "$seconds" "$name.opus" "$pitch" "$((pitch * 2))" -c:a libopus -b:a 96k ;;
    7) music "$seconds" "$name.m4a" "$pitch" "$((pitch * 2))" -c:a aac -b:a 128k -ar 48000 ;;
    8) music "$seconds" "$name.audio.wma" "$pitch" "$((pitch * 2))"
       ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=s=320x240:r=15:d=$seconds" -i "$name.audio.wma" \
         -map 0:v -map 1:a -c:v wmv2 -c:a copy "$name.wmv"
       rm "$name.audio.wma" ;;
  esac
done
set -- "$work"/in/*
echo "$# files, $(du -sh "$work/in" | cut -f1), $jobs at once"

now() { date +%s.%N; }
# Each run writes into an empty folder: nothing exists to ask about, and every file is converted.
# desktop FILE...: prints "to-the-run's-end whole-process windows-shown files-added run cpu
# ui-cpu-before-the-run ui-cpu-in-the-run" (seconds).
desktop() {
  rm -rf "$work/out"
  mkdir "$work/out"
  start=$(now)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$gui" "$work/out" "$jobs" "$@" >"$work/phases" 2>"$work/log" ||
    { cat "$work/log" "$work/phases" >&2; exit 1; }
  end=$(now)
  cpu=$(awk '{ print $1 + $2 }' "$work/cpu")
  awk -v s="$start" -v e="$end" -v cpu="$cpu" '{
    printf "%.3f %.3f %.3f %.3f %.3f %.2f %.3f %.3f\n", $11 - s, e - s, $3, $5, $9 - $5, cpu, $13, $14 }' "$work/phases"
}
# command_line FILE...: prints "whole-process cpu" (seconds).
command_line() {
  rm -rf "$work/out"
  mkdir "$work/out"
  start=$(now)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$convert" -q -j "$jobs" -o "$work/out/" "$@" 2>"$work/log" ||
    { cat "$work/log" >&2; exit 1; }
  end=$(now)
  awk -v s="$start" -v e="$end" '{ printf "%.3f %.2f\n", e - s, $1 + $2 }' "$work/cpu"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A first pair unmeasured: the files and the programs come into the page cache.
desktop "$@" >/dev/null
command_line "$@" >/dev/null
: >"$work/pairs"
for r in $(seq "$rounds"); do
  # Alternating, so that what else the machine does weighs on both alike.
  echo "$(desktop "$@") $(command_line "$@")" >>"$work/pairs"
  tail -n1 "$work/pairs" | awk -v r="$r" '{
    printf "round %d: desktop %.2f s to the run'"'"'s end, %.2f s in all (windows shown at %.2f s, files added at %.2f s, run %.2f s); tavisto-convert %.2f s; ratio %.3f\n",
      r, $1, $2, $3, $4, $5, $9, $1 / $9 }'
done
column() { awk -v c="$1" '{ print $c }' "$work/pairs" | median; }
ratio() { awk -v a="$1" -v b="$2" '{ print $a / $b }' "$work/pairs" | median; }

echo
echo "$# mixed short sources to MP3 at CBR 192, $jobs at once (medians of $rounds rounds):"
printf "  desktop, from its start to the run's end:  %6.2f s  (windows shown at %.2f s, files added at %.2f s, run from Start %.2f s)\n" \
  "$(column 1)" "$(column 3)" "$(column 4)" "$(column 5)"
printf "  desktop, the whole process:                %6.2f s\n" "$(column 2)"
printf "  tavisto-convert, the whole process:        %6.2f s\n" "$(column 9)"
printf "  CPU: desktop %.2f s (its user-interface thread %.2f s before Start, %.2f s during the run), tavisto-convert %.2f s\n" \
  "$(column 6)" "$(column 7)" "$(column 8)" "$(column 10)"
printf "  desktop run, Start to its end / command line:    %6.3f  (target: at most 1.05)\n" "$(ratio 5 9)"
printf "  desktop, its start to the run's end / command line: %6.3f  (its windows and the add included)\n" "$(ratio 1 9)"
printf "  desktop / command line, whole processes:          %6.3f\n" "$(ratio 2 9)"
