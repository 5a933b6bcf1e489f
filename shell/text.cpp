// Font styles, the text operations of the form, and the FreeType rasteriser behind them.
#include "shell/text.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "shell/form_state.hpp"

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
  // For the banner styles: the coverage grown by GlyphGrow pixels, the most of the coverage within
  // a small disc around each pixel, (Width + 2 GlyphGrow) x (Rows + 2 GlyphGrow). Growing it anew
  // for the rim and the shadow of every glyph every frame was most of a banner frame's cost.
  std::vector<unsigned char> Grown;
};

namespace {

constexpr int GlyphGrow = 2;

// One coverage map of w x h to blend with its top left at (X, Y), in one colour at `Opacity`.
struct TStamp {
  const unsigned char* Cover;
  int W, H, X, Y;
  uint8_t R, G, B;
  unsigned Opacity;
};

// The banner styles (the big red lines over the road and the yellow lines of the panels' big
// news) sit over busy asphalt, bikes and kerbs: they get a dark rim and a drop shadow so they
// read over anything, in their own colour, at their own place and size.
bool HasBannerEdge(int style) {
  return style == 5 || style == 9;
}

// The grown coverage of a glyph: each pixel of the widened box takes the most coverage of the
// glyph's pixels within the disc of radius GlyphGrow (corners of the square left out).
std::vector<unsigned char> GrowCoverage(const TCachedGlyph& glyph) {
  const int w = glyph.Width + 2 * GlyphGrow, h = glyph.Rows + 2 * GlyphGrow;
  std::vector<unsigned char> grown(static_cast<size_t>(w) * h, 0);
  for (int row = -GlyphGrow; row < glyph.Rows + GlyphGrow; ++row)
    for (int col = -GlyphGrow; col < glyph.Width + GlyphGrow; ++col) {
      unsigned char a = 0;
      for (int oy = -GlyphGrow; oy <= GlyphGrow; ++oy)
        for (int ox = -GlyphGrow; ox <= GlyphGrow; ++ox) {
          const int sr = row + oy, sc = col + ox;
          if (ox * ox + oy * oy > GlyphGrow * GlyphGrow + 1 || sr < 0 || sr >= glyph.Rows ||
              sc < 0 || sc >= glyph.Width)
            continue;
          a = std::max(a, glyph.Alpha[static_cast<size_t>(sr) * glyph.Width + sc]);
        }
      grown[static_cast<size_t>(row + GlyphGrow) * w + (col + GlyphGrow)] = a;
    }
  return grown;
}

}  // namespace

