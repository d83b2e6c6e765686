#include "host/win32_window.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "host/window_theme.h"
#include "tests/support/engine_double.h"

namespace {

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";

class TestWindow : public Win32Window {
 public:
  bool created_result = true;
  bool destroyed_throws = false;
  int created_calls = 0;
  int destroyed_calls = 0;

  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return HandleMessage(GetHandle(), message, wparam, lparam);
  }

 protected:
  bool OnCreated() override {
    ++created_calls;
    return created_result;
  }
  void OnDestroyed() override {
    ++destroyed_calls;
    if (destroyed_throws) {
      throw std::bad_alloc();
    }
  }
};

bool ClassRegistered() {
  WNDCLASSW window_class = {};
  return ::GetClassInfoW(::GetModuleHandleW(nullptr), kClassName,
                         &window_class) != 0;
}

bool QuitPosted() {
  MSG message;
  bool quit = false;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    quit = quit || message.message == WM_QUIT;
  }
  return quit;
}

class Win32WindowTest : public testing::Test {
 protected:
  void SetUp() override { QuitPosted(); }

  lq_test::EngineDouble engine_double_;
};

TEST_F(Win32WindowTest, CreatesHiddenWindowScaledToTheMonitorDpi) {
  struct Case {
    uint32_t dpi;
    RECT expected;
  };
  const Case cases[] = {
      {96, {10, 10, 10 + 1280, 10 + 720}},
      {120, {12, 12, 12 + 1600, 12 + 900}},
      {144, {15, 15, 15 + 1920, 15 + 1080}},
  };
  for (const Case& c : cases) {
    engine_double_.answers().dpi = c.dpi;
    TestWindow window;
    ASSERT_TRUE(window.Create(L"Lanternquill", {10, 10}, {1280, 720}));
    RECT rect = {};
    ::GetWindowRect(window.GetHandle(), &rect);
    EXPECT_EQ(rect.left, c.expected.left) << c.dpi;
    EXPECT_EQ(rect.top, c.expected.top) << c.dpi;
    EXPECT_EQ(rect.right, c.expected.right) << c.dpi;
    EXPECT_EQ(rect.bottom, c.expected.bottom) << c.dpi;
    EXPECT_FALSE(::IsWindowVisible(window.GetHandle()));
    wchar_t title[64] = {};
    ::GetWindowTextW(window.GetHandle(), title, 64);
    EXPECT_EQ(std::wstring(title), L"Lanternquill");
    EXPECT_EQ(window.created_calls, 1);
  }
}

TEST_F(Win32WindowTest, ReturnsWhatOnCreatedReports) {
  TestWindow window;
  window.created_result = false;
  EXPECT_FALSE(window.Create(L"t", {0, 0}, {100, 100}));
  EXPECT_NE(window.GetHandle(), nullptr);
}

TEST_F(Win32WindowTest, ShowReportsWhetherTheWindowWasVisibleBefore) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"t", {0, 0}, {100, 100}));
  EXPECT_FALSE(window.Show());
  EXPECT_TRUE(::IsWindowVisible(window.GetHandle()));
  EXPECT_TRUE(window.Show());
}

// Only the transitions this test makes are checked: what came before it in
// the process is not its business.
TEST_F(Win32WindowTest,
       RegistersTheClassOnceAndUnregistersItWithTheLastObject) {
  {
    TestWindow first;
    ASSERT_TRUE(first.Create(L"a", {0, 0}, {100, 100}));
    EXPECT_TRUE(ClassRegistered());
    {
      TestWindow second;
      ASSERT_TRUE(second.Create(L"b", {0, 0}, {100, 100}));
      // The first object's native window goes, the object stays.
      ::DestroyWindow(first.GetHandle());
      EXPECT_EQ(first.GetHandle(), nullptr);
      EXPECT_TRUE(ClassRegistered());
    }
    EXPECT_TRUE(ClassRegistered());
  }
  EXPECT_FALSE(ClassRegistered());
  // A later window registers it again.
  TestWindow later;
  ASSERT_TRUE(later.Create(L"c", {0, 0}, {100, 100}));
  EXPECT_TRUE(ClassRegistered());
}

