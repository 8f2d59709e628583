#!/usr/bin/env bash
# Builds the Google Benchmark programs (Release) and runs them.
# Usage: scripts/bench.sh [--build-only]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMEDLEY_BUILD_TESTS=OFF \
  -DMEDLEY_BUILD_BENCH=ON >/dev/null
ninja -C build-bench -j"$(nproc)"
[ "${1:-}" = "--build-only" ] && exit 0
for program in build-bench/bench/*_bench; do
  echo "== $program"
  "$program"
done
