// Recorded transcripts: reading, comparing and rewriting the recordings.
#include "tests/server/transcript.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>
#include <vector>

namespace zw::scores::test {

std::string Fnv64(std::string_view bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ull;
  }
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

std::string BodyText(std::string_view contentType, std::string_view body) {
  const bool text = contentType.starts_with("text/") || contentType == "application/json";
  if (!text) return "[" + std::to_string(body.size()) + " bytes, fnv " + Fnv64(body) + "]\n";
  if (body.empty()) return "(empty)\n";
  std::string out;
  for (const char c : body) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && c != '\n') || b == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", b);
      out += buf;
    } else {
      out += c;
    }
  }
  if (out.back() != '\n') out += "\n(no newline at the end)\n";
  return out;
}

std::string UtcText(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm);
  return buf;
}

namespace {

constexpr std::string_view SectionMark = "##### ";

struct TRecording {
  std::string Head;  // the lines before the first section
  std::vector<std::pair<std::string, std::string>> Sections;
};

TRecording ParseRecording(const std::string& all) {
  TRecording r;
  std::string* into = &r.Head;
  size_t at = 0;
  while (at < all.size()) {
    size_t end = all.find('\n', at);
    end = end == std::string::npos ? all.size() : end + 1;
    const std::string_view line(all.data() + at, end - at);
    if (line.starts_with(SectionMark)) {
      std::string name(line.substr(SectionMark.size()));
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
      r.Sections.emplace_back(name, std::string());
      into = &r.Sections.back().second;
    } else {
      *into += line;
    }
    at = end;
  }
  return r;
}

std::string ReadAll(int fd) {
  std::string all;
  char buf[65536];
  off_t at = 0;
  ssize_t n;
  while ((n = pread(fd, buf, sizeof buf, at)) > 0) {
    all.append(buf, static_cast<size_t>(n));
    at += n;
  }
  return all;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    out.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// The exchange (its "--- " line) a line belongs to.
size_t ExchangeStart(const std::vector<std::string>& lines, size_t i) {
  while (i > 0 && !lines[i].starts_with("--- ")) --i;
  return i;
}

std::string Excerpt(const std::vector<std::string>& lines, size_t start, size_t diff) {
  std::string out;
  const size_t from = diff > start + 6 ? diff - 4 : start;
  if (from > start) out += "  " + lines[start] + "\n  ...\n";
  for (size_t i = from; i < lines.size() && i < diff + 5; ++i) {
    if (i > from && lines[i].starts_with("--- ")) break;
    out += (i == diff ? "> " : "  ") + lines[i].substr(0, 300) + "\n";
  }
  return out;
}

}  // namespace

void CheckTranscript(const std::string& file, const std::string& section, const std::string& text) {
  const std::string path = std::string(ZW_SOURCE_DIR) + "/tests/server/transcripts/" + file;
  const char* update = std::getenv("ZW_GOLDEN_UPDATE");
  const bool rewrite = update && std::string(update) == "1";
  // Several test programs may read (or rewrite) the one recording at once.
  const int fd = open(path.c_str(), rewrite ? O_RDWR | O_CREAT : O_RDONLY, 0644);
  if (fd < 0) {
    ADD_FAILURE() << "no recording " << path
                  << "; make it with ZW_GOLDEN_UPDATE=1 and read it before committing";
    return;
  }
  flock(fd, rewrite ? LOCK_EX : LOCK_SH);
  TRecording rec = ParseRecording(ReadAll(fd));
  std::string* expected = nullptr;
  for (auto& [name, body] : rec.Sections)
    if (name == section) expected = &body;
  if (rewrite) {
    if (expected) {
      *expected = text;
    } else {
      rec.Sections.emplace_back(section, text);
    }
    std::string all = rec.Head;
    for (const auto& [name, body] : rec.Sections)
      all += std::string(SectionMark) + name + "\n" + body;
    const bool ok = ftruncate(fd, 0) == 0 &&
                    pwrite(fd, all.data(), all.size(), 0) == static_cast<ssize_t>(all.size());
    close(fd);
    EXPECT_TRUE(ok) << "cannot write " << path;
    std::fprintf(stderr, "rewrote section %s of %s\n", section.c_str(), path.c_str());
    return;
  }
  close(fd);
  if (!expected) {
    ADD_FAILURE() << path << " has no section " << section
                  << "; make it with ZW_GOLDEN_UPDATE=1 and read it before committing";
    return;
  }
  if (*expected == text) return;
  const std::vector<std::string> want = Lines(*expected), got = Lines(text);
  size_t diff = 0;
  while (diff < want.size() && diff < got.size() && want[diff] == got[diff]) ++diff;
  const size_t wantStart = ExchangeStart(want, std::min(diff, want.size() ? want.size() - 1 : 0));
  const size_t gotStart = ExchangeStart(got, std::min(diff, got.size() ? got.size() - 1 : 0));
  ADD_FAILURE() << "the answers differ from " << file << " [" << section << "] at line " << diff + 1
                << " of the section\n"
                << "expected:\n"
                << (diff < want.size() ? Excerpt(want, wantStart, diff) : "  (the section ends)\n")
                << "got:\n"
                << (diff < got.size() ? Excerpt(got, gotStart, diff) : "  (nothing more)\n")
                << "(if the change is meant, rerun with ZW_GOLDEN_UPDATE=1 and read the diff)";
}

}  // namespace zw::scores::test
