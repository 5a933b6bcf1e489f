// Image list 1: the menu backdrop, tab buttons, dialog pieces, option values, titles and bikes.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>

#include "tools/packbuild/bike_art.hpp"
#include "tools/packbuild/canvas.hpp"
#include "tools/packbuild/content.hpp"
#include "tools/packbuild/packbuild.hpp"

namespace zw::packbuild {

namespace {

std::map<std::string, std::string> ReadLabels(const std::string& assets) {
  std::map<std::string, std::string> labels;
  std::istringstream in(ReadAsset(assets, "menu/labels.txt"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    auto trim = [](std::string s) {
      while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
      while (!s.empty() && s.front() == ' ') s.erase(s.begin());
      return s;
    };
    labels[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
  }
  return labels;
}

// A chrome-rimmed plate; lit plates glow orange, plain ones are steel blue.
void Plate(TCanvas& c, double x, double y, double w, double h, bool lit) {
  const double r = std::min(12.0, h / 3);
  c.RoundRect(x + 1, y + 1, w - 2, h - 2, r);
  c.FillVertical(y, y + h, lit ? TColour{1.0, 0.62, 0.22} : pal::SteelLight,
                 lit ? pal::OrangeDark : pal::Night, true);
  cairo_set_line_width(c.Cr, 2.5);
  c.Colour(lit ? pal::Yellow : pal::Chrome, 0.95);
  cairo_stroke(c.Cr);
  // A glassy highlight over the top half.
  c.RoundRect(x + 5, y + 4, w - 10, h / 2 - 4, r / 2);
  cairo_set_source_rgba(c.Cr, 1, 1, 1, lit ? 0.22 : 0.12);
  cairo_fill(c.Cr);
}

TPackPicture Button(const std::string& name, int w, int h, const std::string& label, bool lit,
                    double size) {
  TCanvas c(w, h);
  Plate(c, 0, 0, w, h, lit);
  c.Text(label, w / 2.0, h / 2.0 + 1, size, lit ? pal::White : pal::Yellow, pal::Night);
  return KeyedPicture(name, w, h, c.Argb());
}

// Two looks in one picture: pattern 0 lit, pattern 1 plain. A button placed higher than the
// row it belongs to leaves `above` pixels clear over its plate, so the plates line up.
TPackPicture TwoLookButton(const std::string& name, int w, int h, const std::string& label,
                           double size, int above = 0) {
  std::vector<std::vector<uint32_t>> frames;
  for (bool lit : {true, false}) {
    TCanvas c(w, h);
    Plate(c, 0, above, w, h - above, lit);
    c.Text(label, w / 2.0, above + (h - above) / 2.0 + 1, size, lit ? pal::White : pal::Yellow,
           pal::Night);
    frames.push_back(c.Argb());
  }
  return StripPicture(name, w, h, frames, true);
}

TPackPicture ArrowButton(const std::string& name, int w, int h, bool left) {
  std::vector<std::vector<uint32_t>> frames;
  for (bool lit : {true, false}) {
    TCanvas c(w, h);
    cairo_t* cr = c.Cr;
    const double tip = left ? 6 : w - 6, back = left ? w - 8 : 8;
    cairo_move_to(cr, tip, h / 2.0);
    cairo_line_to(cr, back, 8);
    cairo_line_to(cr, back, h - 8.0);
    cairo_close_path(cr);
    c.FillVertical(0, h, lit ? TColour{1, 0.75, 0.3} : pal::SteelLight,
                   lit ? pal::OrangeDark : pal::Night, true);
    cairo_set_line_width(cr, 3);
    c.Colour(lit ? pal::Yellow : pal::Chrome);
    cairo_stroke(cr);
    frames.push_back(c.Argb());
  }
  return StripPicture(name, w, h, frames, true);
}

// The backdrop: a dusk sky over a racetrack with speed streaks, and the tab column's rail.
TPackPicture Backdrop() {
  TCanvas c(800, 600);
  cairo_t* cr = c.Cr;
  cairo_rectangle(cr, 0, 0, 800, 600);
  c.FillVertical(0, 600, TColour{0.10, 0.05, 0.20}, TColour{0.02, 0.03, 0.08});
  // Sunset glow behind the hills.
  cairo_pattern_t* glow = cairo_pattern_create_radial(560, 330, 10, 560, 330, 420);
  cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.55, 0.15, 0.85);
  cairo_pattern_add_color_stop_rgba(glow, 0.5, 0.7, 0.15, 0.30, 0.35);
  cairo_pattern_add_color_stop_rgba(glow, 1, 0.1, 0.05, 0.2, 0);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);
  // Stars.
  for (int i = 0; i < 120; ++i) {
    const double x = Noise(11, i, 0) * 800, y = Noise(12, i, 0) * 260;
    cairo_arc(cr, x, y, 0.6 + Noise(13, i, 0) * 1.1, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 0.9, 0.35 + 0.5 * Noise(14, i, 0));
    cairo_fill(cr);
  }
  // Hills.
  cairo_move_to(cr, 0, 380);
  for (int x = 0; x <= 800; x += 20)
    cairo_line_to(cr, x, 360 - 40 * std::sin(x / 130.0) - 18 * std::sin(x / 47.0));
  cairo_line_to(cr, 800, 600);
  cairo_line_to(cr, 0, 600);
  cairo_close_path(cr);
  c.FillVertical(300, 600, TColour{0.12, 0.08, 0.22}, TColour{0.03, 0.02, 0.06});
  // The road sweeping to the horizon.
  cairo_move_to(cr, 520, 380);
  cairo_curve_to(cr, 560, 450, 380, 520, 330, 600);
  cairo_line_to(cr, 800, 600);
  cairo_curve_to(cr, 760, 520, 640, 450, 560, 380);
  cairo_close_path(cr);
  c.FillVertical(380, 600, TColour{0.16, 0.16, 0.20}, TColour{0.08, 0.08, 0.10});
  cairo_set_line_width(cr, 3);
  for (int i = 0; i < 9; ++i) {
    const double t0 = i / 9.0, t1 = t0 + 0.05;
    auto px = [](double t) { return 540 + (565 - 540) * t + 0 * t; };
    (void)px;
    cairo_move_to(cr, 540 + 25 * t0 + 30 * t0 * t0, 380 + 220 * t0);
    cairo_line_to(cr, 540 + 25 * t1 + 30 * t1 * t1, 380 + 220 * t1);
    cairo_set_source_rgba(cr, 1, 0.9, 0.5, 0.8);
    cairo_stroke(cr);
  }
  // Speed streaks.
  for (int i = 0; i < 40; ++i) {
    const double y = 120 + Noise(21, i, 1) * 440, x = 300 + Noise(22, i, 1) * 500,
                 len = 40 + Noise(23, i, 1) * 160;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + len, y);
    cairo_set_source_rgba(cr, 1, 0.7 + 0.3 * Noise(24, i, 1), 0.3, 0.10 + 0.15 * Noise(25, i, 1));
    cairo_set_line_width(cr, 1 + Noise(26, i, 1) * 2);
    cairo_stroke(cr);
  }
  // The tab column: a steel rail with bolts.
  c.RoundRect(4, 160, 300, 384, 14);
  cairo_set_source_rgba(cr, 0.02, 0.03, 0.08, 0.55);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 2);
  c.Colour(pal::SteelLight, 0.8);
  cairo_stroke(cr);
  // The game's name over the tabs.
  // The name stands over the tab rail (x 4..304) with a margin, clear of the window's edge.
  const double nameRoom = 280, nameSize = 84;
  const double nameWidth = c.TextWidth("ZAP WHEELY", nameSize);
  c.Text("ZAP WHEELY", 154, 86, nameWidth > nameRoom ? nameSize * nameRoom / nameWidth : nameSize,
         pal::Orange, pal::Night);
  c.Text("SUPERBIKE ARCADE RACING", 154, 138, 22, pal::Chrome, pal::Night, false);
  return OpaquePicture("Backdrop", 800, 600, c.Argb());
}

