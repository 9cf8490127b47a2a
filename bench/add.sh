#!/bin/sh
# Adding a library of 1,000 files: a folder tree (20 folders of 50 files: 4-minute WMA, MP3 with
# a cover picture and FLAC, all tagged) added through the main window with "same settings" for
# the rest, against the inspection alone of the same files, in one run; and ffprobe on 100 of
# them as an outside reference for what reading a file costs. Prints the seconds and the
# milliseconds per file of each and the ratios. Adding 1,000 files should take under 10 s.
# Usage: bench/add.sh [FILES]
set -eu
cd "$(dirname "$0")/.."
files="${1:-1000}"
. bench/common.sh
bench_prepare bench_add_files add
export TAVISTO_REGISTRY="$work/Tavisto.reg" XDG_DATA_HOME="$work/data"

echo "Generating $files files ..."
tone="sine=frequency=440:duration=240"
tags="-metadata title=Song -metadata artist=Artist -metadata album_artist=Various -metadata album=Album -metadata track=3/12 -metadata date=2004"
ffmpeg -nostdin -loglevel error -y -f lavfi -i "$tone" $tags -c:a wmav2 -b:a 128k "$work/a.wma"
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=s=500x500 -frames:v 1 "$work/cover.jpg"
ffmpeg -nostdin -loglevel error -y -f lavfi -i "$tone" -i "$work/cover.jpg" -map 0 -map 1 $tags \
  -c:a libmp3lame -b:a 192k -c:v copy -id3v2_version 3 -disposition:v attached_pic "$work/b.mp3"
ffmpeg -nostdin -loglevel error -y -f lavfi -i "$tone" $tags -c:a flac "$work/c.flac"
i=0
while [ "$i" -lt "$files" ]; do
  folder="$work/library/Folder $((i / 50 + 1))"
  mkdir -p "$folder"
  case $((i % 3)) in
    0) cp "$work/a.wma" "$folder/Track $i.wma" ;;
    1) cp "$work/b.mp3" "$folder/Track $i.mp3" ;;
    2) cp "$work/c.flac" "$folder/Track $i.flac" ;;
  esac
  i=$((i + 1))
done

build/bench/bench_add_files "$work/library" > "$work/result"
cat "$work/result"
start=$(date +%s.%N)
find "$work/library" -type f | head -n 100 | while read -r f; do ffprobe -v error -show_format -show_streams "$f" >/dev/null; done
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" '
  $1 == "add" { add = $4; addSeconds = $3 }
  $1 == "inspect" { inspect = $4 }
  END {
    probe = (e - s) * 1000 / 100
    printf "ffprobe 100 %.3f %.2f\n", (e - s), probe
    printf "add per file / inspection alone: %.2f\n", add / inspect
    printf "inspection per file / ffprobe per file: %.2f\n", inspect / probe
    printf "adding %d files took %.1f s (%s)\n", '"$files"', addSeconds, addSeconds < 10 ? "under 10 s" : "OVER 10 s"
  }' "$work/result"
