#pragma once

#include <cstdint>

// Window positions and sizes in logical pixels (96 per inch), and their
// scaling to a monitor's physical pixels.

struct WindowPoint {
  int32_t x;
  int32_t y;
};

struct WindowSize {
  int32_t width;
  int32_t height;
};

struct PhysicalWindowRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// Scales by dpi / 96 in double precision, truncating each value toward zero.
PhysicalWindowRect ScaleToDpi(const WindowPoint& origin, const WindowSize& size,
                              uint32_t dpi);
