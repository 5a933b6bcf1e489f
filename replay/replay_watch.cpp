// The replay watcher: feeds a recording through the form's own frames and gives the game back.
#include "replay/replay_watch.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "save/save_files.hpp"
#include "shell/form.hpp"
#include "sprites/engine.hpp"

namespace zw::replay {

std::string TReplayWatch::Refusal(const TReplay& r, uint64_t packs) {
  if (r.GameVersion != GameVersion())
    return "This replay is from Zap Wheely " + r.GameVersion + ", this is " + GameVersion() +
           ": not shown";
  if (r.PackHash != packs) return "This replay was ridden on other tracks and pictures: not shown";
  if (r.FrameCount() == 0) return "This replay holds no race";
  return "";
}

bool TReplayWatch::Watch(TMForm& f, const std::string& bytes, std::string& why) {
  if (Active) {
    why = "A replay is already being watched";
    return false;
  }
  TReplay r;
  if (!Read(std::vector<uint8_t>(bytes.begin(), bytes.end()), r, why)) {
    why = "Not a replay this game can show: " + why;
    return false;
  }
  why = Refusal(r, Packs);
  if (!why.empty()) return false;
  R = std::move(r);
  SavedRace = f.Race;
  SavedTiming = f.Timing;
  SavedKeys = f.Keys;
  SavedOptions = f.GameOptions;
  SavedScores = f.HighScores;
  SavedCheck = f.HighScoreCheck;
  SavedName = f.Dialog.PlayerName;
  SavedSeed = f.Rng.Seed;
  SavedRow = f.Replays.ChosenRow;
  RealInput = f.Platform.Input;
  SavedHooks = f.ReplayHooks;
  Check = TRecorder{};
  Player = std::make_unique<TReplayPlayer>(R);
  Player->Present = false;
  f.Platform.Input = Player.get();
  // Watching is not playing: nothing it does is recorded as the player's last game.
  f.ReplayHooks = &Check;
  Paused = false;
  Speed = 1;
  Budget = 0;
  Hold = -1;
  Silenced.clear();
  Active = true;
  Player->Begin(f);
  return true;
}

void TReplayWatch::Event(TMForm& f, const TInputEvent& ev) {
  if (!Active) return;
  const bool ended = Hold >= 0;
  switch (ev.Type) {
    case TInputEvent::KeyDown:
      if (ev.Key == vk::Escape)
        Stop(f);
      else if (!ended && (ev.Key == 'P' || ev.Key == vk::Space))
        SetPaused(f, !Paused);
      else if (!ended && (ev.Key == 'F' || ev.Key == vk::Right))
        Speed = Speed == 1 ? 4 : 1;
      break;
    case TInputEvent::PadDown:
      if (ev.Key == pad::B || ev.Key == pad::Back)
        Stop(f);
      else if (!ended && (ev.Key == pad::A || ev.Key == pad::Start))
        SetPaused(f, !Paused);
      else if (!ended && (ev.Key == pad::X || ev.Key == pad::DpadRight ||
                          ev.Key == pad::TriggerRight || ev.Key == pad::StickRight))
        Speed = Speed == 1 ? 4 : 1;
      break;
    case TInputEvent::Click:
      if (!ended) SetPaused(f, !Paused);
      break;
    case TInputEvent::Minimise:
      if (!ended) SetPaused(f, true);
      break;
    case TInputEvent::Close:
    case TInputEvent::Terminate:
      // The window's close box and the session's end: the game gets them back as it was.
      Stop(f);
      f.HandleEvent(ev);
      break;
    default:
      // Characters, key ups and the pointer belong to the race being shown, not to the player.
      break;
  }
}

void TReplayWatch::SetPaused(TMForm& f, bool paused) {
  if (paused == Paused) return;
  Paused = paused;
  IAudio* audio = f.Platform.Audio;
  if (!audio) return;
  if (paused) {
    // The engine's loops would hum on over a still picture: they stop, and start again after.
    Silenced.clear();
    for (auto& item : f.MSoundList.Items) {
      if (!item->Looped) continue;
      for (int b : item->Buffers())
        if (audio->BufferPlaying(b)) {
          Silenced.push_back(item.get());
          item->Stop(*audio);
          break;
        }
    }
  } else {
    for (TSoundItem* item : Silenced) item->Play(*audio);
    Silenced.clear();
  }
}

void TReplayWatch::Frame(TMForm& f, int moveCount) {
  TInputEvent ev;
  while (Active && RealInput && RealInput->PollEvent(ev)) Event(f, ev);
  if (!Active) {
    // Left during this frame: the table is back and runs the frame as usual.
    if (!f.Terminated) {
      f.TimerTick(moveCount);
      if (f.Platform.Display) f.Platform.Display->Present(f.MDisplay);
    }
    return;
  }
  if (Hold >= 0) {
    Hold -= moveCount;
    if (Hold < 0) {
      Active = false;
      return;
    }
  } else if (!Paused) {
    Play(f, moveCount);
  }
  if (!Active || f.Terminated) return;
  // The picture the replay left, with the marks over it.
  f.MDisplay.Pixels = Picture.Pixels;
  f.MDisplay.TouchAll();
  DrawMarks(f);
  if (f.Platform.Display) f.Platform.Display->Present(f.MDisplay);
}

void TReplayWatch::Play(TMForm& f, int moveCount) {
  // The recording's frames keep their own times: as many run as fit the time that passed (four
  // times as many when fast-forwarding), at least one, and only the last of them is drawn.
  Budget = std::min(Budget + moveCount * Speed, 1000);
  int n = 0;
  int32_t b = Budget;
  for (uint32_t i = Player->Frame; i < R.FrameCount() && b > 0 && n < 16 * Speed; ++i, ++n)
    b -= R.MoveCounts[i];
  if (n == 0 && Player->Frame < R.FrameCount()) n = 1;
  bool more = true;
  for (int k = 0; k < n && more && !Check.Complete && !f.Terminated; ++k) {
    Budget -= R.MoveCounts[Player->Frame];
    more = Player->Step(f, k == n - 1);
  }
  // Past the last frame come the events that ended the game (the answer to "Exit to menu?").
  if (!Check.Complete && Player->Frame >= R.FrameCount()) Player->Step(f, false);
  if (!f.Terminated) Picture.Pixels = f.MDisplay.Pixels;
  if (Check.Complete || Player->Done() || f.Terminated) {
    Leave(f);
    Hold = f.Terminated ? -1 : EndHoldMs;
    if (f.Terminated) Active = false;
  }
}

void TReplayWatch::Stop(TMForm& f) {
  if (Hold < 0) Leave(f);
  Active = false;
}

// Ends the race the replay rode without any of what follows a game (no name entry, no table
// change) and puts back what the race changed, then shows the high-score table.
void TReplayWatch::Leave(TMForm& f) {
  SetPaused(f, false);
  Silenced.clear();
  if (f.Menu.ActiveDialog != dialog::None) f.CloseDialog();
  if (f.Menu.CurrentScreen == screen::Race)
    f.LeaveRace();
  else if (f.Menu.CurrentScreen == screen::MainMenu)
    f.LeaveMainMenu();
  f.MSpriteEngine.Dead();
  f.Platform.Input = RealInput;
  f.ReplayHooks = SavedHooks;
  f.Race = SavedRace;
  const int64_t frames = f.Timing.FrameNumber;
  f.Timing = SavedTiming;
  f.Timing.FrameNumber = frames;
  f.Keys = SavedKeys;
  // A key the player still holds (Esc that ended the watching) is not pressed again.
  f.Keys.Twins.fill(true);
  f.GameOptions = SavedOptions;
  f.HighScores = SavedScores;
  f.HighScoreCheck = SavedCheck;
  f.Dialog.PlayerName = SavedName;
  f.Rng.Seed = SavedSeed;
  if (f.Terminated) return;
  f.ShowMenu(false, item::HighScores, true);
  f.ShowHighScores();
  f.Replays.ChosenRow = SavedRow;
  if (SavedRow != 0) f.Menu.MenuIndex = 0;
}

void TReplayWatch::DrawMarks(TMForm& f) {
  // A dark band at the top of the road with the mark, and what the watcher is doing.
  f.MDisplay.Touch(TRect{300, 8, 500, 44});
  for (int y = 8; y < 44; ++y) {
    uint16_t* row = f.MDisplay.Row(y);
    for (int x = 300; x < 500; ++x) {
      const uint16_t c = row[x];
      // Half as bright: each channel shifted right by one.
      row[x] = static_cast<uint16_t>((c >> 1) & 0x7BEF);
    }
  }
  f.SelectFont(font::Banner);
  f.DrawText(Hold >= 0 ? "END OF REPLAY" : "REPLAY", 400, 26, true, true);
  std::string state;
  if (Hold < 0) state = Paused ? "PAUSED" : Speed > 1 ? "FAST x4" : "";
  if (!state.empty()) {
    f.SelectFont(font::SmallText);
    f.DrawText(state, 400, 56, true, true);
  }
}

bool WatchFile(TMForm& f, const std::string& path, std::string& why) {
  std::string bytes;
  // The game's arguments are UTF-8; Windows opens a narrow name in its own code page.
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) {
    why = "cannot open the file";
  } else {
    // One byte past the largest replay is enough to know a file is too big.
    bytes.resize(MaxFileBytes + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (f.Replays.Watcher && f.Replays.Watcher->Watch(f, bytes, why)) return true;
    if (!f.Replays.Watcher) why = "replays cannot be watched here";
  }
  // Say so where the replays are.
  if (f.Menu.ActiveDialog != dialog::None) f.CloseDialog();
  if (f.Menu.CurrentScreen != screen::HighScores) {
    if (f.Menu.CurrentScreen >= screen::BikeSelection && f.Menu.CurrentScreen <= screen::Help) {
      f.LeaveCurrentSubScreen();
      f.ShowMenu(false, item::StartGame, false);
    }
    f.Menu.MenuIntro = false;
    if (f.Menu.CurrentScreen == screen::MainMenu) f.LeaveMainMenu();
    f.ShowMenu(false, item::HighScores, true);
    f.ShowHighScores();
  }
  f.Replays.Note = why;
  return false;
}

}  // namespace zw::replay
