#include "input/utf8_to_utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include "input/system_input_platform.h"
#endif

namespace lanternquill {
namespace {

struct ConversionCase {
  const char* label;
  std::string text;      // converted with length -1
  std::u16string units;  // the terminating NUL included
};

const ConversionCase kConversionCases[] = {
    {"empty", "", std::u16string(1, u'\0')},
    {"ascii", "az", std::u16string(u"az\0", 3)},
    {"every length", "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
     std::u16string(u"\u007F\u07FF\uFFFF\U0010FFFF\0", 6)},
    {"stops at the first NUL", std::string("a\0b", 3),
     std::u16string(u"a\0", 2)},
    {"lone continuation bytes", "\x80\xBF",
     std::u16string(u"\uFFFD\uFFFD\0", 3)},
    {"bytes that never start a character", "\xC0\xC1\xF5\xFF",
     std::u16string(u"\uFFFD\uFFFD\uFFFD\uFFFD\0", 5)},
    {"truncated three-byte sequence is one replacement",
     "\xE2\x82"
     "a",
     std::u16string(u"\uFFFDa\0", 3)},
    {"truncated four-byte sequence at the end", "\xF0\x9F\x98",
     std::u16string(u"\uFFFD\0", 2)},
    // A second byte out of the lead's range is replaced with the lead.
    {"overlong three-byte form", "\xE0\x9F\xBF",
     std::u16string(u"\uFFFD\uFFFD\0", 3)},
    {"overlong four-byte form", "\xF0\x80\x80\x80",
     std::u16string(u"\uFFFD\uFFFD\uFFFD\0", 4)},
    {"encoded surrogate", "\xED\xBF\xBF", std::u16string(u"\uFFFD\uFFFD\0", 3)},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80",
     std::u16string(u"\uFFFD\uFFFD\uFFFD\0", 4)},
    {"out-of-range pair before a character",
     "\xE0\x9F"
     "a",
     std::u16string(u"\uFFFDa\0", 3)},
    {"lead before a character",
     "\xE0"
     "a",
     std::u16string(u"\uFFFDa\0", 3)},
    {"largest code points of each length",
     "\xED\x9F\xBF\xEF\xBF\xBF\xF0\x90\x80\x80",
     std::u16string(u"\uD7FF\uFFFF\U00010000\0", 5)},
    {"lead byte followed by a new character",
     "\xC3"
     "\xC3\xA9",
     std::u16string(u"\uFFFD\u00E9\0", 3)},
};

std::u16string Convert(const std::string& text) {
  const int size = ConvertUtf8ToUtf16(text.c_str(), -1, nullptr, 0);
  std::vector<WCHAR> units(static_cast<size_t>(size), 0);
  const int written = ConvertUtf8ToUtf16(text.c_str(), -1, units.data(), size);
  EXPECT_EQ(written, size);
  return std::u16string(units.begin(), units.end());
}

TEST(Utf8ToUtf16Test, ReplacesEachIllFormedSequenceAsWindowsDoes) {
  for (const ConversionCase& c : kConversionCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Convert(c.text), c.units);
  }
}

TEST(Utf8ToUtf16Test, ExplicitLengthConvertsExactlyThoseBytesWithoutNul) {
  WCHAR units[4] = {};
  EXPECT_EQ(ConvertUtf8ToUtf16("a\0b", 3, units, 4), 3);
  EXPECT_EQ(std::u16string(units, units + 3), std::u16string(u"a\0b", 3));
  EXPECT_EQ(ConvertUtf8ToUtf16("\xC3\xA9", 1, nullptr, 0), 1);
}

TEST(Utf8ToUtf16Test, FailsWithZeroOnBadArgumentsAndShortBuffers) {
  WCHAR units[2] = {u'x', u'y'};
  EXPECT_EQ(ConvertUtf8ToUtf16("abc", -1, units, 2), 0);
  EXPECT_EQ(units[0], u'x');
  EXPECT_EQ(ConvertUtf8ToUtf16(nullptr, -1, nullptr, 0), 0);
  EXPECT_EQ(ConvertUtf8ToUtf16("abc", 0, nullptr, 0), 0);
  EXPECT_EQ(ConvertUtf8ToUtf16("abc", -2, nullptr, 0), 0);
}

#ifdef _WIN32
// The recorder stands in for the real conversion in every typing test, so it
// must agree with it.
TEST(Utf8ToUtf16Test, AgreesWithTheSystemConversion) {
  InputPlatform& system = SystemInputPlatform();
  for (const ConversionCase& c : kConversionCases) {
    SCOPED_TRACE(c.label);
    const int size =
        system.MultiByteToWideChar(CP_UTF8, 0, c.text.c_str(), -1, nullptr, 0);
    ASSERT_GT(size, 0);
    std::vector<WCHAR> units(static_cast<size_t>(size), 0);
    EXPECT_EQ(system.MultiByteToWideChar(CP_UTF8, 0, c.text.c_str(), -1,
                                         units.data(), size),
              size);
    EXPECT_EQ(std::u16string(units.begin(), units.end()), c.units);
  }
}
#endif

}  // namespace
}  // namespace lanternquill
