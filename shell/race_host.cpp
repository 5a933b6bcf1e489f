// The race's host: the form as the rider, the opponents and the track see it, and the form's
// answers to what the race reports.
#include "world/race_host.hpp"

#include "rider/player.hpp"
#include "shell/form.hpp"
#include "shell/level.hpp"
#include "shell/race_figures.hpp"
#include "shell/replay_hooks.hpp"

namespace zw {

namespace {

class TFormRaceHost final : public IRaceHost {
 public:
  explicit TFormRaceHost(TMForm& form)
      : IRaceHost(form.Race, form.Track, form.MDisplay, form.MImageList2, form.MImageList3),
        F(form) {}

  int32_t Random(int32_t n) override { return F.Random(n); }
  void PlaySound(int i) override { F.PlaySound(i); }
  void StopSound(int i) override { F.StopSound(i); }
  void PadRumble(double strength, int ms) override { F.PadRumble(strength, ms); }
  double SpeedFactor() const override { return F.Timing.SpeedFactor; }
  int32_t FrameTime() const override { return F.Timing.FrameTime; }
  bool Racing() const override { return F.Menu.CurrentScreen == screen::Race; }
  bool KeyTwin(int i) const override { return F.Keys.Twins[i]; }
  void SetUpLevel(int level) override { zw::SetUpLevel(F, level); }
  void Report(TRaceEvent event) override { F.RaceEvent(event); }

 private:
  TMForm& F;
};

}  // namespace

std::unique_ptr<IRaceHost> MakeRaceHost(TMForm& form) {
  return std::make_unique<TFormRaceHost>(form);
}

void TMForm::RaceEvent(TRaceEvent event) {
  switch (event) {
    case TRaceEvent::LevelReady:
      OpenDialog(dialog::LevelBanner);
      break;
    case TRaceEvent::LevelFinished:
      // The tally counts the time left down into points, then adds the place's prize.
      Race.TallyTimeLeft = Race.RaceClock;
      Race.TimeBonus = 0;
      Race.BonusPoints = PositionPrizeFor(Race.RacePosition);
      Race.TallyStepTimer = 0;
      Race.TallyStep = 0;
      OpenDialog(dialog::Tally);
      break;
    case TRaceEvent::TimeUp:
      if (Race.Lives >= 1) Race.Lives -= 1;
      OpenDialog(Race.Lives > 0 ? dialog::TimeOver : dialog::GameOver);
      break;
    case TRaceEvent::LifeLost:
      Race.Lives -= 1;
      break;
    case TRaceEvent::GameOver:
      OpenDialog(dialog::GameOver);
      break;
  }
}

void TMForm::RestartLevel(bool next) {
  if (ReplayHooks) ReplayHooks->LevelEnding(*this);
  if (Race.Player) Race.Player->RestartLevel(next);
}

}  // namespace zw
