// The numbers the game's screens, dialogs, menu items and text styles go by.
#pragma once

#include <cstdint>

namespace zw {

// The screen whose frame handler runs (`CurrentScreen`).
namespace screen {
inline constexpr uint8_t None = 0;  // between leaving one screen and entering the next
inline constexpr uint8_t MainMenu = 1;
inline constexpr uint8_t BikeSelection = 2;
inline constexpr uint8_t Options = 3;
inline constexpr uint8_t HighScores = 4;
inline constexpr uint8_t Help = 5;
inline constexpr uint8_t Race = 6;
}  // namespace screen

// The kinds of dialog drawn over the current screen (`ActiveDialog`).
namespace dialog {
inline constexpr uint8_t None = 0;
inline constexpr uint8_t ExitGame = 1;         // "Exit the game?"
inline constexpr uint8_t ExitToMenu = 2;       // "Exit to menu?"
inline constexpr uint8_t TimeOver = 3;         // "Your time is over, Try again, please!"
inline constexpr uint8_t ClearHighScores = 4;  // "Do you want to clear the High Score Table?"
inline constexpr uint8_t Pause = 5;
inline constexpr uint8_t LevelBanner = 6;  // "Level " and the level
inline constexpr uint8_t GameOver = 7;
inline constexpr uint8_t NameEntry = 8;
inline constexpr uint8_t SendQuestion = 9;  // "Send the result to World's Highscores page?"
inline constexpr uint8_t Sending = 10;
inline constexpr uint8_t Tally = 11;  // the level-end tally
inline constexpr uint8_t Congratulations = 12;
}  // namespace dialog

// The menu items (`MenuIndex`): the six main-menu tabs, the items of each sub-screen from 7,
// Yes and No in a question dialog.
namespace item {
inline constexpr int32_t None = 0;
// The main menu's tabs.
inline constexpr int32_t StartGame = 1;
inline constexpr int32_t Help = 2;
inline constexpr int32_t Options = 3;
inline constexpr int32_t HighScores = 4;
inline constexpr int32_t HomePage = 5;
inline constexpr int32_t Exit = 6;
inline constexpr int32_t FirstTab = StartGame, LastTab = Exit;
// Bike selection.
inline constexpr int32_t PreviousBike = 7;
inline constexpr int32_t NextBike = 8;
inline constexpr int32_t StartRace = 9;
inline constexpr int32_t BikesBack = 10;
// Options.
inline constexpr int32_t Display = 7;
inline constexpr int32_t Music = 8;
inline constexpr int32_t Sound = 9;
inline constexpr int32_t Country = 10;
inline constexpr int32_t BossKey = 11;
inline constexpr int32_t OptionsBack = 12;
// The options' value pictures sit in the item slots past the items.
inline constexpr int32_t DisplayValue = 13;
inline constexpr int32_t MusicValue = 14;
inline constexpr int32_t SoundValue = 15;
// High-score table.
inline constexpr int32_t ClearTable = 7;
inline constexpr int32_t OnlineTable = 8;
inline constexpr int32_t HighScoresBack = 9;
// Help pages.
inline constexpr int32_t PreviousPage = 7;
inline constexpr int32_t NextPage = 8;
inline constexpr int32_t HelpBack = 9;
// A question dialog's answers.
inline constexpr int32_t Yes = 11;
inline constexpr int32_t No = 12;
// A sub-screen's two title pictures, never selectable.
inline constexpr int32_t Title = 16;
inline constexpr int32_t SubTitle = 17;
}  // namespace item

// The font styles 1..24 (`FontStyles`), named after what they draw.
namespace font {
inline constexpr int Question = 1;  // the exit questions and "Sending..."
inline constexpr int HighScoreName = 2;
inline constexpr int ClearQuestion = 3;
inline constexpr int CountryMeasure = 4;  // only measures the country field
inline constexpr int Banner = 5;          // time over, pause, level, game over
inline constexpr int HudLevel = 6;
inline constexpr int Style7 = 7;
inline constexpr int Style8 = 8;
inline constexpr int Message = 9;  // name entry's first lines, congratulations
inline constexpr int TypedName = 10;
inline constexpr int SendAndTally = 11;
inline constexpr int OptionLabel = 12;
inline constexpr int OptionValue = 13;
inline constexpr int Style14 = 14;
inline constexpr int Style15 = 15;
inline constexpr int OptionLabelSelected = 16;
inline constexpr int HighScorePoints = 17;
inline constexpr int Hud = 18;  // clock, score, lives, speed
inline constexpr int HelpTitle = 19;
inline constexpr int SmallText = 20;
inline constexpr int HelpSmall = 21;
inline constexpr int Courier = 22;
inline constexpr int HelpHeading = 23;
inline constexpr int HudPosition = 24;
inline constexpr int Count = 24;
}  // namespace font

}  // namespace zw
