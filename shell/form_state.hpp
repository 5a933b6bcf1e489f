// TFormState: everything the main form owns, its components and the game's state grouped by
// module. The form (shell/form.hpp) adds what it does; code that only reads or sets the state
// needs no more than this, and code that needs one part includes only that part's header.
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
#include "shell/dialog_state.hpp"
#include "shell/front_end_state.hpp"
#include "shell/game_options.hpp"
#include "shell/high_score.hpp"
#include "shell/key_state.hpp"
#include "shell/menu_state.hpp"
#include "shell/replay_hooks.hpp"
#include "shell/timing.hpp"
#include "sprites/engine.hpp"
#include "world/race_state.hpp"
#include "world/track.hpp"

namespace zw {

// The online service's host[:port] the game was built for (frontend/online.cpp).
const char* DefaultScoreHost();

class TFontRenderer;
class IFileOps;
class IRaceHost;

class TFormState {
 public:
  explicit TFormState(TPlatform& platform);
  ~TFormState();
  TFormState(const TFormState&) = delete;
  TFormState& operator=(const TFormState&) = delete;

  // --- Components ---
  TPlatform& Platform;
  TSurface MDisplay{800, 600};
  TImageList MImageList1, MImageList2, MImageList3;
  TSoundList MSoundList;
  TSpriteEngineComponent MSpriteEngine;
  TRandom Rng;
  TSpriteEngine& Engine() { return MSpriteEngine.Engine(); }

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
  // The file operations saving uses: the real ones unless a test put others in.
  IFileOps* SaveFileOps = nullptr;

  // --- Text, in the game's font styles (shell/text.cpp) ---
  // Chooses the style the next lines are measured and drawn in (1..24; any other number is 1).
  void SelectFont(int n);
  int TextWidth(const std::string& s);
  int TextHeight(const std::string& s);
  int TextWidthInFont(const std::string& s, int n);
  // Draws a line with its top-left corner at x, y, or centred on either where asked.
  void DrawText(const std::string& s, int x, int y, bool centreX, bool centreY);
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
};

}  // namespace zw
