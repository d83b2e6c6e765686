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
  std::u16string units;  // without the terminating NUL, converted too
};

const ConversionCase kConversionCases[] = {
    {"empty", "", u""},
    {"ascii", "az", u"az"},
    {"every length", "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
     u"\u007F\u07FF\uFFFF\U0010FFFF"},
    {"stops at the first NUL", std::string("a\0b", 3), u"a"},
    {"lone continuation bytes", "\x80\xBF", u"\uFFFD\uFFFD"},
    {"bytes that never start a character", "\xC0\xC1\xF5\xFF",
     u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"truncated three-byte sequence is one replacement",
     "\xE2\x82"
     "a",
     u"\uFFFDa"},
    {"truncated four-byte sequence at the end", "\xF0\x9F\x98", u"\uFFFD"},
    // A second byte out of the lead's range is replaced with the lead.
    {"overlong three-byte form", "\xE0\x9F\xBF", u"\uFFFD\uFFFD"},
    {"overlong four-byte form", "\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"encoded surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD"},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"out-of-range pair before a character",
     "\xE0\x9F"
     "a",
     u"\uFFFDa"},
    {"lead before a character",
     "\xE0"
     "a",
     u"\uFFFDa"},
    {"largest code points of each length",
     "\xED\x9F\xBF\xEF\xBF\xBF\xF0\x90\x80\x80", u"\uD7FF\uFFFF\U00010000"},
    {"lead byte followed by a new character",
     "\xC3"
     "\xC3\xA9",
     u"\uFFFD\u00E9"},
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
    EXPECT_EQ(Convert(c.text), c.units + u'\0');
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
    EXPECT_EQ(std::u16string(units.begin(), units.end()), c.units + u'\0');
  }
}
#endif

}  // namespace
}  // namespace lanternquill
