#!/usr/bin/env bash
# Installs what is missing, checks the format, builds a normal tree and two sanitizer trees
# (addresses and undefined behaviour; threads), and runs the whole test suite in each through ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh"

files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files

"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$top/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON \
  -DQUORVANE_BENCH=OFF
# The thread checker's tree holds only the programs whose tests start threads (label "threads").
cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQUORVANE_SANITIZE_THREAD=ON -DQUORVANE_BENCH=OFF >/dev/null
cmake --build "$top/build-tsan" -j "$(nproc)" --target net_sntp_tests net_http_tests \
  ui_options_tests app_tests quorvane_e2e

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt, GLib and PulseAudio are not built for the thread checker, so it cannot see their own locks:
# it looks only at accesses made by our code (Qt's inline headers included), where it sees every
# lock and hand-over.
export TSAN_OPTIONS=ignore_noninstrumented_modules=1:halt_on_error=1:second_deadlock_stack=1
# Everything a test needs was installed above, so a skipped test is a failure here.
for tree in build build-asan build-tsan; do
  echo "== ctest in $tree"
  only=()
  [ "$tree" = build-tsan ] && only=(-L threads)
  "$top/scripts/with-sound-server.sh" ctest --test-dir "$tree" --output-on-failure -j 2 \
    "${only[@]}" | tee "$tree/ctest.log"
  if grep -q '(Skipped)$' "$tree/ctest.log"; then
    echo "FAILED: tests skipped on the machine this command prepared:" >&2
    grep '(Skipped)$' "$tree/ctest.log" >&2
    exit 1
  fi
done
