// Turning one registry read into a settings field.
#include "host/win32/settings_value.h"

namespace orvane {

namespace {

bool isBlank(uint8_t c) { return c == ' ' || c == '\t'; }

// The decimal number that the whole text spells, if it is one within `range`.
bool parseDecimal(const uint8_t* text, uint32_t length, SettingRange range, uint32_t* out) {
  uint32_t i = 0;
  while (i < length && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = (text[i++] == '-');
  const uint32_t firstDigit = i;
  // Accumulated in 64 bits and stopped well before it could overflow: past 2^33 the number
  // is out of every range whatever digits follow.
  int64_t magnitude = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    if (magnitude < (int64_t{1} << 33)) magnitude = magnitude * 10 + (text[i] - '0');
    ++i;
  }
  if (i == firstDigit) return false;
  while (i < length && isBlank(text[i])) ++i;
  if (i != length) return false;
  const int64_t value = negative ? -magnitude : magnitude;
  const bool isSigned = range == SettingRange::Signed;
  const int64_t low = isSigned ? -(int64_t{1} << 31) : 0;
  const int64_t high = isSigned ? (int64_t{1} << 31) - 1 : (int64_t{1} << 32) - 1;
  if (value < low || value > high) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

uint32_t decodeSettingValue(bool readSucceeded, uint32_t type, const uint8_t* data,
                            uint32_t dataSize, SettingRange range, uint32_t fallback) {
  if (!readSucceeded || data == nullptr || dataSize > kSettingReadSize) return fallback;
  if (type == kRegDword || type == kRegBinary) {
    if (dataSize == 0 || dataSize > 4) return fallback;
    uint32_t value = 0;
    for (uint32_t i = 0; i < dataSize; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
    return value;
  }
  if (type == kRegSz || type == kRegExpandSz) {
    uint32_t length = 0;
    while (length < dataSize && data[length] != 0) ++length;
    uint32_t value = 0;
    return parseDecimal(data, length, range, &value) ? value : fallback;
  }
  return fallback;
}

int32_t speedFromSetting(uint32_t stored) {
  const auto value = static_cast<int32_t>(stored);
  return value >= 25 && value <= 200 ? value : 100;
}

}  // namespace orvane
