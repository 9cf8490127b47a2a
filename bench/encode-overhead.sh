#!/bin/sh
# What the pipeline framework costs over LAME called directly: 10 minutes of PCM encoded both
# ways in one run, several rounds, medians and their ratio.
# Usage: bench/encode-overhead.sh [ROUNDS]   (default 5; run it on an otherwise idle machine)
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target bench_encode_overhead >/dev/null
build/bench/bench_encode_overhead "${1:-5}" "${TMPDIR:-/tmp}"