// Also when OnDestroyed throws: the loop must not go on without a window.
TEST_F(Win32WindowTest, PostsTheQuitMessageOnDestroyOnlyWhenAsked) {
  for (bool quit : {false, true}) {
    for (bool throws : {false, true}) {
      TestWindow window;
      ASSERT_TRUE(window.Create(L"t", {0, 0}, {100, 100}));
      window.SetQuitOnDestroy(quit);
      window.destroyed_throws = throws;
      const int destroyed_before = window.destroyed_calls;
      ::DestroyWindow(window.GetHandle());
      EXPECT_EQ(window.GetHandle(), nullptr);
      EXPECT_EQ(window.destroyed_calls, destroyed_before + 1);
      EXPECT_EQ(QuitPosted(), quit) << "throws: " << throws;
      window.destroyed_throws = false;
    }
  }
}

// The system asks before the session ends, and so does Restart Manager
// before an update (ENDSESSION_CLOSEAPP): the window agrees, and closes the
// normal way, quit message included, only when the end really comes.
TEST_F(Win32WindowTest, ClosesWhenTheSessionEndsAndOnlyThen) {
  struct Case {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    LRESULT result;
    bool closes;
  };
  const Case cases[] = {
      {WM_QUERYENDSESSION, 0, 0, TRUE, false},
      {WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, TRUE, false},
      {WM_ENDSESSION, FALSE, 0, 0, false},
      {WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP, 0, false},
      {WM_ENDSESSION, TRUE, 0, 0, true},
      {WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, 0, true},
      {WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 0, true},
  };
  for (const Case& c : cases) {
    TestWindow window;
    ASSERT_TRUE(window.Create(L"t", {0, 0}, {100, 100}));
    window.SetQuitOnDestroy(true);
    const HWND handle = window.GetHandle();
    const int destroyed_before = window.destroyed_calls;
    QuitPosted();  // the quit of the previous case's window, which is gone

    EXPECT_EQ(::SendMessageW(handle, c.message, c.wparam, c.lparam), c.result)
        << c.message << " " << c.wparam << " " << c.lparam;

    EXPECT_EQ(::IsWindow(handle) == FALSE, c.closes)
        << c.message << " " << c.wparam;
    EXPECT_EQ(window.GetHandle() == nullptr, c.closes);
    EXPECT_EQ(window.destroyed_calls, destroyed_before + (c.closes ? 1 : 0));
    EXPECT_EQ(QuitPosted(), c.closes);
  }
}

TEST_F(Win32WindowTest, KeepsTheChildStretchedOverTheClientAreaAndFocused) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"t", {0, 0}, {400, 300}));
  EXPECT_EQ(window.Send(WM_SIZE), 0);  // no child yet: nothing to do
  HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 5, 5,
                                 nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  window.SetChildWindow(child);
  EXPECT_EQ(::GetAncestor(child, GA_PARENT), window.GetHandle());
  EXPECT_EQ(::GetFocus(), child);
  // Activation gives the focus back to the child.
  ::SetFocus(window.GetHandle());
  ASSERT_EQ(::GetFocus(), window.GetHandle());
  EXPECT_EQ(::SendMessageW(window.GetHandle(), WM_ACTIVATE, WA_ACTIVE, 0), 0);
  EXPECT_EQ(::GetFocus(), child);

  ::SetWindowPos(window.GetHandle(), nullptr, 0, 0, 500, 420,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client = window.ClientArea();
  RECT child_rect = {};
  ::GetClientRect(child, &child_rect);
  EXPECT_EQ(child_rect.right, client.right - client.left);
  EXPECT_EQ(child_rect.bottom, client.bottom - client.top);
  EXPECT_GT(client.right, 0);
}

TEST_F(Win32WindowTest, MovesToTheSuggestedRectangleOnDpiChange) {
  TestWindow window;
  ASSERT_TRUE(window.Create(L"t", {0, 0}, {400, 300}));
  RECT suggested = {30, 40, 30 + 640, 40 + 480};
  EXPECT_EQ(window.Send(WM_DPICHANGED, MAKEWPARAM(120, 120),
                        reinterpret_cast<LPARAM>(&suggested)),
            0);
  RECT rect = {};
  ::GetWindowRect(window.GetHandle(), &rect);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right - rect.left, 640);
  EXPECT_EQ(rect.bottom - rect.top, 480);
}

// The dark-mode attribute cannot be read back under Wine, so the theme step
// is checked against a recording setter.
std::vector<std::pair<DWORD, BOOL>> recorded_attributes;

HRESULT WINAPI RecordAttribute(HWND /*window*/, DWORD attribute, LPCVOID value,
                               DWORD value_size) {
  EXPECT_EQ(value_size, sizeof(BOOL));
  recorded_attributes.emplace_back(attribute, *static_cast<const BOOL*>(value));
  return S_OK;
}

