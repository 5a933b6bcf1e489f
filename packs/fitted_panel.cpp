#include "packs/fitted_panel.hpp"

#include <algorithm>

namespace zw {

const TPictureItem* TFittedPanel::Get(int width, int height, const TPictureItem* panel, int x,
                                      const std::vector<const void*>& key,
                                      const std::function<void(TSurface&)>& fit) {
  std::vector<const void*> full = key;
  full.insert(full.end(), {panel, panel ? panel->Pixels.data() : nullptr});
  Made = !Keyed || full != Key || width != Width || height != Height || x != X;
  if (!Made) return Picture.get();
  Key = std::move(full);
  Keyed = true;
  Width = width;
  Height = height;
  X = x;
  Picture.reset();
  if (!panel || !panel->PatternOpaque(0) || width <= 0 || height <= 0 || x < 0 || x >= width)
    return nullptr;
  const TRect pr = panel->PatternRect(0);
  if (pr.Height() < height) return nullptr;
  const int right = std::min(x + pr.Width(), width);
  // Drawn on a surface the size of the race's own, so every fitting lands, and is cut at the
  // edges, as it is there; what the fittings touch must stay inside the panel's columns.
  TSurface s(width, height);
  panel->DrawPattern(s, x, 0, 0);
  const uint64_t record = s.RestartTouches();
  fit(s);
  if (!s.TouchesKnownSince(record)) return nullptr;
  for (int y = 0; y < height; y += TSurface::TouchBand) {
    const int from = s.TouchedFromColumn(y), to = s.TouchedToColumn(y);
    if (from < to && (from < x || to > right)) return nullptr;
  }
  Picture = std::make_unique<TPictureItem>();
  TPictureItem& p = *Picture;
  p.Name = panel->Name;
  p.Transparent = false;
  p.PictureWidth = right - x;
  p.PictureHeight = height;
  p.Pixels.reserve(static_cast<size_t>(p.PictureWidth) * height);
  for (int y = 0; y < height; ++y) p.Pixels.insert(p.Pixels.end(), s.Row(y) + x, s.Row(y) + right);
  p.Keyed.assign(p.Pixels.size(), 0);
  p.BuildPatterns();
  return Picture.get();
}

}  // namespace zw
