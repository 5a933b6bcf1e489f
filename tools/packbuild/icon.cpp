// The game's desktop icon: a red superbike leaning into a bend on a round badge of road, drawn
// once in vector form and written as a 256-pixel PNG and as an SVG.
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace {

// Draws the icon into a 256 x 256 unit square.
void DrawIcon(cairo_t* cr) {
  const double c = 128;
  // The badge: a dark disc with a bright rim.
  cairo_arc(cr, c, c, 120, 0, 2 * M_PI);
  cairo_pattern_t* sky = cairo_pattern_create_radial(c, c - 40, 10, c, c, 124);
  cairo_pattern_add_color_stop_rgb(sky, 0, 0.20, 0.28, 0.40);
  cairo_pattern_add_color_stop_rgb(sky, 1, 0.05, 0.07, 0.12);
  cairo_set_source(cr, sky);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(sky);
  cairo_set_line_width(cr, 8);
  cairo_set_source_rgb(cr, 1.0, 0.87, 0.0);
  cairo_stroke(cr);

  // The road sweeping up through the badge, with its dashed centre line.
  cairo_save(cr);
  cairo_arc(cr, c, c, 116, 0, 2 * M_PI);
  cairo_clip(cr);
  cairo_move_to(cr, 40, 256);
  cairo_curve_to(cr, 80, 170, 190, 150, 150, 0);
  cairo_line_to(cr, 215, 0);
  cairo_curve_to(cr, 260, 160, 140, 190, 150, 256);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, 0.30, 0.31, 0.34);
  cairo_fill(cr);
  cairo_move_to(cr, 95, 256);
  cairo_curve_to(cr, 120, 175, 225, 160, 182, 0);
  const double dash[] = {14, 12};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_line_width(cr, 5);
  cairo_set_source_rgb(cr, 0.96, 0.96, 0.90);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_restore(cr);

  // The bike seen from above, leaning: tyres, body, tank stripe and rider's helmet.
  cairo_save(cr);
  cairo_translate(cr, 168, 132);
  cairo_rotate(cr, 0.12);
  cairo_set_source_rgb(cr, 0.06, 0.06, 0.06);
  cairo_rectangle(cr, -9, -78, 18, 34);
  cairo_rectangle(cr, -10, 40, 20, 38);
  cairo_fill(cr);
  cairo_move_to(cr, 0, -70);
  cairo_curve_to(cr, 30, -50, 30, 40, 16, 58);
  cairo_line_to(cr, -16, 58);
  cairo_curve_to(cr, -30, 40, -30, -50, 0, -70);
  cairo_pattern_t* body = cairo_pattern_create_linear(-30, 0, 30, 0);
  cairo_pattern_add_color_stop_rgb(body, 0, 0.55, 0.02, 0.02);
  cairo_pattern_add_color_stop_rgb(body, 0.45, 0.96, 0.16, 0.12);
  cairo_pattern_add_color_stop_rgb(body, 1, 0.50, 0.02, 0.02);
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  cairo_set_line_width(cr, 3);
  cairo_set_source_rgb(cr, 0.25, 0.0, 0.0);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 1.0, 0.87, 0.0);
  cairo_rectangle(cr, -4, -58, 8, 70);
  cairo_fill(cr);
  cairo_arc(cr, 0, 16, 15, 0, 2 * M_PI);
  cairo_pattern_t* helmet = cairo_pattern_create_radial(-5, 10, 2, 0, 16, 16);
  cairo_pattern_add_color_stop_rgb(helmet, 0, 0.95, 0.98, 1.0);
  cairo_pattern_add_color_stop_rgb(helmet, 1, 0.15, 0.35, 0.75);
  cairo_set_source(cr, helmet);
  cairo_fill(cr);
  cairo_pattern_destroy(helmet);
  cairo_restore(cr);

  // Speed streaks behind the bike.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 6);
  cairo_set_source_rgba(cr, 0.26, 0.99, 0.79, 0.9);
  for (int k = 0; k < 3; ++k) {
    cairo_move_to(cr, 118 + k * 18, 236 + k * 4);
    cairo_line_to(cr, 128 + k * 18, 206 + k * 4);
  }
  cairo_stroke(cr);
}

}  // namespace

// Writes DIR/zapwheely.png (256 x 256) and DIR/zapwheely.svg; answers 0 on success.
int WriteIcon(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 256);
  cairo_t* cr = cairo_create(png);
  DrawIcon(cr);
  cairo_destroy(cr);
  const bool pngOk =
      cairo_surface_write_to_png(png, (dir / "zapwheely.png").c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(png);
  cairo_surface_t* svg = cairo_svg_surface_create((dir / "zapwheely.svg").c_str(), 256, 256);
  cr = cairo_create(svg);
  DrawIcon(cr);
  cairo_destroy(cr);
  cairo_surface_finish(svg);
  const bool svgOk = cairo_surface_status(svg) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(svg);
  return pngOk && svgOk ? 0 : 1;
}
