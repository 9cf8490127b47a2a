#!/bin/sh
# What the pipeline framework costs over LAME called directly: the same music-like PCM encoded
# both ways in one run.
#  1. CPU time of 10 minutes, several rounds, medians and the best round (noisy on a busy or
#     virtual machine);
#  2. with valgrind present, the instructions each way spends on 30 seconds, counted by
#     callgrind: exact and repeatable, whatever else the machine is doing.
# Usage: bench/encode-overhead.sh [ROUNDS]   (default 5)
set -eu
cd "$(dirname "$0")/.."
. bench/common.sh
bench_prepare bench_encode_overhead bench
bench=build/bench/bench_encode_overhead

"$bench" "${1:-5}" "$work"

if command -v valgrind >/dev/null 2>&1; then
  count() {
    # Only the encoding is counted (not the making of the PCM): for the pipeline, the caller's
    # part and the whole of the output's worker thread.
    mode=$1
    shift
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --collect-atstart=no "$@" \
      "$bench" 1 "$work" --once "$mode" 30 2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
  }
  direct=$(count direct --toggle-collect='*DirectLoop*')
  pipeline=$(count pipeline --toggle-collect='*ThroughPipeline*' --toggle-collect='*TACSThread::Execute*')
  echo
  echo "Instructions for 30 seconds of PCM (callgrind):"
  printf "  LAME called directly:   %14d\n" "$direct"
  printf "  through Mp3Output:      %14d\n" "$pipeline"
  awk -v p="$pipeline" -v d="$direct" 'BEGIN { printf "  framework overhead:     %+7.2f %% (target: under 3 %%)\n", (p / d - 1) * 100 }'
fi
