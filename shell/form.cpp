// The main form: start-up, shutdown, the close box and the frame.
#include "shell/form.hpp"

#include <cmath>

#include "packs/pack_io.hpp"
#include "packs/sound_effects.hpp"
#include "save/saved_state.hpp"
#include "shell/replay_hooks.hpp"
#include "shell/text.hpp"
#include "world/race_host.hpp"
#include "world/scroll_background.hpp"

namespace zw {

TFormState::TFormState(TPlatform& platform) : Platform(platform) {}

TFormState::~TFormState() = default;

TMForm::TMForm(TPlatform& platform) : TFormState(platform) {
  TSpriteEngine& e = MSpriteEngine.Engine();
  e.Form = this;
  RaceHost = MakeRaceHost(*this);
  e.RaceHost = RaceHost.get();
  e.FrameTime = &Timing.FrameTime;
  e.ImageLists[1] = &MImageList1;
  e.ImageLists[2] = &MImageList2;
  e.ImageLists[3] = &MImageList3;
  MSpriteEngine.SetSurface(&MDisplay);
  Fonts = std::make_unique<TFontRenderer>();
}

TMForm::~TMForm() = default;

TImageList* TMForm::ImageList(int no) {
  switch (no) {
    case 1:
      return &MImageList1;
    case 2:
      return &MImageList2;
    case 3:
      return &MImageList3;
    default:
      return nullptr;
  }
}

bool TMForm::FormCreate() {
  // 1. Seed the generator from the high-resolution counter.
  Rng.Seed = static_cast<uint32_t>(Platform.Clock ? Platform.Clock->Counter() : 0);
  // 2. The display's refresh rate is asked of the platform's display when a mode is applied.
  // 3, 4. The packs: a pack that cannot be loaded stops start-up here.
  struct Step {
    const char* Path;
    TImageList* Images;
  };
  const Step steps[] = {{"Data/Res/Res1.gpk", &MImageList1},
                        {"Data/Res/Res2.gpk", &MImageList2},
                        {"Data/Res/Res3.gpk", &MImageList3}};
  std::string path;
  try {
    for (const Step& s : steps) {
      path = s.Path;
      LoadImagePack(path, *s.Images);
    }
    path = "Data/Res/Sounds.spk";
    LoadSoundPack(path, MSoundList);
  } catch (const TPackError& e) {
    std::string why = e.what();
    // The file-open error already names the file; the format errors do not.
    StartupError = why.rfind(path, 0) == 0 ? why : path + ": " + why;
    ExitCode = 1;
    return false;
  }
  // 5..7. The saved table and options.
  if (NoSavedState) {
    ResetHighScores(*this);
    SetDefaultOptions(*this);
  } else {
    LoadSavedState(*this);
  }
  // 8. The display mode.
  ApplyDisplayMode();
  // 9, 10. The main menu with its fly-in.
  Menu.CurrentScreen = screen::None;
  ShowMenu(true, item::StartGame, true);
  return true;
}

void TMForm::Shutdown() {
  // An end ordered while the options screen waits for a boss key keeps the key set before.
  if (Keys.BossKeyCapture) ToggleBossKeyCapture();
  MSpriteEngine.Dead();
  if (!NoSavedState) SaveSavedState(*this);
  Terminated = true;
}

void TMForm::FormCloseQuery() {
  // The close box never closes the game directly: it asks first.
  if (Menu.CurrentScreen == screen::Race)
    OpenDialog(dialog::ExitToMenu);
  else if (Menu.CurrentScreen == screen::MainMenu)
    OpenDialog(dialog::ExitGame);
}

void TMForm::FormClose() {
  Shutdown();
}

void TMForm::TimerTick(int moveCount) {
  if (moveCount < 1) moveCount = 1;
  if (ReplayHooks) ReplayHooks->RaceFrame(*this, moveCount);
  // The timer measures its rate over windows of at least a second.
  Timing.WindowMs += moveCount;
  Timing.WindowFrames += 1;
  if (Timing.WindowMs >= 1000) {
    Timing.TimerFrameRate = static_cast<int32_t>(
        std::nearbyint(static_cast<double>(Timing.WindowFrames) * 1000.0 / Timing.WindowMs));
    Timing.WindowMs = 0;
    Timing.WindowFrames = 0;
  }
  MTimerTimer(moveCount);
}

void TMForm::MTimerTimer(int moveCount) {
  const int32_t before = Menu.MenuIndex;
  if (Platform.Display && !Platform.Display->CanDraw()) return;
  ++Timing.FrameNumber;
  // Clearing the whole screen costs as much as copying it; in a race the road and the two side
  // panels usually overwrite every pixel, and then the clearing is left out.
  if (!SkipDrawing) {
    if (!(Race.Background && Race.Background->Engine &&
          Race.Background->Engine->Surface == &MDisplay && Race.Background->CoversFrame()))
      MDisplay.Fill(0);
    MSpriteEngine.Draw();
  }
  ReadInput();
  if (Menu.ActiveDialog != dialog::None) {
    DrawDialog(moveCount);
  } else {
    switch (Menu.CurrentScreen) {
      case screen::MainMenu:
        MainMenuFrame();
        break;
      case screen::BikeSelection:
        BikeSelectionFrame(moveCount);
        break;
      case screen::Options:
        OptionsFrame(moveCount);
        break;
      case screen::HighScores:
        HighScoresFrame(moveCount);
        break;
      case screen::Help:
        HelpFrame(moveCount);
        break;
      case screen::Race:
        RaceFrame(moveCount);
        break;
      default:
        break;
    }
  }
  DrawUnopenedAddress();
  if (Menu.MenuIndex != before) PlaySound(sfx::CursorClick);
  MSpriteEngine.Dead();
  UpdateTiming();
}

void TMForm::UpdateTiming() {
  Timing.FrameRate = Timing.TimerFrameRate;
  const int32_t refresh = Timing.RefreshRate > 1 ? Timing.RefreshRate : 60;
  int32_t r = Timing.FrameRate > 0 ? Timing.FrameRate : refresh;
  // A rate a little under the refresh, or well over it, counts as the refresh itself.
  if ((refresh - 3 <= Timing.FrameRate && Timing.FrameRate <= refresh) ||
      Timing.FrameRate > refresh + 2)
    r = refresh;
  Timing.SpeedFactor = 85.0 / r;
  Timing.FrameTime = 1000 / r;
}

}  // namespace zw
