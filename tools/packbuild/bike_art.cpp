// The five superbikes seen from above, with their riders, for the race and the showcase.
#include "tools/packbuild/bike_art.hpp"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace zw::packbuild {

namespace {

// Each model is true to its table: 1 a light red sport bike (quick to pick up speed), 2 the most
// powerful, a big blue cruiser with a huge tank that steers slowest, so its bars are the
// narrowest, 3 a yellow tourer with a broad fairing and cases (the best brakes), 4 a green naked
// bike with its engine bare, 5 an orange supermoto, the best handler, with the widest bars.
const TBikeLook Looks[6] = {
    {TBikeKind::Sport, pal::Black, pal::White, pal::Black, 0.30},
    {TBikeKind::Sport, {0.88, 0.10, 0.10}, pal::White, {0.16, 0.16, 0.20}, 0.34},
    {TBikeKind::Cruiser, {0.12, 0.38, 0.95}, {0.80, 0.84, 0.90}, {0.12, 0.16, 0.30}, 0.25},
    {TBikeKind::Tourer, {1.0, 0.78, 0.05}, {0.08, 0.08, 0.10}, {0.14, 0.14, 0.16}, 0.31},
    {TBikeKind::Naked, {0.10, 0.72, 0.25}, {0.06, 0.07, 0.08}, {0.10, 0.22, 0.12}, 0.29},
    {TBikeKind::Supermoto, {0.98, 0.48, 0.05}, pal::White, {0.18, 0.16, 0.16}, 0.48},
};

void Rgb(cairo_pattern_t* g, double at, const TColour& c) {
  cairo_pattern_add_color_stop_rgb(g, at, c.R, c.G, c.B);
}

// Fills the current path with a light falling from the upper left across a rounded body.
void Shade(cairo_t* cr, double x0, double x1, const TColour& c, double lightAt) {
  cairo_pattern_t* g = cairo_pattern_create_linear(x0, 0, x1, 0);
  Rgb(g, 0, Darker(c, 0.45));
  Rgb(g, std::clamp(lightAt, 0.1, 0.9), Lighter(c, 0.35));
  Rgb(g, 1, Darker(c, 0.40));
  cairo_set_source(cr, g);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(g);
}

void Outline(TCanvas& c, double width) {
  cairo_set_line_width(c.Cr, width);
  c.Colour(pal::Night, 0.9);
  cairo_stroke(c.Cr);
}

// A limb from (x0, y0) to (x1, y1): a round-capped stroke in the suit's colour with a light edge.
void Limb(TCanvas& c, double x0, double y0, double x1, double y1, double thick,
          const TColour& suit) {
  cairo_t* cr = c.Cr;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_set_line_width(cr, thick + 1.2);
  c.Colour(pal::Night, 0.9);
  cairo_stroke(cr);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_set_line_width(cr, thick);
  c.Colour(suit);
  cairo_stroke(cr);
  cairo_move_to(cr, x0 - thick * 0.2, y0 - thick * 0.2);
  cairo_line_to(cr, x1 - thick * 0.2, y1 - thick * 0.2);
  cairo_set_line_width(cr, thick * 0.3);
  c.Colour(Lighter(suit, 0.3), 0.6);
  cairo_stroke(cr);
}

}  // namespace

const TBikeLook& BikeLook(int model) {
  return Looks[model >= 1 && model <= 5 ? model : 0];
}

TColour Lighter(const TColour& c, double k) {
  return TColour{std::min(1.0, c.R + k), std::min(1.0, c.G + k), std::min(1.0, c.B + k)};
}
TColour Darker(const TColour& c, double k) {
  return TColour{c.R * k, c.G * k, c.B * k};
}

