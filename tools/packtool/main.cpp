// zapwheely-pack: lists a pack's items, exports a picture, pattern or sound, and makes contact
// sheets.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "packs/pack_io.hpp"
#include "platform/mix/mixer.hpp"
#include "tools/common/png.hpp"
#include "tools/common/sound_mix.hpp"
#include "tools/packtool/sheet.hpp"

namespace {

using namespace zw;

int Usage() {
  std::fprintf(stderr,
               "usage: zapwheely-pack list PACK\n"
               "       zapwheely-pack export PACK INDEX [PATTERN] OUT\n"
               "       zapwheely-pack sheet PACK OUT.png\n"
               "       zapwheely-pack mix SOUNDLOG OUT.wav [SOUNDPACK]\n");
  return 2;
}

bool IsSoundPack(const std::string& path) {
  return path.size() >= 4 && path.compare(path.size() - 4, 4, ".spk") == 0;
}

bool ParseIndex(const char* s, int& v) {
  char* end = nullptr;
  const long n = std::strtol(s, &end, 10);
  if (!*s || *end || n < 0 || n > 1000000) return false;
  v = static_cast<int>(n);
  return true;
}

// The picture (or one pattern of it) in the colours the game holds after loading.
std::vector<uint32_t> PictureArgb(const TPictureItem& item, const TRect& r) {
  std::vector<uint32_t> argb(static_cast<size_t>(r.Width()) * r.Height(), 0);
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) {
      const int px = r.Left + x, py = r.Top + y;
      if (px < 0 || py < 0 || px >= item.PictureWidth || py >= item.PictureHeight) continue;
      const size_t i = static_cast<size_t>(py) * item.PictureWidth + px;
      if (item.Transparent && item.Keyed[i]) continue;
      uint8_t cr, cg, cb;
      Rgb565ToRgb(item.Pixels[i], cr, cg, cb);
      argb[static_cast<size_t>(y) * r.Width() + x] = 0xFF000000u | (cr << 16) | (cg << 8) | cb;
    }
  return argb;
}

int List(const std::string& path) {
  if (IsSoundPack(path)) {
    TSoundList list;
    LoadSoundPack(path, list);
    for (int i = 0; i < list.Count(); ++i) {
      const TSoundItem& s = *list.Item(i);
      const TWaveData w = s.Wave ? *s.Wave : TWaveData{};
      std::printf("%d %s looped=%d max=%d channels=%d bits=%d rate=%d frames=%d\n", i,
                  s.Name.c_str(), s.Looped ? 1 : 0, s.MaxPlayingCount, w.Channels, w.Bits, w.Rate,
                  w.FrameCount());
    }
    return 0;
  }
  TImageList list;
  LoadImagePack(path, list);
  for (int i = 0; i < list.Count(); ++i) {
    const TPictureItem& p = *list.Item(i);
    std::printf("%d %s %dx%d pattern=%dx%d skip=%dx%d patterns=%d transparent=%d colour=0x%06X\n",
                i, p.Name.c_str(), p.PictureWidth, p.PictureHeight, p.PatternWidth(),
                p.PatternHeight(), p.SkipWidth, p.SkipHeight, p.PatternCount(),
                p.Transparent ? 1 : 0, p.TransparentColor & 0xFFFFFF);
  }
  return 0;
}

int Export(const std::string& path, int index, int pattern, const std::string& out) {
  if (IsSoundPack(path)) {
    TSoundList list;
    LoadSoundPack(path, list);
    const TSoundItem* s = list.Item(index);
    if (!s || !s->Wave) {
      std::fprintf(stderr, "zapwheely-pack: %s has no sound %d\n", path.c_str(), index);
      return 1;
    }
    const std::vector<uint8_t> riff = MakeRiffWave(*s->Wave);
    std::ofstream f(out, std::ios::binary);
    f.write(reinterpret_cast<const char*>(riff.data()), static_cast<std::streamsize>(riff.size()));
    return f ? 0 : 1;
  }
  TImageList list;
  LoadImagePack(path, list);
  const TPictureItem* p = list.Item(index);
  if (!p) {
    std::fprintf(stderr, "zapwheely-pack: %s has no picture %d\n", path.c_str(), index);
    return 1;
  }
  TRect r{0, 0, p->PictureWidth, p->PictureHeight};
  if (pattern >= 0) {
    r = p->PatternRect(pattern);
    if (r.Empty()) {
      std::fprintf(stderr, "zapwheely-pack: picture %d has no pattern %d\n", index, pattern);
      return 1;
    }
  }
  if (r.Empty() || !WritePng(out, r.Width(), r.Height(), PictureArgb(*p, r))) {
    std::fprintf(stderr, "zapwheely-pack: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

// Plays an autoplay run's sound log through the game's mixer into a 44100 Hz stereo WAV file.
// Run it where the game runs: the tunes are opened by the paths the log names.
int Mix(const std::string& logPath, const std::string& out, const std::string& packPath) {
  std::ifstream in(logPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zapwheely-pack: cannot read %s\n", logPath.c_str());
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<TLoggedSound> log;
  std::string error;
  if (!ParseSoundLog(text.str(), log, error)) {
    std::fprintf(stderr, "zapwheely-pack: %s: %s\n", logPath.c_str(), error.c_str());
    return 1;
  }
  TSoundList sounds;
  LoadSoundPack(packPath, sounds);
  TWaveData wave;
  wave.Channels = 2;
  wave.Bits = 16;
  wave.Rate = TMixer::DefaultRate;
  std::vector<int16_t> frames;
  if (!RenderSoundLog(log, sounds, wave.Rate, frames, error)) {
    std::fprintf(stderr, "zapwheely-pack: %s: %s\n", logPath.c_str(), error.c_str());
    return 1;
  }
  wave.Pcm.resize(frames.size() * 2);
  for (size_t i = 0; i < frames.size(); ++i) {
    wave.Pcm[2 * i] = static_cast<uint8_t>(frames[i] & 0xFF);
    wave.Pcm[2 * i + 1] = static_cast<uint8_t>((frames[i] >> 8) & 0xFF);
  }
  const std::vector<uint8_t> riff = MakeRiffWave(wave);
  std::ofstream f(out, std::ios::binary);
  f.write(reinterpret_cast<const char*>(riff.data()), static_cast<std::streamsize>(riff.size()));
  if (!f) {
    std::fprintf(stderr, "zapwheely-pack: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string cmd = argv[1], path = argv[2];
  try {
    if (cmd == "list" && argc == 3) return List(path);
    if (cmd == "mix" && (argc == 4 || argc == 5))
      return Mix(path, argv[3], argc == 5 ? argv[4] : "Data/Res/Sounds.spk");
    if (cmd == "sheet" && argc == 4) {
      TImageList list;
      LoadImagePack(path, list);
      return zw::WriteContactSheet(list, argv[3]) ? 0 : 1;
    }
    if (cmd == "export" && (argc == 5 || argc == 6)) {
      int index = 0, pattern = -1;
      if (!ParseIndex(argv[3], index) || (argc == 6 && !ParseIndex(argv[4], pattern)))
        return Usage();
      return Export(path, index, pattern, argv[argc - 1]);
    }
  } catch (const zw::TPackError& e) {
    const std::string why = e.what();
    std::fprintf(stderr, "zapwheely-pack: %s\n",
                 (why.rfind(path, 0) == 0 ? why : path + ": " + why).c_str());
    return 1;
  }
  return Usage();
}
