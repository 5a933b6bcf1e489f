// Scenario helpers: the real game started headless in a scratch run-time folder, driven by script
// lines.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.hpp"
#include "tools/autoplay/script.hpp"

namespace zw::test {

// A started game in a scratch run-time folder, driven by script lines.
struct TGame {
  TRunDir Dir;
  TScriptRunner Runner;
  explicit TGame(const std::string& setup = "seed 7\nrefresh 85\nframetime 12\n") {
    Run(setup);
    std::string error;
    EXPECT_TRUE(Runner.EnsureStarted(error)) << error;
  }
  void Run(const std::string& script) {
    std::string error;
    ASSERT_EQ(Runner.Run(script, error), 0) << error;
  }
  TMForm& F() { return *Runner.Form; }
  TFormState& S() { return Runner.State(); }
  int CountSounds(const std::string& op, int index) const {
    int n = 0;
    for (const auto& e : Runner.Headless.Audio.Log) n += e.Op == op && e.Index == index;
    return n;
  }
};

}  // namespace zw::test
