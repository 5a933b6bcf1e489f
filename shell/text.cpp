// Font styles, the text operations of the form, and the FreeType rasteriser behind them.
#include "shell/text.hpp"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "shell/form.hpp"

namespace zw {

const TFontStyle FontStyles[25] = {
    {"BancoDi", 30, 255, 222, 0, false},  // 0: unused
    {"BancoDi", 30, 255, 222, 0, false},   {"BancoDi", 18, 255, 222, 0, false},
    {"BancoDi", 24, 255, 222, 0, false},   {"BancoDi", 28, 0, 0, 0, true},
    {"BancoDi", 36, 244, 9, 9, false},     {"BancoDi", 16, 66, 252, 202, false},
    {"BancoDi", 20, 66, 252, 202, false},  {"BancoDi", 16, 255, 255, 255, false},
    {"BancoDi", 26, 255, 222, 0, false},   {"BancoDi", 26, 0, 255, 174, false},
    {"BancoDi", 24, 255, 222, 0, false},   {"BancoDi", 24, 255, 222, 0, false},
    {"BancoDi", 24, 0, 255, 174, false},   {"BancoDi", 24, 255, 222, 0, false},
    {"BancoDi", 78, 255, 242, 168, false}, {"BancoDi", 24, 191, 166, 0, false},
    {"BancoDi", 18, 255, 222, 0, false},   {"BancoDi", 22, 66, 252, 202, false},
    {"BancoDi", 28, 255, 242, 168, false}, {"BancoDi", 14, 255, 242, 168, false},
    {"BancoDi", 15, 255, 242, 168, false}, {"Courier", 14, 0, 255, 0, false},
    {"BancoDi", 20, 255, 242, 168, false}, {"BancoDi", 14, 66, 252, 202, false},
};

namespace {

// The installed file of a family, only when the system has that very family.
std::string InstalledFamily(const char* family, bool bold) {
  std::string found;
  if (!FcInit()) return found;
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* match = FcFontMatch(nullptr, pat, &res);
  if (match) {
    FcChar8* fam = nullptr;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        std::string(reinterpret_cast<char*>(fam)) == family)
      found = reinterpret_cast<char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pat);
  return found;
}

std::string ShippedFace(const char* family, bool bold) {
  if (std::string(family) == "Courier") return "Data/Fonts/LiberationMono-Regular.ttf";
  return bold ? "Data/Fonts/BebasNeue-Bold.otf" : "Data/Fonts/BebasNeue-Regular.otf";
}

}  // namespace

// A glyph as one load left it: its advance and, for a rendered one, its coverage bitmap.
struct TCachedGlyph {
  bool Loaded = false;
  long AdvanceX = 0;  // 26.6
  int Left = 0, Top = 0, Width = 0, Rows = 0;
  std::vector<unsigned char> Alpha;  // Width x Rows, row after row
};

struct TFontRenderer::Impl {
  FT_Library Lib = nullptr;
  // Every glyph of a style is loaded once: the head-up display redraws the same few characters
  // every frame, and rasterising them anew each time was most of a race frame's cost. Keyed by
  // style, whether rendered, and glyph index.
  std::map<uint64_t, TCachedGlyph> Glyphs;
  const TCachedGlyph& Glyph(int style, FT_Face face, FT_UInt index, bool render);
  // One face per style, sized once.
  std::map<int, FT_Face> Faces;
  bool Missing[25] = {};

  ~Impl() {
    for (auto& [k, f] : Faces) FT_Done_Face(f);
    if (Lib) FT_Done_FreeType(Lib);
  }

  FT_Face Face(int style) {
    if (style < 1 || style > 24) style = 1;
    auto it = Faces.find(style);
    if (it != Faces.end()) return it->second;
    if (Missing[style] || !Lib) return nullptr;
    const TFontStyle& fs = FontStyles[style];
    std::string path = InstalledFamily(fs.Face, fs.Bold);
    if (path.empty()) path = ShippedFace(fs.Face, fs.Bold);
    FT_Face face = nullptr;
    if (FT_New_Face(Lib, path.c_str(), 0, &face) != 0) {
      Missing[style] = true;
      return nullptr;
    }
    // Points at the desktop's 96 pixels an inch.
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::lround(fs.Size * 96.0 / 72.0)));
    Faces[style] = face;
    return face;
  }
};

