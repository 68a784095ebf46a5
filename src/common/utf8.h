#pragma once
// UTF-8 and UTF-16, the two encodings of file names the system meets: every path inside the
// program is UTF-8, and on Windows it becomes UTF-16 only where the system is asked to open
// a file, so names outside the user's code page work.
#include <string>

namespace orvane {

// The UTF-16 form of a UTF-8 text; false (and `out` cleared) when the bytes are not UTF-8
// (a stray continuation byte, a truncated or overlong sequence, a surrogate, a value past
// U+10FFFF).
bool utf8ToUtf16(const std::string& text, std::u16string* out);

// The UTF-8 form of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const std::u16string& text);

}  // namespace orvane
