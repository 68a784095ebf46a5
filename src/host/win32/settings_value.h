#pragma once
// Turning one registry read into a settings field. Pure: no windows.h.
//
// A setting is a 32-bit number. The reader asks for the value's data and its registry type
// with a buffer of `kSettingReadSize` bytes; the read either fails (value missing, data
// longer than the buffer, anything else) or reports the type and how many bytes it placed.

#include <cstdint>

namespace orvane {

// Registry value types (the system's numbers) that can carry a setting.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// The buffer one read uses: a number written as text, with blanks around it, fits.
constexpr uint32_t kSettingReadSize = 64;

// Which numbers written as text the field can hold: 0 to 2^32 - 1, or -2^31 to 2^31 - 1.
enum class SettingRange { Unsigned, Signed };

// The field a read yields, as its 32 bits; `fallback` when the data carries no number.
// - REG_DWORD and REG_BINARY: the little-endian number in 1 to 4 bytes of data. Data of 1 to 3
//   bytes is zero-extended: a short value is taken as the small number it spells, never mixed
//   with the bytes of the default or of an earlier read. No data, or more than 4 bytes: no
//   number.
// - REG_SZ and REG_EXPAND_SZ: the text up to its first zero byte, which must be a decimal
//   number (optional sign, blanks before and after allowed) within `range`; anything else,
//   including a number beyond 32 bits, is no number. Variables are not expanded.
// - Every other type: no number.
uint32_t decodeSettingValue(bool readSucceeded, uint32_t type, const uint8_t* data,
                            uint32_t dataSize, SettingRange range, uint32_t fallback);

// The speed a stored "Speed" number stands for: itself from 25 to 200 percent, else 100.
int32_t speedFromSetting(uint32_t stored);

}  // namespace orvane