// The showcase: the model's race bike from above, large, sweeping up and to the right across a
// lit patch of track, so the player meets on the menu the very bike they will ride.
TPackPicture Showcase(int model) {
  static constexpr int RaceW[6] = {0, 63, 60, 68, 60, 56};
  static constexpr int RaceH[6] = {0, 68, 67, 69, 62, 68};
  TCanvas c(256, 216);
  cairo_t* cr = c.Cr;
  // A pool of light on the asphalt under the bike, fading into the panel at its rim.
  cairo_save(cr);
  cairo_translate(cr, 128, 112);
  cairo_scale(cr, 1.18, 0.92);
  cairo_pattern_t* pool = cairo_pattern_create_radial(0, 0, 10, 0, 0, 108);
  cairo_pattern_add_color_stop_rgba(pool, 0, 0.36, 0.38, 0.44, 0.95);
  cairo_pattern_add_color_stop_rgba(pool, 0.7, 0.16, 0.17, 0.22, 0.85);
  cairo_pattern_add_color_stop_rgba(pool, 1, 0.05, 0.06, 0.10, 0);
  cairo_arc(cr, 0, 0, 108, 0, 2 * M_PI);
  cairo_set_source(cr, pool);
  cairo_fill(cr);
  cairo_pattern_destroy(pool);
  cairo_restore(cr);
  // Speed streaks and a kerb stripe in the direction of travel.
  cairo_save(cr);
  cairo_translate(cr, 128, 108);
  cairo_rotate(cr, 0.5);
  for (int i = 0; i < 9; ++i) {
    const double x = -70 + Noise(31, i, model) * 140, y = 10 + Noise(32, i, model) * 80;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x, y + 30 + Noise(33, i, model) * 40);
    cairo_set_line_width(cr, 1.5);
    cairo_set_source_rgba(cr, 1, 0.85, 0.5, 0.25);
    cairo_stroke(cr);
  }
  // A touch wider and shorter than the race picture's box: at this size a superbike reads by its
  // broad fairing, fat rear tyre and the rider tucked over the tank, not by its length.
  const double w = RaceW[model] * 3.0, h = RaceH[model] * 2.45;
  DrawBikeTop(c, 0, 0, w, h, model, 0);
  cairo_restore(cr);
  return KeyedPicture("Bike showcase " + std::to_string(model), 256, 216, c.Argb());
}

