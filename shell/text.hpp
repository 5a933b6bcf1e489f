// Text in the game's 24 font styles, rasterised into the 16-bit surface.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/surface.hpp"

namespace zw {

struct TFontStyle {
  const char* Face;
  int Size;  // points
  uint8_t R, G, B;
  bool Bold;
};

// FontStyles[1..24]; entry 0 is unused.
extern const TFontStyle FontStyles[25];

// Measures and draws text with FreeType: the display face "BancoDi" where the system has it,
// else the shipped arcade face; "Courier" likewise, else the shipped monospace.
class TFontRenderer {
 public:
  TFontRenderer();
  ~TFontRenderer();
  TFontRenderer(const TFontRenderer&) = delete;
  TFontRenderer& operator=(const TFontRenderer&) = delete;

  int Width(int style, const std::string& s);
  int Height(int style);
  void Draw(TSurface& dest, int style, const std::string& s, int x, int y);

 private:
  struct Impl;
  std::unique_ptr<Impl> P;
};

}  // namespace zw
