// The two tunes: a score in assets/music read into patterns, synthesised instruments, and a
// FastTracker 2 (XM) module writer.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>

#include "tools/packbuild/content.hpp"
#include "tools/packbuild/packbuild.hpp"

namespace zw::packbuild {

namespace {

constexpr int Rows = 64;     // a pattern: four bars of sixteen rows
constexpr int Channels = 8;  // lead, bass, three pad voices, kick, snare, hat
enum Instrument { Lead = 1, Bass, Pad, Kick, Snare, Hat, InstrumentCount = 6 };

struct TCell {
  uint8_t Note = 0, Instr = 0, Volume = 0, Effect = 0, Param = 0;
};

struct TScore {
  int Speed = 6, Bpm = 125;
  std::map<std::string, std::string> Drums;
  std::string BassRhythm;
  std::map<std::string, std::vector<std::string>> Chords;
  std::map<std::string, std::vector<std::vector<std::string>>> Melody;
  std::vector<std::string> Order;
};

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> w;
  std::string t;
  while (in >> t) w.push_back(t);
  return w;
}

TScore ReadScore(const std::string& text) {
  TScore s;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    // A comment starts at a '#' that begins a word (sharps sit inside note names).
    size_t hash = line.find('#');
    while (hash != std::string::npos && hash > 0 && line[hash - 1] != ' ' && line[hash - 1] != '\t')
      hash = line.find('#', hash + 1);
    const auto w = Words(line.substr(0, hash));
    if (w.empty()) continue;
    if (w[0] == "tempo" && w.size() == 3) {
      s.Speed = std::stoi(w[1]);
      s.Bpm = std::stoi(w[2]);
    } else if (w[0] == "drums" && w.size() == 3) {
      s.Drums[w[1]] = w[2];
    } else if (w[0] == "bass" && w.size() == 2) {
      s.BassRhythm = w[1];
    } else if (w[0] == "section" && w.size() == 6) {
      s.Chords[w[1]] = {w[2], w[3], w[4], w[5]};
    } else if (w[0] == "melody" && w.size() == 18) {
      s.Melody[w[1]].push_back(std::vector<std::string>(w.begin() + 2, w.end()));
    } else if (w[0] == "order") {
      s.Order.assign(w.begin() + 1, w.end());
    } else {
      throw std::runtime_error("cannot read the score line: " + line);
    }
  }
  return s;
}

// A note name such as "c5", "f#4" to the tracker's note number (1 = C-0).
int NoteNumber(const std::string& n) {
  static const std::map<char, int> steps = {{'c', 0}, {'d', 2}, {'e', 4}, {'f', 5},
                                            {'g', 7}, {'a', 9}, {'b', 11}};
  if (n.size() < 2 || !steps.count(n[0])) throw std::runtime_error("bad note " + n);
  int semitone = steps.at(n[0]);
  size_t i = 1;
  if (n[i] == '#') {
    ++semitone;
    ++i;
  }
  const int octave = std::stoi(n.substr(i));
  return octave * 12 + semitone + 1;
}

// A chord name ("Am", "F", "C#m") to its root's semitone and whether it is minor.
void ChordRoot(const std::string& c, int& root, bool& minor) {
  root = NoteNumber(std::string(1, static_cast<char>(std::tolower(c[0]))) +
                    (c.size() > 1 && c[1] == '#' ? "#" : "") + "0") -
         1;
  minor = c.back() == 'm';
}

std::vector<std::vector<TCell>> Pattern(const TScore& s, const std::string& name) {
  std::vector<std::vector<TCell>> p(Rows, std::vector<TCell>(Channels));
  const auto chords = s.Chords.at(name);
  const auto& melody = s.Melody.at(name);
  for (int bar = 0; bar < 4; ++bar) {
    int root = 0;
    bool minor = false;
    ChordRoot(chords[static_cast<size_t>(bar)], root, minor);
    for (int r = 0; r < 16; ++r) {
      auto& row = p[static_cast<size_t>(bar * 16 + r)];
      // Lead.
      if (bar < static_cast<int>(melody.size())) {
        const std::string& tok = melody[static_cast<size_t>(bar)][static_cast<size_t>(r)];
        if (tok == "-")
          row[0].Note = 97;
        else if (tok != ".") {
          row[0].Note = static_cast<uint8_t>(NoteNumber(tok));
          row[0].Instr = Lead;
        }
      }
      // Bass on its rhythm: root, fifth, octave.
      const char b =
          r < static_cast<int>(s.BassRhythm.size()) ? s.BassRhythm[static_cast<size_t>(r)] : '.';
      if (b != '.') {
        const int base = 2 * 12 + root + 1;
        row[1].Note = static_cast<uint8_t>(base + (b == 'f' ? 7 : b == 'o' ? 12 : 0));
        row[1].Instr = Bass;
      }
      // The pad holds the chord for the bar.
      if (r == 0) {
        const int third = minor ? 3 : 4;
        const int tones[3] = {0, third, 7};
        for (int v = 0; v < 3; ++v) {
          row[static_cast<size_t>(2 + v)].Note = static_cast<uint8_t>(4 * 12 + root + tones[v] + 1);
          row[static_cast<size_t>(2 + v)].Instr = Pad;
          row[static_cast<size_t>(2 + v)].Volume = 0x10 + 0x1C;  // quieter than the lead
        }
      }
      // Drums.
      const char* names[3] = {"kick", "snare", "hat"};
      for (int d = 0; d < 3; ++d) {
        auto it = s.Drums.find(names[d]);
        if (it != s.Drums.end() && r < static_cast<int>(it->second.size()) &&
            it->second[static_cast<size_t>(r)] == 'x') {
          row[static_cast<size_t>(5 + d)].Note = 49;  // C-4: the drum at its recorded pitch
          row[static_cast<size_t>(5 + d)].Instr = static_cast<uint8_t>(Kick + d);
          if (d == 2) row[7].Volume = static_cast<uint8_t>(0x10 + ((r % 4) == 0 ? 0x28 : 0x18));
        }
      }
    }
  }
  return p;
}

