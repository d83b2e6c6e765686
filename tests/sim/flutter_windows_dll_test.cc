// The built flutter_windows.dll under Wine, through its import library: the
// test plays the host (window, callbacks, pumping) and, over the test port,
// the UI.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host/flutter_windows.h"
#include "sim/engine/simulated_engine_hooks.h"
#include "tests/sim/sim_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using lq_sim_test::CreateEngine;
namespace fs = std::filesystem;

struct PortReply {
  int status = -1;
  Bytes bytes;
};

// A minimal test-port client; every integer little-endian.
class PortClient {
 public:
  explicit PortClient(uint16_t port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(socket_, reinterpret_cast<sockaddr*>(&address),
                         sizeof(address)) == 0;
  }
  ~PortClient() {
    closesocket(socket_);
    WSACleanup();
  }
  bool connected() const { return connected_; }

  PortReply Message(const std::string& channel, const Bytes& message) {
    Bytes body{1, static_cast<uint8_t>(channel.size())};
    body.insert(body.end(), channel.begin(), channel.end());
    body.insert(body.end(), message.begin(), message.end());
    return Request(body);
  }
  PortReply Close() { return Request({2}); }

 private:
  PortReply Request(const Bytes& body) {
    uint8_t prefix[4];
    for (int i = 0; i < 4; ++i) {
      prefix[i] = static_cast<uint8_t>(body.size() >> (8 * i));
    }
    send(socket_, reinterpret_cast<const char*>(prefix), 4, 0);
    send(socket_, reinterpret_cast<const char*>(body.data()),
         static_cast<int>(body.size()), 0);
    uint8_t header[4];
    PortReply reply;
    if (!Read(header, 4)) return reply;
    const uint32_t length = header[0] | (header[1] << 8) | (header[2] << 16) |
                            (static_cast<uint32_t>(header[3]) << 24);
    Bytes response(length);
    if (length == 0 || !Read(response.data(), length)) return reply;
    reply.status = response[0];
    reply.bytes.assign(response.begin() + 1, response.end());
    return reply;
  }
  bool Read(uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size) {
      const int got = recv(socket_, reinterpret_cast<char*>(out + done),
                           static_cast<int>(size - done), 0);
      if (got <= 0) return false;
      done += static_cast<size_t>(got);
    }
    return true;
  }

  SOCKET socket_ = INVALID_SOCKET;
  bool connected_ = false;
};