// The high-score table's own height; its picture runs on below as the buttons' tray.
constexpr int TableHeight = 396;
constexpr double RankLift = 3;

TPackPicture Panel(const std::string& name, int w, int h,
                   const std::vector<std::pair<std::string, double>>& labels,
                   const std::string& extra) {
  TCanvas c(w, h);
  cairo_t* cr = c.Cr;
  const int full = h;
  if (extra == "ranks") {
    // The table's buttons (Z 4, under this picture) sit in an open tray below the table: only
    // its rim is drawn, clear of every button, so they show through it.
    c.RoundRect(1.5, TableHeight - 8, w - 3, h - TableHeight + 6, 12);
    cairo_set_line_width(cr, 3);
    c.Colour(pal::SteelLight);
    cairo_stroke(cr);
    h = TableHeight;
  }
  c.RoundRect(2, 2, w - 4, h - 4, 18);
  cairo_set_source_rgba(cr, 0.03, 0.05, 0.12, 0.88);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 3);
  c.Colour(pal::SteelLight);
  cairo_stroke(cr);
  c.RoundRect(8, 8, w - 16, h - 16, 14);
  cairo_set_line_width(cr, 1);
  c.Colour(pal::Orange, 0.6);
  cairo_stroke(cr);
  for (const auto& [text, y] : labels) c.Text(text, 100, y, 22, pal::Orange, pal::Night);
  if (extra == "ranks")
    for (int i = 1; i <= 10; ++i) {
      static const double rows[11] = {0, 196, 230, 263, 297, 331, 364, 398, 432, 466, 499};
      // The game centres a name on its line's full height, which puts the capitals' middle a
      // little above the row; the numbers stand level with the capitals.
      c.Text(std::to_string(i) + ".", 50, rows[i] - 130 - RankLift, 24, pal::Orange, pal::Night);
      cairo_move_to(cr, 80, rows[i] - 130 + 15);
      cairo_line_to(cr, w - 14, rows[i] - 130 + 15);
      cairo_set_source_rgba(cr, 0.5, 0.6, 0.8, 0.25);
      cairo_stroke(cr);
    }
  return KeyedPicture(name, w, full, c.Argb());
}

