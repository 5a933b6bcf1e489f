// Rendering a sound log: the log's calls replayed on the sound items over the game's mixer.
#include "tools/common/sound_mix.hpp"

#include <memory>
#include <sstream>

#include "platform/mix/mixer.hpp"
#include "platform/mix/xm_song.hpp"

namespace zw {

namespace {

// The longest render: twenty minutes, so a damaged time cannot ask for endless memory.
constexpr uint64_t MaxMs = 20u * 60u * 1000u;

// The raw text after "key": in one log line, or empty when the key is not there.
bool FindValue(const std::string& line, const std::string& key, std::string& value) {
  const std::string k = "\"" + key + "\":";
  const size_t at = line.find(k);
  if (at == std::string::npos) return false;
  size_t i = at + k.size();
  value.clear();
  if (i < line.size() && line[i] == '"') {
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    return i < line.size();
  }
  while (i < line.size() && (line[i] == '-' || (line[i] >= '0' && line[i] <= '9')))
    value += line[i++];
  return !value.empty();
}

bool ToNumber(const std::string& s, long long& v) {
  try {
    size_t used = 0;
    v = std::stoll(s, &used);
    return used == s.size();
  } catch (...) {
    return false;
  }
}

}  // namespace

bool ParseSoundLog(const std::string& text, std::vector<TLoggedSound>& out, std::string& error) {
  out.clear();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    TLoggedSound e;
    std::string v;
    long long n = 0;
    if (!FindValue(line, "ms", v) || !ToNumber(v, n) || n < 0 || static_cast<uint64_t>(n) > MaxMs) {
      error = "line " + std::to_string(number) + ": no time (\"ms\") in the sound log";
      return false;
    }
    e.Ms = static_cast<uint64_t>(n);
    if (!FindValue(line, "op", e.Op)) {
      error = "line " + std::to_string(number) + ": no \"op\" in the sound log";
      return false;
    }
    if (FindValue(line, "index", v)) {
      if (!ToNumber(v, n) || n < -1 || n > 1000000) {
        error = "line " + std::to_string(number) + ": bad index";
        return false;
      }
      e.Index = static_cast<int>(n);
    }
    FindValue(line, "path", e.Path);
    if (!out.empty() && e.Ms < out.back().Ms) {
      error = "line " + std::to_string(number) + ": the log goes back in time";
      return false;
    }
    out.push_back(std::move(e));
  }
  return true;
}

bool RenderSoundLog(const std::vector<TLoggedSound>& log, TSoundList& sounds, int rate,
                    std::vector<int16_t>& out, std::string& error) {
  TMixer mixer(rate);
  std::unique_ptr<TXmSong> song;
  out.clear();
  uint64_t rendered = 0;  // frames
  auto renderTo = [&](uint64_t ms) {
    const uint64_t until = ms * static_cast<uint64_t>(mixer.Rate()) / 1000u;
    if (until <= rendered) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(until - rendered) * 2);
    mixer.Mix(out.data() + at, static_cast<int>(until - rendered));
    rendered = until;
  };
  bool ended = false;
  for (const TLoggedSound& e : log) {
    renderTo(e.Ms);
    if (e.Op == "end") {
      ended = true;
      break;
    }
    if (e.Op == "play" || e.Op == "stop") {
      TSoundItem* item = sounds.Item(e.Index);
      if (!item) {
        error = "sound " + std::to_string(e.Index) + " is not in the sound pack";
        return false;
      }
      // As the game plays an effect: every instance stopped, then started from the top.
      item->Stop(mixer);
      if (e.Op == "play") item->Play(mixer);
    } else if (e.Op == "music") {
      mixer.SetSource(nullptr);
      song = std::make_unique<TXmSong>();
      // A tune that cannot be loaded is silent, as in the game.
      if (song->Load(e.Path) && song->Start(mixer.Rate()))
        mixer.SetSource(song.get());
      else
        song.reset();
    } else if (e.Op == "stopmusic") {
      mixer.SetSource(nullptr);
      song.reset();
    }
  }
  if (!ended) renderTo((log.empty() ? 0 : log.back().Ms) + 1000);
  return true;
}

}  // namespace zw
