// The picture's scaling: whole multiples where they serve, and the mouse mapped back exactly.
#include "platform/common/picture_scale.hpp"

#include <algorithm>

namespace zw {

namespace {

// Division rounding towards minus infinity, so a position left of the picture maps left of it.
long long FloorDiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

int WindowScale(int usableW, int usableH) {
  const int k = std::min(usableW / PictureWidth, usableH / PictureHeight);
  return std::max(k, 1);
}

TViewport FitPicture(int outW, int outH) {
  TViewport vp;
  if (outW <= 0 || outH <= 0) return vp;
  const int whole = std::min(outW / PictureWidth, outH / PictureHeight);
  // The aspect-kept size: the full width, or the full height, whichever is the tighter.
  int w = outW, h = outW * PictureHeight / PictureWidth;
  if (h > outH) {
    h = outH;
    w = outH * PictureWidth / PictureHeight;
  }
  // A whole number wins when it reaches three quarters of that width (4 x whole x 800 >= 3w).
  if (whole >= 1 && 4LL * whole * PictureWidth >= 3LL * w) {
    w = whole * PictureWidth;
    h = whole * PictureHeight;
  }
  vp.W = w;
  vp.H = h;
  vp.X = (outW - w) / 2;
  vp.Y = (outH - h) / 2;
  return vp;
}

void OutputToPicture(const TViewport& vp, int outX, int outY, int& x, int& y) {
  const int w = vp.W > 0 ? vp.W : PictureWidth;
  const int h = vp.H > 0 ? vp.H : PictureHeight;
  x = static_cast<int>(FloorDiv(static_cast<long long>(outX - vp.X) * PictureWidth, w));
  y = static_cast<int>(FloorDiv(static_cast<long long>(outY - vp.Y) * PictureHeight, h));
}

}  // namespace zw
