#!/usr/bin/env bash
# Tests the Windows build under Wine, headless: regsvr32 registers medley.dll
# in a private Wine prefix, the test host (tests/wine) checks the registration,
# the type library, the object through the real COM runtime, a whole call, the
# Winsock port probe, the mixer with no sound card and with ALSA's null
# device, thread timers and the exported video functions over DirectShow;
# then regsvr32 /u and a check that nothing is left. Each step's exit status
# counts: the script fails when any step fails.
#
# Usage: scripts/wine-tests.sh [BUILD_DIR]    (default build-win, built first)
# Needs: wine64 (Wine 8) and, for the build, scripts/build-windows.sh's tools.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}

scripts/build-windows.sh "$build" || exit 1
module="$build/component/medley.dll"
host="$build/tests/wine/medley_wine_tests.exe"
for file in "$module" "$build/component/GIPSVoiceEngineDLL.dll" "$host"; do
  [ -f "$file" ] || { echo "wine-tests: $file was not built" >&2; exit 1; }
done

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "wine-tests: wine64 is not installed" >&2; exit 1; }

# Headless and private: no display, no debug output, no Mono or Gecko
# installers, a prefix of this run's own.
scratch=$(mktemp -d)
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  "$wineserver" -k >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

# ALSA configurations for the two sound setups: nothing at all, and a default
# device that takes and gives silence.
printf '# no sound card\n' >"$scratch/no-card.conf"
printf 'pcm.!default { type null }\n' >"$scratch/null-device.conf"

# alsa-lib reports the missing card on standard error; the rest stays visible.
without_alsa_noise() { grep -v '^ALSA lib ' >&2 || true; }

failed=0
step() {
  local name=$1
  shift
  echo "== $name"
  "$@" 2> >(without_alsa_noise)
  local status=$?
  if [ $status -ne 0 ]; then
    echo "== $name failed (exit status $status)"
    failed=1
  fi
  return $status
}

start=$(date +%s)
echo "== wineboot (a new prefix)"
"$wine" wineboot -u >/dev/null 2>&1 || { echo "== wineboot failed" >&2; exit 1; }
"$wineserver" -w
# Sound through ALSA only, whatever else Wine could use.
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null

module_w=$("$wine" winepath -w "$module")
step "regsvr32 medley.dll" "$wine" regsvr32 /s "$module_w" || exit 1
# A zone with daylight saving for the local-time checks.
ALSA_CONFIG_PATH="$scratch/no-card.conf" TZ=Australia/Sydney \
  step "test host, no sound card" "$wine" "$host" --module "$module_w" --audio none
ALSA_CONFIG_PATH="$scratch/null-device.conf" TZ=Australia/Sydney \
  step "test host, ALSA null device" "$wine" "$host" --module "$module_w" --audio null
step "regsvr32 /u medley.dll" "$wine" regsvr32 /u /s "$module_w"
step "test host, unregistered" "$wine" "$host" --module "$module_w" --unregistered

echo "== Wine tests $([ $failed -eq 0 ] && echo passed || echo FAILED) in $(( $(date +%s) - start ))s"
exit $failed