namespace {

const TColour Tyre{0.16, 0.16, 0.18};
const TColour Lamp{1.0, 0.97, 0.80};

// A shaded ellipse with its outline.
void Blob(TCanvas& c, double x, double y, double rx, double ry, const TColour& colour,
          double light) {
  cairo_save(c.Cr);
  cairo_translate(c.Cr, x, y);
  cairo_scale(c.Cr, std::max(0.5, rx), std::max(0.5, ry));
  cairo_arc(c.Cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(c.Cr);
  Shade(c.Cr, x - rx, x + rx, colour, light);
  Outline(c, 0.7);
}

// A shaded rounded box with its outline.
void Box(TCanvas& c, double x0, double y0, double x1, double y1, double r, const TColour& colour,
         double light) {
  c.RoundRect(x0, y0, x1 - x0, y1 - y0, std::min(r, std::min(x1 - x0, y1 - y0) / 2));
  Shade(c.Cr, x0, x1, colour, light);
  Outline(c, 0.7);
}

// A closed shape mirrored about the bike's centre line, from its right half's points (x, y),
// front to back; the left half runs back up the other side.
void MirroredShape(cairo_t* cr, const std::vector<std::pair<double, double>>& right) {
  cairo_move_to(cr, 0, right.front().second);
  for (const auto& [x, y] : right) cairo_line_to(cr, x, y);
  cairo_line_to(cr, 0, right.back().second);
  for (auto it = right.rbegin(); it != right.rend(); ++it)
    cairo_line_to(cr, -it->first, it->second);
  cairo_close_path(cr);
}

// Where the rider sits on a kind of bike, as shares of the picture's height, and how he holds
// himself: tucked down over a sport bike's tank, upright on the others.
struct TSeat {
  double Shoulder, Hip, Knee, KneeOut;  // KneeOut: the knees' half spread, share of the width
};

TSeat SeatOf(TBikeKind kind) {
  switch (kind) {
    case TBikeKind::Sport:
      return {0.38, 0.62, 0.50, 0.20};
    case TBikeKind::Cruiser:
      return {0.50, 0.68, 0.46, 0.30};
    case TBikeKind::Tourer:
      return {0.44, 0.64, 0.54, 0.24};
    case TBikeKind::Naked:
      return {0.38, 0.60, 0.48, 0.22};
    case TBikeKind::Supermoto:
      return {0.34, 0.56, 0.46, 0.16};
  }
  return {0.40, 0.64, 0.52, 0.20};
}

// The rider: knees along the tank, arms to the grips with elbows out, a tapering back, then the
// helmet with its visor to the front. He hangs off to the inside of a lean.
void DrawRider(TCanvas& c, const TBikeLook& look, double w, double h, double lean, double barY,
               double bar, double light) {
  cairo_t* cr = c.Cr;
  const TSeat seat = SeatOf(look.Kind);
  const double top = -h / 2, shift = lean * w * 0.16;
  const double limb = std::max(2.0, w * 0.065);
  const double hipY = top + h * seat.Hip, shoulder = top + h * seat.Shoulder;
  const double kneeY = top + h * seat.Knee;
  for (double sgn : {-1.0, 1.0}) {
    const double knee =
        sgn * (w * seat.KneeOut + (sgn * lean > 0.3 ? w * 0.06 * std::fabs(lean) : 0));
    Limb(c, shift * 0.5 + sgn * w * 0.08, hipY, knee, kneeY, limb, look.Suit);
    const double elbowX = shift * 0.8 + sgn * std::max(w * 0.18, bar * 0.7),
                 elbowY = (shoulder + barY) / 2;
    Limb(c, shift + sgn * w * 0.10, shoulder, elbowX, elbowY, limb * 0.9, look.Suit);
    Limb(c, elbowX, elbowY, sgn * (bar - w * 0.03), barY, limb * 0.8, look.Suit);
    cairo_arc(cr, sgn * (bar - w * 0.03), barY, limb * 0.55, 0, 2 * M_PI);
    c.Colour(look.Trim);
    cairo_fill(cr);
  }
  if (std::fabs(lean) > 0.3) {
    const double sgn = lean > 0 ? 1 : -1;
    cairo_arc(cr, sgn * (w * seat.KneeOut + w * 0.06 * std::fabs(lean)), kneeY, limb * 0.45, 0,
              2 * M_PI);
    c.Colour(pal::Chrome);
    cairo_fill(cr);
  }
  // The back: broad at the shoulders, narrow at the waist, the bike's colour down the spine.
  cairo_move_to(cr, shift - w * 0.15, shoulder);
  cairo_curve_to(cr, shift - w * 0.16, shoulder - h * 0.05, shift + w * 0.16, shoulder - h * 0.05,
                 shift + w * 0.15, shoulder);
  cairo_curve_to(cr, shift + w * 0.13, hipY - h * 0.08, shift * 0.5 + w * 0.11, hipY,
                 shift * 0.5 + w * 0.09, hipY + h * 0.03);
  cairo_line_to(cr, shift * 0.5 - w * 0.09, hipY + h * 0.03);
  cairo_curve_to(cr, shift * 0.5 - w * 0.11, hipY, shift - w * 0.13, hipY - h * 0.08,
                 shift - w * 0.15, shoulder);
  cairo_close_path(cr);
  Shade(cr, shift - w * 0.16, shift + w * 0.16, look.Suit, light);
  Outline(c, std::max(0.8, w * 0.018));
  cairo_move_to(cr, shift, shoulder);
  cairo_line_to(cr, shift * 0.5, hipY);
  cairo_set_line_width(cr, std::max(1.5, w * 0.045));
  c.Colour(look.Body);
  cairo_stroke(cr);
  // Helmet: a shaded shell in the bike's colour, a trim stripe, the dark visor in front.
  const double hx = shift * 1.1, hy = shoulder - h * 0.04, hr = w * 0.10;
  cairo_pattern_t* hg = cairo_pattern_create_radial(hx - hr * 0.3, hy - hr * 0.3, 0.5, hx, hy, hr);
  cairo_pattern_add_color_stop_rgb(hg, 0, 1, 1, 1);
  Rgb(hg, 0.35, Lighter(look.Body, 0.3));
  Rgb(hg, 1, Darker(look.Body, 0.45));
  cairo_arc(cr, hx, hy, hr, 0, 2 * M_PI);
  cairo_set_source(cr, hg);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(hg);
  Outline(c, std::max(0.8, w * 0.015));
  cairo_arc(cr, hx, hy, hr * 0.98, -M_PI * 0.85, -M_PI * 0.15);
  cairo_arc_negative(cr, hx, hy - hr * 0.1, hr * 0.55, -M_PI * 0.2, -M_PI * 0.8);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0.05, 0.07, 0.12, 0.95);
  cairo_fill(cr);
  cairo_move_to(cr, hx, hy - hr * 0.45);
  cairo_line_to(cr, hx, hy + hr * 0.95);
  cairo_set_line_width(cr, std::max(1.0, hr * 0.3));
  c.Colour(look.Trim, 0.9);
  cairo_stroke(cr);
}

// Handlebars at barY reaching `bar` either side, with grips (and a supermoto's hand guards).
void Bars(TCanvas& c, const TBikeLook& look, double w, double h, double barY, double bar,
          double sweep, double light) {
  cairo_t* cr = c.Cr;
  cairo_set_line_width(cr, std::max(2.0, w * 0.035));
  c.Colour(TColour{0.6, 0.62, 0.66});
  cairo_move_to(cr, -bar, barY + sweep);
  cairo_curve_to(cr, -bar * 0.5, barY, bar * 0.5, barY, bar, barY + sweep);
  cairo_stroke(cr);
  for (double sgn : {-1.0, 1.0}) {
    if (look.Kind == TBikeKind::Supermoto)
      Box(c, sgn * bar - w * 0.06, barY + sweep - h * 0.05, sgn * bar + w * 0.06,
          barY + sweep - h * 0.005, 3, look.Body, light);
    else
      Blob(c, sgn * (bar - w * 0.01), barY + sweep - h * 0.03, w * 0.045, h * 0.025, look.Trim,
           0.3);
  }
}

}  // namespace