constexpr wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kThemeValue[] = L"AppsUseLightTheme";

// A registry value of the current user as it is stored, or its absence.
struct RegistryValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  bool operator==(const RegistryValue& other) const {
    return present == other.present && type == other.type && data == other.data;
  }
};

RegistryValue ReadThemeValue() {
  RegistryValue value;
  constexpr DWORD kFlags = RRF_RT_ANY | RRF_NOEXPAND;
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, kFlags,
                     &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return RegistryValue();
  }
  value.data.resize(size);
  value.present =
      ::RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, kFlags,
                     &value.type, value.data.data(), &size) == ERROR_SUCCESS;
  value.data.resize(size);
  return value;
}

// On a real desktop the theme value is the user's own setting: it is put
// back as it was however the test ends.
class ThemeValueRestorer {
 public:
  explicit ThemeValueRestorer(RegistryValue saved) : saved_(std::move(saved)) {}
  ~ThemeValueRestorer() {
    if (saved_.present) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, saved_.type,
                        saved_.data.data(),
                        static_cast<DWORD>(saved_.data.size()));
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue);
    }
  }
  ThemeValueRestorer(const ThemeValueRestorer&) = delete;
  ThemeValueRestorer& operator=(const ThemeValueRestorer&) = delete;

 private:
  RegistryValue saved_;
};

void SetLightTheme(DWORD value) {
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue,
                              REG_DWORD, &value, sizeof(value)),
            ERROR_SUCCESS);
}

TEST(WindowThemeTest, DarkTitleBarFollowsAppsUseLightTheme) {
  struct Case {
    const wchar_t* description;
    bool write;  // false: value deleted
    DWORD type;
    DWORD value;
    std::vector<std::pair<DWORD, BOOL>> expected;
  };
  // Ends on a value no user has, so the check after it sees the restoring.
  const std::vector<Case> cases = {
      {L"missing", false, REG_DWORD, 0, {}},
      {L"light off", true, REG_DWORD, 0, {{20, TRUE}}},
      {L"light on", true, REG_DWORD, 1, {{20, FALSE}}},
      {L"other number", true, REG_DWORD, 7, {{20, FALSE}}},
      {L"wrong type", true, REG_BINARY, 0, {}},
  };
  const RegistryValue before = ReadThemeValue();
  {
    ThemeValueRestorer restorer(before);
    for (const Case& c : cases) {
      if (c.write) {
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue,
                                    c.type, &c.value, sizeof(c.value)),
                  ERROR_SUCCESS);
      } else {
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue);
      }
      recorded_attributes.clear();
      ApplyWindowTheme(nullptr, &RecordAttribute);
      EXPECT_EQ(recorded_attributes, c.expected) << c.description;
    }
  }
  EXPECT_EQ(ReadThemeValue(), before);
}

// The recorder stands in for the window's setter for one test, and the
// user's theme value is put back afterwards.
class RecordedTheme {
 public:
  RecordedTheme()
      : restorer_(ReadThemeValue()),
        replaced_(ReplaceWindowAttributeSetter(&RecordAttribute)) {
    recorded_attributes.clear();
  }
  ~RecordedTheme() { ReplaceWindowAttributeSetter(replaced_); }
  RecordedTheme(const RecordedTheme&) = delete;
  RecordedTheme& operator=(const RecordedTheme&) = delete;

 private:
  ThemeValueRestorer restorer_;
  SetWindowAttributeFunction replaced_;
};

TEST_F(Win32WindowTest, ReadsTheThemeAgainOnEveryColorizationChange) {
  RecordedTheme theme;
  SetLightTheme(1);
  TestWindow window;
  ASSERT_TRUE(window.Create(L"t", {0, 0}, {100, 100}));
  for (const DWORD light : {0u, 1u, 0u}) {
    SetLightTheme(light);
    EXPECT_EQ(::SendMessageW(window.GetHandle(), WM_DWMCOLORIZATIONCOLORCHANGED,
                             0, 0),
              0);
  }
  const std::vector<std::pair<DWORD, BOOL>> expected = {
      {20, FALSE}, {20, TRUE}, {20, FALSE}, {20, TRUE}};
  EXPECT_EQ(recorded_attributes, expected);
}

}  // namespace

#endif  // _WIN32
