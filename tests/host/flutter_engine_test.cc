#include "host/flutter_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/engine_project.h"
#include "tests/support/engine_double.h"

#if defined(_WIN32)
#include "host/flutter_view_controller.h"
#endif

namespace {

class FlutterEngineTest : public testing::Test {
 protected:
  lq_test::EngineDouble engine_double_;
};

TEST(EngineProjectTest, AppendsBundlePathsToTheBaseAsTheyStand) {
  struct Case {
    std::wstring base;
    std::wstring assets;
    std::wstring icu;
    std::wstring aot;
  };
  const Case cases[] = {
      {L"data", L"data\\flutter_assets", L"data\\icudtl.dat", L"data\\app.so"},
      {L"C:\\app\\", L"C:\\app\\\\flutter_assets", L"C:\\app\\\\icudtl.dat",
       L"C:\\app\\\\app.so"},
      {L"", L"\\flutter_assets", L"\\icudtl.dat", L"\\app.so"},
  };
  for (const Case& c : cases) {
    const flutter::EngineProject project(c.base);
    EXPECT_EQ(project.assets_path, c.assets);
    EXPECT_EQ(project.icu_data_path, c.icu);
    EXPECT_EQ(project.aot_library_path, c.aot);
    EXPECT_TRUE(project.entrypoint.empty());
    EXPECT_TRUE(project.entrypoint_arguments.empty());
    EXPECT_EQ(project.engine_options[0], 0);
    EXPECT_EQ(project.engine_options[1], 0);
  }
}

TEST_F(FlutterEngineTest,
       PassesAnEmptyProjectAsCountZeroNullVectorAndEmptyEntrypoint) {
  { flutter::FlutterEngine engine(flutter::EngineProject(L"data")); }
  const lq_test::RecordedProperties& seen = engine_double_.properties();
  EXPECT_EQ(seen.assets_path, L"data\\flutter_assets");
  EXPECT_EQ(seen.icu_data_path, L"data\\icudtl.dat");
  EXPECT_EQ(seen.aot_library_path, L"data\\app.so");
  EXPECT_FALSE(seen.entrypoint_is_null);
  EXPECT_EQ(seen.entrypoint, "");
  EXPECT_EQ(seen.argc, 0);
  EXPECT_TRUE(seen.argv_is_null);
  EXPECT_EQ(seen.option_1, 0);
  EXPECT_EQ(seen.option_2, 0);
}

TEST_F(FlutterEngineTest, PassesArgumentsInOrderAndOptionsUnchanged) {
  flutter::EngineProject project(L"data");
  project.entrypoint = "main";
  project.entrypoint_arguments = {"--first", "", "z\xC3\xBC"};
  project.engine_options = {7, -3};
  { flutter::FlutterEngine engine(project); }
  const lq_test::RecordedProperties& seen = engine_double_.properties();
  EXPECT_EQ(seen.entrypoint, "main");
  EXPECT_EQ(seen.argc, 3);
  EXPECT_FALSE(seen.argv_is_null);
  EXPECT_EQ(seen.arguments, project.entrypoint_arguments);
  EXPECT_EQ(seen.option_1, 7);
  EXPECT_EQ(seen.option_2, -3);
}

TEST_F(FlutterEngineTest, DestroysAnOwnedHandleExactlyOnce) {
  { flutter::FlutterEngine engine(flutter::EngineProject(L"data")); }
  EXPECT_EQ(
      engine_double_.call_lines(),
      (std::vector<std::string>{"EngineCreate", "EngineGetMessenger:handle",
                                "EngineDestroy:handle"}));
}

TEST_F(FlutterEngineTest, NeverDestroysAnEmptyHandleButStillWrapsItsMessenger) {
  engine_double_.answers().create_engine = false;
  {
    flutter::FlutterEngine engine(flutter::EngineProject(L"data"));
    EXPECT_NE(engine.Messenger(), nullptr);
  }
  EXPECT_EQ(
      engine_double_.call_lines(),
      (std::vector<std::string>{"EngineCreate", "EngineGetMessenger:null"}));
}

TEST_F(FlutterEngineTest, KeepsLookingUpRegistrarsAfterReleasingTheHandle) {
  {
    flutter::FlutterEngine engine(flutter::EngineProject(L"data"));
    EXPECT_EQ(engine.ReleaseHandle(), engine_double_.engine_handle());
    EXPECT_EQ(engine.RegistrarForPlugin("SystemTrayPlugin"),
              engine_double_.registrar("SystemTrayPlugin"));
  }
  EXPECT_EQ(engine_double_.call_lines(),
            (std::vector<std::string>{
                "EngineCreate", "EngineGetMessenger:handle",
                "EngineGetPluginRegistrar:handle:SystemTrayPlugin"}));
}

TEST_F(FlutterEngineTest, RefusesRegistrarLookupWithoutAnEngineHandle) {
  engine_double_.answers().create_engine = false;
  flutter::FlutterEngine engine(flutter::EngineProject(L"data"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(engine.RegistrarForPlugin("WindowManagerPlugin"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot get plugin registrar on an engine that isn't running; "
            "call Run first.\n");
  EXPECT_EQ(engine_double_.call_lines().size(), 2u);
}

TEST_F(FlutterEngineTest, RunsOnlyTheLatestNextFrameActionAndOnlyOnce) {
  flutter::FlutterEngine engine(flutter::EngineProject(L"data"));
  auto first_state = std::make_shared<int>(0);
  int first_runs = 0;
  int second_runs = 0;
  engine.SetNextFrameCallback([&first_runs, first_state]() { ++first_runs; });
  engine.SetNextFrameCallback([&second_runs]() { ++second_runs; });
  // The replaced action has been destroyed, not kept somewhere.
  EXPECT_EQ(first_state.use_count(), 1);
  EXPECT_EQ(engine_double_.next_frame_user_data(), &engine);

  FlutterDesktopOnNextFrameCallback trampoline =
      engine_double_.next_frame_callback();
  trampoline(&engine);
  trampoline(&engine);
  EXPECT_EQ(first_runs, 0);
  EXPECT_EQ(second_runs, 1);
}

TEST_F(FlutterEngineTest, KeepsAnActionScheduledByTheRunningAction) {
  flutter::FlutterEngine engine(flutter::EngineProject(L"data"));
  int later_runs = 0;
  engine.SetNextFrameCallback([&engine, &later_runs]() {
    engine.SetNextFrameCallback([&later_runs]() { ++later_runs; });
  });
  engine_double_.DrawFrame();
  engine_double_.DrawFrame();
  EXPECT_EQ(later_runs, 1);
}

TEST_F(FlutterEngineTest, ForwardsFontReloadsToTheEngine) {
  flutter::FlutterEngine engine(flutter::EngineProject(L"data"));
  engine.ReloadSystemFonts();
  EXPECT_EQ(engine_double_.call_lines().back(),
            "EngineReloadSystemFonts:handle");
}

#if defined(_WIN32)

TEST_F(FlutterEngineTest, ViewControllerTakesOverTheEngineAndShutsItDownOnce) {
  {
    flutter::FlutterViewController controller(1264, 681,
                                              flutter::EngineProject(L"data"));
    ASSERT_NE(controller.Engine(), nullptr);
    ASSERT_NE(controller.View(), nullptr);
  }
  EXPECT_EQ(
      engine_double_.call_lines(),
      (std::vector<std::string>{"EngineCreate", "EngineGetMessenger:handle",
                                "ViewControllerCreate:1264x681:handle",
                                "ViewControllerGetView:handle",
                                "ViewControllerDestroy:handle"}));
}

TEST_F(FlutterEngineTest, ViewControllerFailureKeepsTheEngineAndReportsOnce) {
  engine_double_.answers().create_view_controller = false;
  testing::internal::CaptureStderr();
  {
    flutter::FlutterViewController controller(800, 600,
                                              flutter::EngineProject(L"data"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Failed to create view controller.\n");
    EXPECT_EQ(controller.View(), nullptr);
    ASSERT_NE(controller.Engine(), nullptr);
    EXPECT_NE(controller.Engine()->Messenger(), nullptr);
    // A refused controller has no handle to offer messages or redraws to.
    EXPECT_FALSE(controller.HandleTopLevelWindowProc(nullptr, WM_SIZE, 0, 0));
    controller.ForceRedraw();
  }
  EXPECT_EQ(
      engine_double_.call_lines(),
      (std::vector<std::string>{"EngineCreate", "EngineGetMessenger:handle",
                                "ViewControllerCreate:800x600:handle"}));
}

TEST_F(FlutterEngineTest,
       ViewControllerReturnsTheEnginesAnswerOnlyWhenHandled) {
  flutter::FlutterViewController controller(10, 10,
                                            flutter::EngineProject(L"data"));
  EXPECT_FALSE(
      controller.HandleTopLevelWindowProc(nullptr, WM_FONTCHANGE, 0, 0));
  engine_double_.answers().handle_window_messages = true;
  engine_double_.answers().window_message_result = 0x4C51;
  const std::optional<LRESULT> result =
      controller.HandleTopLevelWindowProc(nullptr, WM_FONTCHANGE, 0, 0);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, 0x4C51);
}

#endif  // _WIN32

}  // namespace
