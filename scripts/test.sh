#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
# Usage: scripts/test.sh [--sanitize address,undefined|thread] [ctest args...]
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=""
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=$2
  shift 2
fi
scripts/install-deps.sh
if [ -n "$sanitize" ]; then
  dir="build-${sanitize//,/-}"
  BUILD_TYPE=Debug scripts/build.sh "$dir" -DMEDLEY_SANITIZE="$sanitize"
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
else
  dir=build
  scripts/build.sh "$dir"
fi
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "$@"
