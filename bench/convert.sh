#!/bin/sh
# A full conversion measured against the encoder's own limit and against FFmpeg, in one run:
#   tavisto-convert at CBR 192 (the desktop program's pipeline and settings),
#   ffmpeg -c:a libmp3lame -b:a 192k -compression_level 2,
#   lame -b 192 -q 2 on the source decoded to WAV beforehand (LAME alone, no decoding), and the
#   same with --noreplaygain (the command line's ReplayGain analysis is work Tavisto does not do,
#   so that line is the encoder's own limit at exactly Tavisto's settings),
# on a 10-minute music-like stereo 44.1 kHz WMA; then the peak memory of tavisto-convert on a
# 10-minute and a 60-minute source. Then the same music as two sources that take other paths:
# a mono 22.05 kHz WMA converted to 44.1 kHz joint stereo (against ffmpeg -ar 44100 -ac 2), and
# a 16-bit stereo FLAC (integer samples). Then one long file on every core: the 10-minute WMA
# with --jobs 2 against --jobs 1 (wall and CPU time). Prints medians (CPU seconds, user + system)
# and ratios. Against ffmpeg, tavisto-convert runs with --no-verify --no-replaygain: ffmpeg neither
# checks what it wrote nor measures loudness (bench/verify.sh prints what those two cost), and
# with --jobs 1, as ffmpeg encodes one file on one core.
# CPU times are only comparable on an otherwise idle machine; the medians damp the rest. With
# valgrind present, the instructions on the first 30 seconds of each source are also counted
# (callgrind): exact and repeatable whatever else the machine is doing, with two more lines: VBR
# at LAME's quality 2 (-V 2 against ffmpeg -q:a 2) and a 96 kHz 24-bit FLAC.
# Usage: bench/convert.sh [ROUNDS]
set -eu
cd "$(dirname "$0")/.."
rounds="${1:-3}"
. bench/common.sh
bench_prepare tavisto-convert bench
# The program measured; every run below goes through this one path, doing what ffmpeg does.
convert="$(pwd)/build/cli/tavisto-convert"
# One job: ffmpeg encodes a file on one core, and so does tavisto-convert with -j 1 (with more,
# a single file is split across the cores, which the one-file line below measures).
# shellcheck disable=SC2086 # $same holds separate options throughout
same="--no-verify --no-replaygain -j 1"

echo "Generating the sources (10 and 60 minutes; 2 minutes of mono WMA and of FLAC) ..."
music 600 "$work/ten.wma" 220 440
# Six times the ten minutes, without encoding them again.
ffmpeg -nostdin -loglevel error -y -stream_loop 5 -i "$work/ten.wma" -c copy "$work/sixty.wma"
ffmpeg -nostdin -loglevel error -y -i "$work/ten.wma" "$work/ten.wav"
music 120 "$work/mono.wma" 220 440 -ac 1 -ar 22050 -c:a wmav2 -b:a 64k
music 120 "$work/two.flac" 220 440 -c:a flac -sample_fmt s16

