// The bounds check every map, row-table and slot access goes through.
#pragma once

#include <cstdio>
#include <cstdlib>

#if defined(ZW_BOUNDS_CHECKS)
#define ZW_CHECK(cond)                                                                    \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "%s:%d: index out of range: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)
#else
#define ZW_CHECK(cond) ((void)0)
#endif

namespace zw {

// A fixed array numbered from First, as the game numbers its tables and slots.
template <typename T, int First, int Last>
struct TSlots {
  T Data[Last - First + 1]{};
  T& operator[](int i) {
    ZW_CHECK(i >= First && i <= Last);
    return Data[i - First];
  }
  const T& operator[](int i) const {
    ZW_CHECK(i >= First && i <= Last);
    return Data[i - First];
  }
  static constexpr int Low = First;
  static constexpr int High = Last;
};

}  // namespace zw
