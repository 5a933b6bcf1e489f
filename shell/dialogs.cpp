// The race HUD and the twelve dialogs drawn over the current screen.
#include <cmath>
#include <string>

#include "rider/player.hpp"
#include "save/saved_state.hpp"
#include "shell/form.hpp"
#include "shell/race_figures.hpp"
#include "shell/replay_hooks.hpp"
#include "sprites/game_sprites.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

std::string TwoDigits(int v) {
  return (v < 10 ? "0" : "") + std::to_string(v);
}

bool IsQuestion(int kind) {
  return kind == dialog::ExitGame || kind == dialog::ExitToMenu ||
         kind == dialog::ClearHighScores || kind == dialog::SendQuestion;
}
bool HasPanel(int kind) {
  return kind == dialog::ExitGame || kind == dialog::ExitToMenu ||
         kind == dialog::ClearHighScores ||
         (kind >= dialog::NameEntry && kind <= dialog::Congratulations);
}

// A dialog's fixed words: its font and up to two lines, each centred on its point.
struct TDialogLine {
  const char* Text = nullptr;
  int X = 0, Y = 0;
};
struct TDialogWords {
  int Kind;
  int Font;
  TDialogLine Lines[2];
};
constexpr TDialogWords DialogWords[] = {
    {dialog::ExitGame, font::Question, {{"Exit the game?", 382, 269}}},
    {dialog::ExitToMenu, font::Question, {{"Exit to menu?", 382, 269}}},
    {dialog::TimeOver,
     font::Banner,
     {{"Your time is over,", 348, 217}, {"Try again, please!", 348, 267}}},
    {dialog::ClearHighScores,
     font::ClearQuestion,
     {{"Do you want to clear", 382, 253}, {"the High Score Table?", 382, 283}}},
    {dialog::Pause, font::Banner, {{"Pause", 400, 300}}},
    {dialog::GameOver, font::Banner, {{"Game Over", 400, 300}}},
    {dialog::SendQuestion,
     font::SendAndTally,
     {{"Send the result to World's", 382, 245}, {"Highscores page?", 382, 281}}},
    {dialog::Sending, font::Question, {{"Sending...", 382, 269}}},
    {dialog::Congratulations,
     font::Message,
     {{"CONGRATULATIONS!", 382, 259}, {"You finished the race!", 382, 309}}}};

}  // namespace

std::string ClockText(int32_t ms) {
  return TwoDigits(ms / 60000) + " : " + TwoDigits((ms / 1000) % 60);
}

void TMForm::DrawHUD() {
  SelectFont(font::HudLevel);
  DrawText("LEVEL " + std::to_string(Race.Level) + " / 10", 714, 20, true, true);
  SelectFont(font::Hud);
  DrawText(ClockText(Race.RaceClock), 87, 23, true, true);
  DrawText(std::to_string(Race.RaceScore), 84, 218, true, true);
  DrawText(Race.Lives < 0 ? "0" : std::to_string(Race.Lives), 113, 342, true, true);
  const double speed = Race.Player ? Race.Player->Speed : 0.0;
  const std::string readout =
      speed > 0 ? std::to_string(static_cast<long long>(std::nearbyint(speed * 1.9))) : "0";
  DrawText(readout, 91, 578, true, true);
  SelectFont(font::HudPosition);
  DrawText(std::to_string(Race.RacePosition) + "/" + std::to_string(Race.RaceCount), 635, 185,
           false, true);
  // The kind of bike ridden, in its well under the bike's picture on the right panel.
  SelectFont(font::HudLevel);
  DrawText(BikeKindName(Race.SelectedBike), 713, 461, true, true);
}

void TMForm::StopRiderSounds(bool all) {
  if (Race.Player) Race.Player->StopRiderSounds(all);
}

void TMForm::ResumeEngineSound(bool withHorn) {
  if (Race.Player) Race.Player->ResumeEngineSound(withHorn);
}

