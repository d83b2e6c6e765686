#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>

#include "codec/standard_method_codec.h"

namespace lq_fuzz {

namespace {

// Accepts and discards everything written to it.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Past this many records the recorder's history is dropped; only the
// operation count matters here.
constexpr size_t kKeptCalls = 1024;

}  // namespace

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::fflush(stderr);
    std::abort();
  }
}

std::shared_ptr<const std::vector<uint8_t>> ChannelFailureReply() {
  return flutter::StandardMethodCodec::GetInstance().EncodeErrorEnvelope(
      "INTERNAL_ERROR", "Exception in method call handler", nullptr);
}

void SilenceDiagnostics() {
  // Never destroyed: the standard streams are flushed after every static
  // of this file is gone.
  static NullBuffer* const null_buffer = new NullBuffer();
  std::cerr.rdbuf(null_buffer);
}

void BoundedInputPlatform::Spend() {
  if (++operations_ > kOperationBudget) {
    throw BudgetExhausted();
  }
  if (recorder_.calls().size() > kKeptCalls) {
    recorder_.ClearCalls();
  }
}

UINT BoundedInputPlatform::SendInput(UINT count, INPUT* inputs,
                                     int input_size) {
  Spend();
  return recorder_.SendInput(count, inputs, input_size);
}

BOOL BoundedInputPlatform::GetCursorPos(POINT* point) {
  Spend();
  return recorder_.GetCursorPos(point);
}

BOOL BoundedInputPlatform::SetCursorPos(int x, int y) {
  Spend();
  return recorder_.SetCursorPos(x, y);
}

void BoundedInputPlatform::Sleep(DWORD milliseconds) {
  Spend();
  recorder_.Sleep(milliseconds);
}

int BoundedInputPlatform::MultiByteToWideChar(UINT code_page, DWORD flags,
                                              const char* text, int length,
                                              WCHAR* output, int output_size) {
  Spend();
  return recorder_.MultiByteToWideChar(code_page, flags, text, length, output,
                                       output_size);
}

}  // namespace lq_fuzz
