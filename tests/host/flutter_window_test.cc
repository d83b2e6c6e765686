#include "host/flutter_window.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

#include "host/engine_project.h"
#include "host/flutter_windows.h"
#include "tests/support/engine_double.h"

// The plugin libraries are not part of these tests; the host window only
// needs their registration functions to link.
extern "C" {
void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef /*registrar*/) {}
void SystemTrayPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef /*registrar*/) {}
void WindowManagerPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef /*registrar*/) {}
}

namespace {

class TestFlutterWindow : public FlutterWindow {
 public:
  TestFlutterWindow() : FlutterWindow(flutter::EngineProject(L"data")) {}

  // Straight to the window's handler: also when it has no native window.
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return HandleMessage(GetHandle(), message, wparam, lparam);
  }
};

class FlutterWindowTest : public testing::Test {
 protected:
  lq_test::EngineDouble engine_double_;
};

TEST_F(FlutterWindowTest, ReloadsFontsOncePerFontChangeOnlyWithAController) {
  struct Case {
    const char* name;
    std::function<void(TestFlutterWindow&)> prepare;
    bool engine_claims;
    int reloads;
  };
  const auto create = [](TestFlutterWindow& window) {
    ASSERT_TRUE(window.Create(L"Lanternquill", {10, 10}, {400, 300}));
  };
  const Case cases[] = {
      {"never created", [](TestFlutterWindow&) {}, false, 0},
      {"created", create, false, 1},
      {"claimed by the engine", create, true, 0},
      {"native window destroyed",
       [&create](TestFlutterWindow& window) {
         create(window);
         ::DestroyWindow(window.GetHandle());
       },
       false, 0},
  };
  for (const Case& c : cases) {
    // Each case starts from an engine that claims no message.
    lq_test::EngineDouble engine_double;
    TestFlutterWindow window;
    c.prepare(window);
    engine_double.answers().handle_window_messages = c.engine_claims;
    engine_double.ClearCalls();

    window.Send(WM_FONTCHANGE);

    const std::vector<std::string> calls = engine_double.call_lines();
    EXPECT_EQ(std::count(calls.begin(), calls.end(),
                         "EngineReloadSystemFonts:handle"),
              c.reloads)
        << c.name;
  }
}

// From 96 to 120 dots per inch the system suggests the window scaled by
// 1.25; the rectangle arrives by pointer, so only a program that hosts the
// window can send it.
TEST_F(FlutterWindowTest, TakesTheSuggestedRectangleOnADpiChangeAndTheView) {
  HWND view = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 5, 5,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(view, nullptr);
  engine_double_.answers().view_window = view;
  TestFlutterWindow window;
  ASSERT_TRUE(window.Create(L"Lanternquill", {10, 10}, {1280, 720}));
  ASSERT_EQ(::GetAncestor(view, GA_PARENT), window.GetHandle());

  RECT suggested = {12, 12, 12 + 1600, 12 + 900};
  EXPECT_EQ(
      ::SendMessageW(window.GetHandle(), WM_DPICHANGED, MAKEWPARAM(120, 120),
                     reinterpret_cast<LPARAM>(&suggested)),
      0);

  RECT rect = {};
  ::GetWindowRect(window.GetHandle(), &rect);
  EXPECT_EQ(rect.left, suggested.left);
  EXPECT_EQ(rect.top, suggested.top);
  EXPECT_EQ(rect.right, suggested.right);
  EXPECT_EQ(rect.bottom, suggested.bottom);
  // The view covers the new client area, which grew with the window.
  const RECT client = window.ClientArea();
  RECT view_rect = {};
  ::GetWindowRect(view, &view_rect);
  ::MapWindowPoints(nullptr, window.GetHandle(),
                    reinterpret_cast<POINT*>(&view_rect), 2);
  EXPECT_EQ(view_rect.left, client.left);
  EXPECT_EQ(view_rect.top, client.top);
  EXPECT_EQ(view_rect.right, client.right);
  EXPECT_EQ(view_rect.bottom, client.bottom);
  EXPECT_GT(client.right, 1280);
}

}  // namespace

#endif  // _WIN32
