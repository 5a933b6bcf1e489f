// The replay file (.zwr): writing it, and reading it as the untrusted input it is.
//
// A race is its seed, its bike, the time of each frame and what was held and pressed in it;
// everything else follows from the game's own rules. A file holds exactly that, with the game
// version and a hash of the packs it was ridden with (the road pieces' shapes, the bikes'
// pictures and every other item the race reads are in them), and how the game ended.
//
// All numbers are little-endian. "varint" is an unsigned LEB128 number (7 bits a byte, low
// bits first, at most 5 bytes).
//
//   offset  size  field
//   0       4     magic "ZWR" 0x1A
//   4       2     format version (2; 1 for a file without the hashes below)
//   6       1     n, the length of the game version text (1..32)
//   7       n     game version, ASCII ("1.0.0")
//   +0      8     pack hash (64-bit FNV-1a over Res1.gpk, Res2.gpk, Res3.gpk, Sounds.spk)
//   +8      4     seed of the game's generator at StartRace
//   +12     1     bike, 1..5
//   +13     2     display refresh rate (Hz)
//   +15     2     FrameRate, as the frame loop last set it
//   +17     2     the timer's last measured rate
//   +19     2     FrameTime (ms), as the frame loop last set it
//   +21     8     SpeedFactor, the IEEE 754 double's bits
//   +29     4     milliseconds in the timer's current measuring window
//   +33     2     frames in that window
//   +35     1     the eight menu keys held in the frame before the race (Up Down Left Right
//                 P Y N Esc, bit 0 first)
//   +36     2+2   pointer position (signed)
//   +40     4     final RaceScore (signed)
//   +44     1     final Level, 1..10
//   +45     8     end time, seconds since 1970 UTC (signed)
//   +53     2     the player's UTC offset then, minutes (signed)
//   +55     4     N, the number of frames (at most 3 600 000)
//   +59     4     E, the number of events (at most 200 000)
//   +63     4+A   frame times: A, then N two-bit codes, four a byte, low bits first (0: as the
//                 frame before, 1: one more, 2: one less, 3: a varint follows after the codes,
//                 in frame order); the first frame's "before" is 0. Each time is 1..60000 ms.
//   ..      4+B   held controls, as changes: varint frames since the previous change (the
//                 first change is at frame 0 and sets all three), a byte of what changes
//                 (1 keys, 2 gamepad, 4 refresh rate), then a varint for each: the keys (bits
//                 Up Down Left Right P Y N Esc Space H), the gamepad (bit 16: plugged in, bits
//                 0..15 its controls), the refresh rate (1..1000).
//   ..      4+C   events in order: varint frames since the previous event (an event with frame
//                 k comes before frame k runs; k = N after the last), a kind byte, then for a
//                 character a varint code (< 256), for the pointer two varints x, y (< 4096),
//                 for a gamepad control a varint (< 16); close, click, the two pauses and a key
//                 pressed after the gamepad (kind 8) carry nothing.
//   ..      4+D   (format 2 only) the race state's hashes: varint K, the level ends (at most
//                 4 096), then K times a byte, the level that ended (1..10), and the 8-byte
//                 hash of the whole race state then; last the 8-byte hash at the game's end.
//                 A level ends when it is finished or lost to the clock; the hash is the
//                 recorder's RaceStateHash, made of fixed-width little-endian values only, so
//                 every machine and build that rides the same frames makes the same hashes.
//   end-4   4     CRC-32 (the zip polynomial) of every byte before it
//
// A ten-level game at 60 frames a second is about 70 000 frames: 18 KiB of frame times plus a
// few bytes per change of the held keys, some 30 to 50 KiB in all; the hashes add 9 bytes a
// level end.
#include "replay/replay_file.hpp"

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/platform.hpp"
#include "save/save_files.hpp"

