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
# One test more than the cores: several tests mostly wait (a score service that never answers
# holds the game for its whole ten seconds, servers and PostgreSQL start, rides are stopped by
# the clock), and a waiting test would otherwise keep a core idle.
ctest --output-on-failure -j"$(($(nproc) + 1))" --timeout 600
