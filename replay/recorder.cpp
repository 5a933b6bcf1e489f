// The recorder, the player and the race's state hash.
#include "replay/recorder.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "rider/player.hpp"
#include "rider/pointer.hpp"
#include "shell/form.hpp"
#include "shell/runner.hpp"
#include "traffic/bonus.hpp"
#include "traffic/car.hpp"
#include "world/scroll_background.hpp"

#ifndef ZW_VERSION
#define ZW_VERSION "1.0.0"
#endif

namespace zw::replay {

const char* GameVersion() {
  return ZW_VERSION;
}

uint64_t PackHash(const std::string& dataDir) {
  TFnv h;
  for (const char* name : {"Res1.gpk", "Res2.gpk", "Res3.gpk", "Sounds.spk"}) {
    std::ifstream f(dataDir + "/" + name, std::ios::binary);
    if (!f) return 0;
    char buf[65536];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) h.Bytes(buf, static_cast<size_t>(f.gcount()));
    // The file's end between the packs, so that bytes moved from one to the next still count.
    h.Value(uint8_t{0xFF});
  }
  return h.H;
}

namespace {

template <class T, int A, int B>
void Slots(TFnv& h, const TSlots<T, A, B>& s) {
  for (int i = A; i <= B; ++i) h.Value(s[i]);
}

// The opponents field by field: one field of every slot, then the next field.
template <class... T>
void OpponentFields(TFnv& h, const TSlots<TOpponent, 1, 5>& s, T TOpponent::*... fields) {
  auto one = [&](auto field) {
    for (int i = s.Low; i <= s.High; ++i) h.Value(s[i].*field);
  };
  (one(fields), ...);
}

void Point(TFnv& h, const TPoint& p) {
  h.Value(p.X);
  h.Value(p.Y);
}

// What the sprite engine keeps of a race sprite besides its own fields: where it is, its
// animation, whether it shows. Pointers (its pictures, its parent) are left out.
void Sprite(TFnv& h, const TSprite& s) {
  for (bool v : {s.Dead, s.Collisioned, s.Moved, s.Visible}) h.Value(v);
  h.Value(s.X);
  h.Value(s.Y);
  for (int32_t v : {s.Z, s.Width, s.Height}) h.Value(v);
}

void Sprite(TFnv& h, const TMyImageSprite& s) {
  Sprite(h, static_cast<const TSprite&>(s));
  for (int32_t v : {s.AnimCount, s.AnimStart, s.Alpha, s.AnimRate, s.CenterX, s.CenterY})
    h.Value(v);
  for (bool v :
       {s.AnimLooped, s.PixelCheck, s.AlphaDraw, s.KillAtAnimEnd, s.HideAtAnimEnd, s.Killed})
    h.Value(v);
  for (double v : {s.AnimPos, s.AnimSpeed, s.PrevAnimPos, s.AnimPosBeforeMove}) h.Value(v);
  h.Value(s.ImageListNo);
}

}  // namespace

