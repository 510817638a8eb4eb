#!/usr/bin/env bash
# Screenshots of the options dialog under Xvfb, scrolled to the top and to the bottom.
# Usage: screenshot-options.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
out=${2:-$top/build/screenshots}
mkdir -p "$out"
cmake --build "$build" --target options-preview >/dev/null
Xvfb :78 -screen 0 800x600x24 -nolisten tcp 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
for where in top bottom; do
  DISPLAY=:78 QT_QPA_PLATFORM=xcb "$build/tools/options-preview" "$where" &
  pid=$!
  wid=$(DISPLAY=:78 timeout 10 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
  sleep 0.5
  DISPLAY=:78 import -window "$wid" "$out/options-$where.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "$out/options-$where.png"
done
