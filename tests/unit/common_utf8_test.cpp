// UTF-8 names to UTF-16 and back: every form a byte string can take, good or not.
#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"

namespace {

TEST(Utf8, ConvertsOnlyWellFormedUtf8) {
  struct Case {
    const char* what;
    std::string bytes;
    bool valid;
    std::u16string wide;
  };
  const Case cases[] = {
      {"ASCII", "C:\\props.prp", true, u"C:\\props.prp"},
      {"two, three and four bytes", "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80", true, u"\u00E9\u65E5\U0001F600"},
      {"the last code point", "\xF4\x8F\xBF\xBF", true, u"\U0010FFFF"},
      {"empty", "", true, u""},
      {"a code-page byte", "\xE9t\xE9", false, u""},
      {"a stray continuation byte", "a\x80", false, u""},
      {"truncated at the end", "a\xE6\x97", false, u""},
      {"overlong", "\xC0\xAF", false, u""},
      {"overlong in three bytes", "\xE0\x80\xAF", false, u""},
      {"a surrogate", "\xED\xA0\x80", false, u""},
      {"past the last code point", "\xF4\x90\x80\x80", false, u""},
  };
  for (const Case& c : cases) {
    std::u16string out = u"junk";
    EXPECT_EQ(orvane::utf8ToUtf16(c.bytes, &out), c.valid) << c.what;
    EXPECT_EQ(out, c.wide) << c.what;
    if (c.valid) {
      EXPECT_EQ(orvane::utf16ToUtf8(out), c.bytes) << c.what;
    }
  }
  EXPECT_EQ(orvane::utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

}  // namespace
