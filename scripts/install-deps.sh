#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need. Run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libboost-regex-dev libssl-dev
  clang
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  libasound2-dev libspeexdsp-dev libsndfile1-dev libspandsp-dev libbcg729-dev libgsm1-dev
  libopencore-amrnb-dev libopencore-amrwb-dev libvo-amrwbenc-dev
  wine64 wine64-tools libwine-dev
  libre-dev gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
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