// Every value is fed at its own fixed width (TFnv::Value), and a sprite that is missing feeds a
// marker instead, so that no two different states feed the same bytes by shifting.
uint64_t RaceStateHash(const TMForm& f) {
  TFnv h;
  const TRaceState& r = f.Race;
  for (int32_t v : {r.Level, r.RaceScore, r.Lives, r.RaceClock, r.TallyTimeLeft, r.TallyStepTimer,
                    r.TallyStep, r.TimeBonus, r.BonusPoints, r.TallyPause, r.SelectedBike})
    h.Value(v);
  h.Value(r.RacePosition);
  h.Value(r.RaceCount);
  h.Value(r.ScrollVX);
  h.Value(r.ScrollVY);
  h.Value(f.Rng.Seed);
  // The frame-rate measure: every movement's time base. (FrameNumber counts the program's
  // frames, not the race's, and is left out.)
  for (int32_t v : {f.Timing.FrameRate, f.Timing.FrameTime, f.Timing.RefreshRate,
                    f.Timing.WindowFrames, f.Timing.TimerFrameRate})
    h.Value(v);
  h.Value(f.Timing.SpeedFactor);
  h.Value(f.Timing.WindowMs);
  // The screen, the dialog and the menu cursor the dialogs' buttons and the pointer move.
  // (MenuIntro is the main menu's alone: a race started from the menus and a re-ride started
  // straight into the race differ there and nowhere the race reads.)
  h.Value(f.Menu.ActiveDialog);
  h.Value(f.Menu.CurrentScreen);
  for (int32_t v : {f.Menu.MenuIndex, f.Menu.MenuFirst, f.Menu.MenuLast, f.Menu.HoverButton,
                    f.Menu.MouseX, f.Menu.MouseY})
    h.Value(v);
  for (int32_t v : {f.Dialog.DialogTimer, f.Dialog.PadRepeatTimer}) h.Value(v);
  h.Value(static_cast<int32_t>(f.Dialog.TypedKey));
  h.Value(static_cast<int32_t>(f.Dialog.PadChar));
  // The keys as the race read them this frame and the frame before.
  const TKeyState& k = f.Keys;
  for (bool v : {k.KeyUp, k.KeyDown, k.KeyLeft, k.KeyRight, k.KeyPause, k.KeyYes, k.KeyNo,
                 k.KeyEscape, k.PadInUse})
    h.Value(v);
  for (bool v : k.Twins) h.Value(v);
  const TTrackState& t = f.Track;
  h.Bytes(t.Cells.data(), t.Cells.size());
  h.Bytes(t.RowKindTable.data(), t.RowKindTable.size());
  for (int32_t v : t.RoadCentreXTable) h.Value(v);
  for (int32_t v : {t.ViewCol, t.ViewRow, t.TrackLength, t.BonusCount}) h.Value(v);
  h.Value(r.Background != nullptr);
  if (r.Background) {
    const TScrollBackground& bg = *r.Background;
    Sprite(h, bg);
    h.Value(bg.StepX);
    h.Value(bg.StepY);
    h.Value(bg.ImageListNo);
    h.Value(bg.Killed);
    h.Value(bg.MapWidth);
    h.Value(bg.MapHeight);
    for (int32_t v : bg.Chips) h.Value(v);
  }
  h.Value(r.Pointer != nullptr);
  if (r.Pointer) {
    Sprite(h, *r.Pointer);
    h.Value(r.Pointer->Angle);
  }
  // The radar's grid and shift are left out: the radar's drawing makes them and only the
  // radar's drawing reads them, so a ride that draws nothing may leave them stale.
  h.Value(r.Player != nullptr);
  if (const TPlayer* p = r.Player) {
    Sprite(h, *p);
    for (int32_t v :
         {p->HitsLeft, p->CrashTimer, p->BoostTimer, p->Heading, p->LeanState, p->NewestMark})
      h.Value(v);
    for (bool v :
         {p->TimeUp,        p->EndSequence, p->Crashed,    p->HornOn,          p->BoostActive,
          p->GearShiftMark, p->OnRoad,      p->Finished,   p->CrashHeadingSet, p->PrevLeft,
          p->PrevRight,     p->CtlLeft,     p->CtlRight,   p->CtlUp,           p->CtlDown,
          p->CtlBrake,      p->CtlHorn,     p->SndTopGear, p->SndAccel,        p->SndShift,
          p->SndCoast,      p->SndIdle,     p->SndBrake})
      h.Value(v);
    for (double v : {p->RearRadius, p->CentreX, p->CentreY, p->CornerRadius, p->CornerAngle,
                     p->Speed, p->ScrollSpeed, p->Steer, p->Decel, p->LeanStartHeading})
      h.Value(v);
    Point(h, p->MarkA);
    Point(h, p->MarkB);
    for (int i = 1; i <= 4; ++i) Point(h, p->Corners[i]);
    for (int i = 1; i <= 100; ++i) {
      const TTyreMark& m = p->Marks[i];
      h.Value(m.X);
      h.Value(m.Y);
      h.Value(m.Heading);
      h.Value(m.Used);
    }
  }
  h.Value(r.Car != nullptr);
  if (const TCar* c = r.Car) {
    Sprite(h, *c);
    OpponentFields(h, c->Opponents, &TOpponent::Racing, &TOpponent::Model, &TOpponent::Image,
                   &TOpponent::Left, &TOpponent::Top, &TOpponent::Heading, &TOpponent::Step,
                   &TOpponent::Speed, &TOpponent::Decel, &TOpponent::Active, &TOpponent::Lean,
                   &TOpponent::AnimPos, &TOpponent::LeanState, &TOpponent::X, &TOpponent::Y,
                   &TOpponent::LaneOffset, &TOpponent::Touching, &TOpponent::RiderHits,
                   &TOpponent::Wrecked, &TOpponent::RecoverTimer, &TOpponent::Turning,
                   &TOpponent::TurnStart, &TOpponent::LeanHold, &TOpponent::Avoiding,
                   &TOpponent::AvoidTimer, &TOpponent::LaneTimer, &TOpponent::LookAhead,
                   &TOpponent::PaceTimer, &TOpponent::PaceShift);
    for (int i = 1; i <= 5; ++i)
      for (int q = 0; q < 4; ++q) {
        Point(h, c->Opponents[i].Corners.P[q]);
        Point(h, c->Opponents[i].Sensors.P[q]);
      }
  }
  h.Value(r.Bonus != nullptr);
  if (const TBonus* b = r.Bonus) {
    Sprite(h, *b);
    Slots(h, b->BonusActive);
    Slots(h, b->BonusCol);
    Slots(h, b->BonusRow);
    Slots(h, b->BonusKind);
    Slots(h, b->BonusAnimPos);
  }
  return h.H;
}

