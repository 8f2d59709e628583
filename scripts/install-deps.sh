#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need. Run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libboost-regex-dev libssl-dev
  clang
  g++-mingw-w64-x86-64-posix mingw-w64-tools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
