// Helpers shared by the tests: a form on the headless platform, run inside the run-time folder.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/headless/headless.hpp"

namespace zw {
class TMForm;
class TFormState;
}  // namespace zw

namespace zw::test {

// A fresh form over its own headless platform, not started.
struct TFormFixture {
  THeadlessPlatform Headless;
  std::unique_ptr<TMForm> Form;
  TFormFixture();
  ~TFormFixture();
  // The form's state, for a test that reads or sets no more than that.
  TFormState& State();
  void Frames(int n, int ms);
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
