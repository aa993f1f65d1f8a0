#!/usr/bin/env bash
# Sets up what is missing, builds, and opens QAR26M Database Convert. Without a display it
# says so and shows a conversion without windows instead: qar26m-cli convert on a small
# sample pair made in a temporary folder, printing the per-table summary.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target qar26m-convert qar26m-cli

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  exec build/qar26m-convert
fi

echo "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the main window"
echo "cannot open. Running the same conversion without windows on a sample pair instead."
work=$(mktemp -d "${TMPDIR:-/tmp}/qar26m-sample.XXXXXX")
if ! build/qar26m-cli sample "$work" >/dev/null; then
  fixtures=../shared/fixtures/qar26m/basic
  if [ -f "$fixtures/source.mdb" ] && [ -f "$fixtures/destination.mdb" ]; then
    echo "Using a copy of $fixtures instead."
    cp "$fixtures/source.mdb" "$fixtures/destination.mdb" "$work/"
    chmod u+w "$work/destination.mdb"
  else
    echo "No sample pair could be made; nothing to convert." >&2
    exit 1
  fi
fi
echo "Source:      $work/source.mdb"
echo "Destination: $work/destination.mdb"
echo
status=0
build/qar26m-cli convert "$work/source.mdb" "$work/destination.mdb" --tables all || status=$?
echo
echo "The files stay in $work (the destination's backup is beside it)."
exit "$status"
