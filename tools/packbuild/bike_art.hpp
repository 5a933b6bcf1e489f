// The five superbikes as seen from above: one drawing shared by the race pictures and the
// bike-selection showcase, so a model looks the same on the menu and on the road.
#pragma once

#include "tools/packbuild/canvas.hpp"

namespace zw::packbuild {

// The kind of machine a model is, which sets its whole shape seen from above.
enum class TBikeKind { Sport, Cruiser, Tourer, Naked, Supermoto };

// How a model tells itself apart: its kind, its colours and how wide its bars reach (the
// best-handling bike has the widest bars, for the most leverage).
struct TBikeLook {
  TBikeKind Kind;
  TColour Body, Trim, Suit;
  double BarHalf;  // half the handlebar's span, as a share of the picture's width
};

const TBikeLook& BikeLook(int model);

TColour Lighter(const TColour& c, double k);
TColour Darker(const TColour& c, double k);

// The bike with its rider, front up, centred on (cx, cy) in a box of w x h. `lean` runs -1 (full
// left) .. 1 (full right): the silhouette narrows and the rider hangs off to the inside. Without
// its rider (thrown in a crash) the empty seat shows.
void DrawBikeTop(TCanvas& c, double cx, double cy, double w, double h, int model, double lean,
                 bool withRider = true);

// A thrown rider seen from above, centred on (cx, cy), about `size` pixels from helmet to boots,
// turned by `spin` radians; `pose` runs 0 (curled up) .. 1 (limbs flung out).
void DrawTumblingRider(TCanvas& c, double cx, double cy, double size, double spin, double pose,
                       int model);

}  // namespace zw::packbuild