// --- Recorder ---

void TRecorder::RaceStarting(TMForm& f) {
  // Taken once, at the first race, from the run-time folder the game started in.
  if (Packs == 0) Packs = PackHash();
  Current = TReplay{};
  Current.GameVersion = GameVersion();
  Current.PackHash = Packs;
  TStart& s = Current.Start;
  s.Seed = f.Rng.Seed;
  s.Bike = static_cast<uint8_t>(f.Race.SelectedBike);
  s.RefreshRate = static_cast<uint16_t>(f.Timing.RefreshRate);
  s.FrameRate = static_cast<uint16_t>(f.Timing.FrameRate);
  s.TimerFrameRate = static_cast<uint16_t>(f.Timing.TimerFrameRate);
  s.FrameTime = static_cast<uint16_t>(f.Timing.FrameTime);
  s.SpeedFactor = f.Timing.SpeedFactor;
  s.WindowMs = static_cast<uint32_t>(f.Timing.WindowMs);
  s.WindowFrames = static_cast<uint16_t>(f.Timing.WindowFrames);
  s.Twins = 0;
  for (int i = 0; i < 8; ++i)
    if (f.Keys.Twins[static_cast<size_t>(i)]) s.Twins = static_cast<uint8_t>(s.Twins | (1 << i));
  s.MouseX = static_cast<int16_t>(f.Menu.MouseX);
  s.MouseY = static_cast<int16_t>(f.Menu.MouseY);
  Recording = true;
  Overflowed = false;
  if (Keep) f.Replays.LastIsCurrent = false;
  LevelEnds.clear();
  EndHash = 0;
}

void TRecorder::Push(const TEvent& ev) {
  if (Current.Events.size() >= MaxEvents) {
    Overflowed = true;
    Recording = false;
    return;
  }
  Current.Events.push_back(ev);
}

void TRecorder::RaceEvent(TMForm& f, const TInputEvent& in) {
  if (!Recording) return;
  TEvent ev;
  ev.Frame = Current.FrameCount();
  switch (in.Type) {
    case TInputEvent::KeyDown:
      // A key pressed after the gamepad puts the keyboard's hints back (the pad's name entry
      // hints go): part of the state a ride must reach. Only the change is kept.
      if (!f.Keys.PadInUse) return;
      ev.Type = TEvent::KeysAgain;
      break;
    case TInputEvent::Char:
      if (in.Key < 0 || in.Key > 255) return;
      ev.Type = TEvent::Char;
      ev.Key = in.Key;
      break;
    case TInputEvent::MouseMove: {
      ev.Type = TEvent::MouseMove;
      ev.X = std::clamp(in.X, 0, 4095);
      ev.Y = std::clamp(in.Y, 0, 4095);
      // Between two frames only the pointer's last place counts: the dialogs' buttons follow
      // the pointer, so the selection it leaves is the one the last move makes.
      if (!Current.Events.empty() && Current.Events.back().Type == TEvent::MouseMove &&
          Current.Events.back().Frame == ev.Frame) {
        Current.Events.back() = ev;
        return;
      }
      break;
    }
    case TInputEvent::Click:
      ev.Type = TEvent::Click;
      break;
    case TInputEvent::Close:
      ev.Type = TEvent::Close;
      break;
    case TInputEvent::PadDown:
      if (in.Key < 0 || in.Key >= pad::Count) return;
      ev.Type = TEvent::PadDown;
      ev.Key = in.Key;
      break;
    default:
      // Otherwise key downs reach the race only as the boss key and Alt+Enter, recorded as the
      // pauses they make; key ups and the rest change nothing in a race.
      return;
  }
  Push(ev);
}

