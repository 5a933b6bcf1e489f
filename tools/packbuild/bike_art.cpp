// The five superbikes seen from above, with their riders, for the race and the showcase.
#include "tools/packbuild/bike_art.hpp"

#include <algorithm>
#include <cmath>

namespace zw::packbuild {

namespace {

// 1 a red and white racer with a sharp beak, 2 a big blue and silver tourer-sport with a wide
// fairing, 3 a yellow and black bike with a round nose, 4 a green and black one with an angular
// cut, 5 a slim orange and white bike with a long tail.
const TBikeLook Looks[6] = {
    {pal::Black, pal::White, pal::Black, 0.17, 0.5, 0.30, 1, false},
    {{0.88, 0.10, 0.10}, pal::White, {0.16, 0.16, 0.20}, 0.16, 0.95, 0.28, 1, false},
    {{0.12, 0.38, 0.95}, {0.80, 0.84, 0.90}, {0.12, 0.16, 0.30}, 0.21, 0.35, 0.26, 2, true},
    {{1.0, 0.78, 0.05}, {0.08, 0.08, 0.10}, {0.14, 0.14, 0.16}, 0.19, 0.10, 0.27, 0, true},
    {{0.10, 0.72, 0.25}, {0.06, 0.07, 0.08}, {0.10, 0.22, 0.12}, 0.18, 0.70, 0.30, 0, false},
    {{0.98, 0.48, 0.05}, pal::White, {0.18, 0.16, 0.16}, 0.15, 0.80, 0.34, 2, false},
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

void DrawBikeTop(TCanvas& c, double cx, double cy, double w, double h, int model, double lean,
                 bool withRider) {
  cairo_t* cr = c.Cr;
  const TBikeLook& look = BikeLook(model);
  const double narrow = 1.0 - 0.2 * std::fabs(lean);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  // The whole bike tilts a little into the turn.
  cairo_rotate(cr, lean * 0.10);
  const double top = -h / 2, bottom = h / 2;
  const double half = w * look.FairingWidth * narrow;
  const double light = 0.40 - lean * 0.2;
  // Shadow on the road, thrown to the outside of the lean.
  cairo_save(cr);
  cairo_translate(cr, 3 - lean * 5, 3);
  cairo_scale(cr, half * 1.5, h * 0.46);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  // Tyres: a slim front and the fat rear of a superbike, with a worn light strip down the tread;
  // the rear shows behind the short seat cowl.
  const double frontW = w * 0.10, rearW = w * (model == 2 ? 0.18 : 0.16);
  c.RoundRect(-frontW / 2, top + h * 0.01, frontW, h * 0.20, frontW * 0.45);
  Shade(cr, -frontW / 2, frontW / 2, TColour{0.16, 0.16, 0.18}, light);
  cairo_new_path(cr);
  c.RoundRect(-rearW / 2, bottom - h * 0.25, rearW, h * 0.245, rearW * 0.4);
  Shade(cr, -rearW / 2, rearW / 2, TColour{0.16, 0.16, 0.18}, light);
  cairo_new_path(cr);
  // Swingarm from the frame to the rear hub.
  for (double sgn : {-1.0, 1.0}) {
    cairo_move_to(cr, sgn * rearW * 0.45, top + h * 0.62);
    cairo_line_to(cr, sgn * rearW * 0.62, bottom - h * 0.13);
  }
  cairo_set_line_width(cr, std::max(1.5, w * 0.03));
  c.Colour(TColour{0.45, 0.47, 0.52});
  cairo_stroke(cr);
  // Exhaust: a chrome can beside the rear wheel, on the right.
  c.RoundRect(half * 0.35, bottom - h * 0.30, w * 0.07, h * 0.16, w * 0.03);
  Shade(cr, half * 0.35, half * 0.35 + w * 0.07, pal::Chrome, 0.4);
  Outline(c, 0.8);
  // Handlebars with grips and mirrors in the trim colour.
  const double barY = top + h * 0.29, bar = w * 0.30 * narrow;
  cairo_set_line_width(cr, std::max(2.0, w * 0.035));
  c.Colour(TColour{0.6, 0.62, 0.66});
  cairo_move_to(cr, -bar, barY + 2);
  cairo_line_to(cr, bar, barY + 2);
  cairo_stroke(cr);
  for (double sgn : {-1.0, 1.0}) {
    cairo_save(cr);
    cairo_translate(cr, sgn * (bar - w * 0.01), barY - h * 0.045);
    cairo_scale(cr, w * 0.05, h * 0.028);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    Shade(cr, sgn * bar - w * 0.05, sgn * bar + w * 0.05, look.Trim, 0.3);
    Outline(c, 0.6);
  }
  // Fairing, tank and seat cowl in one body: a broad fairing at the front (the nose a beak or a
  // round front by model), the tank pinched at the rider's knees, and a short cowl that ends
  // square over the fat rear tyre.
  const double noseY = top + h * 0.06, shoulderY = top + h * 0.27, waistY = top + h * 0.50;
  const double tailY = bottom - h * (0.30 - look.TailLength * 0.45), pointK = 1.0 - look.NosePoint;
  auto BodyPath = [&](double k) {
    cairo_move_to(cr, 0, noseY);
    cairo_curve_to(cr, half * k * (0.35 + 0.95 * pointK), noseY, half * k * 1.25,
                   shoulderY - h * 0.12, half * k * 1.20, shoulderY);
    cairo_curve_to(cr, half * k * 1.15, waistY - h * 0.08, half * k * 0.95, waistY - h * 0.02,
                   half * k * 0.90, waistY + h * 0.06);
    cairo_curve_to(cr, half * k * 0.85, waistY + h * 0.14, half * k * 0.62, tailY - h * 0.06,
                   half * k * 0.45, tailY);
    cairo_curve_to(cr, half * k * 0.25, tailY + h * 0.015, -half * k * 0.25, tailY + h * 0.015,
                   -half * k * 0.45, tailY);
    cairo_curve_to(cr, -half * k * 0.62, tailY - h * 0.06, -half * k * 0.85, waistY + h * 0.14,
                   -half * k * 0.90, waistY + h * 0.06);
    cairo_curve_to(cr, -half * k * 0.95, waistY - h * 0.02, -half * k * 1.15, waistY - h * 0.08,
                   -half * k * 1.20, shoulderY);
    cairo_curve_to(cr, -half * k * 1.25, shoulderY - h * 0.12, -half * k * (0.35 + 0.95 * pointK),
                   noseY, 0, noseY);
    cairo_close_path(cr);
  };
  BodyPath(1.0);
  Shade(cr, -half * 1.25, half * 1.25, look.Body, light);
  Outline(c, std::max(0.8, w * 0.02));
  // Stripes in the trim colour, clipped to the body.
  cairo_save(cr);
  BodyPath(1.0);
  cairo_clip(cr);
  if (look.Stripes == 1) {
    cairo_rectangle(cr, -w * 0.035, noseY, w * 0.07, tailY - noseY);
    c.Colour(look.Trim, 0.9);
    cairo_fill(cr);
  } else if (look.Stripes == 2) {
    for (double sgn : {-1.0, 1.0}) {
      cairo_rectangle(cr, sgn * w * 0.06 - w * 0.02, noseY, w * 0.04, tailY - noseY);
      c.Colour(look.Trim, 0.9);
      cairo_fill(cr);
    }
  } else {
    // Side flashes: the trim colour sweeps back along both flanks.
    for (double sgn : {-1.0, 1.0}) {
      cairo_move_to(cr, sgn * half * 1.3, shoulderY - h * 0.10);
      cairo_line_to(cr, sgn * half * 0.45, shoulderY + h * 0.02);
      cairo_line_to(cr, sgn * half * 0.30, tailY);
      cairo_line_to(cr, sgn * half * 1.3, tailY);
      cairo_close_path(cr);
      c.Colour(look.Trim, 0.85);
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);
  // Headlights in the nose and a windscreen behind them.
  const double lightY = noseY + h * 0.05;
  if (look.TwinLights) {
    for (double sgn : {-1.0, 1.0}) {
      cairo_arc(cr, sgn * half * 0.42, lightY, std::max(1.0, w * 0.03), 0, 2 * M_PI);
      c.Colour(TColour{1.0, 0.97, 0.80});
      cairo_fill(cr);
    }
  } else {
    cairo_save(cr);
    cairo_translate(cr, 0, lightY - h * 0.01);
    cairo_scale(cr, half * 0.45, h * 0.022);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    c.Colour(TColour{1.0, 0.97, 0.80});
    cairo_fill(cr);
  }
  cairo_move_to(cr, -half * 0.75, top + h * 0.22);
  cairo_curve_to(cr, -half * 0.55, top + h * 0.13, half * 0.55, top + h * 0.13, half * 0.75,
                 top + h * 0.22);
  cairo_close_path(cr);
  cairo_pattern_t* glass = cairo_pattern_create_linear(0, top + h * 0.13, 0, top + h * 0.22);
  cairo_pattern_add_color_stop_rgba(glass, 0, 0.75, 0.90, 1.0, 0.95);
  cairo_pattern_add_color_stop_rgba(glass, 1, 0.20, 0.35, 0.55, 0.95);
  cairo_set_source(cr, glass);
  cairo_fill(cr);
  cairo_pattern_destroy(glass);
  // Seat cowl and tail light.
  cairo_rectangle(cr, -half * 0.35, tailY - h * 0.035, half * 0.7, std::max(1.5, h * 0.025));
  c.Colour(pal::Red);
  cairo_fill(cr);
  if (!withRider) {
    // A bike its rider has left: the seat shows where he sat.
    c.RoundRect(-half * 0.45, top + h * 0.52, half * 0.9, h * 0.16, half * 0.3);
    Shade(cr, -half * 0.45, half * 0.45, TColour{0.12, 0.12, 0.14}, light);
    cairo_new_path(cr);
    cairo_restore(cr);
    return;
  }
  // The rider, hanging off to the inside of the turn: knees along the tank, arms to the grips
  // with elbows out, a tapering back, then the helmet with its visor towards the front.
  const double shift = lean * w * 0.16;
  const double limb = std::max(2.0, w * 0.065);
  const double hipY = top + h * 0.66, shoulder = top + h * 0.44;
  for (double sgn : {-1.0, 1.0}) {
    const double knee = sgn * (half * 1.05 + (sgn * lean > 0.3 ? w * 0.06 * std::fabs(lean) : 0));
    Limb(c, shift * 0.5 + sgn * w * 0.08, hipY, knee, top + h * 0.55, limb, look.Suit);
    const double elbowX = shift * 0.8 + sgn * w * 0.22, elbowY = top + h * 0.40;
    Limb(c, shift + sgn * w * 0.10, shoulder, elbowX, elbowY, limb * 0.9, look.Suit);
    Limb(c, elbowX, elbowY, sgn * (bar - w * 0.03), barY, limb * 0.8, look.Suit);
    cairo_arc(cr, sgn * (bar - w * 0.03), barY, limb * 0.55, 0, 2 * M_PI);
    c.Colour(look.Trim);
    cairo_fill(cr);
  }
  // Knee slider on the inside knee in a deep lean.
  if (std::fabs(lean) > 0.3) {
    const double sgn = lean > 0 ? 1 : -1;
    cairo_arc(cr, sgn * (half * 1.05 + w * 0.06 * std::fabs(lean)), top + h * 0.55, limb * 0.45, 0,
              2 * M_PI);
    c.Colour(pal::Chrome);
    cairo_fill(cr);
  }
  // The back: broad at the shoulders, narrow at the waist, the hump of the suit behind the neck.
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
  // The suit's stripe in the bike's colours down the spine, and the hump.
  cairo_move_to(cr, shift, shoulder);
  cairo_line_to(cr, shift * 0.5, hipY);
  cairo_set_line_width(cr, std::max(1.5, w * 0.045));
  c.Colour(look.Body);
  cairo_stroke(cr);
  cairo_save(cr);
  cairo_translate(cr, shift, shoulder + h * 0.04);
  cairo_scale(cr, w * 0.07, h * 0.05);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  Shade(cr, shift - w * 0.07, shift + w * 0.07, look.Body, 0.35);
  Outline(c, 0.6);
  // Helmet: a shaded shell in the bike's colour, a trim stripe, the dark visor in front.
  const double hx = shift * 1.1, hy = top + h * 0.40, hr = w * 0.10;
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
