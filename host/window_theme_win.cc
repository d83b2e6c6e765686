#include "host/window_theme.h"

namespace {

// Not in every SDK's headers: dark title bars (Windows 10 20H1 and later).
constexpr DWORD kDwmwaUseImmersiveDarkMode = 20;

constexpr const wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr const wchar_t kThemeValue[] = L"AppsUseLightTheme";

}  // namespace

void ApplyWindowTheme(HWND window, SetWindowAttributeFunction set_attribute) {
  DWORD light_mode = 0;
  DWORD light_mode_size = sizeof(light_mode);
  const LSTATUS status =
      ::RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue,
                     RRF_RT_REG_DWORD, nullptr, &light_mode, &light_mode_size);
  if (status != ERROR_SUCCESS) {
    return;
  }
  const BOOL dark = light_mode == 0 ? TRUE : FALSE;
  set_attribute(window, kDwmwaUseImmersiveDarkMode, &dark, sizeof(dark));
}
