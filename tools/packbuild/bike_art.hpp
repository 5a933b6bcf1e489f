// The five superbikes as seen from above: one drawing shared by the race pictures and the
// bike-selection showcase, so a model looks the same on the menu and on the road.
#pragma once

#include "tools/packbuild/canvas.hpp"

namespace zw::packbuild {

// How a model tells itself apart: its colours, the cut of its fairing and its stripes.
struct TBikeLook {
  TColour Body, Trim, Suit;
  double FairingWidth;  // half width of the fairing, as a share of the picture's width
  double NosePoint;     // 0 a blunt round nose .. 1 a sharp beak
  double TailLength;    // how far the seat cowl runs back, share of the height
  int Stripes;          // 0 side flashes, 1 one centre stripe, 2 twin stripes
  bool TwinLights;      // two headlights in the nose, else one
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