const TCachedGlyph& TFontRenderer::Impl::Glyph(int style, FT_Face face, FT_UInt index,
                                               bool render) {
  const uint64_t key = (static_cast<uint64_t>(style) << 33) | (uint64_t{render} << 32) | index;
  auto it = Glyphs.find(key);
  if (it != Glyphs.end()) return it->second;
  TCachedGlyph g;
  if (FT_Load_Glyph(face, index, render ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) == 0) {
    const FT_GlyphSlot slot = face->glyph;
    g.Loaded = true;
    g.AdvanceX = slot->advance.x;
    if (render) {
      const FT_Bitmap& bm = slot->bitmap;
      g.Left = slot->bitmap_left;
      g.Top = slot->bitmap_top;
      g.Width = static_cast<int>(bm.width);
      g.Rows = static_cast<int>(bm.rows);
      g.Alpha.resize(static_cast<size_t>(g.Width) * g.Rows);
      for (int row = 0; row < g.Rows; ++row)
        std::copy_n(bm.buffer + static_cast<long>(row) * bm.pitch, g.Width,
                    g.Alpha.begin() + static_cast<long>(row) * g.Width);
    }
  }
  return Glyphs.emplace(key, std::move(g)).first->second;
}

TFontRenderer::TFontRenderer() : P(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&P->Lib) != 0) P->Lib = nullptr;
}

TFontRenderer::~TFontRenderer() = default;

namespace {

// Decodes one UTF-8 character; bytes that are not valid UTF-8 stand for themselves.
uint32_t NextChar(const std::string& s, size_t& i) {
  const auto c = static_cast<unsigned char>(s[i++]);
  if (c < 0x80) return c;
  int extra = (c >= 0xF0) ? 3 : (c >= 0xE0) ? 2 : (c >= 0xC0) ? 1 : 0;
  uint32_t cp = c & (0x3F >> extra);
  size_t start = i;
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      i = start;
      return c;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

}  // namespace

// Walks the glyphs of a line with kerning, handing each loaded glyph (from `glyphOf`) and its pen
// position (26.6) to `each`; answers the line's advance.
template <typename L, typename F>
long WalkGlyphs(FT_Face face, const std::string& s, long pen, L&& glyphOf, F&& each) {
  FT_UInt prev = 0;
  for (size_t i = 0; i < s.size();) {
    const FT_UInt g = FT_Get_Char_Index(face, NextChar(s, i));
    if (prev && g && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, prev, g, FT_KERNING_DEFAULT, &k);
      pen += k.x;
    }
    prev = g;
    const TCachedGlyph& glyph = glyphOf(g);
    if (!glyph.Loaded) continue;
    each(glyph, pen);
    pen += glyph.AdvanceX;
  }
  return pen;
}

int TFontRenderer::Width(int style, const std::string& s) {
  FT_Face face = P->Face(style);
  if (!face) return 0;
  auto glyphOf = [&](FT_UInt g) -> const TCachedGlyph& { return P->Glyph(style, face, g, false); };
  const long adv = WalkGlyphs(face, s, 0, glyphOf, [](const TCachedGlyph&, long) {});
  return static_cast<int>((adv + 32) >> 6);
}

int TFontRenderer::Height(int style) {
  FT_Face face = P->Face(style);
  if (!face) return 0;
  return static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender + 32) >> 6);
}

namespace {

// The banner styles (the big red lines over the road and the yellow lines of the panels' big
// news) sit over busy asphalt, bikes and kerbs: they get a dark rim and a drop shadow so they
// read over anything, in their own colour, at their own place and size.
bool HasBannerEdge(int style) {
  return style == 5 || style == 9;
}

// Stamps a glyph's coverage grown by two pixels, in one colour at `opacity`, offset by (dx, dy).
void StampGrownGlyph(TSurface& dest, const TCachedGlyph& glyph, int gx, int gy, uint8_t R,
                     uint8_t G, uint8_t B, unsigned opacity) {
  constexpr int Grow = 2;
  for (int row = -Grow; row < glyph.Rows + Grow; ++row) {
    const int py = gy + row;
    if (py < 0 || py >= dest.Height) continue;
    uint16_t* line = dest.Row(py);
    for (int col = -Grow; col < glyph.Width + Grow; ++col) {
      const int px = gx + col;
      if (px < 0 || px >= dest.Width) continue;
      unsigned a = 0;
      for (int oy = -Grow; oy <= Grow; ++oy)
        for (int ox = -Grow; ox <= Grow; ++ox) {
          const int sr = row + oy, sc = col + ox;
          if (ox * ox + oy * oy > Grow * Grow + 1 || sr < 0 || sr >= glyph.Rows || sc < 0 ||
              sc >= glyph.Width)
            continue;
          a = std::max<unsigned>(a, glyph.Alpha[static_cast<size_t>(sr) * glyph.Width + sc]);
        }
      a = a * opacity / 255;
      if (a == 0) continue;
      uint8_t r, g, b;
      Rgb565ToRgb(line[px], r, g, b);
      auto mix = [a](unsigned f, unsigned d) {
        return static_cast<uint8_t>((f * a + d * (255 - a) + 127) / 255);
      };
      line[px] = Rgb565(mix(R, r), mix(G, g), mix(B, b));
    }
  }
}

}  // namespace

