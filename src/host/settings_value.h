#pragma once
// Turning one registry read into a settings field. Pure: no windows.h.
//
// Every setting is read with a 4-byte buffer and a stated size of 4, whatever the
// value's registry type. The read either fails (value missing, data longer than 4
// bytes, anything else) or reports how many bytes it placed in the buffer.

#include <cstdint>

namespace orvane {

// The number of bytes one setting occupies, and the size every read states.
constexpr uint32_t kSettingValueSize = 4;

// The field a read yields: the little-endian number in the buffer when the read
// succeeded with 1 to 4 bytes of data, else `fallback`.
// Data of 1 to 3 bytes is zero-extended: a short value is taken as the small number
// it spells, never mixed with the bytes of the default or of an earlier read. A read
// that claims success with no data, or with a size the buffer cannot hold, carries
// no number, so the default stays.
constexpr uint32_t decodeSettingValue(bool readSucceeded, const uint8_t (&data)[kSettingValueSize],
                                      uint32_t dataSize, uint32_t fallback) {
  if (!readSucceeded || dataSize == 0 || dataSize > kSettingValueSize) return fallback;
  uint32_t value = 0;
  for (uint32_t i = 0; i < dataSize; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
  return value;
}

}  // namespace orvane
