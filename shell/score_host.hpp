// Where the game sends its results: the host chosen when the game was built, unless the player
// or the system names another, so a distribution can point its players at a community table
// without building the game again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zw {

// The environment variable a player sets for one session.
inline constexpr const char* ScoreHostVariable = "ZAPWHEELY_SCORE_HOST";

#ifndef ZW_SCORE_HOST_FILE
#define ZW_SCORE_HOST_FILE "/etc/zapwheely/score-host"
#endif
// The system-wide setting a distribution or an administrator writes.
inline constexpr const char* SystemScoreHostFile = ZW_SCORE_HOST_FILE;

// True for "name", "name:port", "1.2.3.4:port" or "[v6]:port" with a port from 1 to 65535: a
// plain host the game adds "http://" to, so nothing that could change the request's meaning
// (a scheme, credentials, a path, a query, spaces or control characters) gets through.
bool ValidScoreHost(std::string_view host);

// True when the host is this computer (127.0.0.0/8, localhost, [::1]).
bool LoopbackScoreHost(std::string_view host);

// The player's own setting: $XDG_CONFIG_HOME/zapwheely/score-host, or ~/.config/... when that
// is not set; empty when neither the config home nor the home folder is known.
std::string UserScoreHostFile(const char* xdgConfigHome, const char* home);

// The first line of a setting file that is neither empty nor a # comment, trimmed; empty when
// the file cannot be read or says nothing.
std::string ReadScoreHostFile(const std::string& path);

struct TScoreHostChoice {
  std::string Host;
  std::string From;                  // where it came from, for the start-up message
  std::vector<std::string> Ignored;  // settings that were not valid hosts, one line each
};

// The environment wins over the player's file, which wins over the system's, which wins over
// the build's default. A setting that is not a valid host is skipped (and reported), so a typo
// falls back to the next one rather than to no table at all.
TScoreHostChoice ChooseScoreHost(const char* environment, const std::string& userFile,
                                 const std::string& systemFile, const std::string& builtIn);

}  // namespace zw
