#!/usr/bin/env bash
# Runs a command with a private PulseAudio server whose only output is a null sink, so sound
# tests play for real on a machine without a sound card. Without a server the command still
# runs, and the sound tests skip with a message saying so.
set -uo pipefail
runtime=$(mktemp -d /tmp/quorvane-pulse.XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
export PULSE_RUNTIME_PATH=$runtime/pulse
unset PULSE_SERVER
pid=""
if command -v pulseaudio >/dev/null; then
  # In the background rather than daemonized, so the pid to stop is the one started here: any
  # other pulseaudio on the machine (a user's own) is never ours to stop.
  pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=null" --load="module-native-protocol-unix" \
    --log-target=file:"$runtime/pulse.log" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  if pactl info >/dev/null 2>&1; then
    export QUORVANE_SOUND_SERVER=1
  else
    echo "note: no PulseAudio server could be started; sound tests will skip" >&2
  fi
fi
"$@"
status=$?
[ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid"
rm -rf "$runtime"
exit $status
