#!/usr/bin/env bash
# Cross-builds the codec and DSP libraries of the Windows engine DLL with
# MinGW-w64 from Debian's own source packages, into a cached prefix:
#   speexdsp     echo cancellation, preprocessing (gain control), resampler
#   libgsm       GSM 06.10
#   bcg729       G.729
#   opencore-amr AMR-NB (both ways) and AMR-WB decoding
#   vo-amrwbenc  AMR-WB encoding
#   spandsp      only G.722, the G.711 laws and loss concealment (the rest needs programs built
#                for the build machine, which its cross-build does not make)
# Static libraries only, so GIPSVoiceEngineDLL.dll carries them inside.
#
# The prefix is keyed by the source package versions and this script, so a
# new Debian version or a change here builds a new one; an existing complete
# prefix is reused. Deleting it rebuilds it from nothing.
#
# Usage: scripts/build-windows-deps.sh    (prints the prefix path last)
# Env:   MEDLEY_MINGW_CACHE  cache folder (default /var/cache/medley)
# Needs: root the first time (deb-src entries, apt-get update), network to the
#        machine's Debian mirror, g++-mingw-w64-x86-64-posix.
set -euo pipefail
cd "$(dirname "$0")/.."
script="$PWD/scripts/build-windows-deps.sh"
packages=(speexdsp libgsm bcg729 opencore-amr vo-amrwbenc spandsp)
host=x86_64-w64-mingw32
cache=${MEDLEY_MINGW_CACHE:-/var/cache/medley}
log() { echo "build-windows-deps: $*" >&2; }

# deb-src entries for the machine's own Debian sources (deb822 and one-line
# forms), so that apt-get source fetches from the mirror the machine uses;
# where they exist already, only the package lists are refreshed.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/medley-deb-src.sources
  if [ -f "$list" ] || [ -f "${list%.sources}.list" ]; then
    apt-get update -q >&2
    return
  fi
  local entries
  entries=$(
    {
      for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && cat "$f" && echo
      done
    } | awk '
      BEGIN { RS = ""; FS = "\n" }
      /Types:/ && /URIs:[^\n]*debian/ {
        out = ""
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^#/) continue
          if ($i ~ /^Types:/) $i = "Types: deb-src"
          out = out $i "\n"
        }
        printf "%s\n", out
      }'
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^deb[[:space:]]' /etc/apt/sources.list | grep debian |
        sed -E 's/^deb([[:space:]])/deb-src\1/' | awk '{ print "# one-line: " $0 }'
    fi
  )
  [ -n "$entries" ] || { log "no Debian apt sources to derive deb-src entries from"; exit 1; }
  # One-line entries go to a .list file of their own.
  printf '%s\n' "$entries" | grep -v '^# one-line: ' >"$list" || true
  [ -s "$list" ] || rm -f "$list"
  if printf '%s\n' "$entries" | grep -q '^# one-line: '; then
    printf '%s\n' "$entries" | sed -n 's/^# one-line: //p' >/etc/apt/sources.list.d/medley-deb-src.list
  fi
  apt-get update -q >&2
}

source_version() { apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1; }

versions() {
  local v p
  for p in "${packages[@]}"; do
    v=$(source_version "$p")
    [ -n "$v" ] || return 1
    echo "$p=$v"
  done
}

if ! key_text=$(versions); then
  ensure_deb_src
  key_text=$(versions) || { log "apt knows no source package of ${packages[*]}"; exit 1; }
fi
key=$( { echo "$key_text"; cat "$script"; } | sha256sum | cut -c1-16)
prefix="$cache/mingw-prefix-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log "building $prefix ($(echo "$key_text" | tr '\n' ' '))"
started=$(date +%s)
mkdir -p "$cache"
work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage="$work/prefix"
mkdir -p "$stage/include" "$stage/lib" "$work/src"
jobs=$(nproc)
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
cflags="-O2 -g0"

(cd "$work/src" && apt-get source --download-only --tar-only "${packages[@]}" >/dev/null 2>&1) ||
  { log "apt-get source failed"; exit 1; }
