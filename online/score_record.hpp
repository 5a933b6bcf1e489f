// The online score record: the plain text the game sends and its 5-bit encoding, shared by the
// game's submission and the score service, so both sides read and write one format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zw::online {

// The 32 characters the encoded record is written in, position 0 to 31. Letters and digits only,
// so an encoded record travels in a query string as it is.
inline constexpr std::string_view SendAlphabet = "Zq4WhE7lYk2XrTn9BvAs6GmCp3JdF8Ux";

// The fixed upper-case letter of the record's "key" field.
inline constexpr char ScoreKeyLetter = 'W';

// A result as the game sends it.
struct TScoreRecord {
  std::string Name;
  int32_t Score = 0;
  std::string Country;
  bool operator==(const TScoreRecord&) const = default;
};

// The plain record "type=0|name=...|score=...|key=W|p=|add=...|z=" with as many "0" after
// "|z=" as make its length a multiple of 5.
std::string BuildScoreRecord(const TScoreRecord& record);

// Every byte as eight bits, most significant first, cut into groups of five, each written as its
// alphabet character. A text whose bit count is not a multiple of five is padded on the left.
std::string EncodeBits(std::string_view plain);

// The value of the submission's "inf" key for a result.
std::string EncodeScoreRecord(const TScoreRecord& record);

// The inverse of EncodeScoreRecord. Refuses (false, with a one-line reason) anything the game
// could not have sent: a wrong length, characters outside the alphabet, fields missing or out of
// order, the wrong key letter, a score that is not a plain decimal int32, bad padding.
bool DecodeScoreRecord(std::string_view inf, TScoreRecord& record, std::string& reason);

}  // namespace zw::online
