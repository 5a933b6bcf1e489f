// TMForm: the one main form that owns every component and all game state.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/random.hpp"
#include "core/surface.hpp"
#include "packs/picture.hpp"
#include "packs/sound.hpp"
#include "platform/platform.hpp"
#include "shell/replay_hooks.hpp"
#include "shell/states.hpp"
#include "sprites/engine.hpp"
#include "world/race_state.hpp"
#include "world/track.hpp"

namespace zw {

// The online service's host[:port] the game was built for (frontend/online.cpp).
const char* DefaultScoreHost();

class TMenuButton;
class TMyCursor;
class TMyImageSprite;
class TScrollBackground;
class TBonus;
class TCar;
class TPointer;
class TPlayer;
class TFontRenderer;
class IFileOps;
class IRaceHost;
enum class TRaceEvent;

// Screen state and the menu cursor every screen and dialog shares.
struct TMenuState {
  uint8_t CurrentScreen = screen::None;
  uint8_t ActiveDialog = dialog::None;
  int32_t MenuIndex = 0;
  int32_t MenuFirst = 0;
  int32_t MenuLast = 0;
  std::array<TMenuButton*, 20> MenuButtons{};  // used 1..19
  bool MenuIntro = false;
  int32_t HoverButton = 0;
  int32_t MouseX = 0;
  int32_t MouseY = 0;
  bool PointerShown = true;
};

// The frame-rate measure that is every movement's time base.
struct TTiming {
  int32_t FrameRate = 0;
  int32_t FrameTime = 15;
  double SpeedFactor = 1.0;
  int32_t RefreshRate = 60;
  // The timer's measuring window.
  int64_t WindowMs = 0;
  int32_t WindowFrames = 0;
  int64_t FrameNumber = 0;     // frames run so far (for logs)
  int32_t TimerFrameRate = 0;  // the timer's last measured rate
};

// The boss key a new player has: Alt+F9.
inline constexpr uint8_t DefaultBossKeyShift = mod::Alt;
inline constexpr uint16_t DefaultBossKey = vk::F9;

// Per-frame key flags and their twins (held in the previous frame).
struct TKeyState {
  bool KeyUp = false, KeyDown = false, KeyLeft = false, KeyRight = false;
  bool KeyPause = false, KeyYes = false, KeyNo = false, KeyEscape = false;
  std::array<bool, 8> Twins{};
  uint8_t BossKeyShift = DefaultBossKeyShift;  // 0 none, else one of mod::Shift, Alt, Ctrl
  uint16_t BossKey = DefaultBossKey;           // 0 none, vk::F1..vk::F12
  bool BossKeyCapture = false;
  bool MusicRestartPending = false;
  bool CountryEdit = false;
  // The boss key as it was when a capture began, put back when the capture ends with no key.
  uint8_t SavedBossKeyShift = DefaultBossKeyShift;
  uint16_t SavedBossKey = DefaultBossKey;
  // The player last used the gamepad rather than the keyboard.
  bool PadInUse = false;
};

// The country a player has not yet typed: seven underscores.
inline constexpr const char* CountryPlaceholder = "_______";

// The saved options.
struct TGameOptions {
  bool FullScreen = false;
  bool Music = true;
  bool Sound = true;
  std::string Country;
};

struct THighScore {
  std::string Name;
  int32_t Score = 0;
};

// The name every entry of a fresh table carries, and a result kept without a typed name.
inline constexpr const char* UnnamedPlayer = "ANONYMOUS";

// Dialog state.
struct TDialogState {
  int32_t DialogTimer = 0;
  TMyImageSprite* DialogPanel = nullptr;
  TMyCursor* TextCursor = nullptr;
  std::string PlayerName;
  int TypedKey = 0;
  bool SendPending = false;
  // Name entry with the gamepad: the character offered at the end of the name (an index into
  // PadNameChars) and the time Up or Down has been held, for its repeat.
  int PadChar = 0;
  int32_t PadRepeatTimer = 0;
  int32_t SavedMenuIndex = 0, SavedMenuFirst = 0, SavedMenuLast = 0;
};

// The sub-screens' own state.
struct TFrontEndState {
  int32_t PendingBike = 1;
  int32_t BikeFade = 0;
  TMyImageSprite* BikePicture = nullptr;
  TMyImageSprite* NewBikePicture = nullptr;
  TMyImageSprite* CountryBox = nullptr;
  TMyImageSprite* BossKeyBox = nullptr;
  int32_t HelpPage = 1;
  // Page 2's five bonus pictures and page 5's about picture.
  std::array<TMyImageSprite*, 6> HelpPictures{};
  // An address no browser opened for, shown for a while so the player can type it in.
  std::string UnopenedAddress;
  int32_t UnopenedTimer = 0;
};

class TMForm;
// The form's race host, made with the form.
std::unique_ptr<IRaceHost> MakeRaceHost(TMForm& form);

class TMForm {
 public:
  explicit TMForm(TPlatform& platform);
  ~TMForm();
  TMForm(const TMForm&) = delete;
  TMForm& operator=(const TMForm&) = delete;