void DrawBikeTop(TCanvas& c, double cx, double cy, double w, double h, int model, double lean,
                 bool withRider) {
  cairo_t* cr = c.Cr;
  const TBikeLook& look = BikeLook(model);
  const double narrow = 1.0 - 0.2 * std::fabs(lean);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  // The whole bike tilts a little into the turn, and narrows as it leans.
  cairo_rotate(cr, lean * 0.10);
  cairo_scale(cr, narrow, 1.0);
  const double top = -h / 2;
  const double light = 0.40 - lean * 0.2;
  auto Y = [&](double share) { return top + h * share; };
  const double bar = w * look.BarHalf;
  double barY = Y(0.27), sweep = 2;
  // Shadow on the road, thrown to the outside of the lean.
  cairo_save(cr);
  cairo_translate(cr, 3 - lean * 5, 3);
  cairo_scale(cr, w * 0.30, h * 0.46);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  switch (look.Kind) {
    case TBikeKind::Sport: {
      // A long slim spindle: a sharp beak, clip-ons tight to the fairing, a pointed tail.
      Box(c, -w * 0.05, Y(0.01), w * 0.05, Y(0.21), w * 0.04, Tyre, light);
      Box(c, -w * 0.085, Y(0.76), w * 0.085, Y(0.99), w * 0.06, Tyre, light);
      Box(c, w * 0.09, Y(0.66), w * 0.15, Y(0.86), w * 0.03, pal::Chrome, 0.4);  // exhaust
      Bars(c, look, w, h, barY = Y(0.26), bar, sweep = 1, light);
      MirroredShape(cr, {{w * 0.04, Y(0.03)},
                         {w * 0.15, Y(0.14)},
                         {w * 0.20, Y(0.26)},
                         {w * 0.17, Y(0.40)},
                         {w * 0.12, Y(0.56)},
                         {w * 0.10, Y(0.70)},
                         {w * 0.04, Y(0.90)}});
      Shade(cr, -w * 0.2, w * 0.2, look.Body, light);
      Outline(c, std::max(0.8, w * 0.02));
      cairo_rectangle(cr, -w * 0.03, Y(0.05), w * 0.06, h * 0.82);
      c.Colour(look.Trim, 0.9);
      cairo_fill(cr);
      MirroredShape(cr, {{w * 0.10, Y(0.17)}, {w * 0.14, Y(0.24)}});  // screen
      cairo_set_source_rgba(cr, 0.45, 0.65, 0.85, 0.95);
      cairo_fill(cr);
      break;
    }
    case TBikeKind::Cruiser: {
      // The biggest: fat tyres, a huge tank, a wide fender, footboards and chrome everywhere.
      Box(c, -w * 0.08, Y(0.0), w * 0.08, Y(0.19), w * 0.06, Tyre, light);
      Box(c, -w * 0.15, Y(0.78), w * 0.15, Y(1.0), w * 0.10, Tyre, light);
      for (double sgn : {-1.0, 1.0}) {
        Box(c, sgn * w * 0.33 - w * 0.06, Y(0.54), sgn * w * 0.33 + w * 0.06, Y(0.98), w * 0.04,
            pal::Chrome, 0.4);  // pipes
        Box(c, sgn * w * 0.39 - w * 0.10, Y(0.34), sgn * w * 0.39 + w * 0.10, Y(0.48), 2,
            TColour{0.25, 0.25, 0.28}, light);                                   // footboards
        Blob(c, sgn * w * 0.25, Y(0.50), w * 0.11, h * 0.07, pal::Chrome, 0.4);  // V-twin
      }
      Bars(c, look, w, h, barY = Y(0.25), bar, sweep = h * 0.06, light);
      Blob(c, 0, Y(0.10), w * 0.12, h * 0.075, pal::Chrome, 0.35);  // headlight
      Blob(c, 0, Y(0.10), w * 0.08, h * 0.05, Lamp, 0.3);
      Box(c, -w * 0.30, Y(0.58), w * 0.30, Y(0.97), w * 0.12, look.Body, light);  // fender
      Blob(c, 0, Y(0.38), w * 0.36, h * 0.24, look.Body, light);                  // tank
      Blob(c, 0, Y(0.38), w * 0.08, h * 0.10, look.Trim, 0.35);                   // tank badge
      Box(c, -w * 0.20, Y(0.56), w * 0.20, Y(0.74), w * 0.08, TColour{0.14, 0.10, 0.08},
          light);  // seat
      break;
    }
    case TBikeKind::Tourer: {
      // A broad blunt fairing at the front and two cases and a top box at the back.
      Box(c, -w * 0.06, Y(0.0), w * 0.06, Y(0.16), w * 0.05, Tyre, light);
      Box(c, -w * 0.10, Y(0.78), w * 0.10, Y(0.99), w * 0.07, Tyre, light);
      for (double sgn : {-1.0, 1.0})
        Box(c, sgn * w * 0.31 - w * 0.09, Y(0.67), sgn * w * 0.31 + w * 0.09, Y(0.87), 4, look.Body,
            light);  // cases
      Bars(c, look, w, h, barY = Y(0.33), bar, sweep = 0, light);
      MirroredShape(cr, {{w * 0.16, Y(0.05)},
                         {w * 0.30, Y(0.12)},
                         {w * 0.33, Y(0.28)},
                         {w * 0.18, Y(0.34)},
                         {w * 0.16, Y(0.50)},
                         {w * 0.14, Y(0.80)}});
      Shade(cr, -w * 0.38, w * 0.38, look.Body, light);
      Outline(c, std::max(0.8, w * 0.02));
      MirroredShape(cr, {{w * 0.14, Y(0.12)}, {w * 0.26, Y(0.17)}, {w * 0.22, Y(0.27)}});
      cairo_set_source_rgba(cr, 0.45, 0.65, 0.85, 0.95);  // the tall screen
      cairo_fill(cr);
      for (double sgn : {-1.0, 1.0})
        Blob(c, sgn * w * 0.24, Y(0.08), w * 0.05, h * 0.025, Lamp, 0.3);
      Box(c, -w * 0.17, Y(0.80), w * 0.17, Y(0.98), 4, look.Trim, light);  // top box
      break;
    }
    case TBikeKind::Naked: {
      // No fairing: a round lamp, straight bars, radiator shrouds and the engine bare at the
      // sides, a short stubby tail over a fat tyre.
      Box(c, -w * 0.055, Y(0.0), w * 0.055, Y(0.20), w * 0.045, Tyre, light);
      Box(c, -w * 0.12, Y(0.68), w * 0.12, Y(1.0), w * 0.08, Tyre, light);
      Box(c, -w * 0.34, Y(0.46), w * 0.34, Y(0.58), 3, TColour{0.30, 0.31, 0.34}, 0.4);  // engine
      for (int k = -3; k <= 3; k += 2)
        Blob(c, k * w * 0.08, Y(0.52), w * 0.04, h * 0.04, pal::Chrome, 0.4);
      Box(c, w * 0.16, Y(0.70), w * 0.28, Y(0.82), 3, pal::Chrome, 0.4);  // short exhaust
      Bars(c, look, w, h, barY = Y(0.19), bar, sweep = 0, light);
      Blob(c, 0, Y(0.08), w * 0.09, h * 0.06, Lamp, 0.3);
      MirroredShape(cr, {{w * 0.16, Y(0.24)},
                         {w * 0.28, Y(0.30)},
                         {w * 0.26, Y(0.38)},
                         {w * 0.18, Y(0.46)},
                         {w * 0.12, Y(0.62)},
                         {w * 0.06, Y(0.74)}});
      Shade(cr, -w * 0.28, w * 0.28, look.Body, light);
      Outline(c, std::max(0.8, w * 0.02));
      break;
    }
    case TBikeKind::Supermoto: {
      // Slim as a stick: a beak fender, a number plate, the widest bars with hand guards, a long
      // flat seat and a high pipe.
      Box(c, -w * 0.045, Y(0.0), w * 0.045, Y(0.22), w * 0.04, Tyre, light);
      Box(c, -w * 0.07, Y(0.76), w * 0.07, Y(1.0), w * 0.05, Tyre, light);
      Box(c, w * 0.08, Y(0.58), w * 0.15, Y(0.90), w * 0.03, pal::Chrome, 0.4);
      MirroredShape(cr, {{w * 0.03, Y(0.0)}, {w * 0.06, Y(0.12)}, {w * 0.02, Y(0.22)}});
      Shade(cr, -w * 0.06, w * 0.06, look.Body, light);  // beak
      Outline(c, 0.7);
      Bars(c, look, w, h, barY = Y(0.22), bar, sweep = 0, light);
      Blob(c, 0, Y(0.16), w * 0.13, h * 0.04, pal::White, 0.35);  // number plate
      MirroredShape(cr, {{w * 0.09, Y(0.26)},
                         {w * 0.12, Y(0.40)},
                         {w * 0.13, Y(0.58)},
                         {w * 0.09, Y(0.76)},
                         {w * 0.05, Y(0.96)}});
      Shade(cr, -w * 0.13, w * 0.13, look.Body, light);
      Outline(c, std::max(0.8, w * 0.02));
      Box(c, -w * 0.05, Y(0.40), w * 0.05, Y(0.94), 3, TColour{0.12, 0.12, 0.14}, light);  // seat
      break;
    }
  }
  if (withRider) {
    DrawRider(c, look, w, h, lean, barY + sweep, bar, light);
  } else {
    // A bike its rider has left: the seat shows where he sat.
    const TSeat seat = SeatOf(look.Kind);
    Box(c, -w * 0.09, Y(seat.Shoulder + 0.08), w * 0.09, Y(seat.Hip + 0.04), w * 0.05,
        TColour{0.12, 0.12, 0.14}, light);
  }
  cairo_restore(cr);
}

