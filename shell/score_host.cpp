// The score host a player, a system or the build names.
#include "shell/score_host.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace zw {

namespace {

bool ValidPort(std::string_view p) {
  if (p.empty() || p.size() > 5) return false;
  long v = 0;
  for (char c : p) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  return v >= 1 && v <= 65535;
}

// A DNS name or dotted IPv4 address: labels of letters, digits and inner hyphens.
bool ValidName(std::string_view n) {
  if (n.empty() || n.size() > 253) return false;
  size_t start = 0;
  while (start <= n.size()) {
    size_t end = n.find('.', start);
    if (end == std::string_view::npos) end = n.size();
    const std::string_view label = n.substr(start, end - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return false;
    for (char c : label)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    start = end + 1;
  }
  return true;
}

bool ValidV6(std::string_view a) {
  if (a.empty() || a.size() > 45) return false;
  for (char c : a)
    if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
  return a.find(':') != std::string_view::npos;
}

std::string_view HostPart(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    const size_t close = host.find(']');
    return close == std::string_view::npos ? std::string_view{} : host.substr(1, close - 1);
  }
  return host.substr(0, host.find(':'));
}

}  // namespace

bool ValidScoreHost(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    const size_t close = host.find(']');
    if (close == std::string_view::npos || !ValidV6(host.substr(1, close - 1))) return false;
    const std::string_view rest = host.substr(close + 1);
    return rest.empty() || (rest.front() == ':' && ValidPort(rest.substr(1)));
  }
  const size_t colon = host.find(':');
  if (colon == std::string_view::npos) return ValidName(host);
  return ValidName(host.substr(0, colon)) && ValidPort(host.substr(colon + 1));
}

bool LoopbackScoreHost(std::string_view host) {
  const std::string_view h = HostPart(host);
  if (h == "localhost" || h == "::1") return true;
  return h.starts_with("127.") && ValidName(h) &&
         std::all_of(h.begin(), h.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

std::string UserScoreHostFile(const char* xdgConfigHome, const char* home) {
  // An empty or relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
  if (xdgConfigHome && xdgConfigHome[0] == '/')
    return std::string(xdgConfigHome) + "/zapwheely/score-host";
  if (home && home[0] == '/') return std::string(home) + "/.config/zapwheely/score-host";
  return {};
}

std::string ReadScoreHostFile(const std::string& path) {
  if (path.empty()) return {};
  std::ifstream in(path);
  std::string line;
  // A setting is one short line: a long file is read no further than its first few lines.
  for (int n = 0; n < 64 && std::getline(in, line); ++n) {
    if (line.size() > 512) line.resize(512);
    const size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos || line[a] == '#') continue;
    const size_t b = line.find_last_not_of(" \t\r");
    return line.substr(a, b - a + 1);
  }
  return {};
}

TScoreHostChoice ChooseScoreHost(const char* environment, const std::string& userFile,
                                 const std::string& systemFile, const std::string& builtIn) {
  TScoreHostChoice choice;
  auto take = [&](const std::string& value, const std::string& from) {
    if (value.empty()) return false;
    if (ValidScoreHost(value)) {
      choice.Host = value;
      choice.From = from;
      return true;
    }
    choice.Ignored.push_back(from + " names \"" + value.substr(0, 80) +
                             "\", which is not host[:port]; ignored");
    return false;
  };
  if (environment && take(environment, ScoreHostVariable)) return choice;
  if (take(ReadScoreHostFile(userFile), userFile)) return choice;
  if (take(ReadScoreHostFile(systemFile), systemFile)) return choice;
  choice.Host = builtIn;
  choice.From = "the build's default";
  return choice;
}

}  // namespace zw
