#!/usr/bin/env bash
# Builds the Debian package into build/packages/ and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cpack --config build/CPackConfig.cmake -B build/packages > build/packages.log
ls build/packages/*.deb
