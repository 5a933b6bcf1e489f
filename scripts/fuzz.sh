#!/usr/bin/env bash
# Fuzzes the pack readers with libFuzzer for SECONDS (default 60), from a seed corpus of small
# packs made by the writer, the hand-made seeds in fuzz/seeds (deep nesting among them) and, where
# the build made them, the game's own packs (fuzz/pack.dict gives it the stream's tags and names);
# then the score record decoder and the score service's request handling, and the replay reader,
# each for SCORE_SECONDS (default 30).
# Usage: scripts/fuzz.sh [SECONDS] [SCORE_SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
scoreSeconds="${2:-30}"
out="$here/build-fuzz"
mkdir -p "$out/corpus" "$out/seeds"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I"$here" \
  "$here/fuzz/pack_fuzzer.cpp" "$here"/packs/*.cpp -o "$out/pack_fuzzer"
if [ -x "$here/build/packbuild" ]; then
  "$here/build/packbuild" --seeds "$out/seeds"
fi
for f in "$here"/build/Data/Res/*.gpk "$here"/build/Data/Res/*.spk; do
  [ -f "$f" ] && head -c 65536 "$f" > "$out/seeds/$(basename "$f").head"
done
"$out/pack_fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -dict="$here/fuzz/pack.dict" -print_final_stats=1 "$out/corpus" "$out/seeds" "$here/fuzz/seeds"

mkdir -p "$out/score-corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$here" \
  "$here/fuzz/score_fuzzer.cpp" "$here/online/score_record.cpp" "$here"/server/service.cpp \
  "$here"/server/validate.cpp "$here"/server/*_store.cpp -I/usr/include/postgresql -lsqlite3 -lpq \
  -o "$out/score_fuzzer"
"$out/score_fuzzer" -max_total_time="$scoreSeconds" -max_len=8192 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$out/score-corpus"

# The replay reader, from a corpus seeded with a real recorded game where the tests left one.
mkdir -p "$out/replay-corpus" "$out/replay-seeds"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$here" "$here/fuzz/replay_fuzzer.cpp" "$here/replay/replay_file.cpp" "$here/save/save_files.cpp" -o "$out/replay_fuzzer"
if [ -x "$here/build/zapwheely-autoplay" ]; then
  (cd "$here/build" && printf 'seed 9\nrecord %s\nrace 1\npilot 600\npress Escape\nframes 3\npress Y\nframes 3\n' \
    "$out/replay-seeds/game.zwr" > "$out/replay-seeds/record.script" &&
    ./zapwheely-autoplay "$out/replay-seeds/record.script") || true
  rm -f "$out/replay-seeds/record.script"
fi
"$out/replay_fuzzer" -max_total_time="$scoreSeconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$out/replay-corpus" "$out/replay-seeds"
