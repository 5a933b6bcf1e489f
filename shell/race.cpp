// The race flow: starting a game, the race frame, the clock, the level-end tally and the way back.
#include <cmath>

#include "core/exact_math.hpp"
#include "packs/sound_effects.hpp"
#include "rider/player.hpp"
#include "rider/pointer.hpp"
#include "shell/form.hpp"
#include "shell/level.hpp"
#include "shell/race_figures.hpp"
#include "shell/replay_hooks.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {
// The bonus for the place in which a level is finished, places 1..6.
constexpr int32_t PositionPrize[7] = {0, 800, 600, 400, 300, 200, 100};
}  // namespace

int32_t PositionPrizeFor(int place) {
  return (place >= 1 && place <= 6) ? PositionPrize[place] : 0;
}

void TMForm::StartRace() {
  if (ReplayHooks) ReplayHooks->RaceStarting(*this);
  Menu.CurrentScreen = screen::Race;
  PlayScreenMusic();
  ShowPointer(false);
  Menu.MenuFirst = 1;
  Menu.MenuLast = 0;
  Menu.MenuIndex = 0;
  Race.Background = TScrollBackground::CreateRace(Engine());
  // Once the window has stepped, the rider and then the opponents meet the obstacles it shows.
  Race.Background->Scrolled = [this](const TScrollBackground& bg) {
    if (Race.Player) Race.Player->ObstaclesAgainstRider(Track, bg.X, bg.Y);
    if (Race.Car) Race.Car->ObstaclesAgainstOpponents(Track);
  };
  // The rider draws the side panels.
  Race.Background->PanelSprite = [this]() -> const TSprite* { return Race.Player; };
  // Each game starts on an empty map, as its replay's ride does.
  Track.Clear();
  SetUpLevel(*this, 1);
  Race.Bonus = TBonus::Create(Engine());
  Race.Pointer = TPointer::Create(Engine());
  Race.Pointer->Angle = 28;
  Race.Player = TPlayer::Create(Engine(), 400, 400);
  Race.Car = TCar::Create(Engine());
  Race.Lives = 3;
  Race.RaceScore = 0;
  OpenDialog(dialog::LevelBanner);
}

void TMForm::RaceFrame(int moveCount) {
  MSpriteEngine.Move(moveCount);
  TPlayer* p = Race.Player;
  if (p && Platform.Input) {
    // The keyboard's held keys, or the gamepad's controls that stand for them.
    p->CtlLeft = Held(vk::Left);
    p->CtlRight = Held(vk::Right);
    p->CtlUp = Held(vk::Up);
    p->CtlDown = Held(vk::Down);
    p->CtlBrake = Held(vk::Space);
    p->CtlHorn = Held('H');
  }
  // The rider's hand-over (the tally, a lost game) may have ended the race screen.
  if (Menu.CurrentScreen != screen::Race || !Race.Player) return;
  UpdateNeedle();
  UpdateRaceClock();
  RefreshChips(*this);
  if (p) {
    const double a = p->Heading / 256.0 * 2.0 * M_PI;
    Race.ScrollVX = -exact::Sin(a) * p->ScrollSpeed;
    Race.ScrollVY = exact::Cos(a) * p->ScrollSpeed;
  }
  DrawHUD();
  if (Keys.KeyEscape) OpenDialog(dialog::ExitToMenu);
  if (Keys.KeyPause) OpenDialog(dialog::Pause);
}

void TMForm::UpdateNeedle() {
  if (!Race.Player || !Race.Pointer) return;
  int n = static_cast<int>(std::nearbyint(Race.Player->Speed * 0.76875 + 28));
  if (n < 28) n = 28;
  if (Race.Player->SndShift) n -= 1;
  Race.Pointer->Angle = n;
}

void TMForm::UpdateRaceClock() {
  const int32_t ft = Timing.FrameTime;
  int32_t& clock = Race.RaceClock;
  // In the last ten seconds a tick marks each whole second just passed.
  if (clock <= 10000 && clock / 1000 < (clock + ft) / 1000) PlaySound(sfx::ClockTick);
  TPlayer* p = Race.Player;
  if (p && !p->TimeUp && !p->Finished) TimerTake(clock, 0, ft);
  if (p && ft + 1 >= clock) p->TimeUp = true;
}

void TMForm::LeaveRace() {
  Menu.CurrentScreen = screen::None;
  if (Race.Background) Race.Background->KillOnce();
  StopRiderSounds(true);
  if (Race.Bonus) Race.Bonus->KillOnce();
  if (Race.Car) Race.Car->KillOnce();
  if (Race.Pointer) Race.Pointer->KillOnce();
  if (Race.Player) Race.Player->KillOnce();
  Race.Background = nullptr;
  Race.Bonus = nullptr;
  Race.Car = nullptr;
  Race.Pointer = nullptr;
  Race.Player = nullptr;
  MSpriteEngine.Dead();
}

void TMForm::LeaveToMenu() {
  LeaveRace();
  ShowMenu(false, item::StartGame, true);
}

void TMForm::TallyStepFrame() {
  if (Race.TallyStepTimer <= 0) {
    Race.TallyStepTimer = 1000;
    Race.TallyStep += 1;
    if (Race.TallyStep < 5) PlaySound(sfx::ArrowOrTallyLine);
  } else {
    Race.TallyStepTimer -= Timing.FrameTime;
  }
  SelectFont(font::SendAndTally);
  if (Race.TallyStep >= 1)
    DrawText("Your rank is " + std::to_string(Race.RacePosition), 382, 244, true, true);
  if (Race.TallyStep >= 2)
    DrawText("Bonus: " + std::to_string(Race.BonusPoints), 382, 274, true, true);
  if (Race.TallyStep >= 3)
    DrawText("Time left: " + std::to_string(Race.TallyTimeLeft / 1000), 307, 304, false, true);
  if (Race.TallyStep >= 4)
    DrawText("Time bonus: " + std::to_string(Race.TimeBonus), 292, 334, false, true);
  if (Race.TallyStep < 5) return;
  if (Race.TallyTimeLeft >= 0) {
    // The time left runs down at ten times real speed; each whole second is worth 5 points.
    const int32_t t = Race.TallyTimeLeft - 10 * Timing.FrameTime;
    if (static_cast<int32_t>(std::trunc(t / 1000.0)) <
        static_cast<int32_t>(std::trunc(Race.TallyTimeLeft / 1000.0))) {
      Race.TimeBonus += 5;
      PlaySound(sfx::ClockTick);
    }
    Race.TallyTimeLeft = t;
    Race.TallyPause = 2000;
  } else if (Race.TallyPause > 0) {
    Race.TallyPause -= Timing.FrameTime;
  } else {
    Race.RaceScore += Race.BonusPoints + Race.TimeBonus;
    CloseDialog();
    if (Race.Level > 9) {
      Race.TallyTimeLeft = 3200;
      PlaySound(sfx::Fanfare);
      OpenDialog(dialog::Congratulations);
    } else {
      RestartLevel(true);
    }
  }
}

}  // namespace zw
