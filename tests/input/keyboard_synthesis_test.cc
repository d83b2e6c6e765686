#include "input/keyboard_synthesis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "input/recording_input_platform.h"
#include "tests/input/input_test_support.h"

namespace lanternquill {
namespace {

struct PressKeyCase {
  std::int32_t key_code;
  std::int32_t modifiers;
  std::string sent;  // the one SendInput call
};

TEST(KeyboardSynthesisTest, PressKeyHoldsModifiersAroundTheKeyInOneCall) {
  const PressKeyCase cases[] = {
      {0x41, 0, "send key 41 down, key 41 up"},
      {0x44, 0x100000, "send key 5B down, key 44 down, key 44 up, key 5B up"},
      {0x09, 0x80000, "send key 12 down, key 09 down, key 09 up, key 12 up"},
      {0x41, 0x20000, "send key 10 down, key 41 down, key 41 up, key 10 up"},
      {0x41, 0x1E0000,
       "send key 5B down, key 11 down, key 12 down, key 10 down, "
       "key 41 down, key 41 up, "
       "key 10 up, key 12 up, key 11 up, key 5B up"},
      // Meta goes down first and up last, whatever order the bits have.
      {0x41, 0x140000,
       "send key 5B down, key 11 down, key 41 down, "
       "key 41 up, key 11 up, key 5B up"},
      // Bits other than the four flags are ignored.
      {0x41, 0x10000, "send key 41 down, key 41 up"},
      {0x41, static_cast<std::int32_t>(0xFFE1FFFF),
       "send key 41 down, key 41 up"},
      // Only the low 16 bits name the key.
      {0x10041, 0, "send key 41 down, key 41 up"},
      {-1, 0, "send key FFFF down, key FFFF up"},
      {0, 0, "send key 00 down, key 00 up"},
  };
  for (const PressKeyCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "keyCode 0x" << c.key_code
                                    << " modifiers 0x" << c.modifiers);
    RecordingInputPlatform platform;
    PressKey(c.key_code, c.modifiers, platform);
    EXPECT_EQ(platform.DescribeCalls(), std::vector<std::string>{c.sent});
  }
}

TEST(KeyboardSynthesisTest, PressMediaKeySendsTheBareKeyDownAndUp) {
  const PressKeyCase cases[] = {
      {0xB3, 0, "send key B3 down, key B3 up"},
      {0xAF, 0, "send key AF down, key AF up"},
      {0x700B3, 0, "send key B3 down, key B3 up"},
  };
  for (const PressKeyCase& c : cases) {
    SCOPED_TRACE(c.key_code);
    RecordingInputPlatform platform;
    PressMediaKey(c.key_code, platform);
    EXPECT_EQ(platform.DescribeCalls(), std::vector<std::string>{c.sent});
  }
}

}  // namespace
}  // namespace lanternquill
