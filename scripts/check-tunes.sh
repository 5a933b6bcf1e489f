#!/usr/bin/env bash
# Renders both tunes with a third-party player (openmpt123) and checks that each plays without
# error for over a minute and is not silent.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
music="${1:-$here/build/Data/Music}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for t in Menu Race; do
  cp "$music/$t.xm" "$tmp/$t.xm"
  openmpt123 --quiet --render --force "$tmp/$t.xm" >/dev/null
  python3 - "$tmp/$t.xm.wav" "$t" <<'PY'
import math, struct, sys
data = open(sys.argv[1], 'rb').read()
fmt = data.find(b'fmt ')
channels, rate = struct.unpack('<HI', data[fmt + 10:fmt + 16])
bits = struct.unpack('<H', data[fmt + 22:fmt + 24])[0]
at = data.find(b'data')
size = struct.unpack('<I', data[at + 4:at + 8])[0]
pcm = data[at + 8:at + 8 + size]
width = bits // 8
frames = len(pcm) // (width * channels)
seconds = frames / rate
code = '<f' if width == 4 else '<h'
scale = 1.0 if width == 4 else 32768.0
vals = [struct.unpack_from(code, pcm, k)[0] / scale for k in range(0, len(pcm) - width, width * 101)]
rms = math.sqrt(sum(v * v for v in vals) / len(vals))
print(f"{sys.argv[2]}: {seconds:.1f} s, rms {rms:.3f}")
sys.exit(0 if seconds > 60 and rms > 0.01 else 1)
PY
done
