#!/usr/bin/env bash
# Configures and builds the Linux tree. Usage: scripts/build.sh [BUILD_DIR] [CMAKE_ARGS...]
# Compiles through ccache where it is installed, so rebuilds after a clean
# checkout (CI, a second build directory) reuse earlier objects.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "${launcher[@]}" "$@" >/dev/null
ninja -C "$dir" -j"$(nproc)"