int g_close_messages = 0;

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wparam,
                                LPARAM lparam) {
  if (message == WM_CLOSE) {
    ++g_close_messages;
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

std::string JsonPath(const fs::path& path) {
  std::string out;
  for (const char c : path.u8string()) {
    if (c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// Points the process's standard error handle at a new file and has the
// engine follow it, for the object's life; then points both back. The
// engine's C runtime may be its own (MSVC's static one), which sees only the
// process's handle, never this program's streams.
class EngineStandardError {
 public:
  explicit EngineStandardError(fs::path path) : path_(std::move(path)) {
    // Rebinding closes what the engine's streams held, at first the handle
    // the process started with, so the way back is a duplicate of it.
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE),
                    GetCurrentProcess(), &previous_, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    file_ = CreateFileW(path_.wstring().c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, file_);
    FlutterDesktopResyncOutputStreams();
  }
  EngineStandardError(const EngineStandardError&) = delete;
  EngineStandardError& operator=(const EngineStandardError&) = delete;
  ~EngineStandardError() {
    // The duplicate becomes the process's handle and stays open.
    SetStdHandle(STD_ERROR_HANDLE, previous_);
    FlutterDesktopResyncOutputStreams();
    CloseHandle(file_);
  }

  // The bytes written to the file so far.
  std::string Written() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  fs::path path_;
  HANDLE previous_ = nullptr;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Plays the host: a UI bundle folder, a trace, a port, an engine and view
// controller, and a top-level window that adopts the view.
class FlutterWindowsDllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static DWORD run = 0;
    port_ = static_cast<uint16_t>(41000 + (GetCurrentProcessId() % 1000) * 8 +
                                  run++);
    // The trace file of an earlier run may be left behind (the engine keeps
    // it open until exit), so each run takes a fresh folder.
    bundle_ = fs::temp_directory_path() /
              ("lq_dll_test_" + std::to_string(GetTickCount64()) + "_" +
               std::to_string(port_));
    fs::create_directories(bundle_ / "flutter_assets");
    trace_ = bundle_ / "trace.jsonl";
    SetEnvironmentVariableW(L"LANTERNQUILL_ENGINE_TRACE",
                            trace_.wstring().c_str());
    SetEnvironmentVariableW(L"LANTERNQUILL_ENGINE_PORT",
                            std::to_wstring(port_).c_str());
    assets_ = (bundle_ / "flutter_assets").wstring();

    WNDCLASSW window_class{};
    window_class.lpfnWndProc = HostWindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"LanternquillDllTestHost";
    RegisterClassW(&window_class);
    host_ = CreateWindowExW(0, L"LanternquillDllTestHost", L"host",
                            WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    g_close_messages = 0;
  }

  void TearDown() override {
    if (controller_ != nullptr)
      FlutterDesktopViewControllerDestroy(controller_);
    DestroyWindow(host_);
    SetEnvironmentVariableW(L"LANTERNQUILL_ENGINE_PORT", nullptr);
    std::error_code ignored;
    fs::remove_all(bundle_, ignored);
  }

  // Engine and view controller, with the view adopted by the host window.
  void StartView() {
    FlutterDesktopEngineRef engine = CreateEngine(assets_.c_str());
    ASSERT_NE(engine, nullptr);
    controller_ = FlutterDesktopViewControllerCreate(320, 240, engine);
    ASSERT_NE(controller_, nullptr);
    view_ = FlutterDesktopViewGetHWND(
        FlutterDesktopViewControllerGetView(controller_));
    ASSERT_NE(view_, nullptr);
    SetParent(view_, host_);
    messenger_ = FlutterDesktopEngineGetMessenger(engine);
    engine_ = engine;
  }

  std::vector<std::string> Trace() const {
    return lq_sim_test::ReadLines(trace_);
  }

  std::string EngineCreateLine() const {
    return "{\"call\": \"FlutterDesktopEngineCreate\", \"assets_path\": \"" +
           JsonPath(assets_) +
           "\", \"icu_data_path\": \"data\\\\icudtl.dat\", "
           "\"aot_library_path\": \"data\\\\app.so\", \"entrypoint\": \"\", "
           "\"arguments\": null, \"argc\": 0}";
  }

  uint16_t port_ = 0;
  fs::path bundle_;
  fs::path trace_;
  std::wstring assets_;
  HWND host_ = nullptr;
  HWND view_ = nullptr;
  FlutterDesktopViewControllerRef controller_ = nullptr;
  FlutterDesktopMessengerRef messenger_ = nullptr;
  // Owned by the controller; still the handle the host keeps using.
  FlutterDesktopEngineRef engine_ = nullptr;
};

void AnswerCafe(FlutterDesktopMessengerRef messenger,
                const FlutterDesktopMessage* message, void* user_data) {
  static_cast<Bytes*>(user_data)->assign(
      message->message, message->message + message->message_size);
  const uint8_t answer[] = {0xCA, 0xFE};
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle,
                                      answer, sizeof(answer));
}

TEST_F(FlutterWindowsDllTest, AnswersPortMessagesOnTheUiThreadAndTracesThem) {
  ASSERT_NO_FATAL_FAILURE(StartView());
  Bytes received;
  FlutterDesktopMessengerSetCallback(messenger_, "echo", &AnswerCafe,
                                     &received);

  std::vector<PortReply> replies;
  bool connected = false;
  bool finished = false;
  std::thread client([&] {
    PortClient port(port_);
    connected = port.connected();
    if (connected) {
      replies.push_back(port.Message("echo", {1, 2, 3}));
      replies.push_back(port.Message("none", {9}));
      replies.push_back(port.Close());
    }
    finished = true;
  });
  PumpUntil([&] { return finished; });
  client.join();

  ASSERT_TRUE(connected);
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0].status, 0);
  EXPECT_EQ(replies[0].bytes, (Bytes{0xCA, 0xFE}));
  EXPECT_EQ(received, (Bytes{1, 2, 3}));
  EXPECT_EQ(replies[1].status, 1);
  EXPECT_TRUE(replies[1].bytes.empty());
  EXPECT_EQ(replies[2].status, 0);
  PumpUntil([] { return g_close_messages > 0; });
  EXPECT_EQ(g_close_messages, 1);

  EXPECT_EQ(Trace(),
            (std::vector<std::string>{
                EngineCreateLine(),
                "{\"call\": \"FlutterDesktopViewControllerCreate\", "
                "\"width\": 320, \"height\": 240}",
                "{\"call\": \"FlutterDesktopViewControllerGetView\"}",
                "{\"call\": \"FlutterDesktopViewGetHWND\"}",
                "{\"call\": \"FlutterDesktopEngineGetMessenger\"}",
                "{\"call\": \"FlutterDesktopMessengerSetCallback\", "
                "\"channel\": \"echo\", \"set\": true}",
                "{\"call\": \"MessageCallback\", \"channel\": \"echo\"}",
                "{\"call\": \"FlutterDesktopMessengerSendResponse\", "
                "\"size\": 2}"}));
}

TEST_F(FlutterWindowsDllTest, ReportsAMissingResponseFiveSecondsAfterReturn) {
  ASSERT_NO_FATAL_FAILURE(StartView());
  FlutterDesktopMessengerSetCallback(
      messenger_, "silent",
      [](FlutterDesktopMessengerRef, const FlutterDesktopMessage*, void*) {},
      nullptr);
  PortReply reply;
  bool finished = false;
  const auto start = std::chrono::steady_clock::now();
  std::thread client([&] {
    PortClient port(port_);
    if (port.connected()) reply = port.Message("silent", {});
    finished = true;
  });
  PumpUntil([&] { return finished; });
  client.join();
  EXPECT_EQ(reply.status, 2);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(FlutterWindowsDllTest, RefusesAnEngineWithoutItsAssetsFolder) {
  EXPECT_EQ(CreateEngine(L"no_such_bundle\\flutter_assets"), nullptr);
  // Relative paths are taken from the executable's folder.
  const fs::path beside_exe = fs::path(bundle_.filename().wstring() + L"_rel");
  std::wstring exe(MAX_PATH, L'\0');
  exe.resize(GetModuleFileNameW(nullptr, exe.data(), MAX_PATH));
  const fs::path folder = fs::path(exe).parent_path() / beside_exe;
  fs::create_directories(folder);
  FlutterDesktopEngineRef engine = CreateEngine(beside_exe.wstring().c_str());
  EXPECT_NE(engine, nullptr);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine));
  fs::remove_all(folder);
}

