#pragma once

// The view's window: a child window that paints a stand-in for the UI (the
// app title, the last input-channel calls and their replies, the characters
// typed into it) and reports each painted frame to the engine.

#include <memory>
#include <string>

#include "host/unique_handles.h"
#include "sim/engine/simulated_engine.h"
#include "sim/engine/this_module_win.h"

namespace lanternquill::sim {

// A face with a glyph of its own for every character the demo types, the
// check mark and the emoji included. Under Wine, GDI takes no missing glyph
// from another font, and Wine's stand-ins for the Windows faces have neither;
// Debian's fonts-dejavu-core provides this one, found through fontconfig.
inline constexpr wchar_t kSelfContainedFace[] = L"DejaVu Sans";

// The face of everything the view writes: the self-contained one where it is
// installed, else Segoe UI, whose gaps Windows fills from its other fonts.
const wchar_t* ViewFontFace();

// A font of the view's face; the caller deletes it.
HFONT CreateViewFont(int height, int weight);

class StandInView {
 public:
  // Empty when the window cannot be made. `parent` holds the view until the
  // host re-parents it.
  static std::unique_ptr<StandInView> Create(HWND parent, int width, int height,
                                             FlutterDesktopEngine* engine);
  StandInView(const StandInView&) = delete;
  StandInView& operator=(const StandInView&) = delete;
  ~StandInView();

  HWND window() const { return window_.get(); }

  // Schedules a frame. A hidden view gets no WM_PAINT, yet the host waits
  // for a frame before it shows its window, so a hidden view renders the
  // frame off-screen, as a real engine renders whether shown or not.
  void ForceRedraw();

 private:
  explicit StandInView(FlutterDesktopEngine* engine) : engine_(engine) {}

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  // `window` comes with the message: during creation window_ is not set.
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam,
                        LPARAM lparam);
  void Render(HDC dc, const RECT& area) const;
  void RenderOffscreen() const;
  void AddTypedUnit(wchar_t unit);

  FlutterDesktopEngine* engine_;
  std::wstring typed_;
  UniqueWindow window_;
};

}  // namespace lanternquill::sim