void TRecorder::RacePaused(TMForm&, bool modeSwitch) {
  if (!Recording) return;
  TEvent ev;
  ev.Frame = Current.FrameCount();
  ev.Type = modeSwitch ? TEvent::ModePause : TEvent::WindowPause;
  Push(ev);
}

void TRecorder::RaceFrame(TMForm& f, int moveCount) {
  if (!Recording) return;
  if (Current.FrameCount() >= MaxFrames) {
    Overflowed = true;
    Recording = false;
    return;
  }
  Current.MoveCounts.push_back(static_cast<uint16_t>(std::clamp(moveCount, 1, MaxMoveCount)));
  uint16_t keys = 0;
  uint32_t padState = 0;
  if (const IInput* in = f.Platform.Input) {
    for (int i = 0; i < held::KeyCount; ++i)
      if (in->KeyHeld(HeldKeys[i])) keys = static_cast<uint16_t>(keys | (1 << i));
    if (in->PadConnected()) {
      padState = 1u << 16;
      for (int c = 0; c < pad::Count; ++c)
        if (in->PadHeld(c)) padState |= 1u << c;
    }
  }
  Current.Keys.push_back(keys);
  Current.Pad.push_back(padState);
  Current.RefreshRates.push_back(static_cast<uint16_t>(std::clamp(f.Timing.RefreshRate, 1, 1000)));
}

void TRecorder::LevelEnding(TMForm& f) {
  if (!Recording) return;
  if (LevelEnds.size() >= MaxLevelEnds) {
    Overflowed = true;
    Recording = false;
    return;
  }
  LevelEnds.push_back({f.Race.Level, RaceStateHash(f)});
}

void TRecorder::GameEnding(TMForm& f) {
  if (!Recording) return;
  Recording = false;
  EndHash = RaceStateHash(f);
  if (Current.MoveCounts.empty()) return;
  Current.RaceScore = f.Race.RaceScore;
  Current.Level = f.Race.Level;
  Current.HasHashes = true;
  Current.LevelEnds = LevelEnds;
  Current.EndHash = EndHash;
  Last = std::move(Current);
  Current = TReplay{};
  Complete = true;
  if (Keep) {
    const std::vector<uint8_t> bytes = Write(Last);
    if (!bytes.empty()) {
      f.Replays.Last.assign(bytes.begin(), bytes.end());
      f.Replays.LastIsCurrent = true;
    }
  }
}

// --- Player ---

bool TReplayPlayer::KeyHeld(int key) const {
  if (R.FrameCount() == 0) return false;
  const uint16_t keys = R.Keys[Current()];
  for (int i = 0; i < held::KeyCount; ++i)
    if (HeldKeys[i] == key) return (keys >> i) & 1;
  return false;
}

bool TReplayPlayer::PadConnected() const {
  return R.FrameCount() != 0 && (R.Pad[Current()] >> 16) & 1;
}

bool TReplayPlayer::PadHeld(int control) const {
  return PadConnected() && control >= 0 && control < pad::Count &&
         ((R.Pad[Current()] >> control) & 1);
}

void TReplayPlayer::Begin(TMForm& f) {
  // Leave whatever screen shows, as the bike screen's start item leaves it.
  if (f.Menu.ActiveDialog != dialog::None) f.CloseDialog();
  if (f.Menu.CurrentScreen >= 2 && f.Menu.CurrentScreen <= 5) {
    f.LeaveCurrentSubScreen();
    f.ShowMenu(false, 1, false);
  }
  f.Menu.MenuIntro = false;
  if (f.Menu.CurrentScreen == screen::MainMenu) f.LeaveMainMenu();
  const TStart& s = R.Start;
  f.Rng.Seed = s.Seed;
  f.Race.SelectedBike = s.Bike;
  f.Timing.RefreshRate = s.RefreshRate;
  f.Timing.FrameRate = s.FrameRate;
  f.Timing.TimerFrameRate = s.TimerFrameRate;
  f.Timing.FrameTime = s.FrameTime;
  f.Timing.SpeedFactor = s.SpeedFactor;
  f.Timing.WindowMs = s.WindowMs;
  f.Timing.WindowFrames = s.WindowFrames;
  for (int i = 0; i < 8; ++i) f.Keys.Twins[static_cast<size_t>(i)] = (s.Twins >> i) & 1;
  f.Menu.MouseX = s.MouseX;
  f.Menu.MouseY = s.MouseY;
  Frame = 0;
  NextEvent = 0;
  Delivered = false;
  f.StartRace();
}

