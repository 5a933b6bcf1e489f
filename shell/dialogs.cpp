// The race HUD and the twelve dialogs drawn over the current screen.
#include <cmath>
#include <string>

#include "rider/player.hpp"
#include "shell/form.hpp"
#include "shell/replay_hooks.hpp"
#include "sprites/game_sprites.hpp"
#include "world/scroll_background.hpp"

namespace zw {

namespace {

std::string TwoDigits(int v) {
  return (v < 10 ? "0" : "") + std::to_string(v);
}

bool IsQuestion(int kind) {
  return kind == 1 || kind == 2 || kind == 4 || kind == 9;
}
bool HasPanel(int kind) {
  return kind == 1 || kind == 2 || kind == 4 || (kind >= 8 && kind <= 12);
}

}  // namespace

std::string TMForm::ClockText(int32_t ms) {
  return TwoDigits(ms / 60000) + " : " + TwoDigits((ms / 1000) % 60);
}

void TMForm::DrawHUD() {
  SelectFont(6);
  DrawText("LEVEL " + std::to_string(Race.Level) + " / 10", 714, 20, true, true);
  SelectFont(18);
  DrawText(ClockText(Race.RaceClock), 87, 23, true, true);
  DrawText(std::to_string(Race.RaceScore), 84, 218, true, true);
  DrawText(Race.Lives < 0 ? "0" : std::to_string(Race.Lives), 113, 342, true, true);
  const double speed = Race.Player ? Race.Player->Speed : 0.0;
  const std::string readout =
      speed > 0 ? std::to_string(static_cast<long long>(std::nearbyint(speed * 1.9))) : "0";
  DrawText(readout, 91, 578, true, true);
  SelectFont(24);
  DrawText(std::to_string(Race.RacePosition) + "/" + std::to_string(Race.RaceCount), 635, 185,
           false, true);
}

void TMForm::StopRiderSounds(bool all) {
  if (Race.Player) Race.Player->StopRiderSounds(all);
}

void TMForm::ResumeEngineSound(bool withHorn) {
  if (Race.Player) Race.Player->ResumeEngineSound(withHorn);
}

void TMForm::OpenDialog(int kind) {
  if (Menu.ActiveDialog != 0) return;
  StopRiderSounds(true);
  Menu.ActiveDialog = static_cast<uint8_t>(kind);
  Dialog.SavedMenuIndex = Menu.MenuIndex;
  Dialog.SavedMenuFirst = Menu.MenuFirst;
  Dialog.SavedMenuLast = Menu.MenuLast;
  if (HasPanel(kind)) Dialog.DialogPanel = TMyImageSprite::CreateAt(Engine(), 1, 33, 185, 219, 14);
  if (kind == 8) ShowPointer(true);
  if (IsQuestion(kind)) {
    ShowPointer(true);
    Menu.MenuFirst = 11;
    Menu.MenuLast = 12;
    Menu.MenuIndex = kind == 9 ? 11 : 12;
    TMenuButton* yes = TMenuButton::Create(Engine(), 1, 34, 34, 0, 1, 249, 306);
    TMenuButton* no = TMenuButton::Create(Engine(), 1, 35, 35, 0, 1, 377, 306);
    yes->SetZ(15);
    no->SetZ(15);
    if (kind == 1) yes->RaiseWhenSelected = no->RaiseWhenSelected = true;
    Menu.MenuButtons[11] = yes;
    Menu.MenuButtons[12] = no;
  }
  if (kind == 6) Dialog.DialogTimer = 2000;
  if (kind == 3 || kind == 7) Dialog.DialogTimer = 3000;
  if (kind == 8) {
    Dialog.TextCursor = TMyCursor::Create(Engine(), 1, 22, 221, 314, 15, 600);
    Dialog.TextCursor->Blinking = true;
  }
  if (kind == 2 || kind == 5) StopRiderSounds(true);
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
  if (kind == 8) ShowPointer(false);
  if (IsQuestion(kind)) {
    if (Menu.CurrentScreen == 6) ShowPointer(false);
    for (int i : {11, 12}) {
      if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) b->KillOnce();
      Menu.MenuButtons[static_cast<size_t>(i)] = nullptr;
    }
  }
  if (kind == 8 && Dialog.TextCursor) {
    Dialog.TextCursor->Visible = false;
    Dialog.TextCursor->KillOnce();
    Dialog.TextCursor = nullptr;
  }
  if (kind == 2 || kind == 5) ResumeEngineSound(true);
  Menu.ActiveDialog = 0;
  if (Keys.MusicRestartPending) {
    Keys.MusicRestartPending = false;
    PlayScreenMusic();
  }
}