void DrawTumblingRider(TCanvas& c, double cx, double cy, double size, double spin, double pose,
                       int model) {
  cairo_t* cr = c.Cr;
  const TBikeLook& look = BikeLook(model);
  const TColour boots{0.08, 0.08, 0.10};
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  // Shadow first, unturned, a little behind and to the right as the light falls.
  cairo_save(cr);
  cairo_translate(cr, size * 0.08, size * 0.10);
  cairo_scale(cr, size * 0.32, size * 0.40);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.30);
  cairo_fill(cr);
  cairo_rotate(cr, spin);
  // Head towards -y. `pose` 0 is curled (knees and elbows drawn in), 1 spread like a star.
  const double s = size, limb = std::max(2.0, s * 0.11);
  const double shoulderY = -s * 0.16, hipY = s * 0.14;
  const double armOut = 0.18 + 0.22 * pose, legOut = 0.10 + 0.18 * pose;
  for (double sgn : {-1.0, 1.0}) {
    // Arms: shoulder, elbow, glove; one arm flung further than the other.
    const double fling = sgn > 0 ? 1.0 : 0.8;
    const double ex = sgn * s * armOut * fling, ey = shoulderY - s * (0.02 + 0.08 * pose);
    const double gx = sgn * s * (0.10 + 0.32 * pose) * fling,
                 gy = shoulderY - s * (0.20 + 0.12 * pose) + s * 0.12 * (1 - pose);
    Limb(c, sgn * s * 0.12, shoulderY, ex, ey, limb, look.Suit);
    Limb(c, ex, ey, gx, gy, limb * 0.85, look.Suit);
    cairo_arc(cr, gx, gy, limb * 0.55, 0, 2 * M_PI);
    c.Colour(look.Trim);
    cairo_fill(cr);
    // Legs: hip, knee, boot; curled the knees come up towards the chest.
    const double kx = sgn * s * (legOut + 0.06), ky = hipY + s * (0.10 + 0.12 * pose);
    const double bx = sgn * s * (0.06 + 0.22 * pose), by = ky + s * (0.04 + 0.16 * pose);
    Limb(c, sgn * s * 0.08, hipY, kx, ky, limb * 1.15, look.Suit);
    Limb(c, kx, ky, bx, by, limb, look.Suit);
    cairo_arc(cr, bx, by, limb * 0.6, 0, 2 * M_PI);
    c.Colour(boots);
    cairo_fill(cr);
  }
  // The torso: broad shoulders tapering to the hips, the bike's colour down the spine.
  cairo_move_to(cr, -s * 0.15, shoulderY);
  cairo_curve_to(cr, -s * 0.16, shoulderY - s * 0.07, s * 0.16, shoulderY - s * 0.07, s * 0.15,
                 shoulderY);
  cairo_curve_to(cr, s * 0.14, hipY - s * 0.08, s * 0.11, hipY, s * 0.10, hipY + s * 0.05);
  cairo_line_to(cr, -s * 0.10, hipY + s * 0.05);
  cairo_curve_to(cr, -s * 0.11, hipY, -s * 0.14, hipY - s * 0.08, -s * 0.15, shoulderY);
  cairo_close_path(cr);
  Shade(cr, -s * 0.16, s * 0.16, look.Suit, 0.35);
  Outline(c, std::max(0.8, s * 0.02));
  cairo_move_to(cr, 0, shoulderY - s * 0.02);
  cairo_line_to(cr, 0, hipY + s * 0.03);
  cairo_set_line_width(cr, std::max(1.5, s * 0.05));
  c.Colour(look.Body);
  cairo_stroke(cr);
  // The helmet, shaded in the bike's colour, the visor facing the way the head points.
  const double hy = shoulderY - s * 0.13, hr = s * 0.12;
  cairo_pattern_t* hg = cairo_pattern_create_radial(-hr * 0.3, hy - hr * 0.3, 0.5, 0, hy, hr);
  cairo_pattern_add_color_stop_rgb(hg, 0, 1, 1, 1);
  Rgb(hg, 0.35, Lighter(look.Body, 0.3));
  Rgb(hg, 1, Darker(look.Body, 0.45));
  cairo_arc(cr, 0, hy, hr, 0, 2 * M_PI);
  cairo_set_source(cr, hg);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(hg);
  Outline(c, std::max(0.8, s * 0.015));
  cairo_arc(cr, 0, hy, hr * 0.98, -M_PI * 0.85, -M_PI * 0.15);
  cairo_arc_negative(cr, 0, hy - hr * 0.1, hr * 0.55, -M_PI * 0.2, -M_PI * 0.8);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0.05, 0.07, 0.12, 0.95);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace zw::packbuild
