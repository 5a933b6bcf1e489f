// bench_ten_levels: rides a whole ten-level game through the game's own controls and writes its
// replay, for the re-ride benchmark (bench/reride_bench.cpp reads it as bench/searched_game.zwr).
//
//   bench_ten_levels OUT.zwr   (run inside the build folder, which holds Data/)
//
// Options in the environment: ZW_SEARCH_SEED and ZW_SEARCH_BIKE (4242 and 2), ZW_SEARCH_SECONDS
// (a CPU time limit; a search cut short records the furthest level reached), ZW_SEARCH_LIVES
// (the fewest lives a crash may leave, 2), ZW_SEARCH_SLACK (1.05, below), ZW_SEARCH_LOG.
//
// The later levels leave little time: level 6 on is some 88 000 pixels of road in 130 s, and a
// bike at its top speed covers about 850 pixels a second and takes twenty seconds to get there.
// So the pilot rides flat out along the road's centre line smoothed over the drifts, and this
// rides it in short stretches and searches: a stretch that ends with the clock run out, a crash
// that spends more lives than allowed, or a level that could no longer be finished in time even
// flat out on a straight road (with slack for the bends and the traffic) is ridden again from
// where it started with the pilot's next way of riding (another lookahead, another line, a lower
// speed), and when every way fails the search goes further back. The game is deterministic and a
// ride without drawing is cheap, so going back is a re-ride of the kept controls from the start
// of the game on a fresh race. Only the held arrows reach the game, frame by frame, as a player
// presses them: nothing in the game's state is set by hand.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.hpp"
#include "replay/recorder.hpp"
#include "rider/bike_models.hpp"
#include "rider/player.hpp"
#include "shell/form.hpp"
#include "tools/autoplay/pilot.hpp"
#include "tools/autoplay/script.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace {

using namespace zw;

constexpr int FrameMs = 16;
constexpr int Refresh = 60;
// A stretch of riding the search keeps or rides again: about a second and a half.
constexpr size_t Stretch = 96;

// One way of riding a stretch. The pilot aims at the road's centre line, averaged over Smooth
// rows either side so that it cuts across the short drifts instead of following each step, at a
// point Look rows ahead at full speed (fewer when slower: a slow bike turns sharper), Offset
// pixels to its right. It lets the throttle go above Cap of the bike's top speed and when the
// heading it wants is more than Turn off its own (a bend it cannot take flat out).
struct TWay {
  double Look;
  int Smooth;
  int Offset;
  double Cap;
  double Turn;
};
const TWay Ways[] = {
    {9, 4, 0, 1.0, 12},  {7, 3, 0, 1.0, 10}, {11, 6, 0, 1.0, 14},   {9, 4, -40, 1.0, 12},
    {9, 4, 40, 1.0, 12}, {6, 2, 0, 1.0, 8},  {9, 4, -80, 1.0, 12},  {9, 4, 80, 1.0, 12},
    {13, 7, 0, 1.0, 16}, {8, 3, 0, 0.92, 8}, {5, 1, 0, 0.85, 6},    {7, 3, -60, 0.95, 9},
    {7, 3, 60, 0.95, 9}, {4, 0, 0, 0.75, 5}, {10, 5, -20, 1.0, 20}, {10, 5, 20, 1.0, 20}};
constexpr int WayCount = static_cast<int>(sizeof Ways / sizeof Ways[0]);
// The slower ways, for a stretch the search comes back to after going back a long way.
const int Careful[] = {9, 10, 13, 5};

// The controls as the search holds them: per frame, the replay's held bits.
class TKeysInput : public IInput {
 public:
  std::vector<uint16_t> Keys;
  size_t Frame = 0;
  bool PollEvent(TInputEvent&) override { return false; }
  bool KeyHeld(int key) const override {
    if (Frame >= Keys.size()) return false;
    for (int i = 0; i < replay::held::KeyCount; ++i)
      if (replay::HeldKeys[i] == key) return (Keys[Frame] >> i) & 1;
    return false;
  }
};

// The bike's world position: the middle of the rider's sprite.
struct TWhere {
  double X = 0, Y = 0;
};
TWhere Where(const TFormState& f) {
  const TPlayer& p = *f.Race.Player;
  const TScrollBackground& bg = *f.Race.Background;
  return {f.Track.ViewCol * TileSizeD - bg.X + p.CentreX,
          f.Track.ViewRow * TileSizeD - bg.Y + p.CentreY};
}

// The first row that carries the level's road.
int TopRow(const TFormState& f) {
  return TrackRows - f.Track.TrackLength;
}

