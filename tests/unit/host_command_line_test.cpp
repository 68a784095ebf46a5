// The command line as the system's screen-saver host and people write it.
#include <gtest/gtest.h>

#include "host/win32/command_line.h"

namespace {

struct LineCase {
  const char* line;
  SaverMode mode;
  int32_t parent;
  bool foreground;
};

class CommandLineForms : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineForms, ReadAsTheHostMeansIt) {
  const LineCase& c = GetParam();
  const CommandLine r = parseCommandLine(c.line);
  EXPECT_EQ(r.mode, c.mode) << "line: [" << c.line << "]";
  EXPECT_EQ(r.parent, c.parent) << "line: [" << c.line << "]";
  EXPECT_EQ(r.parentIsForeground, c.foreground) << "line: [" << c.line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Host, CommandLineForms,
    ::testing::Values(
        // Program name alone, or followed only by spaces: configuration with no owner.
        LineCase{"saver.scr", SaverMode::Config, 0, false},
        LineCase{"saver.scr    ", SaverMode::Config, 0, false},
        LineCase{"\"C:\\Program Files\\saver.scr\"", SaverMode::Config, 0, false},
        LineCase{"", SaverMode::Config, 0, false},
        // Saver: quoted or unquoted path, with or without the switch character, any case.
        LineCase{"\"C:\\Windows\\My Saver.scr\" /s", SaverMode::Saver, 0, false},
        LineCase{"\"C:\\Windows\\My Saver.scr\"/s", SaverMode::Saver, 0, false},
        LineCase{"C:\\saver.scr -S", SaverMode::Saver, 0, false},
        LineCase{"C:\\saver.scr s", SaverMode::Saver, 0, false},
        LineCase{"C:\\saver.scr /saver", SaverMode::Saver, 0, false},
        LineCase{"C:\\saver.scr    /s 1234", SaverMode::Saver, 0, false},
        // Configuration: the foreground window when nothing follows the letter.
        LineCase{"saver.scr /c", SaverMode::Config, 0, true},
        LineCase{"saver.scr /c:   ", SaverMode::Config, 0, true},
        LineCase{"saver.scr /C:1234", SaverMode::Config, 1234, false},
        LineCase{"saver.scr /c 1234", SaverMode::Config, 1234, false},
        LineCase{"saver.scr /cx", SaverMode::Config, 0, false},
        // Preview: spaces and colons in any number before the number.
        LineCase{"saver.scr /p 1234", SaverMode::Preview, 1234, false},
        LineCase{"saver.scr /p:1234", SaverMode::Preview, 1234, false},
        LineCase{"saver.scr /p::1234", SaverMode::Preview, 1234, false},
        LineCase{"saver.scr /l 1234", SaverMode::Preview, 1234, false},
        LineCase{"saver.scr /P:: 1234", SaverMode::Preview, 1234, false},
        LineCase{"saver.scr /p", SaverMode::Preview, 0, false},
        LineCase{"saver.scr /p 12ab", SaverMode::Preview, 12, false},
        LineCase{"saver.scr /p -42", SaverMode::Preview, -42, false},
        LineCase{"saver.scr /p +42", SaverMode::Preview, 42, false},
        LineCase{"saver.scr /pabc", SaverMode::Preview, 0, false},
        // Password change.
        LineCase{"saver.scr /a 5678", SaverMode::ChangePassword, 5678, false},
        LineCase{"saver.scr -A:5678", SaverMode::ChangePassword, 5678, false},
        // Unrecognised: nothing runs.
        LineCase{"saver.scr /x", SaverMode::None, 0, false},
        LineCase{"saver.scr /", SaverMode::None, 0, false},
        LineCase{"saver.scr -", SaverMode::None, 0, false},
        LineCase{"saver.scr //s", SaverMode::None, 0, false},
        LineCase{"saver.scr -/s", SaverMode::None, 0, false},
        // A quote never closed: the whole line is the program name.
        LineCase{"\"C:\\saver.scr /s", SaverMode::Config, 0, false},
        // An unquoted path with a space: the text after it is read as the switch (F).
        LineCase{"D:\\Old Files\\saver.scr /p 1234", SaverMode::None, 0, false},
        LineCase{"D:\\Old saver.scr /p 1234", SaverMode::Saver, 0, false},
        // A tab does not separate words.
        LineCase{"saver.scr\t/s", SaverMode::Config, 0, false},
        LineCase{"saver.scr \t/s", SaverMode::None, 0, false},
        // Lines that end right after each step.
        LineCase{"\"", SaverMode::Config, 0, false},
        LineCase{"\"\"", SaverMode::Config, 0, false},
        LineCase{"a /", SaverMode::None, 0, false},
        LineCase{"a /p:", SaverMode::Preview, 0, false},
        LineCase{"a /p: -", SaverMode::Preview, 0, false},
        LineCase{"a /c:", SaverMode::Config, 0, true},
        LineCase{"a /a", SaverMode::ChangePassword, 0, false}));

TEST(HostCommandLine, NullLineReadsAsEmpty) {
  const CommandLine r = parseCommandLine(nullptr);
  EXPECT_EQ(r.mode, SaverMode::Config);
  EXPECT_EQ(r.parent, 0);
}

TEST(HostCommandLine, WindowNumbersAsAtoiReadsThem) {
  struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      // Beyond 32 bits the digits wrap instead of being undefined.
      {"4294967296", 0},
      {"4294967297", 1},
      // 10^26 - 1 modulo 2^32.
      {"99999999999999999999999999", static_cast<int32_t>(UINT32_C(3825205247))},
      {"", 0},
      {"-", 0},
      {"--1", 0},
      {"\t7", 7},
      {"7 8", 7},
  };
  for (const auto& c : cases) EXPECT_EQ(readWindowNumber(c.text), c.value) << c.text;
}

}  // namespace