TPackPicture ValueBox(const std::string& name, int w, int h, const std::string& label, bool on) {
  TCanvas c(w, h);
  c.RoundRect(1, 1, w - 2, h - 2, 10);
  c.FillVertical(0, h, on ? TColour{0.12, 0.45, 0.25} : TColour{0.40, 0.10, 0.10}, pal::Night,
                 true);
  cairo_set_line_width(c.Cr, 2);
  c.Colour(pal::Chrome, 0.9);
  cairo_stroke(c.Cr);
  c.Text(label, w / 2.0, h / 2.0 + 1, h * 0.55, on ? pal::Cyan : TColour{1, 0.5, 0.4}, pal::Night);
  return KeyedPicture(name, w, h, c.Argb());
}

TPackPicture TextBox(const std::string& name, int w, int h) {
  TCanvas c(w, h);
  c.RoundRect(1, 1, w - 2, h - 2, 6);
  c.FillVertical(0, h, pal::Night, pal::Steel, true);
  cairo_set_line_width(c.Cr, 2);
  c.Colour(pal::Cyan, 0.8);
  cairo_stroke(c.Cr);
  return KeyedPicture(name, w, h, c.Argb());
}

TPackPicture Title(const std::string& name, int w, int h, const std::string& text) {
  TCanvas c(w, h);
  c.Text(text, w / 2.0, h / 2.0, 64, pal::Orange, pal::Night);
  cairo_move_to(c.Cr, 10, h - 10);
  cairo_line_to(c.Cr, w - 10, h - 10);
  cairo_set_line_width(c.Cr, 3);
  c.Colour(pal::Yellow, 0.8);
  cairo_stroke(c.Cr);
  return KeyedPicture(name, w, h, c.Argb());
}

}  // namespace

