#include "host/command_line.h"

#include <windows.h>

#include <shellapi.h>

namespace {

// The argument array of CommandLineToArgvW, released with LocalFree once.
class ArgumentArray {
 public:
  ArgumentArray() = default;
  ArgumentArray(wchar_t** arguments, int count)
      : arguments_(arguments), count_(count) {}
  ~ArgumentArray() {
    if (arguments_ != nullptr) {
      ::LocalFree(arguments_);
    }
  }
  ArgumentArray(ArgumentArray&& other) noexcept : count_(other.count_) {
    arguments_ = other.release();
  }
  ArgumentArray& operator=(ArgumentArray&& other) noexcept {
    if (this != &other) {
      if (arguments_ != nullptr) {
        ::LocalFree(arguments_);
      }
      count_ = other.count_;
      arguments_ = other.release();
    }
    return *this;
  }
  ArgumentArray(const ArgumentArray&) = delete;
  ArgumentArray& operator=(const ArgumentArray&) = delete;

  wchar_t** get() const { return arguments_; }
  int count() const { return count_; }
  wchar_t** release() {
    wchar_t** arguments = arguments_;
    arguments_ = nullptr;
    count_ = 0;
    return arguments;
  }

 private:
  wchar_t** arguments_ = nullptr;
  int count_ = 0;
};

}  // namespace

std::string ToUtf8(const wchar_t* utf16) {
  if (utf16 == nullptr) {
    return std::string();
  }
  // The size asked for the whole NUL-terminated input counts the NUL.
  const int size_with_nul = ::WideCharToMultiByte(
      CP_UTF8, WC_ERR_INVALID_CHARS, utf16, -1, nullptr, 0, nullptr, nullptr);
  if (size_with_nul <= 1) {
    return std::string();
  }
  const int length = size_with_nul - 1;
  std::string utf8(static_cast<size_t>(length), '\0');
  const int converted = ::WideCharToMultiByte(
      CP_UTF8, WC_ERR_INVALID_CHARS, utf16, static_cast<int>(wcslen(utf16)),
      utf8.data(), length, nullptr, nullptr);
  if (converted == 0) {
    return std::string();
  }
  return utf8;
}

std::vector<std::string> CollectEntryArguments() {
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  ArgumentArray arguments(split, count);
  std::vector<std::string> result;
  if (arguments.get() == nullptr) {
    return result;
  }
  // The first element is the program's own name.
  for (int i = 1; i < arguments.count(); ++i) {
    result.push_back(ToUtf8(arguments.get()[i]));
  }
  return result;
}
