#include "host/window_geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowGeometryTest, ScalesTheStartWindowToEachDpiTruncatingTowardZero) {
  struct Case {
    uint32_t dpi;
    PhysicalWindowRect expected;
  };
  const Case cases[] = {
      {96, {10, 10, 1280, 720}},   {120, {12, 12, 1600, 900}},
      {144, {15, 15, 1920, 1080}}, {168, {17, 17, 2240, 1260}},
      {72, {7, 7, 960, 540}},
  };
  for (const Case& c : cases) {
    const PhysicalWindowRect rect =
        ScaleToDpi(WindowPoint{10, 10}, WindowSize{1280, 720}, c.dpi);
    EXPECT_EQ(rect.x, c.expected.x) << c.dpi;
    EXPECT_EQ(rect.y, c.expected.y) << c.dpi;
    EXPECT_EQ(rect.width, c.expected.width) << c.dpi;
    EXPECT_EQ(rect.height, c.expected.height) << c.dpi;
  }
}

TEST(WindowGeometryTest, TruncatesNegativeOriginsTowardZero) {
  const PhysicalWindowRect rect =
      ScaleToDpi(WindowPoint{-10, -3}, WindowSize{1, 1}, 120);
  EXPECT_EQ(rect.x, -12);  // -12.5
  EXPECT_EQ(rect.y, -3);   // -3.75
}

}  // namespace