void TFontRenderer::Draw(TSurface& dest, int style, const std::string& s, int x, int y) {
  FT_Face face = P->Face(style);
  if (!face) return;
  const TFontStyle& fs = FontStyles[style < 1 || style > 24 ? 1 : style];
  const int baseline = y + static_cast<int>((face->size->metrics.ascender + 32) >> 6);
  const long start = static_cast<long>(x) << 6;
  auto glyphOf = [&](FT_UInt g) -> const TCachedGlyph& { return P->Glyph(style, face, g, true); };
  if (HasBannerEdge(style)) {
    // Every glyph's shadow and rim go down before any fill, so no rim cuts into a neighbour.
    auto edge = [&](int dx, int dy, uint8_t r, uint8_t g, uint8_t b, unsigned opacity) {
      WalkGlyphs(face, s, start, glyphOf, [&](const TCachedGlyph& glyph, long pen) {
        StampGrownGlyph(dest, glyph, static_cast<int>((pen + 32) >> 6) + glyph.Left + dx,
                        baseline - glyph.Top + dy, r, g, b, opacity);
      });
    };
    edge(2, 3, 0, 0, 0, 150);
    edge(0, 0, fs.R / 6, fs.G / 6, fs.B / 6, 255);
  }
  WalkGlyphs(face, s, start, glyphOf, [&](const TCachedGlyph& glyph, long pen) {
    const int gx = static_cast<int>((pen + 32) >> 6) + glyph.Left;
    const int gy = baseline - glyph.Top;
    for (int row = 0; row < glyph.Rows; ++row) {
      const int py = gy + row;
      if (py < 0 || py >= dest.Height) continue;
      uint16_t* line = dest.Row(py);
      const unsigned char* src = glyph.Alpha.data() + static_cast<long>(row) * glyph.Width;
      for (int col = 0; col < glyph.Width; ++col) {
        const int px = gx + col;
        const unsigned a = src[col];
        if (a == 0 || px < 0 || px >= dest.Width) continue;
        uint8_t r, g, b;
        Rgb565ToRgb(line[px], r, g, b);
        auto mix = [a](unsigned f, unsigned d) {
          return static_cast<uint8_t>((f * a + d * (255 - a) + 127) / 255);
        };
        line[px] = Rgb565(mix(fs.R, r), mix(fs.G, g), mix(fs.B, b));
      }
    }
  });
}

// --- The form's text operations ---

void TMForm::SelectFont(int n) {
  CurrentFontStyle = (n >= 1 && n <= 24) ? n : 1;
}

int TMForm::TextWidth(const std::string& s) {
  return Fonts->Width(CurrentFontStyle, s);
}

int TMForm::TextHeight(const std::string&) {
  return Fonts->Height(CurrentFontStyle);
}

int TMForm::TextWidthInFont(const std::string& s, int n) {
  SelectFont(n);
  return TextWidth(s);
}

void TMForm::DrawText(const std::string& s, int x, int y, bool centreX, bool centreY) {
  if (centreX) x = static_cast<int>(std::trunc(x - TextWidth(s) / 2.0));
  if (centreY) y = static_cast<int>(std::trunc(y - TextHeight(s) / 2.0));
  if (TextLog) TextLog->push_back({CurrentFontStyle, s, x, y});
  Fonts->Draw(MDisplay, CurrentFontStyle, s, x, y);
}

}  // namespace zw