TEST_F(FlutterWindowsDllTest, ClaimsOnlyItsOwnRegisteredWindowMessage) {
  ASSERT_NO_FATAL_FAILURE(StartView());
  const UINT claimed =
      RegisterWindowMessageW(L"LanternquillSimulatedEngineMessage");
  LRESULT result = 0;
  EXPECT_TRUE(FlutterDesktopViewControllerHandleTopLevelWindowProc(
      controller_, host_, claimed, 0, 0, &result));
  EXPECT_EQ(result, 0x4C51);
  result = 7;
  for (const UINT message :
       {UINT{WM_SIZE}, UINT{WM_FONTCHANGE}, UINT{WM_DESTROY}, UINT{WM_CLOSE}}) {
    EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(
        controller_, host_, message, 0, 0, &result));
  }
  EXPECT_EQ(result, 7);
}

TEST_F(FlutterWindowsDllTest, RunsTheNextFrameCallbackOnceAfterAPaint) {
  ASSERT_NO_FATAL_FAILURE(StartView());
  struct Frames {
    int count = 0;
    DWORD thread = 0;
  } frames;
  FlutterDesktopEngineSetNextFrameCallback(
      engine_,
      [](void* user_data) {
        auto* self = static_cast<Frames*>(user_data);
        ++self->count;
        self->thread = GetCurrentThreadId();
      },
      &frames);
  // Hidden, as the host keeps its window until the first frame: the forced
  // redraw still produces a frame.
  FlutterDesktopViewControllerForceRedraw(controller_);
  EXPECT_EQ(frames.count, 0) << "not run inside the call";
  PumpUntil([&] { return frames.count > 0; });
  EXPECT_EQ(frames.count, 1);
  EXPECT_EQ(frames.thread, GetCurrentThreadId());

  // Shown and painted again: the callback was one-shot.
  ShowWindow(host_, SW_SHOWNORMAL);
  MoveWindow(view_, 0, 0, 200, 100, TRUE);
  FlutterDesktopViewControllerForceRedraw(controller_);
  PumpUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(frames.count, 1);
  EXPECT_EQ(Trace().back(),
            "{\"call\": \"FlutterDesktopViewControllerForceRedraw\"}");

  // A callback set while the window is shown runs after a real WM_PAINT.
  FlutterDesktopEngineSetNextFrameCallback(
      engine_,
      [](void* user_data) { ++static_cast<Frames*>(user_data)->count; },
      &frames);
  InvalidateRect(view_, nullptr, FALSE);
  PumpUntil([&] { return frames.count > 1; });
  EXPECT_EQ(frames.count, 2);
}

