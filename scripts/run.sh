#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game inside its run-time folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/install-deps.sh"
bash "$here/scripts/build.sh" "$here/build"
cd "$here/build"
exec ./zapwheely
