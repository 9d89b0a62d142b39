#!/usr/bin/env bash
# Installs what is missing, builds Tunewright and runs its main job on the demo clip.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tunewright
exec build/tunewright --analyze resources/demo-guitar.flac
