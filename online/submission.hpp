// The score service's address scheme: the one page that takes a submission and shows the table,
// and the keys of its query. The game builds its requests from these and the service reads them
// with the same names.
#pragma once

#include <string>
#include <string_view>

namespace zw::online {

// The page of both the submission and the table.
inline constexpr std::string_view ScorePage = "/cgi/version.pl";

// The query's keys and the fixed values the game sends.
namespace key {
inline constexpr std::string_view Program = "prg";  // always ProgramName
inline constexpr std::string_view Submit = "hs";    // a submission, with Record
inline constexpr std::string_view Record = "inf";   // the encoded score record
inline constexpr std::string_view Show = "show";    // the table, with TableType
inline constexpr std::string_view TableType = "type";
inline constexpr std::string_view Page = "page";
}  // namespace key
inline constexpr std::string_view ProgramName = "ZapWheely";
inline constexpr std::string_view TableTypeScores = "0";

// "/cgi/version.pl?prg=ZapWheely&show&type=0": the table's first page.
inline std::string TableTarget() {
  return std::string(ScorePage) + "?" + std::string(key::Program) + "=" + std::string(ProgramName) +
         "&" + std::string(key::Show) + "&" + std::string(key::TableType) + "=" +
         std::string(TableTypeScores);
}

// "/cgi/version.pl?hs&prg=ZapWheely&inf=ENCODED": a submission of an encoded record.
inline std::string SubmitTarget(const std::string& encoded) {
  return std::string(ScorePage) + "?" + std::string(key::Submit) + "&" + std::string(key::Program) +
         "=" + std::string(ProgramName) + "&" + std::string(key::Record) + "=" + encoded;
}

// Where the game posts the replay (.zwr) of a submitted result, and where the table links a
// verified result's replay: "/replay/ID.zwr".
inline constexpr std::string_view ReplayPage = "/replay";

// "/replay?inf=ENCODED": the replay of the result the same encoded record was submitted with.
inline std::string ReplayTarget(const std::string& encoded) {
  return std::string(ReplayPage) + "?" + std::string(key::Record) + "=" + encoded;
}

}  // namespace zw::online
