// The limits a replay's ride runs under, met by real processes standing in for a hostile ride:
// one that never stops computing, one that hangs without computing, one that floods its verdict.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>

#include "server/verify_queue.hpp"
#include "tests/server/scores_process.hpp"

namespace zw::scores {
namespace {

std::string Script(const test::TTempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir.Path() + "/" + name;
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  chmod(path.c_str(), 0755);
  return path;
}

TVerifyOutcome Ride(const std::string& verifier, int cpu, int wall, bool& judged, double& seconds) {
  TVerifyOptions o;
  o.Verifier = verifier;
  o.DataDir = "/nonexistent";
  o.CpuSeconds = cpu;
  o.WallSeconds = wall;
  judged = false;
  const auto start = std::chrono::steady_clock::now();
  TVerifyOutcome out = RunVerifier(o, "replay bytes", 1234, judged);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

TEST(VerifyLimits, ARideIsStoppedByItsCpuOrItsClockAndOnlyItsOwnVerdictCounts) {
  test::TTempDir dir;
  bool judged = false;
  double seconds = 0;

  // Computing for ever: the CPU limit ends it, long before the wall-clock limit.
  TVerifyOutcome out = Ride(Script(dir, "spin", "while :; do :; done"), 1, 30, judged, seconds);
  EXPECT_TRUE(judged);
  EXPECT_FALSE(out.Verified);
  EXPECT_EQ(out.Reason, "the ride ran past its CPU limit (1 s)");
  EXPECT_LT(seconds, 25.0);

  // Waiting for ever uses no CPU: the wall clock ends it, with whatever it started.
  out = Ride(Script(dir, "hang", "sleep 60 & sleep 60"), 20, 1, judged, seconds);
  EXPECT_TRUE(judged);
  EXPECT_EQ(out.Reason, "the ride ran past its time limit (1 s)");
  EXPECT_LT(seconds, 10.0);

  // A ride that claims the score on a line of its own making is not believed unless it is the
  // verdict's exact form for the submitted score.
  out = Ride(Script(dir, "liar", "echo 'verified score 99999'"), 5, 5, judged, seconds);
  EXPECT_FALSE(out.Verified);
  out = Ride(Script(dir, "honest", "cat >/dev/null; echo 'verified score 1234'"), 5, 5, judged,
             seconds);
  EXPECT_TRUE(out.Verified);
  EXPECT_TRUE(judged);

  // A verifier that cannot run at all judges nothing.
  out = Ride(dir.Path() + "/missing", 5, 5, judged, seconds);
  EXPECT_FALSE(out.Verified);
  EXPECT_FALSE(judged);
}

}  // namespace
}  // namespace zw::scores
