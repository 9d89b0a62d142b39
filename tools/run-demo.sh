#!/usr/bin/env bash
# Installs what is missing, builds Tunewright and shows it at work on the built-in demo input:
# with a display, the tuner window opens on the demo guitar; without one, the same window runs
# for a few seconds on a virtual display, its screenshot is saved, and the demo clip's
# readings are printed as CSV.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh >&2
# Build progress goes to stderr so that standard output is only the program's CSV.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build build -j"$(nproc)" >&2
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/tunewright --demo
fi
shot=$PWD/build/demo-screenshot.png
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  openbox >/dev/null 2>&1 &
  build/tunewright --demo >/dev/null 2>&1 &
  app=$!
  sleep 6
  import -window root "$1"
  kill -TERM "$app"
  wait "$app" || true
' _ "$shot" >&2
echo "The tuner window on the demo input: $shot" >&2
exec build/tunewright --analyze resources/demo-guitar.flac