# Runs a command; prints "cpu-seconds peak-kilobytes".
measure() {
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>&1
  awk '{ printf "%.2f %d\n", $1 + $2, $3 }' "$work/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/tavisto"; : >"$work/ffmpeg"; : >"$work/lame"; : >"$work/lamenrg"
for r in $(seq "$rounds"); do
  measure "$convert" $same -q --force -o "$work/t.mp3" "$work/ten.wma" | cut -d' ' -f1 >>"$work/tavisto"
  measure ffmpeg -nostdin -y -i "$work/ten.wma" -c:a libmp3lame -b:a 192k -compression_level 2 "$work/f.mp3" \
    | cut -d' ' -f1 >>"$work/ffmpeg"
  measure lame --quiet -b 192 -q 2 "$work/ten.wav" "$work/l.mp3" | cut -d' ' -f1 >>"$work/lame"
  measure lame --quiet --noreplaygain -b 192 -q 2 "$work/ten.wav" "$work/l.mp3" | cut -d' ' -f1 >>"$work/lamenrg"
  echo "round $r: tavisto-convert $(tail -n1 "$work/tavisto") s, ffmpeg $(tail -n1 "$work/ffmpeg") s," \
    "lame $(tail -n1 "$work/lame") s, lame --noreplaygain $(tail -n1 "$work/lamenrg") s"
done
t=$(median <"$work/tavisto"); f=$(median <"$work/ffmpeg"); l=$(median <"$work/lame"); n=$(median <"$work/lamenrg")
mem10=$(measure "$convert" $same -q --force -o "$work/t.mp3" "$work/ten.wma" | cut -d' ' -f2)
mem60=$(measure "$convert" $same -q --force -o "$work/t.mp3" "$work/sixty.wma" | cut -d' ' -f2)

echo
echo "10 minutes of stereo 44.1 kHz WMA to MP3 at CBR 192 (median CPU seconds of $rounds rounds):"
printf "  lame alone on decoded PCM:   %7.2f s\n" "$l"
printf "  the same, --noreplaygain:    %7.2f s\n" "$n"
printf "  ffmpeg with libmp3lame:      %7.2f s\n" "$f"
printf "  tavisto-convert:             %7.2f s\n" "$t"
awk -v t="$t" -v l="$l" -v n="$n" -v f="$f" 'BEGIN {
  printf "  tavisto-convert / lame:      %7.3f  (target: at most 1.05)\n", t / l
  printf "  ... / lame --noreplaygain:   %7.3f  (target: at most 1.05)\n", t / n
  printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'
echo "Peak memory of tavisto-convert:"
printf "  10-minute source:            %7d KB\n" "$mem10"
printf "  60-minute source:            %7d KB  (target: under 40 MB, the same for both)\n" "$mem60"

# The two other paths, each against ffmpeg at the same settings: a mono source at half the MP3's
# rate (resampled, and its one channel made two) and a source of integer samples.
mono_settings="-r 44100 -m joint -b 192"
: >"$work/tmono"; : >"$work/fmono"; : >"$work/tflac"; : >"$work/fflac"
for r in $(seq "$rounds"); do
  # shellcheck disable=SC2086 # the settings are separate words
  measure "$convert" $same -q --force $mono_settings -o "$work/t.mp3" "$work/mono.wma" | cut -d' ' -f1 >>"$work/tmono"
  measure ffmpeg -nostdin -y -i "$work/mono.wma" -ar 44100 -ac 2 -c:a libmp3lame -b:a 192k -compression_level 2 \
    "$work/f.mp3" | cut -d' ' -f1 >>"$work/fmono"
  measure "$convert" $same -q --force -o "$work/t.mp3" "$work/two.flac" | cut -d' ' -f1 >>"$work/tflac"
  measure ffmpeg -nostdin -y -i "$work/two.flac" -c:a libmp3lame -b:a 192k -compression_level 2 "$work/f.mp3" \
    | cut -d' ' -f1 >>"$work/fflac"
  echo "round $r: mono WMA: tavisto-convert $(tail -n1 "$work/tmono") s, ffmpeg $(tail -n1 "$work/fmono") s;" \
    "FLAC: tavisto-convert $(tail -n1 "$work/tflac") s, ffmpeg $(tail -n1 "$work/fflac") s"
done
tm=$(median <"$work/tmono"); fm=$(median <"$work/fmono"); tc=$(median <"$work/tflac"); fc=$(median <"$work/fflac")
echo
echo "2 minutes of mono 22.05 kHz WMA to 44.1 kHz joint stereo MP3 at CBR 192 (median CPU seconds):"
printf "  ffmpeg -ar 44100 -ac 2:      %7.2f s\n" "$fm"
printf "  tavisto-convert:             %7.2f s\n" "$tm"
awk -v t="$tm" -v f="$fm" 'BEGIN { printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'
echo "2 minutes of 16-bit stereo 44.1 kHz FLAC to MP3 at CBR 192 (median CPU seconds):"
printf "  ffmpeg with libmp3lame:      %7.2f s\n" "$fc"
printf "  tavisto-convert:             %7.2f s\n" "$tc"
awk -v t="$tc" -v f="$fc" 'BEGIN { printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'

# One long file on every core: the same 10 minutes with two jobs, split into blocks encoded side
# by side, against one job. Wall time is the best of the rounds (the least disturbed), CPU time
# the median.
: >"$work/wall1"; : >"$work/wall2"; : >"$work/cpu1"; : >"$work/cpu2"
for r in $(seq "$rounds"); do
  for jobs in 1 2; do
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$convert" $same -j "$jobs" -q --force -o "$work/t.mp3" \
      "$work/ten.wma" >/dev/null 2>&1
    awk '{ print $1 }' "$work/time" >>"$work/wall$jobs"
    awk '{ printf "%.2f\n", $2 + $3 }' "$work/time" >>"$work/cpu$jobs"
  done
  echo "round $r: one file, --jobs 1: $(tail -n1 "$work/wall1") s, --jobs 2: $(tail -n1 "$work/wall2") s (wall)"
done
w1=$(sort -n "$work/wall1" | head -n1); w2=$(sort -n "$work/wall2" | head -n1)
c1=$(median <"$work/cpu1"); c2=$(median <"$work/cpu2")
echo
echo "One 10-minute WMA on every core (--jobs 2 against --jobs 1, $(nproc) cores):"
printf "  wall, best of %d:  %7.2f s against %7.2f s\n" "$rounds" "$w2" "$w1"
printf "  CPU, median:      %7.2f s against %7.2f s\n" "$c2" "$c1"
awk -v w1="$w1" -v w2="$w2" -v c1="$c1" -v c2="$c2" 'BEGIN {
  printf "  wall ratio:       %7.3f  (target: at most 0.60 on two cores)\n", w2 / w1
  printf "  CPU ratio:        %7.3f  (target: at most 1.10)\n", c2 / c1 }'

