// The online score record: its layout, padding, 5-bit encoding and the refusing decoder.
#include "online/score_record.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace zw::online;

namespace {

// Decodes an alphabet text back into 5-bit values.
std::vector<int> Groups(const std::string& encoded) {
  std::vector<int> out;
  for (char c : encoded) out.push_back(static_cast<int>(SendAlphabet.find(c)));
  return out;
}

std::string Refusal(const std::string& inf) {
  TScoreRecord r;
  std::string reason;
  EXPECT_FALSE(DecodeScoreRecord(inf, r, reason)) << inf;
  return reason;
}

}  // namespace

TEST(ScoreRecord, LayoutAndPadding) {
  EXPECT_EQ(
      BuildScoreRecord({"ANNA", 1234, "Germany"}),
      std::string("type=0|name=ANNA|score=1234|key=") + ScoreKeyLetter + "|p=|add=Germany|z=0000");
  // An empty name goes straight on to the score; negative scores keep their sign.
  const std::string empty = BuildScoreRecord({"", -5, ""});
  EXPECT_NE(empty.find("|name=|score=-5|"), std::string::npos);
  for (int len = 0; len < 20; ++len) {
    const std::string rec = BuildScoreRecord({std::string(len, 'a'), 7, "x"});
    EXPECT_EQ(rec.size() % 5, 0u);
    const size_t z = rec.rfind("|z=");
    EXPECT_LE(rec.size() - z - 3, 4u);
  }
}

TEST(ScoreRecord, FiftyTwoCharactersPadToFiftyFiveAndEncodeToEightyEight) {
  // The fixed fields take 36 characters with "|z="; a name, score and country of 16 make 52.
  const TScoreRecord r{"ABCDEFGHIJKL", 100, "I"};
  std::string plain = BuildScoreRecord(r);
  ASSERT_EQ(plain.size(), 55u);
  EXPECT_EQ(plain.substr(52), "000");
  EXPECT_EQ(EncodeScoreRecord(r).size(), 88u);
}

TEST(ScoreRecord, BitGroupsOfFive) {
  // "abc" is 011000010110001001100011: read from the left its groups are 12, 5 and 17 when the
  // text is a whole number of groups, as the game's padded record always is.
  const std::vector<int> whole = Groups(EncodeBits("abcab"));
  ASSERT_GE(whole.size(), 3u);
  EXPECT_EQ(whole[0], 12);
  EXPECT_EQ(whole[1], 5);
  EXPECT_EQ(whole[2], 17);
  // On its own, 24 bits take one "0" on the left first: 00110 00010 11000 10011 00011.
  EXPECT_EQ(Groups(EncodeBits("abc")), (std::vector<int>{6, 2, 24, 19, 3}));
}

TEST(ScoreRecord, RoundTripOverRandomRecords) {
  std::mt19937 rng(20261210);
  const std::string nameChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ";
  for (int n = 0; n < 2000; ++n) {
    TScoreRecord r;
    const int nameLen = static_cast<int>(rng() % 13);
    for (int i = 0; i < nameLen; ++i) r.Name += nameChars[rng() % nameChars.size()];
    r.Score = static_cast<int32_t>(rng());
    const int countryLen = static_cast<int>(rng() % 17);
    // The country is free text: any byte at all, even the record's own separators.
    for (int i = 0; i < countryLen; ++i) r.Country += static_cast<char>(rng() % 256);
    if (n % 7 == 0) r.Country += "|z=00";
    const std::string inf = EncodeScoreRecord(r);
    for (char c : inf) ASSERT_NE(SendAlphabet.find(c), std::string_view::npos);
    TScoreRecord back;
    std::string reason;
    ASSERT_TRUE(DecodeScoreRecord(inf, back, reason)) << reason;
    EXPECT_EQ(back, r);
  }
}

TEST(ScoreRecord, DamagedRecordsAreRefusedWithAReason) {
  const TScoreRecord good{"ANNA", 900, "Spain"};
  const std::string inf = EncodeScoreRecord(good);
  EXPECT_NE(Refusal(""), "");
  EXPECT_NE(Refusal(inf.substr(0, inf.size() - 1)).find("length"), std::string::npos);
  std::string bad = inf;
  bad[3] = '-';
  EXPECT_NE(Refusal(bad).find("alphabet"), std::string::npos);
  // Damaged texts of whole blocks, so that only the named fault is wrong: `fill` is added at the
  // end until the length is a multiple of 5.
  auto refuseText = [&](std::string plain, const std::string& word, char fill = '0') {
    while (plain.size() % 5 != 0) plain += fill;
    EXPECT_NE(Refusal(EncodeBits(plain)).find(word), std::string::npos) << plain;
  };
  const std::string k(1, ScoreKeyLetter);
  refuseText("type=1|name=A|score=1|key=" + k + "|p=|add=|z=", "type");
  refuseText("type=0|score=1|name=A|key=" + k + "|p=|add=|z=", "name");
  refuseText("type=0|name=A|key=" + k + "|score=1|p=|add=|z=", "order");
  refuseText("type=0|name=A|score=1|key=Q|p=|add=|z=", "key letter");
  refuseText("type=0|name=A|score=01|key=" + k + "|p=|add=|z=", "decimal");
  refuseText("type=0|name=A|score=+1|key=" + k + "|p=|add=|z=", "decimal");
  refuseText("type=0|name=A|score=|key=" + k + "|p=|add=|z=", "decimal");
  refuseText("type=0|name=A|score=-0|key=" + k + "|p=|add=|z=", "decimal");
  refuseText("type=0|name=A|score=9999999999|key=" + k + "|p=|add=|z=", "32 bits");
  refuseText("type=0|name=A|score=1|key=" + k + "|p=x|add=|z=", "p field");
  refuseText("type=0|name=A|score=1|key=" + k + "|p=|add=Spain", "z field", ' ');
  // Exactly five zeros would be a whole block too many (the record before them is already a
  // whole number of blocks); a pad of other characters is not the game's.
  const std::string whole = "type=0|name=A|score=1|key=" + k + "|p=|add=ab|z=";
  ASSERT_EQ(whole.size() % 5, 0u);
  refuseText(whole + "00000", "padding");
  for (int zeros = 0; zeros <= 4; ++zeros) {
    // One to four zeros of padding are the game's own: a record of that length decodes.
    std::string plain = "type=0|name=A|score=1|key=" + k +
                        "|p=|add=" + std::string(static_cast<size_t>(zeros), 'c') + "|z=";
    const size_t pad = (5 - plain.size() % 5) % 5;
    TScoreRecord back;
    std::string reason;
    EXPECT_TRUE(DecodeScoreRecord(EncodeBits(plain + std::string(pad, '0')), back, reason))
        << reason;
    EXPECT_EQ(back.Country, std::string(static_cast<size_t>(zeros), 'c'));
  }
  refuseText("type=0|name=A|score=1|key=" + k + "|p=|add=abcdef|z=", "padding", 'x');
}
