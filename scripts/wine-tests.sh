#!/usr/bin/env bash
# Tests the Windows build under Wine, headless: regsvr32 registers medley.dll
# in a private Wine prefix, the test host (tests/wine) checks the registration,
# the type library, the object through the real COM runtime, a whole call, the
# Winsock port probe, the mixer with no sound card and with ALSA's null
# device, thread timers and the exported video functions over DirectShow;
# then, through Wine's PulseAudio driver and a null sink of a server of its
# own, a tone from the object and through a call with every codec; then
# regsvr32 /u and a check that nothing is left. Each step's exit status
# counts: the script fails when any step fails.
#
# Usage: scripts/wine-tests.sh [BUILD_DIR]    (default build-win, built first)
# Needs: wine64 (Wine 8), pulseaudio and pactl, and, for the build,
#        scripts/build-windows.sh's tools.
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

# A PulseAudio server of this run's own, as the Linux sound tests start it:
# a null sink "Speaker" (the default sink) and a silent one whose monitor is
# the default source, everything in the scratch folder. Wine's PulseAudio
# driver plays into the Speaker; the test host records its monitor. The
# server is stopped and reaped before the step ends.
sound_server_step() {
  local dir="$scratch/pulse" pid status
  if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
    echo "== sound server: pulseaudio or pactl is not installed"
    failed=1
    return
  fi
  mkdir -p "$dir/home" "$dir/run" "$dir/state"
  local -a env=(HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_RUNTIME_DIR="$dir/run"
    PULSE_RUNTIME_PATH="$dir/run/pulse" PULSE_STATE_PATH="$dir/state"
    PULSE_SERVER="unix:$dir/native")
  env "${env[@]}" pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
    --realtime=no --high-priority=no --disable-shm=yes --log-target=stderr \
    --load="module-null-sink sink_name=medley_test_sink rate=8000 channels=1 sink_properties=device.description=Speaker" \
    --load="module-null-sink sink_name=medley_quiet_sink rate=8000 channels=1 sink_properties=device.description=Quiet" \
    --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    2>"$dir/pulseaudio.log" &
  pid=$!
  for _ in $(seq 100); do
    env "${env[@]}" pactl set-default-sink medley_test_sink 2>/dev/null &&
      env "${env[@]}" pactl set-default-source medley_quiet_sink.monitor 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if env "${env[@]}" pactl info >/dev/null 2>&1; then
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null
    (
      export "${env[@]}"
      step "test host, PulseAudio null sink" "$wine" "$host" --module "$module_w" --audio pulse
    ) || failed=1
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null
  else
    echo "== sound server did not come up: $(tail -3 "$dir/pulseaudio.log")"
    failed=1
  fi
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
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
sound_server_step
step "regsvr32 /u medley.dll" "$wine" regsvr32 /u /s "$module_w"
step "test host, unregistered" "$wine" "$host" --module "$module_w" --unregistered

echo "== Wine tests $([ $failed -eq 0 ] && echo passed || echo FAILED) in $(( $(date +%s) - start ))s"
exit $failed
