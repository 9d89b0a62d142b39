#!/usr/bin/env bash
# Installs what is missing, builds Tunewright and runs its main job on the demo clip.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh >&2
# Build progress goes to stderr so that standard output is only the program's CSV.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build build -j"$(nproc)" --target tunewright >&2
exec build/tunewright --analyze resources/demo-guitar.flac
