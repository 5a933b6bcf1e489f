// bench_ten_levels: rides a whole ten-level game through the game's own controls and writes its
// replay, for the re-ride benchmark (bench/reride_bench.cpp reads it as bench/searched_game.zwr).
//
//   bench_ten_levels OUT.zwr   (run inside the build folder, which holds Data/)
//
// The runner's pilot alone crashes into the traffic and loses level 2 to the clock, so this
// rides the pilot in short stretches and searches: a stretch that ends with a hit, a crash, a
// lost life or the clock run out is ridden again from where it started with the pilot's next
// way of riding (another lookahead, another line on the road, a lower speed, braking to it), and
// when every way fails the stretch before it is ridden again another way. The game is deterministic
// and a ride without drawing is cheap, so going back is a re-ride of the kept controls from the
// start of the game on a fresh race. Only the held arrows reach the game, frame by frame, as a
// player presses them: nothing in the game's state is set by hand.
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
#include "tools/common/png.hpp"
#include "world/generator.hpp"
#include "world/scroll_background.hpp"

namespace {

using namespace zw;

constexpr int FrameMs = 16;
constexpr int Refresh = 60;
// A stretch of riding the search keeps or rides again: about a second and a half.
constexpr size_t Stretch = 96;

// One way of riding a stretch: the pilot's lookahead and line, and the fraction of the bike's top
// speed above which it lets the throttle go.
struct TWay {
  int LookAhead;
  int Offset;
  double Cap;
};
const TWay Ways[] = {{3, 0, 1.0},   {3, 0, 0.6},  {4, 0, 0.45},  {3, -24, 1.0},
                     {3, 24, 1.0},  {4, 0, 1.0},  {2, 0, 0.75},  {5, 0, 0.5},
                     {3, -48, 0.8}, {3, 48, 0.8}, {3, 0, 0.35},  {6, 0, 0.6},
                     {2, -24, 0.5}, {2, 24, 0.5}, {4, -36, 0.7}, {4, 36, 0.7}};
constexpr int WayCount = static_cast<int>(sizeof Ways / sizeof Ways[0]);

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

// The runner's pilot, with the line it aims at taken from the stretch of road nearest the bike
// (a row that crosses a bend twice has two, and the middle between them is off the road), and a
// speed it does not throttle past.
uint16_t PilotKeys(const TFormState& f, const TWay& w) {
  const TPlayer* p = f.Race.Player;
  TPilotControls c = PilotControls(f, w.LookAhead, w.Offset);
  if (p && f.Race.Background && (c.Up || c.Left || c.Right)) {
    const TScrollBackground& bg = *f.Race.Background;
    const double x = f.Track.ViewCol * TileSizeD - bg.X + p->CentreX;
    const double y = f.Track.ViewRow * TileSizeD - bg.Y + p->CentreY;
    const int row = std::clamp(static_cast<int>(y / TileSizeD) - w.LookAhead, 1, TrackRows);
    double mid = x, best = 1e18;
    for (int col = 1; col <= TrackCols; ++col) {
      if (!IsRoadCode(f.Track.TrackMap(row, col))) continue;
      int last = col;
      while (last < TrackCols && IsRoadCode(f.Track.TrackMap(row, last + 1))) ++last;
      const double m = TileSizeD / 2 * (col + last + 1);
      if (std::fabs(m - x) < best) {
        best = std::fabs(m - x);
        mid = m;
      }
      col = last;
    }
    const double dx = mid + w.Offset - x;
    const double want = std::atan2(dx, TileSizeD * w.LookAhead) * 128.0 / M_PI;
    const double err = want - p->Heading;
    c.Left = err < -1.5;
    c.Right = err > 1.5;
    c.Up = std::fabs(err) < 24 || p->Speed < 40;
  }
  // Above its speed the pilot lets the throttle go, and brakes while the bike is upright (braking
  // while leaning spills it).
  bool down = false;
  if (p && p->Speed > w.Cap * TopSpeed(p->Model())) {
    c.Up = false;
    down = !c.Left && !c.Right && p->LeanState == 0;
  }
  return static_cast<uint16_t>((c.Up ? replay::held::Up : 0) | (down ? replay::held::Down : 0) |
                               (c.Left ? replay::held::Left : 0) |
                               (c.Right ? replay::held::Right : 0));
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

// The race's start as the game records it for seed 4242 on bike 2 at 60 Hz.
replay::TStart RecordedStart() {
  TScriptRunner runner;
  std::string error;
  runner.Run("seed 4242\nrefresh 60\nframetime 16\nrace 2\n", error);
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
  const replay::TStart start = RecordedStart();
  std::vector<uint16_t> keys;
  // The stretches kept so far: where each began and the way it is ridden.
  struct TNode {
    size_t From;
    int Way;
  };
  std::vector<TNode> nodes{{0, 0}};
  auto game = std::make_unique<TGame>(start, false);
  long retries = 0;
  // Going back one stretch at a time tries every pairing of ways and gets lost when the trouble
  // was made further back (too fast into a bend). So a stretch whose every way fails sends the
  // search back twice as far each time in the same place, riding those stretches slower.
  const int Careful[] = {1, 2, 10, 7};
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
    TNode& node = nodes.back();
    const TWay& way = Ways[node.Way];
    const TTrouble before = Trouble(*game->Form);
    bool failed = false;
    for (size_t i = 0; i < Stretch && !game->Over(); ++i) {
      keys.push_back(PilotKeys(*game->Form, way));
      game->Input.Keys = keys;
      game->Step();
      if (!(Trouble(*game->Form) == before) && Trouble(*game->Form).Lives <= before.Lives) {
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
    if (!failed) {
      if (keys.size() > frontier + 8 * Stretch) {
        stuck = 0;
        frontier = keys.size();
      }
      nodes.push_back({keys.size(), keys.size() < carefulUntil ? Careful[(stuck - 1) % 4] : 0});
      continue;
    }
    // Ride this stretch another way; when every way fails, the one before it.
    ++retries;
    if (std::getenv("ZW_SEARCH_LOG") && retries % 20 == 0) {
      const TTrouble t = Trouble(*game->Form);
      std::fprintf(stderr,
                   "retry %ld: level %d frame %zu clock %d lives %d hits %d crashed %d timeup %d "
                   "way %d depth %zu\n",
                   retries, game->Form->Race.Level, keys.size(), game->Form->Race.RaceClock,
                   t.Lives, t.Hits, t.Crashed, t.TimeUp, node.Way, nodes.size());
    }
    if (++nodes.back().Way >= WayCount) {
      ++stuck;
      frontier = std::max(frontier, keys.size());
      carefulUntil = keys.size();
      const size_t back = size_t{1} << std::min(stuck, 12);
      nodes.resize(std::max(levelNode + 1, nodes.size() > back ? nodes.size() - back : 0));
      nodes.back().Way = Careful[(stuck - 1) % 4];
    }
    if (const char* shot = std::getenv("ZW_SEARCH_SHOT"); shot && retries == std::atol(shot)) {
      TGame g(start, false);
      g.Input.Keys = keys;
      while (g.Input.Frame < keys.size()) {
        g.Form->Timing.RefreshRate = Refresh;
        g.Form->TimerTick(FrameMs);
        ++g.Input.Frame;
        const size_t left = keys.size() - g.Input.Frame;
        if (left == 0 || left == 16 || left == 48 || left == 96)
          WriteSurfacePng("/tmp/h20c_shot_" + std::to_string(left) + ".png", g.Form->MDisplay);
      }
    }
    if (nodes.empty()) {
      std::fprintf(stderr, "bench_ten_levels: no way through (level %d)\n", bestLevel);
      return 1;
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
  for (size_t i = 0;
       i < keys.size() + 400000 && !final.Recorder.Complete && !final.Form->Terminated; ++i)
    final.Step();
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
  std::fprintf(stderr, "%s: levels finished %d, score %d, %u frames (%ld retries, %.1f s)\n",
               argv[1], game->Over() ? final.Form->Race.Level : bestLevel - 1, r.RaceScore,
               r.FrameCount(), retries, CpuSeconds() - t0);
  return 0;
}
