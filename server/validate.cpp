// Checking a decoded result against what the game can send, and the game's text as UTF-8.
#include "server/validate.hpp"

#include <array>

namespace zw::scores {

namespace {

// Windows-1252's characters for 0x80..0x9F; 0 where the code page has none.
constexpr std::array<char32_t, 32> HighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
}

}  // namespace

bool Cp1252ToUtf8(std::string_view text, std::string& utf8) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    char32_t c = b;
    if (b >= 0x80 && b <= 0x9F) {
      c = HighControls[b - 0x80];
      if (c == 0) return false;
    }
    AppendUtf8(out, c);
  }
  utf8 = std::move(out);
  return true;
}

bool ValidateRecord(const online::TScoreRecord& record, std::string& name, std::string& country,
                    std::string& reason) {
  if (record.Name.size() > MaxNameLength) {
    reason = "the name is longer than 12 characters";
    return false;
  }
  for (char c : record.Name) {
    if (!IsNameChar(c)) {
      reason = "the name may hold only letters, digits and spaces";
      return false;
    }
  }
  if (record.Score < 0) {
    reason = "the score is below 0";
    return false;
  }
  if (record.Score > MaxGameScore) {
    reason = "the score is above " + std::to_string(MaxGameScore) + ", more than a game can reach";
    return false;
  }
  if (record.Country.size() > MaxCountryLength) {
    reason = "the country is longer than 16 characters";
    return false;
  }
  for (char c : record.Country) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      reason = "the country holds a control character";
      return false;
    }
  }
  std::string utf8;
  if (!Cp1252ToUtf8(record.Country, utf8)) {
    reason = "the country holds a byte that is no character";
    return false;
  }
  name = record.Name;
  country = std::move(utf8);
  return true;
}

}  // namespace zw::scores