struct TFontRenderer::Impl {
  FT_Library Lib = nullptr;
  // Every glyph of a style is loaded once: the head-up display redraws the same few characters
  // every frame, and rasterising them anew each time was most of a race frame's cost. Keyed by
  // style, whether rendered, and glyph index.
  std::map<uint64_t, TCachedGlyph> Glyphs;
  const TCachedGlyph& Glyph(int style, FT_Face face, FT_UInt index, bool render);
  // A line of text as laid out once: each glyph with its pen position (26.6) from the line's
  // start, kerning included, and the line's advance. The head-up display lays out the same few
  // lines every frame; walking them glyph by glyph through the glyph cache and the font's kerning
  // each time cost more than drawing them. Keyed by style, whether rendered, and the text.
  struct TLaidGlyph {
    const TCachedGlyph* Glyph;
    long Pen;
  };
  struct TLine {
    std::vector<TLaidGlyph> Glyphs;
    long Advance = 0;
  };
  std::unordered_map<std::string, TLine> Lines;
  const TLine& Line(int style, FT_Face face, const std::string& s, bool render);
  // A line as last drawn at one place: the head-up display draws the same few lines at the same
  // places frame after frame, over panel pixels that are copied back unchanged in between, and
  // blending every glyph anew was a tenth of a race frame. Blending is a matter of the pixels
  // under the line alone, so where they are the ones the line was last blended over, the pixels
  // it left then are the pixels it would leave now, and they are copied back instead. Box is the
  // line's box on the surface; Touched, the spans the glyphs' blends reported.
  struct TDrawnLine {
    int Style = 0, X = 0, Y = 0, SurfaceWidth = 0, SurfaceHeight = 0;
    std::string Text;
    TRect Box;
    std::vector<TRect> Touched;
    std::vector<uint16_t> Before, After;  // the box's pixels, row after row
  };
  static constexpr size_t MaxDrawnLines = 16;
  static constexpr int64_t MaxDrawnBox = 32768;  // pixels; bigger lines are blended every time
  std::vector<TDrawnLine> DrawnLines;
  std::vector<TStamp> Stamps;  // scratch for Draw
  size_t NextDrawnLine = 0;    // the one a new place takes once all are in use
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
    // Only the fonts the game ships: a font the machine happens to have installed would draw
    // other pixels, and the same game must look the same everywhere.
    const std::string path = ShippedFace(fs.Face, fs.Bold);
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
      if (HasBannerEdge(style)) g.Grown = GrowCoverage(g);
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

const TFontRenderer::Impl::TLine& TFontRenderer::Impl::Line(int style, FT_Face face,
                                                            const std::string& s, bool render) {
  std::string key(2, '\0');
  key[0] = static_cast<char>(style);
  key[1] = render ? 1 : 0;
  key += s;
  auto it = Lines.find(key);
  if (it != Lines.end()) return it->second;
  // Lines that come and go (a clock, a score) would pile up without end: start afresh instead.
  if (Lines.size() >= 2048) Lines.clear();
  TLine line;
  auto glyphOf = [&](FT_UInt g) -> const TCachedGlyph& { return Glyph(style, face, g, render); };
  line.Advance = WalkGlyphs(face, s, 0, glyphOf, [&](const TCachedGlyph& glyph, long pen) {
    line.Glyphs.push_back(TLaidGlyph{&glyph, pen});
  });
  return Lines.emplace(std::move(key), std::move(line)).first->second;
}

int TFontRenderer::Width(int style, const std::string& s) {
  FT_Face face = P->Face(style);
  if (!face) return 0;
  return static_cast<int>((P->Line(style, face, s, false).Advance + 32) >> 6);
}

int TFontRenderer::Height(int style) {
  FT_Face face = P->Face(style);
  if (!face) return 0;
  return static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender + 32) >> 6);
}