unpack() { # unpack PATTERN: unpacks the tarball, prints its folder
  local tarball top
  tarball=$(ls "$work/src"/$1 | sed -n 1p)
  tar -xf "$tarball" -C "$work/src"
  # sed reads the whole listing, so tar never meets a closed pipe.
  top=$(tar -tf "$tarball" | sed -n 1p)
  echo "$work/src/${top%%/*}"
}
autotools() { # autotools FOLDER [configure options]: static build into the stage
  local dir=$1
  shift
  (cd "$dir" && ./configure --host=$host --prefix="$stage" --disable-shared --enable-static \
    CFLAGS="$cflags" CXXFLAGS="$cflags" "$@" >configure.out 2>&1 &&
    make -j"$jobs" >make.out 2>&1 && make install >install.out 2>&1) ||
    { log "$(basename "$dir") failed:"; tail -30 "$dir"/*.out >&2; exit 1; }
}

log "speexdsp"
autotools "$(unpack 'speexdsp_*.orig.tar.*')" --disable-examples

log "libgsm"
dir=$(unpack 'libgsm_*.orig.tar.*')
objects=()
for f in add code debug decode long_term lpc preprocess rpe gsm_destroy gsm_decode gsm_encode \
  gsm_explode gsm_implode gsm_create gsm_print gsm_option short_term table; do
  $CC $cflags -DNeedFunctionPrototypes=1 -DSASR -DWAV49 -I"$dir/inc" -c "$dir/src/$f.c" \
    -o "$dir/src/$f.o"
  objects+=("$dir/src/$f.o")
done
$AR rcs "$stage/lib/libgsm.a" "${objects[@]}"
cp "$dir/inc/gsm.h" "$stage/include/gsm.h"

log "bcg729"
dir=$(unpack 'bcg729_*.orig.tar.*')
(cmake -S "$dir" -B "$dir/out" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" -DENABLE_SHARED=NO \
  -DENABLE_STATIC=YES -DENABLE_TESTS=NO >"$dir/configure.out" 2>&1 &&
  cmake --build "$dir/out" -j"$jobs" >"$dir/make.out" 2>&1 &&
  cmake --install "$dir/out" >"$dir/install.out" 2>&1) ||
  { log "bcg729 failed:"; tail -30 "$dir"/*.out >&2; exit 1; }

log "opencore-amr"
autotools "$(unpack 'opencore-amr_*.orig.tar.*')" --disable-examples

log "vo-amrwbenc"
autotools "$(unpack 'vo-amrwbenc_*.orig.tar.*')" --disable-example

log "spandsp (G.722, G.711 and its loss concealment)"
dir=$(unpack 'spandsp_*.orig.tar.*')
# Its configure insists on libtiff (for fax), so a config.h of our own: the
# C library of MinGW-w64 has the float maths. The headers' Windows branch
# declares DLL imports; a static library wants plain declarations.
{
  printf '#define HAVE_%s 1\n' MATH_H STDBOOL_H INTTYPES_H STDINT_H
  printf '#define HAVE_%s 1\n' SINF COSF TANF ASINF ACOSF ATANF ATAN2F CEILF FLOORF POWF EXPF LOGF LOG10F
} >"$dir/src/config.h"
sed -i 's/^#if defined(_M_IX86)  ||  defined(_M_X64)$/#if 0/' "$dir/src/spandsp/telephony.h"
objects=()
for f in g722 g711 plc vector_int; do
  $CC $cflags -DHAVE_CONFIG_H -I"$dir/src" -c "$dir/src/$f.c" -o "$dir/src/$f.o"
  objects+=("$dir/src/$f.o")
done
$AR rcs "$stage/lib/libspandsp.a" "${objects[@]}"
mkdir -p "$stage/include/spandsp/private"
cp "$dir/src/spandsp/"{telephony,g722,g711,plc,bit_operations,fast_convert,saturated,vector_int}.h \
  "$stage/include/spandsp/"
cp "$dir/src/spandsp/private/"{g722,g711}.h "$stage/include/spandsp/private/"

# Publish the prefix whole or not at all.
touch "$stage/.complete"
rm -rf "$prefix"
mv "$stage" "$prefix"
log "built in $(( $(date +%s) - started ))s"
echo "$prefix"
