#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and scenario tests).
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift || true
bash "$here/scripts/install-deps.sh"
bash "$here/scripts/build.sh" "$build" "$@"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 600
