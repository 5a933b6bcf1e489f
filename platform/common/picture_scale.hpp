// Where the 800 x 600 picture goes in a window or on a whole screen, and where a mouse
// position there lands on the picture.
#pragma once

namespace zw {

constexpr int PictureWidth = 800;
constexpr int PictureHeight = 600;

// The picture's place in the output, in output pixels.
struct TViewport {
  int X = 0, Y = 0, W = PictureWidth, H = PictureHeight;
};

// The window's scale on a desktop whose usable area is this large: the largest whole multiple
// of 800 x 600 that fits, and 1 where not even that fits.
int WindowScale(int usableW, int usableH);

// The picture in an output of this size, aspect kept and centred with black bars: a whole-number
// scale when one fills at least three quarters of what the aspect alone would allow, so the art
// keeps square pixels; otherwise (a screen smaller than the picture, or a whole number that
// would leave it small) the largest size the aspect allows.
TViewport FitPicture(int outW, int outH);

// The picture pixel under an output pixel; outside the picture the answer lies outside
// 0..799 x 0..599, as far off as the position is.
void OutputToPicture(const TViewport& vp, int outX, int outY, int& x, int& y);

}  // namespace zw