void TMForm::DrawDialog(int moveCount) {
  const int kind = Menu.ActiveDialog;
  if (IsQuestion(kind)) {
    for (int i : {11, 12})
      if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) b->Move(moveCount);
    HighlightMenu(false);
    if (Keys.KeyYes)
      SelectAndActivate(11);
    else if (Keys.KeyNo)
      SelectAndActivate(12);
    if (Menu.ActiveDialog == kind) {
      if (Keys.KeyLeft) {
        ClampFirst(Menu.MenuIndex, 11, 12);
        StepDown(Menu.MenuIndex, 11, 1);
      }
      if (Keys.KeyRight) {
        ClampLast(Menu.MenuIndex, 11, 12);
        StepUp(Menu.MenuIndex, 12, 1);
      }
    }
  }
  switch (kind) {
    case 1:
      SelectFont(1);
      DrawText("Exit the game?", 382, 269, true, true);
      break;
    case 2:
      SelectFont(1);
      DrawText("Exit to menu?", 382, 269, true, true);
      break;
    case 3:
      SelectFont(5);
      DrawText("Your time is over,", 348, 217, true, true);
      DrawText("Try again, please!", 348, 267, true, true);
      if (!TimerTake(Dialog.DialogTimer, 0, Timing.FrameTime)) {
        CloseDialog();
        RestartLevel(false);
      }
      break;
    case 4:
      SelectFont(3);
      DrawText("Do you want to clear", 382, 253, true, true);
      DrawText("the High Score Table?", 382, 283, true, true);
      break;
    case 5:
      SelectFont(5);
      DrawText("Pause", 400, 300, true, true);
      if (Keys.KeyPause || Keys.KeyEscape) CloseDialog();
      break;
    case 6:
      SelectFont(5);
      DrawText("Level " + std::to_string(Race.Level), 400, 300, true, true);
      if (!TimerTake(Dialog.DialogTimer, 0, Timing.FrameTime)) CloseDialog();
      break;
    case 7:
      SelectFont(5);
      DrawText("Game Over", 400, 300, true, true);
      if (!TimerTake(Dialog.DialogTimer, 0, Timing.FrameTime)) {
        CloseDialog();
        EndGame();
      }
      break;
    case 8:
      DrawNameEntry(moveCount);
      break;
    case 9:
      SelectFont(11);
      DrawText("Send the result to World's", 382, 245, true, true);
      DrawText("Highscores page?", 382, 281, true, true);
      break;
    case 10:
      SelectFont(1);
      DrawText("Sending...", 382, 269, true, true);
      if (!Dialog.SendPending) {
        Dialog.SendPending = true;
      } else {
        SendScore();
        CloseDialog();
        LeaveToHighScores();
      }
      break;
    case 11:
      TallyStepFrame();
      break;
    case 12:
      SelectFont(9);
      DrawText("CONGRATULATIONS!", 382, 259, true, true);
      DrawText("You finished the race!", 382, 309, true, true);
      Race.TallyTimeLeft -= Timing.FrameTime;
      if (Race.TallyTimeLeft <= 0) {
        CloseDialog();
        EndGame();
      }
      break;
    default:
      break;
  }
  if (Menu.CurrentScreen == 6) DrawHUD();
}

void TMForm::DrawNameEntry(int moveCount) {
  SelectFont(9);
  DrawText("Your score is " + std::to_string(Race.RaceScore), 382, 253, true, true);
  DrawText("Please enter your name: ", 382, 288, true, true);
  SelectFont(10);
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
    SelectFont(20);
    DrawText("Up/Down letter   A add   B delete   Start done", 382, 352, true, true);
  }
  if (Dialog.TypedKey == vk::Return) {
    Dialog.TypedKey = 0;
    HighScores[11] = THighScore{Dialog.PlayerName, Race.RaceScore};
    SortHighScores();
    CloseDialog();
    OpenDialog(9);
  }
}

// Game over, the end of the last level and the exit question all lead here.
void TMForm::EndGame() {
  if (ReplayHooks) ReplayHooks->GameEnding(*this);
  if (ScoreQualifies())
    OpenDialog(8);
  else
    LeaveToMenu();
}

void TMForm::LeaveToHighScores() {
  LeaveRace();
  ShowMenu(false, 4, true);
  ShowHighScores();
}

void TMForm::ActivateDialogAnswer() {
  const int item = Menu.MenuIndex;
  switch (Menu.ActiveDialog) {
    case 1:
      if (item == 11) {
        CloseDialog();
        if (Race.Background) {
          Race.Background->KillOnce();
          Race.Background = nullptr;
        }
        LeaveMainMenu();
        Shutdown();
      } else if (item == 12) {
        CloseDialog();
      }
      break;
    case 2:
      if (item == 11) {
        CloseDialog();
        EndGame();
      } else if (item == 12) {
        CloseDialog();
      }
      break;
    case 4:
      if (item == 11) {
        CloseDialog();
        ResetHighScores();
      } else if (item == 12) {
        CloseDialog();
      }
      break;
    case 9:
      if (item == 11) {
        // The send blocks the next frame but one: the frame on screen meanwhile must show
        // "Sending..." alone, not the question's buttons waiting for the end-of-frame sweep.
        for (int i : {11, 12})
          if (TMenuButton* b = Menu.MenuButtons[static_cast<size_t>(i)]) b->Visible = false;
        CloseDialog();
        OpenDialog(10);
      } else if (item == 12) {
        CloseDialog();
        LeaveToHighScores();
      }
      break;
    default:
      break;
  }
}

}  // namespace zw