  // --- Components ---
  TPlatform& Platform;
  TSurface MDisplay{800, 600};
  TImageList MImageList1, MImageList2, MImageList3;
  TSoundList MSoundList;
  TSpriteEngineComponent MSpriteEngine;
  TRandom Rng;

  // --- State, grouped by module ---
  TMenuState Menu;
  TTiming Timing;
  TKeyState Keys;
  TGameOptions GameOptions;
  std::array<THighScore, 12> HighScores{};  // used 1..11
  std::string HighScoreCheck;
  TDialogState Dialog;
  TRaceState Race;
  TFrontEndState FrontEnd;
  TTrackState Track;
  int MusicHandle = 0;
  bool Terminated = false;  // Shutdown has told the application to end
  int ExitCode = 0;
  std::string StartupError;  // why start-up stopped, empty when it did not
  // The online service's host[:port]: the submission, the online table and the home page all
  // live there. Set when the game is built; the scripted runner may point it elsewhere.
  std::string ScoreHost = DefaultScoreHost();
  // Why the last result did not reach the online table, shown under the high-score table until
  // the player leaves it; empty when it arrived or none was sent.
  std::string OnlineNote;
  // The replay recorder (or checker) the frame loop tells about the race; none when nothing
  // records.
  IReplayHooks* ReplayHooks = nullptr;
  // The race's view of the form (shell/race.cpp).
  std::unique_ptr<IRaceHost> RaceHost;
  // The replay verifier runs frames without drawing them: nothing drawn changes the race.
  bool SkipDrawing = false;
  // The replays kept beside the table and the last game's, and the watcher.
  TReplayShelf Replays;
  // A form that neither reads nor writes the saved table and options (the replay verifier's:
  // it may open nothing but the packs); it starts from the defaults.
  bool NoSavedState = false;

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
  std::string BossKeyName() const;
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
  void SelectFont(int n);
  int TextWidth(const std::string& s);
  int TextHeight(const std::string& s);
  int TextWidthInFont(const std::string& s, int n);
  void DrawText(const std::string& s, int x, int y, bool centreX, bool centreY);
  void DrawHUD();
  // The HUD clock: minutes and seconds with leading zeros, joined by " : ".
  static std::string ClockText(int32_t ms);
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
  static int32_t PositionPrizeFor(int place);
  bool ScoreQualifies() const;
  void SortHighScores();
  void ResetHighScores();
  void SetUpLevel(int level);
  // Copies the visible window of the track into the race background's chips.
  void RefreshChips();

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
  void DrawBikeStats();
  void BikeSelectionFrame(int moveCount);
  void OptionsFrame(int moveCount);
  void HighScoresFrame(int moveCount);
  void DrawHighScores();
  void HelpFrame(int moveCount);
  void DrawHelpPage();

  // --- Saved state ---
  void LoadSavedState();
  // Writes options and high scores as one unit; false when the save failed (the old pair, or
  // the whole new one, is then what the next start finds).
  bool SaveSavedState();
  std::vector<std::string> OptionsLines() const;
  std::vector<std::string> HighScoreLines() const;
  // The file operations saving uses: the real ones unless a test put others in.
  IFileOps* SaveFileOps = nullptr;
  IFileOps& FileOps();
  void LoadOptions();
  void SaveOptions();
  void SetDefaultOptions();
  void LoadHighScores();
  void SaveHighScores();
  std::string ComputeHighScoreCheck() const;
  bool HighScoreCheckValid() const { return ComputeHighScoreCheck() == HighScoreCheck; }

  // The image list by number (1..3), or nullptr.
  TImageList* ImageList(int no);
  TSpriteEngine& Engine() { return MSpriteEngine.Engine(); }

  std::unique_ptr<TFontRenderer> Fonts;
  int CurrentFontStyle = 1;
  // Every line drawn, with its style and top-left corner, while a test or a review tool asks
  // for it; left empty (nullptr) in play.
  struct TDrawnText {
    int Style;
    std::string Text;
    int X, Y;
  };
  std::vector<TDrawnText>* TextLog = nullptr;

 private:
  void UpdateTiming();
};

}  // namespace zw
