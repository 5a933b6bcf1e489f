// Building, encoding and decoding the online score record.
#include "online/score_record.hpp"

#include <array>
#include <charconv>
#include <limits>

namespace zw::online {

namespace {

constexpr std::string_view FieldType = "type=0";
constexpr std::string_view FieldName = "|name=";
constexpr std::string_view FieldScore = "|score=";
constexpr std::string_view FieldKey = "|key=";
constexpr std::string_view FieldP = "|p=";
constexpr std::string_view FieldAdd = "|add=";
constexpr std::string_view FieldZ = "|z=";

// Where each character stands in the alphabet, or -1.
constexpr std::array<int, 256> AlphabetIndex() {
  std::array<int, 256> index{};
  for (int& i : index) i = -1;
  for (size_t i = 0; i < SendAlphabet.size(); ++i)
    index[static_cast<unsigned char>(SendAlphabet[i])] = static_cast<int>(i);
  return index;
}
constexpr std::array<int, 256> Index = AlphabetIndex();

constexpr bool AlphabetIsSound() {
  if (SendAlphabet.size() != 32) return false;
  int seen = 0;
  for (int i : Index) seen += i >= 0;
  return seen == 32;
}
static_assert(AlphabetIsSound(), "the alphabet needs 32 distinct characters");

bool StartsWith(std::string_view text, size_t at, std::string_view part) {
  return text.size() >= at && text.substr(at, part.size()) == part;
}

}  // namespace

std::string BuildScoreRecord(const TScoreRecord& record) {
  std::string text;
  text += FieldType;
  text += FieldName;
  text += record.Name;
  text += FieldScore;
  text += std::to_string(record.Score);
  text += FieldKey;
  text += ScoreKeyLetter;
  text += FieldP;
  text += FieldAdd;
  text += record.Country;
  text += FieldZ;
  while (text.size() % 5 != 0) text += '0';
  return text;
}

std::string EncodeBits(std::string_view plain) {
  std::string bits;
  bits.reserve(plain.size() * 8 + 4);
  for (char c : plain) {
    const auto byte = static_cast<unsigned char>(c);
    for (int b = 7; b >= 0; --b) bits += ((byte >> b) & 1) ? '1' : '0';
  }
  if (bits.size() % 5 != 0) bits.insert(0, 5 - bits.size() % 5, '0');
  std::string out;
  out.reserve(bits.size() / 5);
  for (size_t i = 0; i < bits.size(); i += 5) {
    int group = 0;
    for (size_t k = 0; k < 5; ++k) group = group * 2 + (bits[i + k] - '0');
    out += SendAlphabet[static_cast<size_t>(group)];
  }
  return out;
}

std::string EncodeScoreRecord(const TScoreRecord& record) {
  return EncodeBits(BuildScoreRecord(record));
}

bool DecodeScoreRecord(std::string_view inf, TScoreRecord& record, std::string& reason) {
  // A padded record is a whole number of 5-byte blocks, 8 characters each.
  if (inf.empty() || inf.size() % 8 != 0) {
    reason = "the record's length is not a multiple of 8 characters";
    return false;
  }
  std::string text;
  text.reserve(inf.size() / 8 * 5);
  uint32_t acc = 0;
  int bits = 0;
  for (char c : inf) {
    const int v = Index[static_cast<unsigned char>(c)];
    if (v < 0) {
      reason = "the record holds a character outside the alphabet";
      return false;
    }
    acc = (acc << 5) | static_cast<uint32_t>(v);
    bits += 5;
    if (bits >= 8) {
      bits -= 8;
      text += static_cast<char>((acc >> bits) & 0xFF);
      acc &= (1u << bits) - 1;
    }
  }
  size_t at = 0;
  if (!StartsWith(text, at, FieldType)) {
    reason = "the record does not start with type=0";
    return false;
  }
  at += FieldType.size();
  if (!StartsWith(text, at, FieldName)) {
    reason = "the name field is missing";
    return false;
  }
  at += FieldName.size();
  const size_t scoreAt = text.find(FieldScore, at);
  if (scoreAt == std::string::npos) {
    reason = "the score field is missing";
    return false;
  }
  TScoreRecord out;
  out.Name = text.substr(at, scoreAt - at);
  // The name can hold letters, digits and spaces only, never a separator: one there means a
  // field has moved.
  if (out.Name.find('|') != std::string::npos) {
    reason = "the fields are out of order";
    return false;
  }
  at = scoreAt + FieldScore.size();
  const size_t keyAt = text.find(FieldKey, at);
  if (keyAt == std::string::npos) {
    reason = "the key field is missing";
    return false;
  }
  const std::string_view score = std::string_view(text).substr(at, keyAt - at);
  // Plain decimal as the game writes it: an optional minus, no leading zeros, no plus sign.
  const std::string_view digits = score.starts_with('-') ? score.substr(1) : score;
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos ||
      (digits.size() > 1 && digits[0] == '0') || score == "-0") {
    reason = "the score is not a plain decimal number";
    return false;
  }
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(score.data(), score.data() + score.size(), value);
  if (ec != std::errc() || end != score.data() + score.size() ||
      value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    reason = "the score does not fit 32 bits";
    return false;
  }
  out.Score = static_cast<int32_t>(value);
  at = keyAt + FieldKey.size();
  if (at >= text.size() || text[at] != ScoreKeyLetter) {
    reason = "the key letter is wrong";
    return false;
  }
  ++at;
  if (!StartsWith(text, at, FieldP)) {
    reason = "the p field is missing or not empty";
    return false;
  }
  at += FieldP.size();
  if (!StartsWith(text, at, FieldAdd)) {
    reason = "the p field is not empty or the add field is missing";
    return false;
  }
  at += FieldAdd.size();
  // The country is free text and may hold anything, even "|z="; the padding has no "|", so the
  // last "|z=" is the real one.
  const size_t zAt = text.rfind(FieldZ);
  if (zAt == std::string::npos || zAt < at) {
    reason = "the z field is missing";
    return false;
  }
  out.Country = text.substr(at, zAt - at);
  const std::string_view pad = std::string_view(text).substr(zAt + FieldZ.size());
  // The game pads to the next multiple of 5 and no further: every block is whole, so four
  // zeros at most.
  if (pad.size() > 4 || pad.find_first_not_of('0') != std::string_view::npos) {
    reason = "the padding is wrong";
    return false;
  }
  record = std::move(out);
  return true;
}

}  // namespace zw::online