// --- Instruments ---

struct TSample {
  std::string Name;
  std::vector<int16_t> Data;
  uint32_t LoopStart = 0, LoopLength = 0;
  bool Looped = false;
  uint8_t Volume = 64;
  int8_t RelativeNote = 0;
  bool Envelope = false;  // a volume envelope that fades after key-off
  uint16_t Fadeout = 0;
};

// A looped waveform: 128 samples a period at 8363 Hz is C-2, so +24 semitones plays it at C-4.
TSample Waveform(const std::string& name, const std::function<double(double phase)>& f,
                 uint8_t volume, uint16_t fadeout) {
  TSample s;
  s.Name = name;
  const int period = 128, periods = 16;
  s.Data.resize(static_cast<size_t>(period) * periods);
  for (size_t i = 0; i < s.Data.size(); ++i) {
    const double ph = 2 * M_PI * static_cast<double>(i % period) / period;
    s.Data[i] = static_cast<int16_t>(std::lround(std::clamp(f(ph), -1.0, 1.0) * 30000));
  }
  s.Looped = true;
  s.LoopStart = 0;
  s.LoopLength = static_cast<uint32_t>(s.Data.size());
  s.Volume = volume;
  s.RelativeNote = 24;
  s.Envelope = true;
  s.Fadeout = fadeout;
  return s;
}

// A one-shot drum recorded at four times 8363 Hz, so C-4 plays it as recorded.
TSample Drum(const std::string& name, double seconds, const std::function<double(double t)>& f,
             uint8_t volume) {
  TSample s;
  s.Name = name;
  const double rate = 8363.0 * 4;
  s.Data.resize(static_cast<size_t>(seconds * rate));
  for (size_t i = 0; i < s.Data.size(); ++i)
    s.Data[i] = static_cast<int16_t>(std::lround(std::clamp(f(i / rate), -1.0, 1.0) * 30000));
  s.Volume = volume;
  s.RelativeNote = 24;
  return s;
}

std::vector<TSample> Instruments() {
  std::vector<TSample> v;
  // Lead: two pulses an octave apart, bright and round.
  v.push_back(Waveform(
      "Lead",
      [](double p) {
        return 0.45 * (std::sin(p) > 0.3 ? 1 : -1) + 0.25 * std::sin(2 * p) + 0.2 * std::sin(3 * p);
      },
      44, 900));
  // Bass: a filtered saw.
  v.push_back(Waveform(
      "Bass",
      [](double p) {
        double s = 0;
        for (int k = 1; k <= 8; ++k) s += std::sin(k * p) / k * std::exp(-k * 0.18);
        return s * 0.75;
      },
      56, 2000));
  // Pad: soft triangle and sine.
  v.push_back(Waveform(
      "Pad",
      [](double p) {
        const double tri = 2 / M_PI * std::asin(std::sin(p));
        return 0.5 * tri + 0.35 * std::sin(p) + 0.1 * std::sin(2 * p);
      },
      40, 400));
  uint32_t seed = 12345;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return ((seed >> 8) & 0xFFFF) / 32768.0 - 1.0;
  };
  v.push_back(Drum(
      "Kick", 0.35,
      [](double t) {
        const double f = 50 + 120 * std::exp(-t * 30);
        return std::sin(2 * M_PI * f * t) * std::exp(-t * 9) * 1.2;
      },
      64));
  v.push_back(Drum(
      "Snare", 0.25,
      [&](double t) {
        return (0.7 * noise() + 0.5 * std::sin(2 * M_PI * 190 * t)) * std::exp(-t * 16);
      },
      50));
  double prev = 0;
  v.push_back(Drum(
      "Hat", 0.08,
      [&](double t) {
        const double n = noise();
        const double hp = n - prev;  // a first difference keeps only the hiss
        prev = n;
        return hp * 0.6 * std::exp(-t * 60);
      },
      32));
  return v;
}

