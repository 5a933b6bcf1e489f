// A side panel with the pictures that stand on it at the same place every frame already laid in.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "packs/picture.hpp"

namespace zw {

// The race's right panel carries fittings drawn over it at the same place every frame: the
// rider's bike, large, in the bay, and the radar's frame. Laid into one opaque picture with the
// panel, they stand with it: the panel is copied again only where something else went over it,
// and the fittings are not drawn at all, where drawing them each frame both cost their own
// drawing and made the panel under them count as drawn over.
class TFittedPanel {
 public:
  // The picture of pattern 0 of `panel` drawn at (x, 0) on a `width` x `height` surface, then
  // `fit` drawing the fittings over it on that surface: as one picture of the columns the panel
  // covers, to draw at (x, 0). Made again only when `key` (the pictures the fittings draw, and
  // their pixels) differs from the last call's. nullptr when there is no opaque panel the
  // surface's full height, or a fitting draws outside the panel: those are drawn as they are.
  const TPictureItem* Get(int width, int height, const TPictureItem* panel, int x,
                          const std::vector<const void*>& key,
                          const std::function<void(TSurface&)>& fit);
  // True when the last Get made the picture again: one drawn before holds other pixels now.
  bool Remade() const { return Made; }
  // What the last Get answered.
  const TPictureItem* Current() const { return Picture.get(); }

 private:
  std::unique_ptr<TPictureItem> Picture;  // null when the fittings do not fit
  std::vector<const void*> Key;           // with the panel and its pixels
  int Width = 0, Height = 0, X = 0;
  bool Keyed = false;  // Key holds a call's key
  bool Made = false;
};

}  // namespace zw
