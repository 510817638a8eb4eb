#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one. Usage: fuzz.sh TARGET [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
target=$1
seconds=${2:-300}
CXX=clang++ "$top/scripts/build.sh" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF --target "$target" 2>/dev/null \
  || { CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DQUORVANE_FUZZ=ON \
         -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null;
       cmake --build "$top/build-fuzz" --target "$target"; }
corpus="$top/build-fuzz/corpus-$target"
mkdir -p "$corpus"
seeds="$top/fuzz/$target/seeds"
[ -d "$seeds" ] || seeds=""
"$top/build-fuzz/fuzz/"*/"$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" $seeds
