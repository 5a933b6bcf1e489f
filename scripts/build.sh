#!/usr/bin/env bash
# Configures and builds the game, its content, tools, tests and benchmarks into a build folder.
# Usage: scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift || true
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
cmake -S "$here" -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
