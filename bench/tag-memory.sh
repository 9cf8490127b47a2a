#!/bin/sh
# Peak memory of tavisto-convert over eight sources whose tags are large, at one job and at eight,
# against the same eight sources without tags: each file's tags are read as it starts, in turn,
# and let go once written, so eight at once should cost little more than one.
# Three kinds of 12 MB tags in FLAC files: an 11 MB cover with 1 MB of texts, twelve texts of
# 1000 KB (all carried), and one text of 12 MB (too large: left out with a warning).
# Usage: bench/tag-memory.sh   (needs python3-mutagen and GNU time)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
bench_prepare tavisto-convert tag-memory
convert="$(pwd)/build/cli/tavisto-convert"

music 20 "$work/plain.flac" 220 554 -c:a flac
/usr/bin/python3 - "$work" <<'PY'
import os, shutil, sys
import mutagen.flac
work = sys.argv[1]
def make(kind, fill):
    for i in range(8):
        path = os.path.join(work, "%s%d.flac" % (kind, i))
        shutil.copy(os.path.join(work, "plain.flac"), path)
        if fill:
            f = mutagen.flac.FLAC(path)
            fill(f)
            f.save()
def cover(f):
    p = mutagen.flac.Picture()
    p.type, p.mime = 3, "image/jpeg"
    p.data = b"\xff\xd8\xff\xe0" + os.urandom(11 * 1024 * 1024 - 4)
    f.add_picture(p)
    f["LYRICS"] = "l" * (1000 * 1024)
def texts(f):
    for i in range(12):
        f["FIELD%d" % i] = chr(ord("a") + i) * (1000 * 1024)
def huge(f):
    f["LYRICS"] = "x" * (12 * 1024 * 1024)
make("none", None)
make("cover", cover)
make("texts", texts)
make("huge", huge)
PY

peak() {  # peak KB of a run over the eight files of kind $1 with $2 jobs
  rm -rf "$work/out"
  /usr/bin/time -f "%M" "$convert" -q -j "$2" -o "$work/out/" "$work/$1"?.flac 2>&1 >/dev/null | tail -n 1
}
echo "Peak memory of tavisto-convert over eight 20 s FLAC files (KB, whole process):"
for jobs in 1 8; do
  base=$(peak none "$jobs")
  printf "  -j %d, no tags:                    %8d\n" "$jobs" "$base"
  for kind in cover texts huge; do
    kb=$(peak "$kind" "$jobs")
    awk -v k="$kb" -v b="$base" -v kind="$kind" -v j="$jobs" 'BEGIN {
      printf "  -j %d, 12 MB tags (%-5s):          %8d  %5.2fx the run without tags\n", j, kind, k, k / b }'
  done
done
echo "  (goal: under 250 MB with eight jobs)"
