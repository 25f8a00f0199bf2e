#!/bin/bash
# Builds the viewer and starts it (needs a desktop session, or DISPLAY pointing at an X server).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIEWER_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target viewer
exec ./build/viewer "$@"
