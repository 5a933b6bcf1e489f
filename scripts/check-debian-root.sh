#!/usr/bin/env bash
# Installs the built Debian packages into a fresh minimal Debian 12 root and plays them there:
# the root is made with mmdebstrap from the Debian mirror this machine's apt uses, the packages
# go in with the README's apt-get line, then, in a network namespace with the loopback alone:
# two players start the game under Xvfb and their saves stay apart; with a host set in
# /etc/zapwheely/score-host a game's result reaches a score service the test starts; with no
# service the game still plays and its high-score table says the result was not sent. Last,
# `apt-get purge` must leave no file behind.
# Usage (as root): scripts/check-debian-root.sh DEBS_DIR [OUT_DIR]
#   OUT_DIR (default: a temporary folder) receives the screenshots of the high-score screens.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
debs="$(cd "${1:?usage: scripts/check-debian-root.sh DEBS_DIR [OUT_DIR]}" && pwd)"
out="${2:-$(mktemp -d)}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
[ "$(id -u)" -eq 0 ] || { echo "check-debian-root.sh: run as root (mmdebstrap, chroot)" >&2; exit 1; }
command -v mmdebstrap >/dev/null || { echo "mmdebstrap is missing: scripts/install-deps.sh" >&2; exit 1; }

# The Debian mirror of this machine's own apt sources (one-line or deb822 form), never another.
mirror="$(
  {
    grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk '$3 == "bookworm" {print $2}'
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk 'BEGIN{RS=""} /Suites:[^\n]*bookworm( |\n|$)/ {
             if (match($0, /URIs:[ \t]*[^ \t\n]+/)) { u = substr($0, RSTART, RLENGTH); sub(/URIs:[ \t]*/, "", u); print u } }' "$f"
    done
  } | grep -E '/debian/?$' | head -1
)"
[ -n "$mirror" ] || { echo "no Debian 12 mirror in /etc/apt/sources*" >&2; exit 1; }
echo "mirror: $mirror"

# The table the players start from: every score below any real result, so that the first game
# reaches the name entry whatever it scored; the options file carries the table's check string.
seed="$(mktemp -d)"
trap 'rm -rf "$seed"' EXIT
python3 - "$seed" <<'PY'
import sys, os
names, scores = ["ROOKIE"] * 10, [-10 * (i + 1) for i in range(10)]
longest = max(len(n) for n in names)
s = [32] * longest
def mix(t):
    for j in range(min(len(t), longest)):
        s[j] = ((s[j] + ord(t[j])) % 224) + 32
for n, v in zip(names, scores):
    mix(n); mix(str(v))
d = sys.argv[1]
open(os.path.join(d, "hs"), "wb").write("".join(f"{n}\n{v}\n" for n, v in zip(names, scores)).encode())
open(os.path.join(d, "options"), "wb").write(b"0\n0\n0\nDebian\n0\n0\n" + bytes(s) + b"\n")
PY

start=$(date +%s)
# shellcheck disable=SC2016  # the hooks' $1 is mmdebstrap's root folder
mmdebstrap --mode=root --variant=apt --format=null \
  --include=xvfb,xauth,xdotool,x11-apps,procps,passwd,ca-certificates \
  --customize-hook='mkdir -p "$1/root/debs" "$1/root/seed" "$1/root/shots"' \
  --customize-hook="copy-in $(cd "$debs" && ls -d "$PWD"/zapwheely_*.deb "$PWD"/zapwheely-data_*.deb "$PWD"/zapwheely-scores_*.deb | tr '\n' ' ') /root/debs" \
  --customize-hook="copy-in $seed/hs $seed/options /root/seed" \
  --customize-hook="copy-in $here/scripts/debian-root-inside.sh /root" \
  --customize-hook='echo "APT::Get::Assume-Yes \"true\";" > "$1/etc/apt/apt.conf.d/90zw-test"' \
  --customize-hook='chroot "$1" bash /root/debian-root-inside.sh snapshot /root/before' \
  --customize-hook='chroot "$1" sh -c "cd /root && apt-get install ./debs/zapwheely_*.deb ./debs/zapwheely-data_*.deb" | tail -3' \
  --customize-hook='chroot "$1" sh -c "cd /root && apt-get install ./debs/zapwheely-scores_*.deb" | tail -3' \
  --customize-hook='unshare --net sh -c "ip link set lo up && chroot \"$1\" bash /root/debian-root-inside.sh play"' \
  --customize-hook='chroot "$1" bash /root/debian-root-inside.sh purge' \
  --customize-hook="copy-out /root/shots $out" \
  bookworm /dev/null "$mirror"
echo "the Debian root check took $(($(date +%s) - start)) s; screenshots in $out/shots"

# The note must be on the table when no service answered, and not when the result arrived: the
# band above the table's first row, inside its frame.
for s in sent unsent; do convert "$out/shots/$s.xwd" "$out/shots/$s.png"; done
band() { convert "$1" -crop 400x26+378+151 +repage -colorspace Gray -format '%[fx:maxima]' info:; }
sent="$(band "$out/shots/sent.png")" unsent="$(band "$out/shots/unsent.png")"
echo "brightest pixel above the table: after a result that arrived $sent, after one that did not $unsent"
python3 -c "import sys; sys.exit(0 if float('$unsent') > 0.6 and float('$sent') < 0.45 else 1)" ||
  { echo "the high-score screen does not tell the two apart"; exit 1; }
echo "Debian root: all checks passed"
