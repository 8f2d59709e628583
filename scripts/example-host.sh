#!/usr/bin/env bash
# Installs a built tree into a temporary prefix, registers the component there
# with a private registry file, builds examples/host against the installed
# package alone (CMake package, then pkg-config) and runs it on the example
# offer. Usage: scripts/example-host.sh [BUILD_DIR]   (default build)
# With MEDLEY_PREFIX=DIR set it uses the package already installed in DIR
# (such as /usr from the .deb) instead of installing BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD/examples/host
work=$(mktemp -d "${TMPDIR:-/tmp}/medley-example-XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ -n "${MEDLEY_PREFIX:-}" ]; then
  prefix=$MEDLEY_PREFIX
else
  prefix=$work/prefix
  cmake --install "${1:-build}" --prefix "$prefix" >/dev/null
fi
export MEDLEY_REGISTRY=$work/registry
"$prefix/bin/medley" --version
"$prefix/bin/medley" register >/dev/null

cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/build" >/dev/null

# The same program from the pkg-config file alone.
pc_dir=$(dirname "$(find "$prefix" -name medley.pc -path '*pkgconfig*' | head -n1)")
# shellcheck disable=SC2046
c++ -std=c++20 -Wall -Wextra -Werror -o "$work/answer_offer_pc" "$source"/*.cpp \
  $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs medley)

check_answer() {
  local answer=$1
  printf '%s\n' "$answer"
  # The audio line is answered on a real port with the offer's G.722 first,
  # as this host prefers it; the video line is turned down.
  grep -Eq '^m=audio [1-9][0-9]* RTP/AVP 9 0 8 101' <<<"$answer"
  grep -q '^a=rtpmap:9 G722/8000' <<<"$answer"
  grep -q '^m=video 0 RTP/AVP 31' <<<"$answer"
}
check_answer "$("$work/build/answer_offer" "$source/offer.sdp" 127.0.0.1 | tr -d '\r')"
# Run from the pkg-config build, the component comes from the prefix's
# library folder.
LD_LIBRARY_PATH=$(dirname "$(find "$prefix" -name 'libmedley.so' | head -n1)")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export LD_LIBRARY_PATH
check_answer "$("$work/answer_offer_pc" "$source/offer.sdp" 127.0.0.1 | tr -d '\r')" >/dev/null

"$prefix/bin/medley" unregister >/dev/null
if "$work/build/answer_offer" "$source/offer.sdp" 2>/dev/null; then
  echo "example-host: the component was still created after medley unregister" >&2
  exit 1
fi
echo "example-host: OK"
