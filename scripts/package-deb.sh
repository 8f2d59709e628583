#!/usr/bin/env bash
# Builds the Debian package medley_<version>_amd64.deb into out/ from a
# Release build configured for /usr (build-deb/). Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-deb
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DMEDLEY_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
ninja -C "$dir" -j"$(nproc)" >/dev/null
mkdir -p out
(cd "$dir" && cpack -G DEB -B "$PWD/../out" >/dev/null)
rm -rf out/_CPack_Packages
ls "$PWD"/out/medley_*_amd64.deb | tail -n1
