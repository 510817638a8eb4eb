#!/usr/bin/env bash
# Builds one libFuzzer target with clang and runs it. Usage: fuzz.sh TARGET [SECONDS]
# Seeds are read from fuzz/*/seeds-TARGET when that folder exists.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
target=$1
seconds=${2:-300}
CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build "$top/build-fuzz" --target "$target"
corpus="$top/build-fuzz/corpus-$target"
mkdir -p "$corpus"
seeds=$(ls -d "$top"/fuzz/*/seeds-"$target" 2>/dev/null || true)
exe=$(find "$top/build-fuzz/fuzz" -type f -name "$target" -perm -u+x | head -n 1)
"$exe" -max_total_time="$seconds" -print_final_stats=1 "$corpus" $seeds