// The road's centre line around a row, averaged over smooth rows either side.
double SmoothCentre(const TFormState& f, int row, int smooth) {
  const int top = TopRow(f);
  double sum = 0;
  int n = 0;
  for (int r = row - smooth; r <= row + smooth; ++r) {
    sum += f.Track.RoadCentreX(std::clamp(r, top, TrackRows - 1));
    ++n;
  }
  return sum / n;
}

// The heading (1/256 turns) from the bike to the smoothed line look rows ahead.
double HeadingTo(const TFormState& f, const TWhere& at, double look, const TWay& w) {
  const int row =
      std::clamp(static_cast<int>((at.Y - look * TileSizeD) / TileSizeD), TopRow(f), TrackRows - 1);
  const double dx = SmoothCentre(f, row, w.Smooth) + w.Offset - at.X;
  return std::atan2(dx, at.Y - (row + 0.5) * TileSizeD) * 128.0 / M_PI;
}

// The held arrows for the next frame. Nothing is held outside a race being ridden.
uint16_t PilotKeys(const TFormState& f, const TWay& w) {
  const TPlayer* p = f.Race.Player;
  if (f.Menu.CurrentScreen != screen::Race || f.Menu.ActiveDialog != dialog::None || !p ||
      !f.Race.Background || p->TimeUp || p->Finished || p->Crashed)
    return 0;
  const TWhere at = Where(f);
  const double top = TopSpeed(p->Model());
  const double speed = std::max(p->Speed, 0.0);
  // Aim at the smoothed line ahead; the faster, the further ahead. Further still: the heading
  // the road will want once the bike gets there.
  const double look = 1.5 + w.Look * speed / top;
  const double err = HeadingTo(f, at, look, w) - p->Heading;
  const double farErr = HeadingTo(f, at, 2 * look, w) - p->Heading;
  const bool left = err<-1, right = err> 1;
  bool up = speed < 40 ||
            (std::fabs(err) < w.Turn && std::fabs(farErr) < 2 * w.Turn && speed < w.Cap * top);
  // Far off its line the bike brakes, upright only (braking while leaning spills it).
  const bool down = !up && std::fabs(err) > 2 * w.Turn && speed > 60 && p->LeanState == 0;
  if (down) up = false;
  return static_cast<uint16_t>((up ? replay::held::Up : 0) | (down ? replay::held::Down : 0) |
                               (left ? replay::held::Left : 0) | (right ? replay::held::Right : 0));
}

// Whether the level can still be finished in time: the bike from here flat out on a straight
// road (its own speed and acceleration, no bend, no traffic) against the clock left, with slack
// for what the road and the traffic will take.
bool PaceHolds(const TFormState& f, double slack) {
  const TPlayer* p = f.Race.Player;
  if (!p || !f.Race.Background || p->Finished || f.Menu.CurrentScreen != screen::Race) return true;
  const int m = p->Model();
  const double finishY = (FinishRowBase - f.Track.TrackLength + 1) * TileSizeD;
  double left = Where(f).Y - finishY;
  if (left <= 0) return true;
  // Frames of 60 a second, as the search rides them.
  const double factor = 85.0 / Refresh;
  double v = std::max(p->Speed, 0.0), ms = 0;
  while (left > 0 && ms < 400000) {
    if (v <= TopSpeed(m)) v += AccelRate(m, v) * factor;
    left -= PowerFactor(m) * v / 8 * 0.5 * factor;
    ms += FrameMs;
  }
  return ms * slack < f.Race.RaceClock;
}

// A game under way: a form, the race it rides, and the controls it has been given.
struct TGame {
  THeadlessPlatform Platform;
  std::unique_ptr<TMForm> Form;
  TKeysInput Input;
  replay::TRecorder Recorder;
  std::unique_ptr<replay::TReplay> StartOnly;
  std::unique_ptr<replay::TReplayPlayer> Starter;

  TGame(const replay::TStart& start, bool record) {
    Form = std::make_unique<TMForm>(Platform.Platform);
    Form->NoSavedState = true;
    if (!Form->FormCreate()) {
      std::fprintf(stderr, "bench_ten_levels: %s\n", Form->StartupError.c_str());
      std::exit(2);
    }
    if (record) {
      Recorder.Packs = replay::PackHash();
      Form->ReplayHooks = &Recorder;
    }
    // The race starts as a replay's does: from the recorded start (seed, bike, frame timing).
    StartOnly = std::make_unique<replay::TReplay>();
    StartOnly->Start = start;
    Starter = std::make_unique<replay::TReplayPlayer>(*StartOnly);
    Form->Platform.Input = &Input;
    Starter->Begin(*Form);
  }
  // One frame, undrawn, with the held bits the input holds for it.
  void Step() {
    TMForm& f = *Form;
    f.Timing.RefreshRate = Refresh;
    f.SkipDrawing = true;
    f.TimerTick(FrameMs);
    f.SkipDrawing = false;
    ++Input.Frame;
  }
  bool Over() const { return Recorder.Complete || Form->Terminated || GameOverShown(); }
  bool GameOverShown() const {
    // Game over or the end of the game: the race screen is left or a closing dialog is up.
    const TFormState& f = *Form;
    return f.Menu.CurrentScreen != screen::Race || f.Menu.ActiveDialog == dialog::GameOver ||
           f.Menu.ActiveDialog == dialog::NameEntry;
  }
};

