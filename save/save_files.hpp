// Reading and writing the small saved text files.
#pragma once

#include <string>
#include <vector>

namespace zw {

// True when the path is not empty and the file can be opened for reading.
bool FileExists(const std::string& path);
// The file's lines without their line ends (CR LF or LF); false when it cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);
// Writes the lines, each ended by CR LF, to a temporary file beside the target and renames it
// over the target, so a crash or a full disk never leaves a half-written file.
bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines);
// A decimal integer after leading blanks, ignoring the rest of the line; false when none.
bool ParseLeadingInt(const std::string& line, long long& value);

}  // namespace zw
