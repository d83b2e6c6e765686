#pragma once

// The Windows input types and constants that the synthesis code uses, by
// their Windows names. The Windows target takes them from <windows.h>; the
// native build (unit tests, sanitizers, fuzzing, benchmarks) declares the same
// names with the same field names, layout and values, so the synthesis code is
// identical on both.

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#else

#include <cstddef>
#include <cstdint>

using BOOL = int;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
// A UTF-16 code unit, as wchar_t is on Windows.
using WCHAR = char16_t;

struct POINT {
  LONG x;
  LONG y;
};

struct MOUSEINPUT {
  LONG dx;
  LONG dy;
  DWORD mouseData;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};

struct KEYBDINPUT {
  WORD wVk;
  WORD wScan;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};

struct HARDWAREINPUT {
  DWORD uMsg;
  WORD wParamL;
  WORD wParamH;
};

struct INPUT {
  DWORD type;
  union {
    MOUSEINPUT mi;
    KEYBDINPUT ki;
    HARDWAREINPUT hi;
  };
};

// The same layout as the 64-bit Windows headers give.
static_assert(sizeof(void*) != 8 ||
                  (sizeof(INPUT) == 40 && offsetof(INPUT, ki) == 8 &&
                   offsetof(KEYBDINPUT, dwExtraInfo) == 16 &&
                   offsetof(MOUSEINPUT, dwExtraInfo) == 24),
              "INPUT must be laid out as on Windows");

constexpr int INPUT_MOUSE = 0;
constexpr int INPUT_KEYBOARD = 1;

constexpr int KEYEVENTF_KEYUP = 0x0002;
constexpr int KEYEVENTF_UNICODE = 0x0004;

constexpr int MOUSEEVENTF_LEFTDOWN = 0x0002;
constexpr int MOUSEEVENTF_LEFTUP = 0x0004;
constexpr int MOUSEEVENTF_RIGHTDOWN = 0x0008;
constexpr int MOUSEEVENTF_RIGHTUP = 0x0010;
constexpr int MOUSEEVENTF_MIDDLEDOWN = 0x0020;
constexpr int MOUSEEVENTF_MIDDLEUP = 0x0040;
constexpr int MOUSEEVENTF_WHEEL = 0x0800;
constexpr int MOUSEEVENTF_HWHEEL = 0x1000;

constexpr int WHEEL_DELTA = 120;

constexpr int VK_TAB = 0x09;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_LEFT = 0x25;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_LWIN = 0x5B;
constexpr int VK_OEM_PLUS = 0xBB;
constexpr int VK_OEM_MINUS = 0xBD;

constexpr UINT CP_UTF8 = 65001;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

#endif