namespace {

// Eight 16-bit lanes, one vector register of any x86-64 (the compiler splits them elsewhere).
typedef uint16_t TLanes __attribute__((vector_size(16)));
typedef uint8_t TCoverLanes __attribute__((vector_size(8)));
constexpr int LaneCount = 8;

// x / 255 rounded down, exact for every x up to 65152 (255 * 255 + 127), the most a blend reaches.
inline TLanes Div255(TLanes x) {
  return (x + 1 + (x >> 8)) >> 8;
}

// Eight pixels, each blended with one colour at its own coverage (0..255): every channel widened
// to 8 bits, mixed as f * a + d * (255 - a) rounded to nearest, narrowed back to 16 bits. No pixel
// is singled out: coverage 0 gives the pixel back as it was, coverage 255 the colour itself, so
// the whole row of a glyph is blended without a branch a pixel.
inline TLanes BlendLanes(TLanes px, TLanes a, uint16_t R, uint16_t G, uint16_t B) {
  const TLanes r5 = px >> 11, g6 = (px >> 5) & 63, b5 = px & 31;
  const TLanes r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
  const TLanes inv = 255 - a;
  const TLanes mr = Div255(R * a + r * inv + 127);
  const TLanes mg = Div255(G * a + g * inv + 127);
  const TLanes mb = Div255(B * a + b * inv + 127);
  return ((mr >> 3) << 11) | ((mg >> 2) << 5) | (mb >> 3);
}

// Blends n pixels (at most LaneCount) at their coverages, scaled by `opacity` when below 255.
inline void BlendRun(uint16_t* line, const unsigned char* cover, int n, uint16_t R, uint16_t G,
                     uint16_t B, unsigned opacity) {
  TLanes px{};
  TCoverLanes c8{};
  if (n == LaneCount) {  // whole lanes move in one load each
    std::memcpy(&px, line, sizeof px);
    std::memcpy(&c8, cover, sizeof c8);
  } else {
    std::memcpy(&px, line, static_cast<size_t>(n) * 2);
    std::memcpy(&c8, cover, static_cast<size_t>(n));
  }
  TLanes a = __builtin_convertvector(c8, TLanes);
  if (opacity != 255) a = Div255(a * static_cast<uint16_t>(opacity));
  px = BlendLanes(px, a, R, G, B);
  if (n == LaneCount)
    std::memcpy(line, &px, sizeof px);
  else
    std::memcpy(line, &px, static_cast<size_t>(n) * 2);
}

// The surface pixels a stamp covers: empty when it lies off the surface.
TRect StampRect(const TSurface& dest, const TStamp& st) {
  return TRect{st.X + std::max(0, -st.X), st.Y + std::max(0, -st.Y),
               st.X + std::min(st.W, dest.Width - st.X), st.Y + std::min(st.H, dest.Height - st.Y)};
}

// Blends a stamp, clipped to the surface.
void StampCoverage(TSurface& dest, const TStamp& st) {
  const int c0 = std::max(0, -st.X), c1 = std::min(st.W, dest.Width - st.X);
  const int r0 = std::max(0, -st.Y), r1 = std::min(st.H, dest.Height - st.Y);
  dest.Touch(StampRect(dest, st));
  for (int row = r0; row < r1; ++row) {
    uint16_t* line = dest.Row(st.Y + row) + st.X;
    const unsigned char* src = st.Cover + static_cast<long>(row) * st.W;
    for (int col = c0; col < c1; col += LaneCount)
      BlendRun(line + col, src + col, std::min(LaneCount, c1 - col), st.R, st.G, st.B, st.Opacity);
  }
}

// Copies the pixels of `box` (inside the surface) out to `to`, row after row.
void SaveBox(const TSurface& s, const TRect& box, std::vector<uint16_t>& to) {
  const size_t w = static_cast<size_t>(box.Width());
  to.resize(w * static_cast<size_t>(box.Height()));
  for (int y = box.Top; y < box.Bottom; ++y)
    std::memcpy(to.data() + (y - box.Top) * w, s.Row(y) + box.Left, w * 2);
}

bool BoxHolds(const TSurface& s, const TRect& box, const std::vector<uint16_t>& pixels) {
  const size_t w = static_cast<size_t>(box.Width());
  if (pixels.size() != w * static_cast<size_t>(box.Height())) return false;
  for (int y = box.Top; y < box.Bottom; ++y)
    if (std::memcmp(pixels.data() + (y - box.Top) * w, s.Row(y) + box.Left, w * 2) != 0)
      return false;
  return true;
}

}  // namespace