namespace zw::replay {

const int HeldKeys[held::KeyCount] = {vk::Up, vk::Down, vk::Left,   vk::Right, 'P',
                                      'Y',    'N',      vk::Escape, vk::Space, 'H'};

namespace {

constexpr uint8_t Magic[4] = {'Z', 'W', 'R', 0x1A};
constexpr size_t MaxVersionText = 32;

uint32_t Crc32(const uint8_t* p, size_t n) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

struct TOut {
  std::vector<uint8_t> B;
  void U8(uint32_t v) { B.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
  void Var(uint32_t v) {
    while (v >= 0x80) {
      U8((v & 0x7F) | 0x80);
      v >>= 7;
    }
    U8(v);
  }
  void Block(const std::vector<uint8_t>& b) {
    U32(static_cast<uint32_t>(b.size()));
    B.insert(B.end(), b.begin(), b.end());
  }
};

// Reading: every read checks the end first; the first failure sticks.
struct TIn {
  const uint8_t* P;
  size_t N;
  size_t At = 0;
  bool Ok = true;
  bool Need(size_t n) {
    if (!Ok || N - At < n) return Ok = false;
    return true;
  }
  uint32_t U8() { return Need(1) ? P[At++] : 0; }
  uint32_t U16() {
    if (!Need(2)) return 0;
    const uint32_t v = P[At] | (P[At + 1] << 8);
    At += 2;
    return v;
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | (U16() << 16);
  }
  uint64_t U64() {
    const uint64_t lo = U32();
    return lo | (static_cast<uint64_t>(U32()) << 32);
  }
  uint32_t Var() {
    uint32_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      const uint32_t b = U8();
      if (!Ok) return 0;
      if (shift == 28 && b > 0x0F) return Ok = false, 0;
      v |= (b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    Ok = false;
    return 0;
  }
  // A length-prefixed block as its own reader.
  TIn Block() {
    const uint32_t n = U32();
    if (!Need(n)) return TIn{P, 0, 0, false};
    TIn b{P + At, n};
    At += n;
    return b;
  }
};

}  // namespace

std::vector<uint8_t> Write(const TReplay& r) {
  const uint32_t n = r.FrameCount();
  if (n > MaxFrames || r.Events.size() > MaxEvents || r.Keys.size() != n || r.Pad.size() != n ||
      r.RefreshRates.size() != n || r.GameVersion.empty() || r.GameVersion.size() > MaxVersionText)
    return {};
  if (r.LevelEnds.size() > MaxLevelEnds) return {};
  TOut o;
  for (uint8_t m : Magic) o.U8(m);
  o.U16(r.HasHashes ? FormatVersion : OldestFormatVersion);
  o.U8(static_cast<uint32_t>(r.GameVersion.size()));
  for (char c : r.GameVersion) o.U8(static_cast<uint8_t>(c));
  o.U64(r.PackHash);
  const TStart& s = r.Start;
  o.U32(s.Seed);
  o.U8(s.Bike);
  o.U16(s.RefreshRate);
  o.U16(s.FrameRate);
  o.U16(s.TimerFrameRate);
  o.U16(s.FrameTime);
  uint64_t sf = 0;
  std::memcpy(&sf, &s.SpeedFactor, sizeof sf);
  o.U64(sf);
  o.U32(s.WindowMs);
  o.U16(s.WindowFrames);
  o.U8(s.Twins);
  o.U16(static_cast<uint16_t>(s.MouseX));
  o.U16(static_cast<uint16_t>(s.MouseY));
  o.U32(static_cast<uint32_t>(r.RaceScore));
  o.U8(static_cast<uint32_t>(r.Level));
  o.U64(static_cast<uint64_t>(r.EndTime));
  o.U16(static_cast<uint16_t>(r.EndUtcOffset));
  o.U32(n);
  o.U32(static_cast<uint32_t>(r.Events.size()));

  // Frame times.
  {
    std::vector<uint8_t> codes((n + 3) / 4, 0);
    TOut escapes;
    uint32_t before = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t m = r.MoveCounts[i];
      if (m < 1 || m > MaxMoveCount) return {};
      const uint8_t code = m == before ? 0 : m == before + 1 ? 1 : m + 1 == before ? 2 : 3;
      if (code == 3) escapes.Var(m);
      codes[i / 4] = static_cast<uint8_t>(codes[i / 4] | (code << (2 * (i % 4))));
      before = m;
    }
    codes.insert(codes.end(), escapes.B.begin(), escapes.B.end());
    o.Block(codes);
  }
  // Held controls, as changes.
  {
    TOut c;
    uint32_t last = 0;
    for (uint32_t i = 0; i < n; ++i) {
      uint8_t what = 0;
      if (i == 0 || r.Keys[i] != r.Keys[i - 1]) what |= 1;
      if (i == 0 || r.Pad[i] != r.Pad[i - 1]) what |= 2;
      if (i == 0 || r.RefreshRates[i] != r.RefreshRates[i - 1]) what |= 4;
      if (!what) continue;
      if (r.RefreshRates[i] < 1 || r.RefreshRates[i] > 1000 ||
          r.Keys[i] >= (1u << held::KeyCount) || r.Pad[i] >= (1u << 17))
        return {};
      c.Var(i - last);
      last = i;
      c.U8(what);
      if (what & 1) c.Var(r.Keys[i]);
      if (what & 2) c.Var(r.Pad[i]);
      if (what & 4) c.Var(r.RefreshRates[i]);
    }
    o.Block(c.B);
  }
  // Events.
  {
    TOut e;
    uint32_t last = 0;
    for (const TEvent& ev : r.Events) {
      if (ev.Frame < last || ev.Frame > n) return {};
      e.Var(ev.Frame - last);
      last = ev.Frame;
      e.U8(ev.Type);
      switch (ev.Type) {
        case TEvent::Char:
          if (ev.Key < 0 || ev.Key > 255) return {};
          e.Var(static_cast<uint32_t>(ev.Key));
          break;
        case TEvent::MouseMove:
          if (ev.X < 0 || ev.X >= 4096 || ev.Y < 0 || ev.Y >= 4096) return {};
          e.Var(static_cast<uint32_t>(ev.X));
          e.Var(static_cast<uint32_t>(ev.Y));
          break;
        case TEvent::PadDown:
          if (ev.Key < 0 || ev.Key >= pad::Count) return {};
          e.Var(static_cast<uint32_t>(ev.Key));
          break;
        case TEvent::Click:
        case TEvent::Close:
        case TEvent::WindowPause:
        case TEvent::ModePause:
        case TEvent::KeysAgain:
          break;
        default:
          return {};
      }
    }
    o.Block(e.B);
  }
  if (r.HasHashes) {
    TOut h;
    h.Var(static_cast<uint32_t>(r.LevelEnds.size()));
    for (const TLevelEnd& l : r.LevelEnds) {
      if (l.Level < 1 || l.Level > 10) return {};
      h.U8(static_cast<uint32_t>(l.Level));
      h.U64(l.Hash);
    }
    h.U64(r.EndHash);
    o.Block(h.B);
  }
  o.U32(Crc32(o.B.data(), o.B.size()));
  if (o.B.size() > MaxFileBytes) return {};
  return o.B;
}

bool Read(const std::vector<uint8_t>& bytes, TReplay& r, std::string& why) {
  r = TReplay{};
  auto fail = [&](const char* reason) {
    why = reason;
    r = TReplay{};
    return false;
  };
  if (bytes.size() > MaxFileBytes) return fail("larger than any replay may be (1 MiB)");
  if (bytes.size() < 8 || std::memcmp(bytes.data(), Magic, 4) != 0)
    return fail("not a Zap Wheely replay");
  TIn in{bytes.data(), bytes.size() - 4};
  in.At = 4;
  const uint32_t version = in.U16();
  if (version < OldestFormatVersion || version > FormatVersion) {
    why = "replay format " + std::to_string(version) + " is not one this game reads (" +
          std::to_string(OldestFormatVersion) + " to " + std::to_string(FormatVersion) + ")";
    r = TReplay{};
    return false;
  }
  // The checksum before anything else: a damaged file is called damaged, not odd.
  if (bytes.size() < 80) return fail("truncated");
  const size_t body = bytes.size() - 4;
  const uint32_t crc = bytes[body] | (bytes[body + 1] << 8) | (bytes[body + 2] << 16) |
                       (static_cast<uint32_t>(bytes[body + 3]) << 24);
  if (Crc32(bytes.data(), body) != crc) return fail("damaged or truncated (checksum differs)");

  const uint32_t vlen = in.U8();
  if (vlen < 1 || vlen > MaxVersionText) return fail("bad game version");
  if (!in.Need(vlen)) return fail("truncated");
  for (uint32_t i = 0; i < vlen; ++i) {
    const char c = static_cast<char>(in.U8());
    if (c < 0x21 || c > 0x7E) return fail("bad game version");
    r.GameVersion.push_back(c);
  }
  r.PackHash = in.U64();
  TStart& s = r.Start;
  s.Seed = in.U32();
  s.Bike = static_cast<uint8_t>(in.U8());
  s.RefreshRate = static_cast<uint16_t>(in.U16());
  s.FrameRate = static_cast<uint16_t>(in.U16());
  s.TimerFrameRate = static_cast<uint16_t>(in.U16());
  s.FrameTime = static_cast<uint16_t>(in.U16());
  const uint64_t sf = in.U64();
  std::memcpy(&s.SpeedFactor, &sf, sizeof sf);
  s.WindowMs = in.U32();
  s.WindowFrames = static_cast<uint16_t>(in.U16());
  s.Twins = static_cast<uint8_t>(in.U8());
  s.MouseX = static_cast<int16_t>(in.U16());
  s.MouseY = static_cast<int16_t>(in.U16());
  r.RaceScore = static_cast<int32_t>(in.U32());
  r.Level = static_cast<int32_t>(in.U8());
  r.EndTime = static_cast<int64_t>(in.U64());
  r.EndUtcOffset = static_cast<int16_t>(in.U16());
  const uint32_t n = in.U32();
  const uint32_t events = in.U32();
  if (!in.Ok) return fail("truncated");
  if (s.Bike < 1 || s.Bike > 5) return fail("no such bike");
  if (s.RefreshRate < 1 || s.RefreshRate > 1000 || s.FrameRate > 1000 || s.TimerFrameRate > 1000 ||
      s.FrameTime > 1000 || !(s.SpeedFactor > 0.01) || !(s.SpeedFactor <= 100) ||
      s.WindowMs > 100000)
    return fail("impossible frame timing");
  if (r.Level < 1 || r.Level > 10) return fail("no such level");
  if (n == 0) return fail("no frames");
  if (n > MaxFrames) return fail("more frames than any game can last");
  if (events > MaxEvents) return fail("more events than any game can hold");

  // Frame times.
  {
    TIn b = in.Block();
    const size_t codeBytes = (n + 3) / 4;
    if (!b.Ok || !b.Need(codeBytes)) return fail("truncated frame times");
    TIn esc{b.P + codeBytes, b.N - codeBytes};
    r.MoveCounts.resize(n);
    uint32_t before = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t code = (b.P[i / 4] >> (2 * (i % 4))) & 3;
      uint32_t m = code == 0 ? before : code == 1 ? before + 1 : code == 2 ? before - 1 : esc.Var();
      if (!esc.Ok) return fail("truncated frame times");
      if (m < 1 || m > MaxMoveCount) return fail("impossible frame time");
      r.MoveCounts[i] = static_cast<uint16_t>(m);
      before = m;
    }
    if (esc.At != esc.N) return fail("stray bytes after the frame times");
  }
  // Held controls.
  {
    TIn b = in.Block();
    if (!b.Ok) return fail("truncated held controls");
    r.Keys.assign(n, 0);
    r.Pad.assign(n, 0);
    r.RefreshRates.assign(n, 0);
    uint32_t at = 0;
    bool first = true;
    uint32_t keys = 0, padState = 0, refresh = 0;
    uint32_t filled = 0;
    while (b.At < b.N) {
      const uint32_t delta = b.Var();
      const uint32_t what = b.U8();
      if (!b.Ok) return fail("truncated held controls");
      if (first ? (delta != 0 || what != 7) : (delta == 0 || what == 0 || what > 7))
        return fail("bad held controls");
      if (delta > n - at) return fail("held controls past the last frame");
      for (; filled < at + delta; ++filled) {
        r.Keys[filled] = static_cast<uint16_t>(keys);
        r.Pad[filled] = padState;
        r.RefreshRates[filled] = static_cast<uint16_t>(refresh);
      }
      at += delta;
      if (at >= n) return fail("held controls past the last frame");
      if (what & 1) keys = b.Var();
      if (what & 2) padState = b.Var();
      if (what & 4) refresh = b.Var();
      if (!b.Ok) return fail("truncated held controls");
      if (keys >= (1u << held::KeyCount) || padState >= (1u << 17) || refresh < 1 || refresh > 1000)
        return fail("bad held controls");
      first = false;
    }
    if (first) return fail("no held controls");
    for (; filled < n; ++filled) {
      r.Keys[filled] = static_cast<uint16_t>(keys);
      r.Pad[filled] = padState;
      r.RefreshRates[filled] = static_cast<uint16_t>(refresh);
    }
  }
  // Events.
  {
    TIn b = in.Block();
    if (!b.Ok) return fail("truncated events");
    r.Events.reserve(events);
    uint32_t at = 0;
    for (uint32_t i = 0; i < events; ++i) {
      TEvent ev;
      const uint32_t delta = b.Var();
      const uint32_t kind = b.U8();
      if (!b.Ok) return fail("truncated events");
      if (delta > n - at) return fail("event past the last frame");
      at += delta;
      ev.Frame = at;
      ev.Type = static_cast<TEvent::Kind>(kind);
      switch (kind) {
        case TEvent::Char:
          ev.Key = static_cast<int32_t>(b.Var());
          if (ev.Key > 255) return fail("bad event");
          break;
        case TEvent::MouseMove:
          ev.X = static_cast<int32_t>(b.Var());
          ev.Y = static_cast<int32_t>(b.Var());
          if (ev.X >= 4096 || ev.Y >= 4096) return fail("bad event");
          break;
        case TEvent::PadDown:
          ev.Key = static_cast<int32_t>(b.Var());
          if (ev.Key >= pad::Count) return fail("bad event");
          break;
        case TEvent::Click:
        case TEvent::Close:
        case TEvent::WindowPause:
        case TEvent::ModePause:
        case TEvent::KeysAgain:
          break;
        default:
          return fail("unknown event");
      }
      if (!b.Ok) return fail("truncated events");
      r.Events.push_back(ev);
    }
    if (b.At != b.N) return fail("stray bytes after the events");
  }
  // The race state's hashes.
  if (version >= 2) {
    TIn b = in.Block();
    if (!b.Ok) return fail("truncated state hashes");
    const uint32_t k = b.Var();
    if (!b.Ok) return fail("truncated state hashes");
    if (k > MaxLevelEnds) return fail("more level ends than any game can have");
    if (b.N - b.At != size_t{k} * 9 + 8) return fail("bad state hashes");
    r.LevelEnds.resize(k);
    for (TLevelEnd& l : r.LevelEnds) {
      l.Level = static_cast<int32_t>(b.U8());
      l.Hash = b.U64();
      if (l.Level < 1 || l.Level > 10) return fail("bad state hashes");
    }
    r.EndHash = b.U64();
    r.HasHashes = true;
  }
  if (!in.Ok) return fail("truncated");
  if (in.At != in.N) return fail("stray bytes at the end");
  why.clear();
  return true;
}

bool ReadFile(const std::string& path, TReplay& r, std::string& why) {
  // A UTF-8 name, as the game and its tools are given it, whatever the system's code page.
  std::ifstream f(FsPath(path), std::ios::binary);
  if (!f) {
    why = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> bytes;
  char buf[65536];
  while (f.read(buf, sizeof buf) || f.gcount() > 0) {
    bytes.insert(bytes.end(), buf, buf + f.gcount());
    // Reading stops just past the limit: a huge file is refused without loading it all.
    if (bytes.size() > MaxFileBytes) break;
  }
  return Read(bytes, r, why);
}

bool WriteFile(const std::string& path, const TReplay& r, std::string& why) {
  const std::vector<uint8_t> bytes = Write(r);
  if (bytes.empty()) {
    why = "the recording is longer than a replay may be";
    return false;
  }
  // Written beside its place and renamed over it: never half a replay under the real name.
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    why = "cannot write " + tmp;
    return false;
  }
  const bool ok =
      std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
  if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    why = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace zw::replay
