// Contact sheets: patterns laid out in rows on a grey checker, each labelled "item.pattern".
#include "tools/packtool/sheet.hpp"

#include <algorithm>

#include "tools/common/png.hpp"

namespace zw {

namespace {

// A 3 x 5 digit font for the labels.
constexpr uint16_t Digits[11] = {0x7B6F, 0x2492, 0x73E7, 0x73CF, 0x5BC9, 0x79CF,
                                 0x79EF, 0x7249, 0x7BEF, 0x7BCF, 0x0008};

void Label(std::vector<uint32_t>& img, int w, int x, int y, const std::string& text) {
  for (char ch : text) {
    const int d = ch == '.' ? 10 : ch - '0';
    if (d < 0 || d > 10) continue;
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 3; ++c)
        if (Digits[d] & (1 << (14 - (r * 3 + c))))
          for (int s = 0; s < 4; ++s) {
            const int px = x + c * 2 + (s & 1), py = y + r * 2 + (s >> 1);
            if (px >= 0 && px < w && py >= 0 && static_cast<size_t>(py) * w + px < img.size())
              img[static_cast<size_t>(py) * w + px] = 0xFFFFFF40;
          }
    x += 8;
  }
}

}  // namespace

bool WriteContactSheet(const TImageList& list, const std::string& out) {
  constexpr int SheetWidth = 1400, Pad = 6, LabelH = 14;
  struct Cell {
    int Item, Pattern, X, Y, W, H;
  };
  std::vector<Cell> cells;
  int x = Pad, y = Pad, rowH = 0;
  for (int i = 0; i < list.Count(); ++i) {
    const TPictureItem& p = *list.Item(i);
    for (int k = 0; k < p.PatternCount(); ++k) {
      const TRect r = p.PatternRect(k);
      const int w = std::max(r.Width(), 40), h = r.Height() + LabelH;
      if (x + w + Pad > SheetWidth && x > Pad) {
        x = Pad;
        y += rowH + Pad;
        rowH = 0;
      }
      cells.push_back(Cell{i, k, x, y, r.Width(), r.Height()});
      x += w + Pad;
      rowH = std::max(rowH, h);
    }
  }
  const int height = std::max(y + rowH + Pad, 16);
  std::vector<uint32_t> img(static_cast<size_t>(SheetWidth) * height, 0xFF202428);
  for (const Cell& c : cells) {
    const TPictureItem& p = *list.Item(c.Item);
    const TRect r = p.PatternRect(c.Pattern);
    for (int yy = 0; yy < c.H; ++yy)
      for (int xx = 0; xx < c.W; ++xx) {
        const int px = r.Left + xx, py = r.Top + yy;
        const int dx = c.X + xx, dy = c.Y + LabelH + yy;
        if (dx >= SheetWidth || dy >= height || px >= p.PictureWidth || py >= p.PictureHeight)
          continue;
        const size_t si = static_cast<size_t>(py) * p.PictureWidth + px;
        uint32_t colour = ((xx / 6 + yy / 6) & 1) ? 0xFF505860 : 0xFF404850;  // see-through
        if (!(p.Transparent && p.Keyed[si])) {
          uint8_t cr, cg, cb;
          Rgb565ToRgb(p.Pixels[si], cr, cg, cb);
          colour = 0xFF000000u | (cr << 16) | (cg << 8) | cb;
        }
        img[static_cast<size_t>(dy) * SheetWidth + dx] = colour;
      }
    Label(img, SheetWidth, c.X, c.Y + 2, std::to_string(c.Item) + "." + std::to_string(c.Pattern));
  }
  return WritePng(out, SheetWidth, height, img);
}

}  // namespace zw
