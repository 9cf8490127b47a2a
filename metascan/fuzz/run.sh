#!/bin/sh
# Runs the metascan fuzz targets (one per reader) for SECONDS each, with their seed corpora.
# Usage: metascan/fuzz/run.sh [SECONDS]    (default: 60)
set -eu
cd "$(dirname "$0")/../.."
exec scripts/fuzz "${1:-60}" '^fuzz_\(id3v1\|asf\|rm\|mov\)$'
