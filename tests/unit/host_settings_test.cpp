// Decoding of one 4-byte registry read into a settings field.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/settings_value.h"

namespace {

struct DecodeCase {
  std::string name;
  bool succeeded;
  uint8_t data[4];
  uint32_t size;
  uint32_t fallback;
  uint32_t expected;
};

TEST(SettingValue, DecodesEveryShapeOfRead) {
  const DecodeCase cases[] = {
      // Missing value, longer data (the read fails) and any other failure keep the default,
      // whatever the buffer holds.
      {"missing", false, {0, 0, 0, 0}, 4, 15, 15},
      {"longer than 4 bytes", false, {'a', 'b', 'c', 'd'}, 5, 50, 50},
      {"failed with data", false, {7, 0, 0, 0}, 4, 1, 1},
      // Exactly 4 bytes: little-endian, all 32 bits, whatever type they were stored as.
      {"dword zero", true, {0, 0, 0, 0}, 4, 1, 0},
      {"dword seven", true, {7, 0, 0, 0}, 4, 1, 7},
      {"little-endian", true, {0x78, 0x56, 0x34, 0x12}, 4, 1, 0x12345678u},
      {"all ones", true, {0xff, 0xff, 0xff, 0xff}, 4, 50, 0xffffffffu},
      {"three-char string with terminator", true, {'a', 'b', 'c', 0}, 4, 1, 0x00636261u},
      // Short data is zero-extended: no byte of the default or of stale buffer contents.
      {"one byte", true, {5, 0xee, 0xee, 0xee}, 1, 0xffffffffu, 5},
      {"one-char string", true, {'x', 0, 0xee, 0xee}, 2, 1, 'x'},
      {"three bytes", true, {1, 2, 3, 0xee}, 3, 0xffffffffu, 0x030201u},
      {"one zero byte", true, {0, 0xee, 0xee, 0xee}, 1, 1, 0},
      // Success without data, or a size the buffer cannot hold, carries no number.
      {"empty", true, {0, 0, 0, 0}, 0, 15, 15},
      {"size beyond buffer", true, {1, 0, 0, 0}, 8, 50, 50},
      {"huge size", true, {1, 0, 0, 0}, 0xffffffffu, 1, 1},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(orvane::decodeSettingValue(c.succeeded, c.data, c.size, c.fallback), c.expected);
  }
}

TEST(SettingValue, SignedFieldsRoundTripThroughTheDecodedWord) {
  // MouseThreshold and UseMirrors are signed: a stored -1 must come back as -1, and the
  // default must survive a failed read bit for bit.
  const uint8_t minusOne[4] = {0xff, 0xff, 0xff, 0xff};
  EXPECT_EQ(static_cast<int32_t>(orvane::decodeSettingValue(true, minusOne, 4, 50)), -1);
  EXPECT_EQ(static_cast<int32_t>(
                orvane::decodeSettingValue(false, minusOne, 4, static_cast<uint32_t>(-20))),
            -20);
}

}  // namespace
