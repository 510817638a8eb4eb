#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quorvane with the bundled schedule and sounds
# beside it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release
cd "$top/build/bin"
exec ./quorvane "$@"