// --- The XM writer ---

class TOut {
 public:
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
  void Text(const std::string& s, size_t n) {
    for (size_t i = 0; i < n; ++i) U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
  }
  void Zeros(size_t n) { B.insert(B.end(), n, 0); }
};

std::vector<uint8_t> WriteXm(const std::string& title, const TScore& score) {
  std::vector<std::string> names;
  std::map<std::string, int> index;
  for (const std::string& o : score.Order)
    if (!index.count(o)) {
      index[o] = static_cast<int>(names.size());
      names.push_back(o);
    }
  TOut o;
  o.Text("Extended Module: ", 17);
  o.Text(title, 20);
  o.U8(0x1A);
  o.Text("Zap Wheely packbuild", 20);
  o.U16(0x0104);
  o.U32(276);
  o.U16(static_cast<uint32_t>(score.Order.size()));
  o.U16(0);  // the song loops back to its first order
  o.U16(Channels);
  o.U16(static_cast<uint32_t>(names.size()));
  o.U16(InstrumentCount);
  o.U16(1);  // linear frequencies
  o.U16(static_cast<uint32_t>(score.Speed));
  o.U16(static_cast<uint32_t>(score.Bpm));
  for (size_t i = 0; i < 256; ++i)
    o.U8(i < score.Order.size() ? static_cast<uint32_t>(index[score.Order[i]]) : 0);
  for (const std::string& n : names) {
    const auto p = Pattern(score, n);
    TOut data;
    for (const auto& row : p)
      for (const TCell& c : row) {
        uint8_t mask = 0x80;
        if (c.Note) mask |= 1;
        if (c.Instr) mask |= 2;
        if (c.Volume) mask |= 4;
        if (c.Effect) mask |= 8;
        if (c.Param) mask |= 16;
        data.U8(mask);
        if (c.Note) data.U8(c.Note);
        if (c.Instr) data.U8(c.Instr);
        if (c.Volume) data.U8(c.Volume);
        if (c.Effect) data.U8(c.Effect);
        if (c.Param) data.U8(c.Param);
      }
    o.U32(9);
    o.U8(0);
    o.U16(Rows);
    o.U16(static_cast<uint32_t>(data.B.size()));
    o.B.insert(o.B.end(), data.B.begin(), data.B.end());
  }
  for (const TSample& s : Instruments()) {
    o.U32(263);
    o.Text(s.Name, 22);
    o.U8(0);
    o.U16(1);
    o.U32(40);
    o.Zeros(96);  // every note plays sample 0
    // Volume envelope: full at once, held while the key is down, then faded out.
    const uint16_t env[6][2] = {{0, 64}, {4, 56}, {40, 48}, {0, 0}, {0, 0}, {0, 0}};
    for (int i = 0; i < 12; ++i) {
      if (i < 3) {
        o.U16(env[i][0]);
        o.U16(env[i][1]);
      } else {
        o.U16(0);
        o.U16(0);
      }
    }
    o.Zeros(48);               // no panning envelope
    o.U8(s.Envelope ? 3 : 0);  // points
    o.U8(0);
    o.U8(1);  // sustain at the second point
    o.U8(0);
    o.U8(0);
    o.U8(0);
    o.U8(0);
    o.U8(0);
    o.U8(s.Envelope ? 3 : 0);  // on, with sustain
    o.U8(0);
    o.U8(0);
    o.U8(0);
    o.U8(0);
    o.U8(0);
    o.U16(s.Fadeout);
    o.U16(0);
    o.Zeros(20);
    // The sample header and its delta-coded 16-bit data.
    o.U32(static_cast<uint32_t>(s.Data.size() * 2));
    o.U32(s.LoopStart * 2);
    o.U32(s.LoopLength * 2);
    o.U8(s.Volume);
    o.U8(0);
    o.U8((s.Looped ? 1 : 0) | 0x10);
    o.U8(128);
    o.U8(static_cast<uint8_t>(s.RelativeNote));
    o.U8(0);
    o.Text(s.Name, 22);
    int16_t prev = 0;
    for (int16_t v : s.Data) {
      o.U16(static_cast<uint16_t>(static_cast<int16_t>(v - prev)));
      prev = v;
    }
  }
  return std::move(o.B);
}

}  // namespace

std::vector<uint8_t> BuildTune(const std::string& assets, const std::string& name) {
  const TScore score = ReadScore(ReadAsset(assets, "music/" + name + ".score"));
  if (score.Order.empty()) throw std::runtime_error("the " + name + " score has no order");
  for (const std::string& o : score.Order)
    if (!score.Chords.count(o) || !score.Melody.count(o))
      throw std::runtime_error("the " + name + " score has no section " + o);
  return WriteXm("Zap Wheely " + name, score);
}

}  // namespace zw::packbuild
