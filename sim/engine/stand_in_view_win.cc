#include "sim/engine/stand_in_view_win.h"

// After windows.h, which the view's header brings and it needs.
#include <usp10.h>

#include <cwchar>
#include <string>
#include <vector>

#include "sim/engine/engine_trace.h"

namespace lanternquill::sim {
namespace {

constexpr wchar_t kViewClass[] = L"LanternquillSimulatedView";
constexpr UINT kLogChangedMessage = WM_APP + 2;
constexpr size_t kKeptTypedUnits = 160;

std::wstring Widen(const std::string& utf8) {
  const int length = MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                      out.data(), length);
  return out;
}

void RegisterViewClass(WNDPROC procedure) {
  WNDCLASSW window_class{};
  if (GetClassInfoW(ThisModule(), kViewClass, &window_class)) return;
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = ThisModule();
  // IDC_ARROW, spelled as the wide resource id.
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  window_class.lpszClassName = kViewClass;
  RegisterClassW(&window_class);
}

// Writes one line, clipped to `line`. Uniscribe shapes it, so that a
// character beyond the first plane (an emoji) gets its glyph: under Wine,
// DrawTextW draws each half of a surrogate pair as a missing glyph.
void WriteLine(HDC dc, const std::wstring& text, const RECT& line) {
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  SCRIPT_STRING_ANALYSIS analysis = nullptr;
  if (FAILED(ScriptStringAnalyse(dc, text.c_str(), length, length * 3 / 2 + 16,
                                 -1, SSA_GLYPHS | SSA_CLIP,
                                 line.right - line.left, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, &analysis))) {
    return;
  }
  ScriptStringOut(analysis, line.left, line.top, ETO_CLIPPED, &line, 0, 0,
                  FALSE);
  ScriptStringFree(&analysis);
}

}  // namespace

const wchar_t* ViewFontFace() {
  static const wchar_t* const face = [] {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(wanted.lfFaceName, LF_FACESIZE, kSelfContainedFace);
    bool installed = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
          *reinterpret_cast<bool*>(found) = true;
          return 0;
        },
        reinterpret_cast<LPARAM>(&installed), 0);
    ReleaseDC(nullptr, screen);
    return installed ? kSelfContainedFace : L"Segoe UI";
  }();
  return face;
}

HFONT CreateViewFont(int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, ViewFontFace());
}

std::unique_ptr<StandInView> StandInView::Create(HWND parent, int width,
                                                 int height,
                                                 FlutterDesktopEngine* engine) {
  RegisterViewClass(&StandInView::WindowProc);
  std::unique_ptr<StandInView> view(new StandInView(engine));
  HWND window = CreateWindowExW(
      0, kViewClass, L"Lanternquill", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
      0, 0, width, height, parent, nullptr, ThisModule(), view.get());
  if (window == nullptr) return nullptr;
  view->window_.reset(window);
  engine->input_log()->SetOnChange(
      [window] { PostMessageW(window, kLogChangedMessage, 0, 0); });
  return view;
}

StandInView::~StandInView() {
  engine_->input_log()->SetOnChange(nullptr);
  if (window_.get() != nullptr && IsWindow(window_.get())) {
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
  }
}

void StandInView::ForceRedraw() {
  InvalidateRect(window_.get(), nullptr, FALSE);
  if (!IsWindowVisible(window_.get())) {
    engine_->tasks().Post([this] {
      RenderOffscreen();
      engine_->FramePainted();
    });
  }
}

LRESULT CALLBACK StandInView::WindowProc(HWND window, UINT message,
                                         WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  auto* view =
      reinterpret_cast<StandInView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (view == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DefWindowProcW(window, message, wparam, lparam);
  }
  try {
    return view->HandleMessage(window, message, wparam, lparam);
  } catch (...) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
}

LRESULT StandInView::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                   LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      Render(dc, area);
      EndPaint(window, &paint);
      engine_->FramePainted();
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_CHAR:
      AddTypedUnit(static_cast<wchar_t>(wparam));
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    // Traced, so that tests see where the host puts the keyboard focus.
    case WM_SETFOCUS:
      TraceCall("ViewSetFocus");
      return 0;
    case WM_KILLFOCUS:
      TraceCall("ViewKillFocus");
      return 0;
    case kLogChangedMessage:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

void StandInView::AddTypedUnit(wchar_t unit) {
  if (unit == L'\b') {
    if (!typed_.empty()) typed_.pop_back();
    return;
  }
  if (unit == L'\r') unit = L' ';
  if (unit < 0x20) return;
  typed_.push_back(unit);
  if (typed_.size() > kKeptTypedUnits) {
    typed_.erase(0, typed_.size() - kKeptTypedUnits);
  }
}

void StandInView::Render(HDC dc, const RECT& area) const {
  HBRUSH background = CreateSolidBrush(RGB(24, 28, 40));
  FillRect(dc, &area, background);
  DeleteObject(background);
  SetBkMode(dc, TRANSPARENT);

  HFONT title_font = CreateViewFont(-36, FW_BOLD);
  HFONT text_font = CreateViewFont(-18, FW_NORMAL);
  HGDIOBJ old_font = SelectObject(dc, title_font);
  SetTextColor(dc, RGB(255, 214, 120));
  RECT line{area.left + 24, area.top + 20, area.right - 24, area.top + 70};
  WriteLine(dc, L"Lanternquill", line);

  SelectObject(dc, text_font);
  SetTextColor(dc, RGB(220, 224, 235));
  line.top = line.bottom + 8;
  std::vector<std::wstring> lines{L"Last calls on com.lanternquill/input:"};
  const std::vector<InputCallEntry> calls = engine_->input_log()->Recent();
  if (calls.empty()) lines.emplace_back(L"    (none yet)");
  for (const InputCallEntry& call : calls) {
    lines.push_back(L"    " + Widen(call.method) + L" \u2192 " +
                    Widen(call.reply));
  }
  lines.emplace_back(L"");
  lines.push_back(L"Typed: " + typed_);
  for (const std::wstring& text : lines) {
    line.bottom = line.top + 26;
    WriteLine(dc, text, line);
    line.top = line.bottom;
  }
  SelectObject(dc, old_font);
  DeleteObject(title_font);
  DeleteObject(text_font);
}

void StandInView::RenderOffscreen() const {
  RECT area;
  GetClientRect(window_.get(), &area);
  HDC window_dc = GetDC(window_.get());
  HDC dc = CreateCompatibleDC(window_dc);
  HBITMAP bitmap =
      CreateCompatibleBitmap(window_dc, area.right > 0 ? area.right : 1,
                             area.bottom > 0 ? area.bottom : 1);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  Render(dc, area);
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(window_.get(), window_dc);
}

}  // namespace lanternquill::sim
