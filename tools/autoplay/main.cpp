// zapwheely-autoplay SCRIPT: runs the real game headless from a script of keys, frames and dumps.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/autoplay/script.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zapwheely-autoplay SCRIPT\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "zapwheely-autoplay: cannot open %s\n", argv[1]);
    return 2;
  }
  std::stringstream text;
  text << in.rdbuf();
  zw::TScriptRunner runner;
  std::string error;
  const int status = runner.Run(text.str(), error);
  if (status != 0) std::fprintf(stderr, "zapwheely-autoplay: %s\n", error.c_str());
  return status;
}
