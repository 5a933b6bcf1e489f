// Full screen and windowed display, and what minimising and restoring the window do.
#include "shell/form.hpp"
#include "shell/replay_hooks.hpp"

namespace zw {

void TMForm::ApplyDisplayMode() {
  if (GameOptions.FullScreen)
    EnterFullScreen();
  else
    EnterWindowed();
  if (Platform.Display) {
    const int r = Platform.Display->RefreshRate();
    Timing.RefreshRate = r > 1 ? r : 60;
  }
}

void TMForm::EnterFullScreen() {
  if (Platform.Display) Platform.Display->SetFullScreen(true);
}

void TMForm::EnterWindowed() {
  if (Platform.Display) Platform.Display->SetFullScreen(false);
}

// A minimised race always comes back paused; the level banner gives way to the pause.
void TMForm::WMSysCommandMinimise() {
  if (Menu.CurrentScreen == screen::Race) {
    if (ReplayHooks) ReplayHooks->RacePaused(*this, false);
    if (Menu.ActiveDialog == dialog::LevelBanner) CloseDialog();
    OpenDialog(dialog::Pause);
  }
}

void TMForm::PauseForModeSwitch() {
  if (Menu.CurrentScreen != screen::Race) return;
  if (ReplayHooks) ReplayHooks->RacePaused(*this, true);
  OpenDialog(dialog::Pause);
}

void TMForm::WMSysCommandRestore() {
  // The platform rebuilds its surfaces itself; the game's own surface is never lost.
}

}  // namespace zw
