#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need. Run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libboost-regex-dev libssl-dev
  clang clang-format clang-tidy
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  libasound2-dev libspeexdsp-dev libsndfile1-dev libspandsp-dev libbcg729-dev libgsm1-dev
  libopencore-amrnb-dev libopencore-amrwb-dev libvo-amrwbenc-dev
  libre-dev gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  ccache
  # Independent peers the tests meet: RTP stacks and codecs, a SIP phone and a
  # registrar, a sound server with a null sink, repeatable speech.
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly ffmpeg sox
  baresip-core kamailio
  pulseaudio pulseaudio-utils libasound2-plugins
  espeak-ng
  # Time zones with daylight saving rules for the local-time tests.
  tzdata
  # The .deb (dpkg-shlibdeps) and the fresh Debian 12 root it is tried in.
  dpkg-dev debootstrap
)
# Wine runs the Windows build's tests; it takes its recommended libraries
# (sound, graphics stubs) so that a new prefix boots as it does on a desktop.
wine_packages=(wine64 wine64-tools libwine-dev)

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

missing_packages=$(missing "${packages[@]}")
missing_wine=$(missing "${wine_packages[@]}")
if [ -n "$missing_packages$missing_wine" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  if [ -n "$missing_packages" ]; then
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing_packages
  fi
  if [ -n "$missing_wine" ]; then
    # shellcheck disable=SC2086
    apt-get install -y -q $missing_wine
  fi
fi
