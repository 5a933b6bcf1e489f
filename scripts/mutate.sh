#!/usr/bin/env bash
# Plants the team's listed faults (tests/mutations/*.txt) one at a time in a scratch copy of the
# tree and runs the tests against each; prints every verdict and the kill ratio. The working tree
# is never changed. Exits non-zero when a fault in a "must-catch" list survives, or when a listed
# original text no longer occurs exactly once in its file (the list must follow the code).
# Usage: scripts/mutate.sh [--set short] [--only ID]... [--check] [--whole-suite] [LIST.txt...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
exec python3 "$here/scripts/mutate.py" "$@"
