#!/usr/bin/env bash
# Cross-compiles the Windows build (medley.dll, the stand-in engine DLL and
# medley.exe) with MinGW-w64, warning-free. The engine DLL links the codec
# and DSP libraries that scripts/build-windows-deps.sh cross-builds (once,
# then cached).
#
# Usage: scripts/build-windows.sh [BUILD_DIR]    (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
scripts/install-deps.sh
prefix=$(scripts/build-windows-deps.sh)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DMEDLEY_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release -DMEDLEY_MINGW_PREFIX="$prefix" \
  "${launcher[@]}" >/dev/null
ninja -C "$build" -j"$(nproc)"
