#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: once as a normal build (build/),
# with the window tests also on a real X server (scripts/with-x starts a private one, so no
# display is needed), then builds the Debian package and runs the packaged command; last,
# everything again with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build (RelWithDebInfo) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 600)

echo "== Debian package =="
scripts/package-check

if [ "${QAR_SKIP_SANITIZERS:-0}" != "1" ]; then
  echo "== build with sanitizers =="
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQAR_SANITIZE=ON -DQAR_BUILD_BENCH=OFF >/dev/null
  cmake --build build-asan -j "$jobs"
  # The X server runs belong to the normal build: the X and font libraries' own allocations
  # would drown the leak report.
  (cd build-asan && ctest --output-on-failure -j "$jobs" --timeout 900 -E '^app_display_x')
fi
