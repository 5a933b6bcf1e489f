// zapwheely-verify: rides one replay again with the game's own simulation, headless and without
// drawing, and says in one line whether it reaches the score it claims.
//
//   zapwheely-verify [--data DIR] [--score N] [FILE]
//
// The replay comes from FILE, or from standard input when FILE is "-" or missing. DIR is the
// run-time folder whose Data/Res packs the ride uses (by default the one this program was built
// into). The ride must end the game on the score the file claims and, when the file holds them,
// make the same race state hashes at every level end and at the end (a replay edited by a
// single frame is rejected, naming the first level whose end differs). With --score, the ride
// must also reach exactly N (the score submitted with it).
// Prints "verified score N" (status 0), "rejected: REASON" (status 1), or "error: REASON"
// (status 2: the verifier itself could not run, so the replay was not judged).
//
// The score service runs it as a separate process per replay with CPU, memory and time limits.
// Once the packs are loaded it can open nothing more: no file, no socket.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/headless/headless.hpp"
#include "replay/recorder.hpp"
#include "replay/replay_file.hpp"
#include "shell/form.hpp"

#ifndef ZW_RUN_DIR
#define ZW_RUN_DIR "."
#endif

namespace {

int Verdict(int status, const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return status;
}

// The whole input, at most one byte past the largest replay (so an oversized one is seen).
bool ReadInput(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!in) return false;
  const size_t cap = zw::replay::MaxFileBytes + 1;
  bytes.resize(cap);
  size_t n = 0;
  while (n < cap) {
    const size_t got = std::fread(bytes.data() + n, 1, cap - n, in);
    if (got == 0) break;
    n += got;
  }
  const bool ok = !std::ferror(in);
  if (in != stdin) std::fclose(in);
  bytes.resize(n);
  return ok;
}

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  std::string data = ZW_RUN_DIR, input = "-";
  long long expected = 0;
  bool haveExpected = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--data" || a == "--score") && i + 1 < argc) {
      const std::string v = argv[++i];
      if (a == "--data") {
        data = v;
      } else {
        char* end = nullptr;
        expected = std::strtoll(v.c_str(), &end, 10);
        if (v.empty() || *end) return Verdict(2, "error: --score wants a whole number");
        haveExpected = true;
      }
    } else if (a == "--help" || a == "-h") {
      std::printf(
          "Usage: zapwheely-verify [--data DIR] [--score N] [FILE|-]\n"
          "Rides a Zap Wheely replay again, headless, and prints \"verified score N\" or\n"
          "\"rejected: REASON\". DIR is the run-time folder with the packs (default %s).\n",
          ZW_RUN_DIR);
      return 0;
    } else if (a.size() > 1 && a[0] == '-') {
      return Verdict(2, "error: unknown option " + a);
    } else {
      input = a;
    }
  }

  std::vector<uint8_t> bytes;
  if (!ReadInput(input, bytes)) return Verdict(2, "error: cannot read " + input);
  if (input == "-") std::fclose(stdin);
  zw::replay::TReplay r;
  std::string why;
  if (!zw::replay::Read(bytes, r, why)) return Verdict(1, "rejected: " + why);
  bytes = {};

  // The packs are read from the run-time folder, as the game reads them.
  if (chdir(data.c_str()) != 0) return Verdict(2, "error: no run-time folder " + data);
  const uint64_t packs = zw::replay::PackHash();
  if (packs == 0) return Verdict(2, "error: the packs in " + data + "/Data/Res cannot be read");
  if (r.PackHash != packs)
    return Verdict(1, "rejected: made for other packs (" + Hex(r.PackHash) + ", the service has " +
                          Hex(packs) + ")");
  if (r.GameVersion != zw::replay::GameVersion())
    return Verdict(1, "rejected: made with game version " + r.GameVersion +
                          ", the service rides version " + zw::replay::GameVersion());

  zw::THeadlessPlatform platform;
  zw::TMForm form(platform.Platform);
  form.NoSavedState = true;
  if (!form.FormCreate()) return Verdict(2, "error: " + form.StartupError);
  // From here on the ride reads only what is in memory: no new file or socket can be opened.
  // (Standard output stays writable, whether it is the service's pipe or an operator's file.)
  rlimit none{0, 0};
  setrlimit(RLIMIT_NOFILE, &none);

  const zw::replay::TRideResult res = zw::replay::Ride(form, r, false);
  // The ride must come to the recording's end, score and, level by level, its very race.
  const std::string why2 = zw::replay::Disagreement(r, res);
  if (!why2.empty()) return Verdict(1, "rejected: " + why2);
  if (haveExpected && res.RaceScore != expected)
    return Verdict(1, "rejected: rides to score " + std::to_string(res.RaceScore) +
                          ", not the submitted " + std::to_string(expected));
  return Verdict(0, "verified score " + std::to_string(res.RaceScore));
}
