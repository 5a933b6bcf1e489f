// Recorded behaviour: scripted sessions of the real game (tests/golden/*.script) whose every
// frame's picture, state and sounds are digested and compared with the record kept beside the
// script, so that any change to what a player sees or hears in them fails and says where.
// ZW_GOLDEN_UPDATE=1 writes the records afresh; ZW_GOLDEN_SHOTS=DIR writes the picture at the end
// of every script line to DIR (see tests/golden/README.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/form.hpp"
#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"
#include "tools/common/png.hpp"

namespace zw::test {
namespace {

namespace fs = std::filesystem;

// A running 64-bit digest, the same on every build: words are mixed in four lanes (the picture is
// most of the bytes of a frame) and folded at the end.
class THash {
 public:
  void Word(uint64_t w) {
    uint64_t& l = Lane[Next++ & 3];
    l = Rotl((l ^ w) * 0x9E3779B97F4A7C15ull, 27);
  }
  void Bytes(const void* data, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t i = 0;
    // A frame's picture is most of the work: four words at a time with the lanes held apart
    // (the same digest as one word at a time, only without each word waiting on the last).
    if (n >= 64) {
      const unsigned first = static_cast<unsigned>(Next & 3);
      uint64_t a = Lane[first], b = Lane[(first + 1) & 3], c = Lane[(first + 2) & 3],
               d = Lane[(first + 3) & 3];
      for (; i + 32 <= n; i += 32) {
        uint64_t w[4];
        std::memcpy(w, p + i, 32);
        a = Rotl((a ^ w[0]) * 0x9E3779B97F4A7C15ull, 27);
        b = Rotl((b ^ w[1]) * 0x9E3779B97F4A7C15ull, 27);
        c = Rotl((c ^ w[2]) * 0x9E3779B97F4A7C15ull, 27);
        d = Rotl((d ^ w[3]) * 0x9E3779B97F4A7C15ull, 27);
      }
      Lane[first] = a;
      Lane[(first + 1) & 3] = b;
      Lane[(first + 2) & 3] = c;
      Lane[(first + 3) & 3] = d;
      Next += i / 8;
    }
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      Word(w);
    }
    uint64_t tail = n;  // the length keeps "ab" + "c" apart from "a" + "bc"
    for (size_t k = 0; i < n; ++i, ++k) tail ^= static_cast<uint64_t>(p[i]) << (8 * (k + 1));
    Word(tail);
  }
  void Text(const std::string& s) { Bytes(s.data(), s.size()); }
  uint64_t Value() const {
    uint64_t h = 0x6A09E667F3BCC909ull;
    for (uint64_t l : Lane) {
      h ^= l + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
      h ^= h >> 31;
      h *= 0xBF58476D1CE4E5B9ull;
      h ^= h >> 29;
    }
    return h;
  }

