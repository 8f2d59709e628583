#!/usr/bin/env bash
# Cross-compiles the Windows build (medley.dll, the stand-in engine DLL and
# medley.exe) with MinGW-w64, warning-free.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DMEDLEY_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C build-win -j"$(nproc)"