if command -v valgrind >/dev/null 2>&1; then
  ffmpeg -nostdin -loglevel error -y -i "$work/ten.wma" -t 30 -c copy "$work/half.wma"
  ffmpeg -nostdin -loglevel error -y -i "$work/half.wma" "$work/half.wav"
  count() {
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --trace-children=no "$@" 2>&1 |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -n 1
  }
  ti=$(count "$convert" $same -q --force -o "$work/t.mp3" "$work/half.wma")
  fi=$(count ffmpeg -nostdin -loglevel error -y -i "$work/half.wma" -c:a libmp3lame -b:a 192k \
    -compression_level 2 "$work/f.mp3")
  li=$(count lame --quiet --noreplaygain -b 192 -q 2 "$work/half.wav" "$work/l.mp3")
  # FFmpeg hands LAME the decoder's float samples; LAME spends less on those than on the same
  # audio in 16 bits, which is what Tavisto's pipeline (and lame on a WAV file) carries.
  wi=$(count ffmpeg -nostdin -loglevel error -y -i "$work/half.wav" -c:a libmp3lame -b:a 192k \
    -compression_level 2 "$work/w.mp3")
  echo "Instructions for 30 seconds (callgrind):"
  printf "  lame --noreplaygain:         %14d\n" "$li"
  printf "  ffmpeg with libmp3lame:      %14d\n" "$fi"
  printf "  ffmpeg on the 16-bit PCM:    %14d\n" "$wi"
  printf "  tavisto-convert:             %14d\n" "$ti"
  awk -v t="$ti" -v l="$li" -v f="$fi" -v w="$wi" 'BEGIN {
    printf "  tavisto-convert / lame:      %7.3f  (target: at most 1.03)\n", t / l
    printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f
    printf "  ... / ffmpeg on 16-bit PCM:  %7.3f\n", t / w }'

  ffmpeg -nostdin -loglevel error -y -i "$work/mono.wma" -t 30 -c copy "$work/mono30.wma"
  ffmpeg -nostdin -loglevel error -y -i "$work/two.flac" -t 30 -c:a flac -sample_fmt s16 "$work/flac30.flac"
  ffmpeg -nostdin -loglevel error -y -i "$work/flac30.flac" "$work/flac30.wav"
  # shellcheck disable=SC2086 # the settings are separate words
  tm=$(count "$convert" $same -q --force $mono_settings -o "$work/t.mp3" "$work/mono30.wma")
  fm=$(count ffmpeg -nostdin -loglevel error -y -i "$work/mono30.wma" -ar 44100 -ac 2 -c:a libmp3lame -b:a 192k \
    -compression_level 2 "$work/f.mp3")
  tc=$(count "$convert" $same -q --force -o "$work/t.mp3" "$work/flac30.flac")
  fc=$(count ffmpeg -nostdin -loglevel error -y -i "$work/flac30.flac" -c:a libmp3lame -b:a 192k \
    -compression_level 2 "$work/f.mp3")
  lc=$(count lame --quiet --noreplaygain -b 192 -q 2 "$work/flac30.wav" "$work/l.mp3")
  echo "Instructions for 30 seconds of mono 22.05 kHz WMA to 44.1 kHz joint stereo (callgrind):"
  printf "  ffmpeg -ar 44100 -ac 2:      %14d\n" "$fm"
  printf "  tavisto-convert:             %14d\n" "$tm"
  awk -v t="$tm" -v f="$fm" 'BEGIN { printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'
  echo "Instructions for 30 seconds of 16-bit stereo FLAC (callgrind):"
  printf "  lame --noreplaygain:         %14d\n" "$lc"
  printf "  ffmpeg with libmp3lame:      %14d\n" "$fc"
  printf "  tavisto-convert:             %14d\n" "$tc"
  # LAME does the same work on the same 16-bit samples here; what lame on the WAV does not do is
  # decoding the FLAC (about 3 % of the whole), so this ratio has no target of its own.
  awk -v t="$tc" -v l="$lc" -v f="$fc" 'BEGIN {
    printf "  tavisto-convert / lame:      %7.3f  (decoding the FLAC included)\n", t / l
    printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'

  # VBR at LAME's quality 2, on the library's default method, as ffmpeg -q:a 2 encodes.
  tv=$(count "$convert" $same -q --force -V 2 -o "$work/t.mp3" "$work/half.wma")
  fv=$(count ffmpeg -nostdin -loglevel error -y -i "$work/half.wma" -c:a libmp3lame -q:a 2 "$work/f.mp3")
  echo "Instructions for 30 seconds of stereo WMA to VBR -V 2 (callgrind):"
  printf "  ffmpeg -q:a 2:               %14d\n" "$fv"
  printf "  tavisto-convert -V 2:        %14d\n" "$tv"
  awk -v t="$tv" -v f="$fv" 'BEGIN { printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'

  # A hi-res source: 24 bits at 96 kHz, to 44.1 kHz at CBR 192; its samples reach the encoder
  # as floats, resampled once.
  ffmpeg -nostdin -loglevel error -y -i "$work/half.wav" -af aresample=96000:resampler=soxr -c:a flac \
    -sample_fmt s32 -bits_per_raw_sample 24 "$work/hires.flac"
  th=$(count "$convert" $same -q --force -r 44100 -b 192 -o "$work/t.mp3" "$work/hires.flac")
  fh=$(count ffmpeg -nostdin -loglevel error -y -i "$work/hires.flac" -ar 44100 -c:a libmp3lame -b:a 192k \
    -compression_level 2 "$work/f.mp3")
  echo "Instructions for 30 seconds of 96 kHz 24-bit FLAC to 44.1 kHz CBR 192 (callgrind):"
  printf "  ffmpeg -ar 44100:            %14d\n" "$fh"
  printf "  tavisto-convert -r 44100:    %14d\n" "$th"
  awk -v t="$th" -v f="$fh" 'BEGIN { printf "  tavisto-convert / ffmpeg:    %7.3f  (target: at most 1.00)\n", t / f }'
fi

if command -v valgrind >/dev/null 2>&1; then
  # The one-file split in instructions, every thread counted: the CPU ratio above without the
  # machine's noise (two busy cores each run slower than one busy core alone).
  t1=$(count "$convert" $same -q --force -j 1 -o "$work/t.mp3" "$work/half.wma")
  t2=$(count "$convert" $same -q --force -j 2 -o "$work/t.mp3" "$work/half.wma")
  echo "Instructions for 30 seconds of stereo WMA, split on two cores against one (callgrind):"
  printf "  tavisto-convert -j 1:        %14d\n" "$t1"
  printf "  tavisto-convert -j 2:        %14d\n" "$t2"
  awk -v a="$t1" -v b="$t2" 'BEGIN { printf "  -j 2 / -j 1:                 %7.3f  (target: at most 1.10)\n", b / a }'
fi