 private:
  static uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
  uint64_t Lane[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                      0x082EFA98EC4E6C89ull};
  uint64_t Next = 0;
};

std::string Hex(uint64_t v) {
  char b[17];
  std::snprintf(b, sizeof b, "%012llx", static_cast<unsigned long long>(v & 0xFFFFFFFFFFFFull));
  return b;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The last part of a path: where the packs lie differs between machines, their names do not.
std::string BaseName(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Trimmed(const std::string& raw) {
  std::string line = raw.substr(0, raw.find('#'));
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  size_t b = 0;
  while (b < line.size() && std::isspace(static_cast<unsigned char>(line[b]))) ++b;
  return line.substr(b);
}

// One script played through, digested line by line.
class TGoldenRun {
 public:
  explicit TGoldenRun(const std::string& name) : Name(name) { Start(); }

  void Start() {
    Runner = std::make_unique<TScriptRunner>();
    Runner->AfterFrame = [this] { Digest(); };
    SoundsSeen = 0;
    RequestsSeen = 0;
    OpenedSeen = 0;
    RumblesSeen = 0;
  }

  // Runs one script line; answers its record line ("" for a blank or comment line).
  std::string Line(int number, const std::string& raw, std::string& error) {
    const std::string cmd = Trimmed(raw);
    if (cmd.empty()) return "";
    Picture = THash();
    State = THash();
    Sounds = THash();
    SoundList.clear();
    SoundCount = 0;
    FramesRun = 0;
    if (cmd == "restart") {
      // The game is started again on the same save folder, as a player comes back to it.
      Runner.reset();
      Start();
    } else if (Runner->Quit) {
      error = "the game has quit; only 'restart' may follow";
      return "";
    } else if (!Runner->Command(raw, error)) {
      return "";
    }
    std::string out = std::to_string(number) + " " + cmd + " | frames " + std::to_string(FramesRun);
    if (FramesRun > 0) {
      out += " | picture " + Hex(Picture.Value()) + " | state " + Hex(State.Value()) + " | sounds ";
      if (SoundCount == 0)
        out += "-";
      else if (SoundCount <= 6)
        out += SoundList + " " + Hex(Sounds.Value()).substr(0, 6);
      else
        out += std::to_string(SoundCount) + " " + Hex(Sounds.Value());
    }
    if (!NetList.empty()) out += " | net " + NetList;
    NetList.clear();
    return out;
  }

  // The saved files and every address the game asked for or opened, for the record's end.
  std::vector<std::string> Ending() {
    std::vector<std::string> out;
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator("Data/Save", ec))
      if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
      const std::string bytes = ReadAll(f);
      THash h;
      h.Text(bytes);
      out.push_back("file " + fs::relative(f, "Data/Save").generic_string() + " | size " +
                    std::to_string(bytes.size()) + " | hash " + Hex(h.Value()));
    }
    for (const std::string& r : AllRequests) out.push_back("request " + r);
    return out;
  }

  void WritePicture(const fs::path& p) { WriteSurfacePng(p.string(), Runner->Form->MDisplay); }

  std::string Name;
  std::unique_ptr<TScriptRunner> Runner;

 private:
  void Digest() {
    ++FramesRun;
    TScriptRunner& r = *Runner;
    const TSurface& s = r.Form->MDisplay;
    Picture.Word(static_cast<uint64_t>(s.Width) << 32 | static_cast<uint32_t>(s.Height));
    Picture.Bytes(s.Pixels.data(), s.Pixels.size() * sizeof(uint16_t));
    // The window's mode is part of what the player sees.
    const THeadlessDisplay& d = r.Headless.Display;
    Picture.Word(d.FullScreen | d.Minimised << 1 | d.PointerShown << 2);
    State.Text(StateJson(r.State()));
    State.Word(static_cast<uint64_t>(r.Headless.Music.Playing));
    const auto& log = r.Headless.Audio.Log;
    for (; SoundsSeen < log.size(); ++SoundsSeen) {
      const TSoundLogEntry& e = log[SoundsSeen];
      Sounds.Word(static_cast<uint64_t>(e.Frame));
      Sounds.Word(e.Ms);
      Sounds.Text(e.Op);
      Sounds.Word(static_cast<uint64_t>(static_cast<int64_t>(e.Index)));
      Sounds.Text(BaseName(e.Path));
      Sounds.Word(static_cast<uint64_t>(static_cast<uint32_t>(e.Frequency)) << 32 ^
                  static_cast<uint64_t>(static_cast<uint32_t>(e.Pan)) << 16 ^
                  static_cast<uint32_t>(e.Volume));
      if (e.Op == "format") continue;  // counted in the digest, too many to list
      ++SoundCount;
      if (SoundCount <= 6)
        SoundList += (SoundList.empty() ? "" : ",") + e.Op +
                     (e.Index >= 0 ? std::to_string(e.Index) : ":" + BaseName(e.Path));
    }
    const auto& rumbles = r.Headless.Input.Rumbles;
    for (; RumblesSeen < rumbles.size(); ++RumblesSeen) {
      Sounds.Word(static_cast<uint64_t>(rumbles[RumblesSeen].first * 1000));
      Sounds.Word(static_cast<uint64_t>(rumbles[RumblesSeen].second));
    }
    const auto& req = r.Headless.Http.Requests;
    for (; RequestsSeen < req.size(); ++RequestsSeen) Net(req[RequestsSeen]);
    const auto& opened = r.Headless.Shell.Opened;
    for (; OpenedSeen < opened.size(); ++OpenedSeen) Net("OPEN " + opened[OpenedSeen]);
  }

  void Net(const std::string& what) {
    AllRequests.push_back(what);
    NetList += (NetList.empty() ? "" : ", ") + what;
  }

  THash Picture, State, Sounds;
  std::string SoundList, NetList;
  int SoundCount = 0;
  int FramesRun = 0;
  size_t SoundsSeen = 0, RequestsSeen = 0, OpenedSeen = 0, RumblesSeen = 0;
  std::vector<std::string> AllRequests;
};

const fs::path GoldenDir() {
  return fs::path(ZW_SOURCE_DIR) / "tests" / "golden";
}

std::vector<std::string> Scripts() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(GoldenDir(), ec))
    if (e.path().extension() == ".script") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

