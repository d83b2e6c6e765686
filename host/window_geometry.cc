#include "host/window_geometry.h"

PhysicalWindowRect ScaleToDpi(const WindowPoint& origin, const WindowSize& size,
                              uint32_t dpi) {
  const double scale = dpi / 96.0;
  return PhysicalWindowRect{static_cast<int32_t>(origin.x * scale),
                            static_cast<int32_t>(origin.y * scale),
                            static_cast<int32_t>(size.width * scale),
                            static_cast<int32_t>(size.height * scale)};
}
