#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/install-deps.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMEDLEY_BUILD_TESTS=OFF -DMEDLEY_BUILD_FUZZ=ON >/dev/null
targets=$(ninja -C build-fuzz -t targets all | grep -v '^cmake_' | sed -n 's/^\([a-z0-9_]*_fuzzer\): .*/\1/p' | sort -u)
ninja -C build-fuzz -j"$(nproc)" $targets
for target in $targets; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  seeds=fuzz/corpus/${target%_fuzzer}
  [ -d "$seeds" ] || seeds=
  # Inputs up to 4 KiB, except SDP offers, which grow big (many media lines).
  case $target in
    sdp_negotiation_fuzzer) max_len=65536 ;;
    *) max_len=4096 ;;
  esac
  echo "-- $target for ${seconds}s"
  "build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -print_final_stats=1 "$corpus" $seeds 2>&1 | tail -n 3
done