void TFontRenderer::Draw(TSurface& dest, int style, const std::string& s, int x, int y) {
  FT_Face face = P->Face(style);
  if (!face) return;
  const TFontStyle& fs = FontStyles[style < 1 || style > 24 ? 1 : style];
  const int baseline = y + static_cast<int>((face->size->metrics.ascender + 32) >> 6);
  const long start = static_cast<long>(x) << 6;
  const Impl::TLine& line = P->Line(style, face, s, true);
  // The stamps in the order they go down.
  std::vector<TStamp>& stamps = P->Stamps;
  stamps.clear();
  if (HasBannerEdge(style)) {
    // Every glyph's shadow and rim go down before any fill, so no rim cuts into a neighbour.
    auto edge = [&](int dx, int dy, uint8_t r, uint8_t g, uint8_t b, unsigned opacity) {
      for (const Impl::TLaidGlyph& laid : line.Glyphs) {
        const TCachedGlyph& glyph = *laid.Glyph;
        if (glyph.Grown.empty()) continue;
        stamps.push_back(
            TStamp{glyph.Grown.data(), glyph.Width + 2 * GlyphGrow, glyph.Rows + 2 * GlyphGrow,
                   static_cast<int>((start + laid.Pen + 32) >> 6) + glyph.Left + dx - GlyphGrow,
                   baseline - glyph.Top + dy - GlyphGrow, r, g, b, opacity});
      }
    };
    edge(2, 3, 0, 0, 0, 150);
    edge(0, 0, fs.R / 6, fs.G / 6, fs.B / 6, 255);
  }
  for (const Impl::TLaidGlyph& laid : line.Glyphs) {
    const TCachedGlyph& glyph = *laid.Glyph;
    stamps.push_back(TStamp{glyph.Alpha.data(), glyph.Width, glyph.Rows,
                            static_cast<int>((start + laid.Pen + 32) >> 6) + glyph.Left,
                            baseline - glyph.Top, fs.R, fs.G, fs.B, 255});
  }
  TRect box{};
  for (const TStamp& st : stamps) {
    const TRect r = StampRect(dest, st);
    if (r.Empty()) continue;
    box = box.Empty() ? r
                      : TRect{std::min(box.Left, r.Left), std::min(box.Top, r.Top),
                              std::max(box.Right, r.Right), std::max(box.Bottom, r.Bottom)};
  }
  if (box.Empty()) return;  // nothing of it lands on the surface
  if (int64_t{box.Width()} * box.Height() > Impl::MaxDrawnBox) {
    for (const TStamp& st : stamps) StampCoverage(dest, st);
    return;
  }
  // The line last drawn at this place, or the place a new one takes.
  Impl::TDrawnLine* drawn = nullptr;
  for (Impl::TDrawnLine& d : P->DrawnLines)
    if (d.Style == style && d.X == x && d.Y == y && d.SurfaceWidth == dest.Width &&
        d.SurfaceHeight == dest.Height) {
      drawn = &d;
      break;
    }
  if (drawn && drawn->Text == s && drawn->Box == box && BoxHolds(dest, box, drawn->Before)) {
    for (const TRect& r : drawn->Touched) dest.Touch(r);
    const size_t w = static_cast<size_t>(box.Width());
    for (int row = box.Top; row < box.Bottom; ++row)
      std::memcpy(dest.Row(row) + box.Left, drawn->After.data() + (row - box.Top) * w, w * 2);
    return;
  }
  if (!drawn) {
    if (P->DrawnLines.size() < Impl::MaxDrawnLines) {
      drawn = &P->DrawnLines.emplace_back();
    } else {
      drawn = &P->DrawnLines[P->NextDrawnLine];
      P->NextDrawnLine = (P->NextDrawnLine + 1) % Impl::MaxDrawnLines;
    }
    drawn->Style = style;
    drawn->X = x;
    drawn->Y = y;
    drawn->SurfaceWidth = dest.Width;
    drawn->SurfaceHeight = dest.Height;
  }
  drawn->Text = s;
  drawn->Box = box;
  drawn->Touched.clear();
  SaveBox(dest, box, drawn->Before);
  for (const TStamp& st : stamps) {
    StampCoverage(dest, st);
    const TRect r = StampRect(dest, st);
    if (!r.Empty()) drawn->Touched.push_back(r);
  }
  SaveBox(dest, box, drawn->After);
}

// --- The form's text operations ---

void TFormState::SelectFont(int n) {
  CurrentFontStyle = (n >= 1 && n <= 24) ? n : 1;
}

int TFormState::TextWidth(const std::string& s) {
  return Fonts->Width(CurrentFontStyle, s);
}

int TFormState::TextHeight(const std::string&) {
  return Fonts->Height(CurrentFontStyle);
}

int TFormState::TextWidthInFont(const std::string& s, int n) {
  SelectFont(n);
  return TextWidth(s);
}

void TFormState::DrawText(const std::string& s, int x, int y, bool centreX, bool centreY) {
  if (SkipDrawing) return;
  if (centreX) x = static_cast<int>(std::trunc(x - TextWidth(s) / 2.0));
  if (centreY) y = static_cast<int>(std::trunc(y - TextHeight(s) / 2.0));
  if (TextLog) TextLog->push_back({CurrentFontStyle, s, x, y});
  Fonts->Draw(MDisplay, CurrentFontStyle, s, x, y);
}

}  // namespace zw
