// The scratch run-time folders of the tests.
#include "tests/test_support.hpp"

#include <unistd.h>

#include <atomic>
#include <string>

#include "shell/form.hpp"
#include "shell/runner.hpp"

namespace zw::test {

TFormFixture::TFormFixture() : Form(std::make_unique<TMForm>(Headless.Platform)) {
  Headless.Audio.FrameCounter = &Form->Timing.FrameNumber;
}

TFormFixture::~TFormFixture() = default;

TFormState& TFormFixture::State() {
  return *Form;
}

void TFormFixture::Frames(int n, int ms) {
  for (int i = 0; i < n; ++i) {
    Headless.Clock.Now += static_cast<uint64_t>(ms);
    RunOneFrame(*Form, ms);
  }
}

TRunDir::TRunDir() {
  static std::atomic<int> counter{0};
  Old = std::filesystem::current_path();
  Path = std::filesystem::temp_directory_path() /
         ("zw-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(Path);
  std::filesystem::create_directories(Path / "Data" / "Save");
  const std::filesystem::path run = ZW_RUN_DIR;
  std::error_code ec;
  for (const char* sub : {"Res", "Music", "Fonts"}) {
    // Links keep the scratch folder cheap; the packs are only read. Windows gives programs no
    // links without developer mode: a copy does there.
#ifdef _WIN32
    ec = std::make_error_code(std::errc::operation_not_supported);
#else
    std::filesystem::create_directory_symlink(run / "Data" / sub, Path / "Data" / sub, ec);
#endif
    if (ec) {
      ec.clear();
      std::filesystem::copy(run / "Data" / sub, Path / "Data" / sub,
                            std::filesystem::copy_options::recursive, ec);
    }
  }
  std::filesystem::current_path(Path);
}

TRunDir::~TRunDir() {
  std::error_code ec;
  std::filesystem::current_path(Old, ec);
  std::filesystem::remove_all(Path, ec);
}

}  // namespace zw::test