std::vector<TPackPicture> BuildMenuPictures(const std::string& assets) {
  auto L = ReadLabels(assets);
  std::vector<TPackPicture> items;
  items.push_back(Filler("Hit area"));  // 0: drawn, but shows nothing
  items.push_back(Backdrop());          // 1
  const char* tabs[6] = {"tab1", "tab2", "tab3", "tab4", "tab5", "tab6"};
  for (bool lit : {false, true})  // 2..7 plain, 8..13 lit
    for (int i = 0; i < 6; ++i)
      items.push_back(Button(std::string("Tab ") + tabs[i], 280, 52, L[tabs[i]], lit, 34));
  items.push_back(ValueBox("Display windowed", 236, 56, L["windowed"], false));      // 14
  items.push_back(ValueBox("Display full screen", 236, 56, L["fullscreen"], true));  // 15
  items.push_back(ValueBox("Music on", 120, 56, L["on"], true));                     // 16
  items.push_back(ValueBox("Music off", 120, 56, L["off"], false));                  // 17
  items.push_back(ValueBox("Sound on", 112, 56, L["on"], true));                     // 18
  items.push_back(ValueBox("Sound off", 112, 56, L["off"], false));                  // 19
  items.push_back(TextBox("Country box", 376, 34));                                  // 20
  items.push_back(TextBox("Boss key box", 214, 32));                                 // 21
  {
    TCanvas c(3, 20);  // 22: the text cursor
    cairo_rectangle(c.Cr, 0, 0, 3, 20);
    c.Colour(pal::Cyan);
    cairo_fill(c.Cr);
    items.push_back(KeyedPicture("Text cursor", 3, 20, c.Argb()));
  }
  items.push_back(Filler("Unused 23"));
  items.push_back(Title("Title help", 300, 80, L["title_help"]));           // 24
  items.push_back(Title("Title bikes", 470, 80, L["title_bikes"]));         // 25
  items.push_back(Title("Title options", 380, 80, L["title_options"]));     // 26
  items.push_back(Title("Title high scores", 460, 80, L["title_scores"]));  // 27
  for (int m = 1; m <= 5; ++m) items.push_back(Showcase(m));                // 28..32
  {
    TCanvas c(394, 140);  // 33: the dialog panel
    c.RoundRect(2, 2, 390, 136, 16);
    c.FillVertical(0, 140, TColour{0.10, 0.12, 0.24}, TColour{0.02, 0.03, 0.08}, true);
    cairo_set_line_width(c.Cr, 4);
    c.Colour(pal::Orange);
    cairo_stroke(c.Cr);
    c.RoundRect(9, 9, 376, 122, 11);
    cairo_set_line_width(c.Cr, 1.5);
    c.Colour(pal::Chrome, 0.5);
    cairo_stroke(c.Cr);
    items.push_back(KeyedPicture("Dialog panel", 394, 140, c.Argb()));
  }
  items.push_back(TwoLookButton("Yes", 118, 44, L["yes"], 30));               // 34
  items.push_back(TwoLookButton("No", 118, 44, L["no"], 30));                 // 35
  items.push_back(TwoLookButton("Back", 130, 48, L["back"], 30));             // 36
  items.push_back(ArrowButton("Previous bike", 72, 96, true));                // 37
  items.push_back(ArrowButton("Next bike", 72, 96, false));                   // 38
  items.push_back(TwoLookButton("Start the race", 284, 48, L["start"], 30));  // 39
  // 40, 41 stand 10 pixels higher than Back (y 532 against 542): their plates start 10 pixels
  // down, so all three plates share one row.
  items.push_back(TwoLookButton("Clear the table", 146, 58, L["clear"], 28, 10));  // 40
  items.push_back(TwoLookButton("Online table", 138, 58, L["online"], 28, 10));    // 41
  items.push_back(TwoLookButton("Help previous", 146, 48, L["prev"], 28));         // 42
  items.push_back(TwoLookButton("Help next", 142, 48, L["next"], 28));             // 43
  for (int i = 44; i <= 49; ++i) items.push_back(Filler("Unused " + std::to_string(i)));
  {
    TCanvas c(96, 96);  // 50: the about picture, a chequered-flag badge
    cairo_t* cr = c.Cr;
    // The flag is cut to the ring's inside, so no corner of it pokes out of the badge.
    cairo_save(cr);
    cairo_arc(cr, 48, 48, 41, 0, 2 * M_PI);
    cairo_clip(cr);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        cairo_rectangle(cr, x * 12, y * 12, 12, 12);
        c.Colour(((x + y) & 1) ? pal::White : pal::Black);
        cairo_fill(cr);
      }
    // A light from the upper left over the cloth.
    cairo_pattern_t* shine = cairo_pattern_create_radial(34, 30, 4, 48, 48, 48);
    cairo_pattern_add_color_stop_rgba(shine, 0, 1, 1, 1, 0.25);
    cairo_pattern_add_color_stop_rgba(shine, 1, 0, 0, 0, 0.35);
    cairo_set_source(cr, shine);
    cairo_paint(cr);
    cairo_pattern_destroy(shine);
    cairo_restore(cr);
    cairo_arc(cr, 48, 48, 44, 0, 2 * M_PI);
    cairo_set_line_width(cr, 6);
    c.Colour(pal::Orange);
    cairo_stroke(cr);
    cairo_arc(cr, 48, 48, 41, 0, 2 * M_PI);
    cairo_set_line_width(cr, 1.5);
    c.Colour(pal::Yellow, 0.8);
    cairo_stroke(cr);
    items.push_back(KeyedPicture("About", 96, 96, c.Argb()));
  }
  items.push_back(Panel("Content", 440, 408, {}, ""));  // 51
  items.push_back(Panel(
      "Bike selection content", 440, 408,
      {{L["power"], 278}, {L["handling"], 306}, {L["acceleration"], 336}, {L["braking"], 368}},
      ""));                                                           // 52
  items.push_back(Panel("High-score table", 440, 468, {}, "ranks"));  // 53
  {
    TCanvas c(16, 24);  // 54: one square of a rating bar
    c.RoundRect(1, 1, 14, 22, 3);
    c.FillVertical(0, 24, pal::Yellow, pal::OrangeDark, true);
    cairo_set_line_width(c.Cr, 1);
    c.Colour(pal::Night);
    cairo_stroke(c.Cr);
    items.push_back(KeyedPicture("Rating square", 16, 24, c.Argb()));
  }
  return items;
}

}  // namespace zw::packbuild
