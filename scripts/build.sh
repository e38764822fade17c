#!/usr/bin/env bash
# Configures (once) and builds into build/; incremental after the first run.
set -euo pipefail
cd "$(dirname "$0")/.."
"$PWD/scripts/install-deps.sh"
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"
