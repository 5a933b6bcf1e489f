// The frame-rate measure that is every movement's time base.
#pragma once

#include <cstdint>

namespace zw {

struct TTiming {
  int32_t FrameRate = 0;
  int32_t FrameTime = 15;
  double SpeedFactor = 1.0;
  int32_t RefreshRate = 60;
  // The timer's measuring window.
  int64_t WindowMs = 0;
  int32_t WindowFrames = 0;
  int64_t FrameNumber = 0;     // frames run so far (for logs)
  int32_t TimerFrameRate = 0;  // the timer's last measured rate
};

}  // namespace zw
