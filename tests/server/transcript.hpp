// Recorded transcripts of what the score service answers, kept as readable text beside the
// tests: any change to an answer fails the test that meets it and shows the first exchange
// that differs. ZW_GOLDEN_UPDATE=1 writes the recordings afresh instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zw::scores::test {

// A body as the transcript shows it: text as it is (control bytes as \xNN, a missing last
// newline said so), anything else as its size and hash.
std::string BodyText(std::string_view contentType, std::string_view body);
// FNV-1a over the bytes, as 16 hex digits.
std::string Fnv64(std::string_view bytes);
// "YYYY-MM-DD HH:MM:SS UTC", worked out here rather than by the service.
std::string UtcText(int64_t seconds);

// Compares text with the section of the named recording (tests/server/transcripts/FILE); on a
// difference it fails the running test with the first differing exchange (each exchange starts
// with a line "--- "). With ZW_GOLDEN_UPDATE=1 the section is rewritten instead. A missing
// recording or section fails.
void CheckTranscript(const std::string& file, const std::string& section, const std::string& text);

}  // namespace zw::scores::test
