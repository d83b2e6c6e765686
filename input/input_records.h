#pragma once

#include <cstdint>

#include "input/win32_input_types.h"

namespace lanternquill {

// Every record starts zero-filled; only the named fields are set, so no
// record carries a time stamp, extra information, an extended-key, scan-code,
// move or absolute flag.

// The record size that every SendInput call passes.
constexpr int kInputSize = static_cast<int>(sizeof(INPUT));

inline INPUT KeyboardRecord(WORD virtual_key, WORD scan, DWORD flags) {
  INPUT record{};
  record.type = INPUT_KEYBOARD;
  record.ki.wVk = virtual_key;
  record.ki.wScan = scan;
  record.ki.dwFlags = flags;
  return record;
}

// A key-down (`key_up` false) or key-up record of a virtual key.
inline INPUT VirtualKeyRecord(WORD virtual_key, bool key_up) {
  return KeyboardRecord(virtual_key, 0, key_up ? KEYEVENTF_KEYUP : 0);
}

// `mouse_data` is the signed wheel amount; the record's field is unsigned.
inline INPUT MouseRecord(DWORD flags, std::int32_t mouse_data) {
  INPUT record{};
  record.type = INPUT_MOUSE;
  record.mi.mouseData = static_cast<DWORD>(mouse_data);
  record.mi.dwFlags = flags;
  return record;
}

}  // namespace lanternquill