// Which parts of two record lines differ, by name.
std::string PartsDiffering(const std::string& want, const std::string& got) {
  auto parts = [](const std::string& l) {
    std::vector<std::string> p;
    size_t at = 0;
    while (true) {
      const size_t bar = l.find(" | ", at);
      p.push_back(l.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
      if (bar == std::string::npos) break;
      at = bar + 3;
    }
    return p;
  };
  const auto a = parts(want), b = parts(got);
  std::string out;
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const std::string x = i < a.size() ? a[i] : "", y = i < b.size() ? b[i] : "";
    if (x == y) continue;
    const std::string name =
        i == 0 ? "command" : (x.empty() ? y : x).substr(0, (x.empty() ? y : x).find(' '));
    out += (out.empty() ? "" : ", ") + name;
  }
  return out;
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, PlaysAsRecorded) {
  const std::string name = GetParam();
  const std::string script = ReadAll(GoldenDir() / (name + ".script"));
  ASSERT_FALSE(script.empty()) << "no script " << name;
  const fs::path recordPath = GoldenDir() / (name + ".record");
  const char* updateEnv = std::getenv("ZW_GOLDEN_UPDATE");
  const bool update = updateEnv && std::string(updateEnv) == "1";
  const char* shotsEnv = std::getenv("ZW_GOLDEN_SHOTS");
  const std::vector<std::string> want = Lines(ReadAll(recordPath));
  if (!update) {
    ASSERT_FALSE(want.empty()) << recordPath.string()
                               << " is missing: run the test with ZW_GOLDEN_UPDATE=1, look at the "
                                  "pictures and commit the record";
  }
  const fs::path shots = shotsEnv ? fs::absolute(shotsEnv) : fs::path();
  if (!shots.empty()) fs::create_directories(shots);

  TRunDir dir;
  TGoldenRun run(name);
  std::vector<std::string> got;
  auto compare = [&](int scriptLine, const std::string& line) {
    const size_t at = got.size();
    got.push_back(line);
    if (update) return true;
    const std::string expected = at < want.size() ? want[at] : "(the record ends here)";
    if (expected == line) return true;
    const fs::path png = fs::temp_directory_path() /
                         ("zw-golden-" + name + "-" + std::to_string(scriptLine) + ".png");
    run.WritePicture(png);
    ADD_FAILURE() << name << ".script line " << scriptLine << ": " << PartsDiffering(expected, line)
                  << " differ\n  recorded: " << expected << "\n  now:      " << line
                  << "\n  the picture at the end of that line: " << png.string();
    return false;
  };
  const std::vector<std::string> lines = Lines(script);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i + 1);
    std::string error;
    const std::string rec = run.Line(number, lines[i], error);
    ASSERT_TRUE(error.empty()) << name << ".script line " << number << " (" << lines[i]
                               << "): " << error;
    if (rec.empty()) continue;
    if (!shots.empty()) run.WritePicture(shots / (name + "-" + std::to_string(number) + ".png"));
    if (!compare(number, rec)) return;
  }
  for (const std::string& line : run.Ending())
    if (!compare(static_cast<int>(lines.size()), line)) return;
  if (update) {
    std::ofstream out(recordPath, std::ios::binary | std::ios::trunc);
    for (const std::string& l : got) out << l << "\n";
    ASSERT_TRUE(static_cast<bool>(out)) << "cannot write " << recordPath.string();
    return;
  }
  EXPECT_EQ(got.size(), want.size())
      << name << ": the record holds " << want.size() << " lines, the run made " << got.size();
}

INSTANTIATE_TEST_SUITE_P(Scripts, Golden, ::testing::ValuesIn(Scripts()),
                         [](const ::testing::TestParamInfo<std::string>& i) {
                           std::string n = i.param;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

}  // namespace
}  // namespace zw::test
