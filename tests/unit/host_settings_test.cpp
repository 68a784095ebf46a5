// Decoding of one registry read (type and data) into a settings field.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/win32/settings_value.h"

namespace {

using orvane::SettingRange;
constexpr uint32_t kSz = orvane::kRegSz, kExpandSz = orvane::kRegExpandSz,
                   kBinary = orvane::kRegBinary, kDword = orvane::kRegDword;
constexpr uint32_t kNone = 0, kBigEndian = 5, kMultiSz = 7, kQword = 11;
constexpr SettingRange U = SettingRange::Unsigned, S = SettingRange::Signed;

struct DecodeCase {
  const char* name;
  bool succeeded;
  uint32_t type;
  std::string data;  // the bytes the read placed, terminating zeros of text included
  SettingRange range;
  uint32_t expected;  // with the fallback 0xFA11BAC4 standing for "the default stays"
};

constexpr uint32_t kFallback = 0xFA11BAC4u;

TEST(SettingValue, DecodesEachTypeOrKeepsTheDefault) {
  using namespace std::string_literals;
  const DecodeCase cases[] = {
      // A failed read keeps the default whatever the buffer holds.
      {"failed read", false, kDword, "\x07\0\0\0"s, U, kFallback},
      // REG_DWORD: little-endian, all 32 bits; short data zero-extended; none or longer: default.
      {"dword", true, kDword, "\x78\x56\x34\x12"s, U, 0x12345678u},
      {"dword all ones, signed field", true, kDword, "\xff\xff\xff\xff"s, S, 0xffffffffu},
      {"dword of one byte", true, kDword, "\x05"s, U, 5},
      {"dword of three bytes", true, kDword, "\x01\x02\x03"s, U, 0x030201u},
      {"dword without data", true, kDword, ""s, U, kFallback},
      {"dword of eight bytes", true, kDword, "\x01\0\0\0\0\0\0\0"s, U, kFallback},
      // REG_BINARY: the same little-endian number in 1 to 4 bytes.
      {"binary of four bytes", true, kBinary, "\x1e\0\0\0"s, U, 30},
      {"binary of two bytes", true, kBinary, "\x34\x12"s, U, 0x1234},
      {"binary of five bytes", true, kBinary, "\x01\x02\x03\x04\x05"s, U, kFallback},
      // REG_SZ, REG_EXPAND_SZ: a decimal number, sign and blanks allowed, within the range.
      {"text 100", true, kSz, "100\0"s, U, 100},
      {"text with blanks and sign", true, kSz, " \t-5 \t\0"s, S, static_cast<uint32_t>(-5)},
      {"text with plus", true, kSz, "+7\0"s, U, 7},
      {"text minus zero, unsigned", true, kSz, "-0\0"s, U, 0},
      {"text without terminator", true, kSz, "42"s, U, 42},
      {"text ends at its zero", true, kSz, "5\0junk\0"s, U, 5},
      {"expandable text", true, kExpandSz, "30\0"s, U, 30},
      {"largest unsigned", true, kSz, "4294967295\0"s, U, 0xffffffffu},
      {"beyond unsigned", true, kSz, "4294967296\0"s, U, kFallback},
      {"negative, unsigned field", true, kSz, "-1\0"s, U, kFallback},
      {"largest signed", true, kSz, "2147483647\0"s, S, 0x7fffffffu},
      {"smallest signed", true, kSz, "-2147483648\0"s, S, 0x80000000u},
      {"beyond signed", true, kSz, "2147483648\0"s, S, kFallback},
      {"below signed", true, kSz, "-2147483649\0"s, S, kFallback},
      {"very many digits", true, kSz, "000000000000000000000000000000000000000000000012\0"s, U, 12},
      {"huge number", true, kSz, "99999999999999999999999999999\0"s, S, kFallback},
      {"empty text", true, kSz, "\0"s, U, kFallback},
      {"blanks only", true, kSz, "   \0"s, U, kFallback},
      {"sign only", true, kSz, "-\0"s, S, kFallback},
      {"trailing letters", true, kSz, "12abc\0"s, U, kFallback},
      {"two numbers", true, kSz, "1 2\0"s, U, kFallback},
      {"two signs", true, kSz, "+-3\0"s, S, kFallback},
      {"hexadecimal", true, kSz, "0x10\0"s, U, kFallback},
      {"four letters", true, kSz, "abcd\0"s, U, kFallback},
      {"unexpanded variable", true, kExpandSz, "%DELAY%\0"s, U, kFallback},
      // Every other type keeps the default.
      {"no type, four bytes", true, kNone, "\x01\0\0\0"s, U, kFallback},
      {"big-endian dword", true, kBigEndian, "\0\0\0\x01"s, U, kFallback},
      {"multi-string", true, kMultiSz, "5\0\0"s, U, kFallback},
      {"quad word", true, kQword, "\x01\0\0\0\0\0\0\0"s, U, kFallback},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(orvane::decodeSettingValue(c.succeeded, c.type,
                                         reinterpret_cast<const uint8_t*>(c.data.data()),
                                         static_cast<uint32_t>(c.data.size()), c.range, kFallback),
              c.expected);
  }
}

TEST(SettingValue, NeverReadsPastTheBuffer) {
  // A size the buffer cannot hold carries no number, even when the bytes in it would.
  const uint8_t digits[orvane::kSettingReadSize] = {'1', '2'};
  EXPECT_EQ(orvane::decodeSettingValue(true, kSz, digits, orvane::kSettingReadSize + 1, U, 9), 9u);
  EXPECT_EQ(orvane::decodeSettingValue(true, kSz, digits, 0xffffffffu, U, 9), 9u);
  EXPECT_EQ(orvane::decodeSettingValue(true, kDword, nullptr, 4, U, 9), 9u);
}

}  // namespace
