// Tests of the saved files: options, the high-score table, its check string and the sort.
#include <gtest/gtest.h>

#include <fstream>

#include "save/save_files.hpp"
#include "tests/test_support.hpp"

namespace zw {
namespace {

void WriteRaw(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SaveOptions, MissingFileGivesTheDefaultsAndResetsTheTable) {
  test::TRunDir dir;
  test::TFormFixture f;
  TMForm& form = *f.Form;
  // A table on disk without an options file fails the check and is replaced.
  std::string hs;
  for (int i = 1; i <= 10; ++i)
    hs += "PLAYER" + std::to_string(i) + "\r\n" + std::to_string(500 - i) + "\r\n";
  WriteRaw("Data/Save/hs", hs);
  form.LoadSavedState();
  EXPECT_FALSE(form.GameOptions.FullScreen);
  EXPECT_TRUE(form.GameOptions.Music);
  EXPECT_TRUE(form.GameOptions.Sound);
  EXPECT_EQ(form.GameOptions.Country, "_______");
  EXPECT_EQ(form.Keys.BossKeyShift, 2);
  EXPECT_EQ(form.Keys.BossKey, 120);
  EXPECT_EQ(form.HighScores[1].Name, "ANONYMOUS");
  EXPECT_EQ(form.HighScores[1].Score, 10000);
  EXPECT_EQ(form.HighScores[10].Score, 1000);
}

TEST(SaveOptions, ValuesAreReadAndWrittenAsStored) {
  test::TRunDir dir;
  test::TFormFixture f;
  TMForm& form = *f.Form;
  WriteRaw("Data/Save/options", "7\r\n0\r\n1\r\nNorway\r\n9\r\n12\r\n\r\n");
  form.LoadOptions();
  EXPECT_TRUE(form.GameOptions.FullScreen);
  EXPECT_FALSE(form.GameOptions.Music);
  EXPECT_EQ(form.GameOptions.Country, "Norway");
  EXPECT_EQ(form.Keys.BossKeyShift, 0);  // 9 is no modifier
  EXPECT_EQ(form.Keys.BossKey, 123);
  form.Keys.BossKeyShift = mod::Ctrl;
  form.SaveOptions();
  const std::string text = ReadRaw("Data/Save/options");
  EXPECT_EQ(text.substr(0, 22), "1\r\n0\r\n1\r\nNorway\r\n2\r\n12");
}

TEST(SaveOptions, ADamagedFileKeepsDefaultsForWhatCannotBeRead) {
  test::TRunDir dir;
  test::TFormFixture f;
  WriteRaw("Data/Save/options", "x\r\n0\r\n");
  f.Form->LoadOptions();
  EXPECT_FALSE(f.Form->GameOptions.FullScreen);
  EXPECT_FALSE(f.Form->GameOptions.Music);
  EXPECT_TRUE(f.Form->GameOptions.Sound);
  EXPECT_EQ(f.Form->Keys.BossKey, 120);
}

TEST(SaveHighScores, ARoundTripKeepsTheTableAndPassesTheCheck) {
  test::TRunDir dir;
  {
    test::TFormFixture f;
    TMForm& form = *f.Form;
    form.ResetHighScores();
    form.HighScores[3] = {"Wheelie Wanda", 8500};
    form.SaveSavedState();
  }
  test::TFormFixture g;
  g.Form->LoadSavedState();
  EXPECT_EQ(g.Form->HighScores[3].Name, "Wheelie Wanda");
  EXPECT_EQ(g.Form->HighScores[3].Score, 8500);
  EXPECT_TRUE(g.Form->HighScoreCheckValid());
  // Editing the table outside the game fails the check next time.
  std::string hs = ReadRaw("Data/Save/hs");
  hs.replace(hs.find("8500"), 4, "9999");
  WriteRaw("Data/Save/hs", hs);
  test::TFormFixture h;
  h.Form->LoadSavedState();
  EXPECT_EQ(h.Form->HighScores[3].Name, "ANONYMOUS");
}

TEST(SaveHighScores, TheCheckStringMixesNamesAndScores) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  for (int i = 1; i <= 10; ++i) form.HighScores[static_cast<size_t>(i)] = {"", 0};
  EXPECT_EQ(form.ComputeHighScoreCheck(), "");
  form.HighScores[1] = {"a", 1};
  // ' ' + 'a' -> 161, then 161 + '1' -> 242; the other entries' "0" scores mix in after.
  std::string s(1, ' ');
  auto mix = [&](char c) {
    s[0] = static_cast<char>(
        (static_cast<unsigned char>(s[0]) + static_cast<unsigned char>(c)) % 224 + 32);
  };
  mix('a');
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 161);
  mix('1');
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 242);
  for (int i = 2; i <= 10; ++i) mix('0');
  EXPECT_EQ(form.ComputeHighScoreCheck(), s);
}

TEST(SaveHighScores, SortingKeepsEqualScoresInTheirOrder) {
  test::TFormFixture f;
  TMForm& form = *f.Form;
  form.ResetHighScores();
  form.Race.RaceScore = 1000;
  EXPECT_FALSE(form.ScoreQualifies());
  form.Race.RaceScore = 1001;
  EXPECT_TRUE(form.ScoreQualifies());
  form.HighScores[11] = {"NEW", 5000};
  form.SortHighScores();
  EXPECT_EQ(form.HighScores[6].Name, "ANONYMOUS");
  EXPECT_EQ(form.HighScores[6].Score, 5000);
  EXPECT_EQ(form.HighScores[7].Name, "NEW");
  EXPECT_EQ(form.HighScores[11].Score, 1000);
}

TEST(SaveHighScores, LongNamesAreReadWholeAndDamagedTablesFallBack) {
  test::TRunDir dir;
  std::string hs;
  for (int i = 1; i <= 10; ++i)
    hs += (i == 2 ? std::string("A name far longer than twelve") : "N" + std::to_string(i)) +
          "\r\n" + std::to_string(1000 - i) + "\r\n";
  WriteRaw("Data/Save/hs", hs);
  test::TFormFixture f;
  f.Form->LoadHighScores();
  EXPECT_EQ(f.Form->HighScores[2].Name, "A name far longer than twelve");
  EXPECT_EQ(f.Form->ComputeHighScoreCheck().size(), 29u);
  // A score that is not a number: the whole table falls back to the defaults.
  WriteRaw("Data/Save/hs", "ACE\r\nlots\r\n");
  f.Form->LoadHighScores();
  EXPECT_EQ(f.Form->HighScores[1].Name, "ANONYMOUS");
  EXPECT_EQ(f.Form->HighScores[1].Score, 10000);
}

TEST(SaveFiles, WritingReplacesTheFileWhole) {
  test::TRunDir dir;
  ASSERT_TRUE(WriteLinesAtomically("Data/Save/x", {"a", "b"}));
  EXPECT_EQ(ReadRaw("Data/Save/x"), "a\r\nb\r\n");
  EXPECT_FALSE(std::filesystem::exists("Data/Save/x.tmp"));
  long long v = 0;
  EXPECT_TRUE(ParseLeadingInt("  -42 rest", v));
  EXPECT_EQ(v, -42);
  EXPECT_FALSE(ParseLeadingInt("abc", v));
  EXPECT_FALSE(ParseLeadingInt("99999999999", v));
}

}  // namespace
}  // namespace zw
