// Where the race panels leave room for the readouts the race draws on them: one table shared by
// the panel pictures and the test that checks every readout stays inside its window.
#pragma once

namespace zw::panel {

struct TBox {
  int X, Y, W, H;  // screen pixels
};

// Left panel, at (0, 0): the clock, the score, the lives and the speed reading in the dial.
constexpr TBox ClockWell{14, 5, 146, 38};
constexpr TBox ScoreWell{14, 199, 146, 38};
constexpr TBox LivesWell{80, 323, 66, 38};
constexpr TBox SpeedWell{58, 561, 66, 34};
// Right panel, at (626, 0): the level plate over the radar (drawn by the radar frame) and the
// radar window, whose lower-left corner carries the place in the field.
constexpr TBox LevelPlate{634, 6, 158, 30};
constexpr TBox RadarWindow{631, 46, 160, 150};
// Under the radar: the rider's own bike, large, with its kind named in a well below it.
constexpr TBox BikeBay{640, 262, 146, 170};
constexpr TBox BikeNameWell{640, 446, 146, 30};
// The speedometer: the needle's pivot and the dial's outer rim, kept whole inside the panel.
constexpr int DialCentreX = 70, DialCentreY = 520, DialRim = 62;
static_assert(DialCentreX - DialRim >= 4 && DialCentreY + DialRim + 4 <= 600,
              "the dial stands whole on the panel");
// The road the race is seen on, between the two panels.
constexpr TBox Road{174, 0, 452, 600};

}  // namespace zw::panel