TEST_F(FlutterWindowsDllTest, KeepsAReferencedMessengerAfterTheViewIsGone) {
  ASSERT_NO_FATAL_FAILURE(StartView());
  EXPECT_EQ(FlutterDesktopMessengerAddRef(messenger_), messenger_);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger_));
  FlutterDesktopViewControllerDestroy(controller_);
  controller_ = nullptr;
  EXPECT_FALSE(IsWindow(view_));
  FlutterDesktopMessengerRef token = FlutterDesktopMessengerLock(messenger_);
  EXPECT_EQ(token, messenger_);
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger_));
  FlutterDesktopMessengerUnlock(token);
  FlutterDesktopMessengerRelease(messenger_);
  // The port closed with the view controller.
  PortClient port(port_);
  EXPECT_FALSE(port.connected());
}

TEST_F(FlutterWindowsDllTest, ReportsAPortThatCannotBeBound) {
  ASSERT_NO_FATAL_FAILURE(StartView());
  // A second engine on the same port: the port is taken.
  FlutterDesktopEngineRef engine = CreateEngine(assets_.c_str());
  ASSERT_NE(engine, nullptr);
  EngineStandardError errors(bundle_ / "stderr.txt");
  FlutterDesktopViewControllerRef second =
      FlutterDesktopViewControllerCreate(10, 10, engine);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(errors.Written(), "simulated engine: cannot listen on 127.0.0.1:" +
                                  std::to_string(port_) + "\r\n");
  FlutterDesktopViewControllerDestroy(second);
}

// What FlutterDesktopResyncOutputStreams is for: the engine's diagnostics go
// where the process's standard error goes now, each time it changes, and
// back again.
TEST_F(FlutterWindowsDllTest, ResyncedOutputFollowsTheStandardErrorHandle) {
  const std::string line =
      "simulated engine: response handle unknown or already used\r\n";
  for (const char* name : {"first.txt", "second.txt"}) {
    EngineStandardError errors(bundle_ / name);
    FlutterDesktopMessengerSendResponse(nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(errors.Written(), line) << name;
  }
}

}  // namespace