// The rider's troubles so far: any hit, crash, lost life or clock run out changes it.
struct TTrouble {
  int Lives = 0, Hits = 0;
  bool Crashed = false, TimeUp = false;
  bool operator==(const TTrouble&) const = default;
};
TTrouble Trouble(const TFormState& f) {
  TTrouble t;
  t.Lives = f.Race.Lives;
  if (const TPlayer* p = f.Race.Player) {
    t.Hits = p->HitsLeft;
    t.Crashed = p->Crashed;
    t.TimeUp = p->TimeUp;
  }
  return t;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v ? std::atoi(v) : fallback;
}

// The race's start as the game records it for a seed and a bike at 60 Hz.
replay::TStart RecordedStart(int seed, int bike) {
  TScriptRunner runner;
  std::string error;
  runner.Run("seed " + std::to_string(seed) + "\nrefresh 60\nframetime 16\nrace " +
                 std::to_string(bike) + "\n",
             error);
  runner.Run("frames 300\npress Escape\nframes 5\npress Y\nframes 5\n", error);
  if (!runner.Recorder.Complete) {
    std::fprintf(stderr, "bench_ten_levels: the race did not start (%s)\n", error.c_str());
    std::exit(2);
  }
  return runner.Recorder.Last.Start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_ten_levels OUT.zwr (inside the build folder)\n");
    return 2;
  }
  if (!std::filesystem::exists("Data/Res/Res1.gpk")) {
    std::fprintf(stderr, "bench_ten_levels: run inside the build folder, which holds Data/\n");
    return 2;
  }
  const double t0 = CpuSeconds();
  const int seed = EnvInt("ZW_SEARCH_SEED", 4242), bike = EnvInt("ZW_SEARCH_BIKE", 2);
  // The fewest lives the rider may be left with after a crash the search keeps: 3 keeps every
  // stretch clean, 1 spends two lives where that is the way through.
  const int livesFloor = EnvInt("ZW_SEARCH_LIVES", 2);
  // How much longer than a flat-out ride on a straight road the rest of the level may take.
  const double slack =
      std::getenv("ZW_SEARCH_SLACK") ? std::atof(std::getenv("ZW_SEARCH_SLACK")) : 1.05;
  const replay::TStart start = RecordedStart(seed, bike);
  std::vector<uint16_t> keys;
  // The stretches kept so far: where each began, the way it tries first and how many it has
  // tried.
  struct TNode {
    size_t From;
    int First;
    int Tried;
    int Way() const { return (First + Tried) % WayCount; }
  };
  std::vector<TNode> nodes{{0, 0, 0}};
  auto game = std::make_unique<TGame>(start, false);
  long retries = 0;
  // Going back one stretch at a time tries every pairing of ways and gets lost when the trouble
  // was made further back (too fast into a bend). So a stretch whose every way fails sends the
  // search back twice as far each time in the same place, riding those stretches slower, and the
  // stretch it goes back to starts from a way drawn at random, so that going back there again
  // does not ride the same ways again.
  uint64_t draw = 0x9e3779b97f4a7c15ull ^ static_cast<uint64_t>(seed);
  auto random = [&draw](int n) {
    draw ^= draw << 13;
    draw ^= draw >> 7;
    draw ^= draw << 17;
    return static_cast<int>(draw % static_cast<uint64_t>(n));
  };
  int stuck = 0;
  size_t frontier = 0, carefulUntil = 0;
  // A finished level stays finished: the search never goes back past the stretch that began the
  // level being ridden. The controls up to the furthest level reached are what a search cut short
  // by its time limit records.
  size_t levelNode = 0;
  std::vector<uint16_t> bestKeys;
  int bestLevel = 0;
  const double deadline =
      std::getenv("ZW_SEARCH_SECONDS") ? std::atof(std::getenv("ZW_SEARCH_SECONDS")) : 1e9;
  while (!game->Over() && CpuSeconds() - t0 < deadline) {
    const TWay& way = Ways[nodes.back().Way()];
    const TTrouble before = Trouble(*game->Form);
    bool failed = false;
    for (size_t i = 0; i < Stretch && !game->Over(); ++i) {
      keys.push_back(PilotKeys(*game->Form, way));
      game->Input.Keys = keys;
      game->Step();
      const TTrouble now = Trouble(*game->Form);
      // The clock run out, or a crash that leaves fewer lives than the search allows.
      if ((now.TimeUp && !before.TimeUp) ||
          (now.Crashed && !before.Crashed && now.Lives < livesFloor) ||
          (now.Lives < before.Lives && now.Lives < livesFloor)) {
        failed = true;
        break;
      }
    }
    if (game->Form->Race.Level > bestLevel) {
      levelNode = nodes.size() - 1;
      bestKeys = keys;
      bestLevel = game->Form->Race.Level;
      std::fprintf(stderr, "level %d at frame %zu (%ld retries, %.1f s)\n", bestLevel, keys.size(),
                   retries, CpuSeconds() - t0);
    }
    if (!failed && game->GameOverShown() && game->Form->Menu.ActiveDialog == dialog::GameOver)
      failed = true;
    if (!failed && !PaceHolds(*game->Form, slack)) failed = true;
    if (!failed) {
      if (keys.size() > frontier + 8 * Stretch) {
        stuck = 0;
        frontier = keys.size();
      }
      nodes.push_back({keys.size(), keys.size() < carefulUntil ? Careful[(stuck - 1) % 4] : 0, 0});
      continue;
    }
    // Ride this stretch another way; when every way fails, go back.
    ++retries;
    if (std::getenv("ZW_SEARCH_LOG") && retries % 20 == 0) {
      const TTrouble t = Trouble(*game->Form);
      std::fprintf(stderr,
                   "retry %ld: level %d frame %zu clock %d lives %d hits %d crashed %d timeup %d "
                   "speed %.0f way %d depth %zu\n",
                   retries, game->Form->Race.Level, keys.size(), game->Form->Race.RaceClock,
                   t.Lives, t.Hits, t.Crashed, t.TimeUp,
                   game->Form->Race.Player ? game->Form->Race.Player->Speed : 0.0,
                   nodes.back().Way(), nodes.size());
    }
    if (++nodes.back().Tried >= WayCount) {
      ++stuck;
      frontier = std::max(frontier, keys.size());
      carefulUntil = keys.size();
      const size_t back = size_t{1} << std::min(stuck, 12);
      nodes.resize(std::max(levelNode + 1, nodes.size() > back ? nodes.size() - back : 0));
      nodes.back().First = stuck % 2 ? Careful[(stuck - 1) % 4] : random(WayCount);
      nodes.back().Tried = 0;
    }
    keys.resize(nodes.back().From);
    game = std::make_unique<TGame>(start, false);
    game->Input.Keys = keys;
    while (game->Input.Frame < keys.size()) game->Step();
  }
  // The game ridden once more, recorded by the game's own recorder; past the kept controls (a
  // search cut short) nothing is held, and the clock ends the game.
  if (!game->Over()) keys = bestKeys;
  TGame final(start, true);
  final.Input.Keys = keys;
  // What the recorded game shows: the levels whose tally led on (and the closing
  // congratulations after the tenth), the lives it spent.
  int finished = 0, lost = 0, level = 1, lives = 3;
  bool won = false;
  for (size_t i = 0;
       i < keys.size() + 400000 && !final.Recorder.Complete && !final.Form->Terminated; ++i) {
    final.Step();
    const TFormState& f = *final.Form;
    if (f.Menu.CurrentScreen != screen::Race) continue;
    if (f.Race.Level > level) ++finished;
    if (f.Race.Lives < lives) lost += lives - f.Race.Lives;
    level = f.Race.Level;
    lives = f.Race.Lives;
    if (f.Menu.ActiveDialog == dialog::Congratulations && !won) {
      won = true;
      ++finished;
    }
  }
  if (!final.Recorder.Complete) {
    std::fprintf(stderr, "bench_ten_levels: the recorded game did not end\n");
    return 1;
  }
  const replay::TReplay& r = final.Recorder.Last;
  std::string why;
  if (!replay::WriteFile(argv[1], r, why)) {
    std::fprintf(stderr, "bench_ten_levels: %s\n", why.c_str());
    return 1;
  }
  double gameMs = 0;
  for (uint16_t m : r.MoveCounts) gameMs += m;
  std::fprintf(stderr,
               "%s: levels finished %d%s, lives lost %d, score %d, %u frames, %.1f s of game "
               "(%ld retries, %.1f s)\n",
               argv[1], finished, won ? " (the game won)" : "", lost, r.RaceScore, r.FrameCount(),
               gameMs / 1000, retries, CpuSeconds() - t0);
  return 0;
}