void TReplayPlayer::DeliverEvents(TMForm& f, uint32_t frame) {
  while (NextEvent < R.Events.size() && R.Events[NextEvent].Frame == frame && !f.Terminated) {
    const TEvent& e = R.Events[NextEvent++];
    TInputEvent ev;
    switch (e.Type) {
      case TEvent::Char:
        ev.Type = TInputEvent::Char;
        ev.Key = e.Key;
        break;
      case TEvent::MouseMove:
        ev.Type = TInputEvent::MouseMove;
        ev.X = e.X;
        ev.Y = e.Y;
        break;
      case TEvent::Click:
        ev.Type = TInputEvent::Click;
        break;
      case TEvent::Close:
        ev.Type = TInputEvent::Close;
        break;
      case TEvent::PadDown:
        ev.Type = TInputEvent::PadDown;
        ev.Key = e.Key;
        break;
      case TEvent::WindowPause:
        f.WMSysCommandMinimise();
        continue;
      case TEvent::ModePause:
        f.PauseForModeSwitch();
        continue;
      case TEvent::KeysAgain:
        // What the key down did besides what the held keys already say.
        f.Keys.PadInUse = false;
        continue;
    }
    f.HandleEvent(ev);
  }
}

bool TReplayPlayer::Step(TMForm& f, bool draw) {
  const uint32_t n = R.FrameCount();
  if (Delivered) return false;
  if (Frame >= n) {
    DeliverEvents(f, n);
    Delivered = true;
    return false;
  }
  DeliverEvents(f, Frame);
  f.Timing.RefreshRate = R.RefreshRates[Frame];
  const int moveCount = R.MoveCounts[Frame];
  if (draw) {
    if (!f.Terminated) {
      f.TimerTick(moveCount);
      if (Present && f.Platform.Display) f.Platform.Display->Present(f.MDisplay);
    }
  } else {
    f.SkipDrawing = true;
    f.TimerTick(moveCount);
    f.SkipDrawing = false;
  }
  ++Frame;
  return true;
}

TRideResult Ride(TMForm& form, const TReplay& r, bool draw) {
  TRecorder check;
  // The ride's own notes need no hash of the packs: the file's is kept.
  check.Packs = r.PackHash;
  IReplayHooks* before = form.ReplayHooks;
  IInput* input = form.Platform.Input;
  TReplayPlayer player(r);
  form.Platform.Input = &player;
  form.ReplayHooks = &check;
  player.Begin(form);
  // The game ends when the recording says so; a recording that runs past the end of its game
  // has no more to say, and one that stops short of it never reaches an end.
  while (!check.Complete && !form.Terminated && player.Step(form, draw)) {
  }
  while (!check.Complete && !player.Done()) player.Step(form, draw);
  form.ReplayHooks = before;
  form.Platform.Input = input;
  TRideResult res;
  res.Ended = check.Complete;
  res.RaceScore = check.Complete ? check.Last.RaceScore : form.Race.RaceScore;
  res.Level = form.Race.Level;
  res.LevelEnds = check.LevelEnds;
  res.EndHash = check.EndHash;
  res.Frames = player.Frame;
  return res;
}

std::string Disagreement(const TReplay& r, const TRideResult& res) {
  // Level by level first: the first level whose end differs is where the ride left the
  // recording, whatever it came to afterwards.
  if (r.HasHashes) {
    const size_t n = std::min(r.LevelEnds.size(), res.LevelEnds.size());
    for (size_t i = 0; i < n; ++i)
      if (res.LevelEnds[i] != r.LevelEnds[i])
        return "the race differs from the recording at the end of level " +
               std::to_string(r.LevelEnds[i].Level);
    if (res.LevelEnds.size() < r.LevelEnds.size())
      return "the ride never reaches the end of level " + std::to_string(r.LevelEnds[n].Level) +
             " as the recording does";
    if (res.LevelEnds.size() > r.LevelEnds.size())
      return "the ride ends level " + std::to_string(res.LevelEnds[n].Level) +
             " where the recording rides on";
  }
  if (!res.Ended)
    return "the ride never reaches the end of a game (" + std::to_string(res.Frames) + " frames)";
  if (res.RaceScore != r.RaceScore)
    return "rides to score " + std::to_string(res.RaceScore) + ", the file claims " +
           std::to_string(r.RaceScore);
  if (r.HasHashes && res.EndHash != r.EndHash)
    return "the race differs from the recording at the end of the game (level " +
           std::to_string(res.Level) + ")";
  return "";
}

}  // namespace zw::replay
