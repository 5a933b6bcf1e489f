#!/usr/bin/env bash
# Builds the Debian packages (zapwheely, zapwheely-data, zapwheely-scores) the way Debian builds
# its own, with debian/ and dpkg-buildpackage, from a clean copy of the working tree (so nothing
# is written beside the repository and no earlier build folder leaks in), then checks them with
# lintian. Usage: scripts/package.sh OUT_DIR
# The .debs, the .buildinfo and the .changes land in OUT_DIR, with lintian.txt and build.log.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: scripts/package.sh OUT_DIR}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
for tool in dpkg-buildpackage dh lintian; do
  command -v "$tool" >/dev/null || {
    echo "package.sh: $tool is missing: run scripts/install-deps.sh" >&2
    exit 1
  }
done
version="$(dpkg-parsechangelog -l "$here/debian/changelog" -S Version)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
src="$work/zapwheely-$version"
mkdir -p "$src"
# The tracked files and new ones not ignored, as they are now in the working tree.
(cd "$here" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 -I{} sh -c 'test -e "{}" && printf "%s\0" "{}"' |
  tar --null -T - -cf -) | tar -C "$src" -xf -

start=$(date +%s)
echo "== dpkg-buildpackage -b -us -uc (log: $out/build.log) =="
opts="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=$(nproc)"
if ! (cd "$src" && DEB_BUILD_OPTIONS="$opts" dpkg-buildpackage -b -us -uc) >"$out/build.log" 2>&1; then
  tail -40 "$out/build.log"
  echo "package.sh: the package build failed" >&2
  exit 1
fi
echo "built in $(($(date +%s) - start)) s"
arch="$(dpkg --print-architecture)"
changes="zapwheely_${version}_${arch}.changes"
for f in $(cd "$work" && ls ./*.deb ./*.buildinfo ./*.changes); do cp "$work/$f" "$out/"; done
ls -l "$out"/*.deb

echo "== lintian --pedantic -I -E =="
# Errors and warnings fail the build; pedantic and informational tags are listed and kept.
lintian --pedantic -I -E --tag-display-limit 0 "$out/$changes" | tee "$out/lintian.txt"
if grep -E '^[EW]: ' "$out/lintian.txt" >/dev/null; then
  echo "package.sh: lintian found errors or warnings" >&2
  exit 1
fi
echo "lintian: no errors, no warnings"
