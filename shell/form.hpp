// TMForm: the one main form that owns every component and all game state (TFormState), and
// everything the game does with them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/form_state.hpp"

namespace zw {

class TMenuButton;
class TMyCursor;
class TMyImageSprite;
class TScrollBackground;
class TBonus;
class TCar;
class TPointer;
class TPlayer;
enum class TRaceEvent;

class TMForm;
// The form's race host, made with the form.
std::unique_ptr<IRaceHost> MakeRaceHost(TMForm& form);

class TMForm : public TFormState {
 public:
  explicit TMForm(TPlatform& platform);
  ~TMForm();
  TMForm(const TMForm&) = delete;
  TMForm& operator=(const TMForm&) = delete;

  // --- Start-up and shutdown ---
  // Runs the start-up sequence; answers false (with StartupError set) when a pack failed.
  bool FormCreate();
  void Shutdown();
  void FormCloseQuery();
  void FormClose();

  // --- The frame ---
  // One pass of the frame timer: measures the frame rate, then runs the frame.
  void TimerTick(int moveCount);
  void MTimerTimer(int moveCount);
  int32_t Random(int32_t n) { return Rng.Random(n); }

  // --- Menu cursor ---
  static bool StepNext(int32_t& v, int32_t lo, int32_t hi);
  static bool StepPrev(int32_t& v, int32_t lo, int32_t hi);
  static void StepUp(int32_t& v, int32_t hi, int32_t step);
  static void StepDown(int32_t& v, int32_t lo, int32_t step);
  static void ClampFirst(int32_t& v, int32_t lo, int32_t hi);
  static void ClampLast(int32_t& v, int32_t lo, int32_t hi);
  static bool TimerTake(int32_t& v, int32_t floor, int32_t amount);
  void MenuHitTest(bool keepIfMiss);
  void HighlightMenu(bool trackHover);
  void KillMenuButtons();
  void ShowMenu(bool intro, int32_t index, bool fresh);
  void SelectAndActivate(int32_t i);
  void ActivateItem();
  void MDisplayMouseMove(int x, int y);
  void MDisplayClick();
  void ShowPointer(bool shown);

  // --- Input ---
  void ReadInput();
  void FormKeyDown(int key, uint8_t shift);
  void FormKeyUp(int key, uint8_t shift);
  void FormKeyPress(int key);
  void BossKeyAction();
  void BossKeyCaptureKey(int key, uint8_t shift, bool down);
  void ToggleBossKeyCapture();
  void ToggleCountryEdit();
  void DrawOptions();
  static bool IsNameChar(int c);
  static void AppendChar(std::string& s, int c, size_t max);
  static void DeleteLastChar(std::string& s);
  // --- Gamepad ---
  // The keyboard key, or the gamepad's control that stands for it where the game is now.
  bool Held(int key) const;
  void FormPadDown(int control);
  // A gamepad is plugged in and was used after the keyboard last was.
  bool PadShown() const;
  // Name entry with the pad: the offered character, stepping it, and the repeat while held.
  char PadNameChar() const;
  void StepPadChar(int step);
  void PadNameRepeat(int moveCount);
  void PadRumble(double strength, int ms);
  // Hands one platform event to the form's handlers.
  void HandleEvent(const TInputEvent& ev);

  // --- Display modes ---
  void ApplyDisplayMode();
  void EnterFullScreen();
  void EnterWindowed();
  void WMSysCommandMinimise();
  void WMSysCommandRestore();
  // Alt+Enter in a race: the switch of display mode leaves the race paused.
  void PauseForModeSwitch();

  // --- Music and sound ---
  void PlaySound(int i);
  void StopSound(int i);
  void PlayMusic(const std::string& path);
  void StopMusic();
  void PlayScreenMusic();

  // --- Text, HUD, dialogs ---
  void DrawHUD();
  void OpenDialog(int kind);
  void CloseDialog();
  void DrawDialog(int moveCount);
  void DrawNameEntry(int moveCount);
  void TallyStepFrame();
  void EndGame();
  void LeaveToHighScores();
  void SendScore();
  // The rider's sounds, through the rider while a race runs.
  void StopRiderSounds(bool all);
  void ResumeEngineSound(bool withHorn);

  // --- Race flow ---
  void StartRace();
  // What the race reported: the form answers with the lives, the tally and the dialogs.
  void RaceEvent(TRaceEvent event);
  void RaceFrame(int moveCount);
  void UpdateNeedle();
  void UpdateRaceClock();
  void LeaveRace();
  void LeaveToMenu();
  void RestartLevel(bool next);

  // --- Front end ---
  void CreateMainMenuSprites(bool intro, bool fresh);
  void MainMenuFrame();
  // Ends a running boss-key capture and country edit (the options screen).
  void EndOptionEdits();
  void MenuIntroStep();
  void LeaveMainMenu();
  void OpenWebPage(const std::string& address);
  void DrawUnopenedAddress();
  // The service's addresses, all plain http on ScoreHost.
  std::string HomePageAddress() const;
  std::string OnlineTableAddress() const;
  std::string SubmitAddress(const std::string& encoded) const;
  void ActivateDialogAnswer();
  void ActivateMainMenuItem(int item);
  void ActivateSubScreenItem();
  // Entry and leave routines of the sub-screens.
  void ShowBikeSelection();
  void LeaveBikeSelection();
  void ShowHelp();
  void LeaveHelp();
  void ShowOptions();
  void LeaveOptions();
  void ShowHighScores();
  void LeaveHighScores();
  void LeaveCurrentSubScreen();
  void PreviousBike();
  void NextBike();
  void BikeSelectionFrame(int moveCount);
  void OptionsFrame(int moveCount);
  void HighScoresFrame(int moveCount);
  void DrawHighScores();
  void HelpFrame(int moveCount);
  void DrawHelpPage();

  // The image list by number (1..3), or nullptr.
  TImageList* ImageList(int no);

 private:
  void UpdateTiming();
};

}  // namespace zw
