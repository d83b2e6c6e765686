#include "sim/engine/stand_in_view_win.h"

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

}  // namespace

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

  HFONT title_font =
      CreateFontW(-36, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
  HFONT text_font =
      CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
  HGDIOBJ old_font = SelectObject(dc, title_font);
  SetTextColor(dc, RGB(255, 214, 120));
  RECT line{area.left + 24, area.top + 20, area.right - 24, area.top + 70};
  DrawTextW(dc, L"Lanternquill", -1, &line, DT_LEFT | DT_SINGLELINE);

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
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line,
              DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
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
