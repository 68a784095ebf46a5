// The saver's command line: program name skipping, one switch character, one letter, a number.
#include "host/win32/command_line.h"

namespace {

const char* skipSpacesAndColons(const char* p) {
  while (*p == ' ' || *p == ':') ++p;
  return p;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int32_t readWindowNumber(const char* text) {
  const char* p = text;
  // atoi also skips leading white space; after the colon/space skip only other
  // white-space characters can remain here.
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  // Unsigned accumulation wraps by definition; the value is a window handle, so a
  // number too large for it is junk either way, but it must not be undefined behaviour.
  uint32_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
    ++p;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

CommandLine parseCommandLine(const char* line) {
  CommandLine result{SaverMode::None, 0, false};
  const char* p = line ? line : "";

  // The program name: a quoted path runs to the next quote, an unquoted one to the first space.
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ') ++p;
  }
  if (*p != '\0') ++p;  // the closing quote or the space
  while (*p == ' ') ++p;

  if (*p == '\0') {
    result.mode = SaverMode::Config;
    return result;
  }
  if (*p == '-' || *p == '/') ++p;

  switch (lower(*p)) {
    case 'p':
    case 'l':
      result.mode = SaverMode::Preview;
      result.parent = readWindowNumber(skipSpacesAndColons(p + 1));
      break;
    case 's':
      result.mode = SaverMode::Saver;
      break;
    case 'c': {
      result.mode = SaverMode::Config;
      const char* q = skipSpacesAndColons(p + 1);
      if (*q == '\0')
        result.parentIsForeground = true;
      else
        result.parent = readWindowNumber(q);
      break;
    }
    case 'a':
      result.mode = SaverMode::ChangePassword;
      result.parent = readWindowNumber(skipSpacesAndColons(p + 1));
      break;
    default:
      break;
  }
  return result;
}