void TMForm::OpenDialog(int kind) {
  if (Menu.ActiveDialog != dialog::None) return;
  StopRiderSounds(true);
  Menu.ActiveDialog = static_cast<uint8_t>(kind);
  Dialog.SavedMenuIndex = Menu.MenuIndex;
  Dialog.SavedMenuFirst = Menu.MenuFirst;
  Dialog.SavedMenuLast = Menu.MenuLast;
  if (HasPanel(kind)) Dialog.DialogPanel = TMyImageSprite::CreateAt(Engine(), 1, 33, 185, 219, 14);
  if (kind == dialog::NameEntry) ShowPointer(true);
  if (IsQuestion(kind)) {
    ShowPointer(true);
    Menu.MenuFirst = item::Yes;
    Menu.MenuLast = item::No;
    Menu.MenuIndex = kind == dialog::SendQuestion ? item::Yes : item::No;
    TMenuButton* yes = TMenuButton::Create(Engine(), 1, 34, 34, 0, 1, 249, 306);
    TMenuButton* no = TMenuButton::Create(Engine(), 1, 35, 35, 0, 1, 377, 306);
    yes->SetZ(15);
    no->SetZ(15);
    if (kind == dialog::ExitGame) yes->RaiseWhenSelected = no->RaiseWhenSelected = true;
    Menu.MenuButtons[item::Yes] = yes;
    Menu.MenuButtons[item::No] = no;
  }
  if (kind == dialog::LevelBanner) Dialog.DialogTimer = 2000;
  if (kind == dialog::TimeOver || kind == dialog::GameOver) Dialog.DialogTimer = 3000;
  if (kind == dialog::NameEntry) {
    Dialog.TextCursor = TMyCursor::Create(Engine(), 1, 22, 221, 314, 15, 600);
    Dialog.TextCursor->Blinking = true;
  }
  if (kind == dialog::ExitToMenu || kind == dialog::Pause) StopRiderSounds(true);
  Dialog.SendPending = false;
}

void TMForm::CloseDialog() {
  const int kind = Menu.ActiveDialog;
  Menu.MenuIndex = Dialog.SavedMenuIndex;
  Menu.MenuFirst = Dialog.SavedMenuFirst;
  Menu.MenuLast = Dialog.SavedMenuLast;
  if (HasPanel(kind) && Dialog.DialogPanel) {
    Dialog.DialogPanel->KillOnce();
    Dialog.DialogPanel = nullptr;
  }
  if (kind == dialog::NameEntry) ShowPointer(false);
  if (IsQuestion(kind)) {
    if (Menu.CurrentScreen == screen::Race) ShowPointer(false);
    for (int i : {item::Yes, item::No}) {
      if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) b->KillOnce();
      Menu.MenuButtons[static_cast<size_t>(i)] = nullptr;
    }
  }
  if (kind == dialog::NameEntry && Dialog.TextCursor) {
    Dialog.TextCursor->Visible = false;
    Dialog.TextCursor->KillOnce();
    Dialog.TextCursor = nullptr;
  }
  if (kind == dialog::ExitToMenu || kind == dialog::Pause) ResumeEngineSound(true);
  Menu.ActiveDialog = dialog::None;
  if (Keys.MusicRestartPending) {
    Keys.MusicRestartPending = false;
    PlayScreenMusic();
  }
}

void TMForm::DrawDialog(int moveCount) {
  const int kind = Menu.ActiveDialog;
  if (IsQuestion(kind)) {
    for (int i : {item::Yes, item::No})
      if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) b->Move(moveCount);
    HighlightMenu(false);
    if (Keys.KeyYes)
      SelectAndActivate(item::Yes);
    else if (Keys.KeyNo)
      SelectAndActivate(item::No);
    if (Menu.ActiveDialog == kind) {
      if (Keys.KeyLeft) {
        ClampFirst(Menu.MenuIndex, item::Yes, item::No);
        StepDown(Menu.MenuIndex, item::Yes, 1);
      }
      if (Keys.KeyRight) {
        ClampLast(Menu.MenuIndex, item::Yes, item::No);
        StepUp(Menu.MenuIndex, item::No, 1);
      }
    }
  }
  // Every dialog's fixed words first, then what it does this frame.
  for (const TDialogWords& w : DialogWords) {
    if (w.Kind != kind) continue;
    SelectFont(w.Font);
    for (const TDialogLine& line : w.Lines)
      if (line.Text) DrawText(line.Text, line.X, line.Y, true, true);
  }
  switch (kind) {
    case dialog::TimeOver:
      if (!TimerTake(Dialog.DialogTimer, 0, Timing.FrameTime)) {
        CloseDialog();
        RestartLevel(false);
      }
      break;
    case dialog::Pause:
      if (Keys.KeyPause || Keys.KeyEscape) CloseDialog();
      break;
    case dialog::LevelBanner:
      SelectFont(font::Banner);
      DrawText("Level " + std::to_string(Race.Level), 400, 300, true, true);
      if (!TimerTake(Dialog.DialogTimer, 0, Timing.FrameTime)) CloseDialog();
      break;
    case dialog::GameOver:
      if (!TimerTake(Dialog.DialogTimer, 0, Timing.FrameTime)) {
        CloseDialog();
        EndGame();
      }
      break;
    case dialog::NameEntry:
      DrawNameEntry(moveCount);
      break;
    case dialog::Sending:
      if (!Dialog.SendPending) {
        Dialog.SendPending = true;
      } else {
        SendScore();
        CloseDialog();
        LeaveToHighScores();
      }
      break;
    case dialog::Tally:
      TallyStepFrame();
      break;
    case dialog::Congratulations:
      Race.TallyTimeLeft -= Timing.FrameTime;
      if (Race.TallyTimeLeft <= 0) {
        CloseDialog();
        EndGame();
      }
      break;
    default:
      break;
  }
  if (Menu.CurrentScreen == screen::Race) DrawHUD();
}

