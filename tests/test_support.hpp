// Helpers shared by the tests: a form on the headless platform, run inside the run-time folder.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/headless/headless.hpp"
#include "shell/form.hpp"
#include "shell/runner.hpp"

namespace zw::test {

// A fresh form over its own headless platform, not started.
struct TFormFixture {
  THeadlessPlatform Headless;
  std::unique_ptr<TMForm> Form = std::make_unique<TMForm>(Headless.Platform);
  TFormFixture() { Headless.Audio.FrameCounter = &Form->Timing.FrameNumber; }
  void Frames(int n, int ms) {
    for (int i = 0; i < n; ++i) {
      Headless.Clock.Now += static_cast<uint64_t>(ms);
      RunOneFrame(*Form, ms);
    }
  }
};

// Runs a test body inside a scratch copy of the run-time folder's Data, so saved files written by
// one test never reach another.
class TRunDir {
 public:
  TRunDir();
  ~TRunDir();
  std::filesystem::path Path;

 private:
  std::filesystem::path Old;
};

}  // namespace zw::test
