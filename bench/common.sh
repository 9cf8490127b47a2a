# Shared by the benchmark scripts (sourced, from the repository's top folder).

# bench_prepare TARGET NAME: builds TARGET in the Release tree build/ and makes $work, a
# temporary folder removed when the script ends.
bench_prepare() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j"$(nproc)" --target "$1" >/dev/null
  work="$(mktemp -d "${TMPDIR:-/tmp}/tavisto-$2-XXXXXX")"
  trap 'rm -rf "$work"' EXIT
}

# Chords with vibrato and tremolo over pink noise: something the encoder must work on.
# music SECONDS OUTPUT LOW HIGH [ENCODER OPTIONS ...]: LOW and HIGH pitch two of the voices (and
# seed the noise), so that sources at other pitches are not the same work for the encoder; by
# default a stereo 44.1 kHz WMA at 160 kbps.
music() {
  seconds="$1"
  output="$2"
  low="$3"
  high="$4"
  shift 4
  [ $# -gt 0 ] || set -- -c:a wmav2 -b:a 160k
  ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "aevalsrc=0.25*sin(2*PI*$low*t)*(0.6+0.4*sin(2*PI*0.5*t))+0.2*sin(2*PI*330*t+2*sin(2*PI*5*t))+0.1*sin(2*PI*1318*t)*(0.5+0.5*sin(2*PI*3*t))|0.25*sin(2*PI*277*t)*(0.6+0.4*sin(2*PI*0.4*t))+0.2*sin(2*PI*$high*t+2*sin(2*PI*4*t))+0.1*sin(2*PI*1760*t)*(0.5+0.5*sin(2*PI*2*t)):s=44100:d=$seconds" \
    -f lavfi -i "anoisesrc=c=pink:a=0.08:r=44100:d=$seconds:seed=$low" \
    -filter_complex "[0][1]amix=inputs=2:normalize=0,aformat=channel_layouts=stereo" \
    "$@" "$output"
}