void TMForm::DrawNameEntry(int moveCount) {
  SelectFont(font::Message);
  DrawText("Your score is " + std::to_string(Race.RaceScore), 382, 253, true, true);
  DrawText("Please enter your name: ", 382, 288, true, true);
  SelectFont(font::TypedName);
  DrawText(Dialog.PlayerName, 382, 323, true, true);
  if (Dialog.TextCursor) {
    Dialog.TextCursor->X = TextWidth(Dialog.PlayerName) / 2.0 + 384;
    Dialog.TextCursor->Move(moveCount);
  }
  if (PadShown()) {
    // With the pad the character to add stands just past the cursor, and one line says how.
    PadNameRepeat(moveCount);
    const std::string offered(1, PadNameChar() == ' ' ? '_' : PadNameChar());
    DrawText(offered, static_cast<int>(TextWidth(Dialog.PlayerName) / 2.0) + 398, 323, false, true);
    SelectFont(font::SmallText);
    DrawText("Up/Down letter   A add   B delete   Start done", 382, 352, true, true);
  }
  if (Dialog.TypedKey == vk::Return) {
    Dialog.TypedKey = 0;
    HighScores[11] = THighScore{Dialog.PlayerName, Race.RaceScore};
    Replays.Table[11] = Replays.LastIsCurrent ? Replays.Last : std::string();
    SortHighScores(*this);
    CloseDialog();
    OpenDialog(dialog::SendQuestion);
  }
}

// Game over, the end of the last level and the exit question all lead here.
void TMForm::EndGame() {
  if (ReplayHooks) ReplayHooks->GameEnding(*this);
  if (ScoreQualifies(*this))
    OpenDialog(dialog::NameEntry);
  else
    LeaveToMenu();
}

void TMForm::LeaveToHighScores() {
  LeaveRace();
  ShowMenu(false, item::HighScores, true);
  ShowHighScores();
}

void TMForm::ActivateDialogAnswer() {
  const int chosen = Menu.MenuIndex;
  switch (Menu.ActiveDialog) {
    case dialog::ExitGame:
      if (chosen == item::Yes) {
        CloseDialog();
        if (Race.Background) {
          Race.Background->KillOnce();
          Race.Background = nullptr;
        }
        LeaveMainMenu();
        Shutdown();
      } else if (chosen == item::No) {
        CloseDialog();
      }
      break;
    case dialog::ExitToMenu:
      if (chosen == item::Yes) {
        CloseDialog();
        EndGame();
      } else if (chosen == item::No) {
        CloseDialog();
      }
      break;
    case dialog::ClearHighScores:
      if (chosen == item::Yes) {
        CloseDialog();
        ResetHighScores(*this);
      } else if (chosen == item::No) {
        CloseDialog();
      }
      break;
    case dialog::SendQuestion:
      if (chosen == item::Yes) {
        // The send blocks the next frame but one: the frame on screen meanwhile must show
        // "Sending..." alone, not the question's buttons waiting for the end-of-frame sweep.
        for (int i : {item::Yes, item::No})
          if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) b->Visible = false;
        CloseDialog();
        OpenDialog(dialog::Sending);
      } else if (chosen == item::No) {
        CloseDialog();
        LeaveToHighScores();
      }
      break;
    default:
      break;
  }
}

}  // namespace zw
