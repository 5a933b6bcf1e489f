#!/usr/bin/env bash
# Checks every game source's includes against the layering in docs/layers.md: a folder may
# include only itself and the folders its row allows. Lists each include that runs against it
# and fails when there is one.
# Usage: scripts/check-layers.sh [--count]   (--count prints only the number of such includes)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

# The folders each folder may include besides itself, from the bottom up.
declare -A allowed=(
  [core]=""
  [online]=""
  [platform]="core"
  [packs]="core platform"
  [sprites]="core platform packs"
  [world]="core platform packs sprites"
  [rider]="core platform packs sprites world traffic"
  [traffic]="core platform packs sprites world rider"
  [save]="core platform packs sprites world rider traffic shell"
  [shell]="core platform packs sprites world rider traffic save online"
  [frontend]="core platform packs sprites world rider traffic shell save online"
  [replay]="core platform packs sprites world rider traffic shell save online"
  [platform/common]="core platform packs"
  [platform/mix]="core platform"
  [platform/net]="core platform platform/win"
  [platform/headless]="core platform packs"
  [platform/sdl]="core platform packs platform/common platform/mix platform/net shell"
  # Windows' own parts: the saved files' operations and folder come from here on Windows.
  [platform/win]="core platform save"
  # The game's program stands on top of everything, like the tools.
  [platform/sdl/program]="core platform packs sprites world rider traffic shell save frontend replay online platform/common platform/mix platform/net platform/sdl platform/win"
)

# The layer a path belongs to: the longest folder of the table that holds it.
layer_of() {
  local p="$1" best="" k
  for k in "${!allowed[@]}"; do
    if [[ "$p" == "$k"/* ]] && [ ${#k} -gt ${#best} ]; then best="$k"; fi
  done
  echo "$best"
}

count=0
report=()
while IFS= read -r file; do
  from="$(layer_of "$file")"
  [ -n "$from" ] || continue
  while IFS= read -r inc; do
    to="$(layer_of "$inc")"
    [ -n "$to" ] || continue
    [ "$to" = "$from" ] && continue
    ok=0
    for a in ${allowed[$from]}; do [ "$a" = "$to" ] && ok=1; done
    # A platform implementation is itself a layer under platform/: its own files are its own.
    if [ $ok -eq 0 ]; then
      count=$((count + 1))
      report+=("$file: includes $inc ($from may not include $to)")
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -co --exclude-standard -- '*.cpp' '*.hpp' | sort)

if [ "${1:-}" = "--count" ]; then
  echo "$count"
  exit 0
fi
for line in "${report[@]}"; do echo "$line"; done
if [ $count -ne 0 ]; then
  echo "check-layers: $count includes run against the layering (docs/layers.md)" >&2
  exit 1
fi
echo "check-layers: every include keeps to the layering"
