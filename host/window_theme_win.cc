#include "host/window_theme.h"

#include <dwmapi.h>

namespace {

// Not in every SDK's headers: dark title bars (Windows 10 20H1 and later).
constexpr DWORD kDwmwaUseImmersiveDarkMode = 20;

constexpr const wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr const wchar_t kThemeValue[] = L"AppsUseLightTheme";

SetWindowAttributeFunction window_attribute_setter = &::DwmSetWindowAttribute;

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

SetWindowAttributeFunction WindowAttributeSetter() {
  return window_attribute_setter;
}

SetWindowAttributeFunction ReplaceWindowAttributeSetter(
    SetWindowAttributeFunction setter) {
  const SetWindowAttributeFunction replaced = window_attribute_setter;
  window_attribute_setter = setter;
  return replaced;
}
