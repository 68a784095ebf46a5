// The Linux module's command line.
#include "host/linux/module_options.h"

#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int digitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// Reads an unsigned number in the base from the whole of [text, end); false on any other
// character, on no digits, or above `limit`.
bool readUnsigned(const char* text, const char* end, int base, uint64_t limit, uint64_t* value) {
  if (text == end) return false;
  uint64_t v = 0;
  for (const char* p = text; p != end; ++p) {
    const int d = digitValue(*p, base);
    if (d < 0) return false;
    v = v * uint64_t(base) + uint64_t(d);
    if (v > limit) return false;  // checked each step, so v never wraps
  }
  *value = v;
  return true;
}

bool readDecimal(const char* text, uint64_t limit, uint64_t* value) {
  return text != nullptr && readUnsigned(text, text + std::strlen(text), 10, limit, value);
}

// "WxH" optionally followed by "+X+Y" (each offset may be negative, as "+-10").
bool readGeometry(const char* text, ModuleOptions* o) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  const char* plus = std::strchr(x, '+');
  const char* sizeEnd = plus ? plus : x + std::strlen(x);
  uint64_t w = 0, h = 0;
  if (!readUnsigned(text, x, 10, kModuleMaxWindowSide, &w) || !readUnsigned(x + 1, sizeEnd, 10, kModuleMaxWindowSide, &h) ||
      w == 0 || h == 0) {
    return false;
  }
  int32_t offsets[2] = {0, 0};
  if (plus) {
    const char* p = plus;
    for (int i = 0; i < 2; ++i) {
      if (*p != '+') return false;
      ++p;
      const bool negative = (*p == '-');
      if (negative) ++p;
      const char* start = p;
      while (*p >= '0' && *p <= '9') ++p;
      uint64_t v = 0;
      if (!readUnsigned(start, p, 10, kModuleMaxWindowSide * 4, &v)) return false;
      offsets[i] = negative ? -int32_t(v) : int32_t(v);
    }
    if (*p != '\0') return false;
  }
  o->width = int32_t(w);
  o->height = int32_t(h);
  o->positionGiven = plus != nullptr;
  o->x = offsets[0];
  o->y = offsets[1];
  return true;
}

ModuleOptions failed(ModuleOptions o, const std::string& message) {
  o.action = ModuleAction::Error;
  o.error = message;
  return o;
}

}  // namespace

bool parseWindowId(const char* text, uint32_t* id) {
  if (text == nullptr) return false;
  const char* begin = text;
  while (isBlank(*begin)) ++begin;
  const char* end = begin + std::strlen(begin);
  while (end != begin && isBlank(end[-1])) --end;
  int base = 10;
  if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
    base = 16;
    begin += 2;
  }
  uint64_t v = 0;
  if (!readUnsigned(begin, end, base, UINT32_MAX, &v) || v == 0) return false;
  *id = uint32_t(v);
  return true;
}

const char* moduleUsage() {
  return "usage: orvane [--root | --window-id ID | --window] [--geometry WxH[+X+Y]]\n"
         "              [--delay MICROSECONDS] [--max-fps N] [--no-mirrors] [--props FILE] [--fps]\n"
         "              [--speed PERCENT] [--seed N] [--no-save-power] [--help] [--version]\n"
         "       orvane --wayland [--background] [--delay MICROSECONDS] [--max-fps N] [--no-mirrors]\n"
         "              [--props FILE] [--fps] [--speed PERCENT] [--seed N] [--no-save-power]\n"
         "\n"
         "A kaleidoscope of prop sprites between mirror planes, for the X11 screen-saver daemon,\n"
         "or on every output of a Wayland compositor with the layer shell.\n"
         "  --root            draw into the window in $XSCREENSAVER_WINDOW, else the root window\n"
         "  --window-id ID    draw into the window ID (decimal or 0x hexadecimal)\n"
         "  --window          open a window of its own (the default); a key or a click closes it\n"
         "  --geometry WxH    that window's size (default 960x540), optionally at +X+Y\n"
         "  --wayland         cover every output of the Wayland compositor above all windows;\n"
         "                    a key, a click or a move of the pointer ends it\n"
         "  --background      with --wayland: below all windows, as a live wallpaper or behind\n"
         "                    a lock screen; input does not end it, a signal does\n"
         "  --delay US        at least this many microseconds between frames (default 10000;\n"
         "                    with --wayland none unless given: the compositor sets the pace);\n"
         "                    frames never come faster than the display refreshes\n"
         "  --max-fps N       at most N frames a second (default 0: the display's rate)\n"
         "  --no-mirrors      draw the single wedge with its red outline\n"
         "  --props FILE      the prop file to use; without it the first that opens of\n"
         "                    $XDG_DATA_HOME/orvane/props.prp, the chat client's file in the\n"
         "                    Wine prefix, and the installed samples\n"
         "  --fps             show frames per second and CPU time per frame in the\n"
         "                    bottom-left corner, and print them on stderr (with --wayland\n"
         "                    one line per output on stderr only)\n"
         "  --speed PERCENT   how fast the kaleidoscope moves, 25 to 200 (default 100)\n"
         "  --seed N          a fixed random seed, for a reproducible picture\n"
         "  --no-save-power   draw at the full rate on battery too (by default at most 30\n"
         "                    frames a second while the machine runs on its battery)\n"
         "  --help, --version print this or the version and exit\n";
}

ModuleOptions parseModuleOptions(int argc, const char* const* argv) {
  ModuleOptions o;
  std::string windowOption;  // the first window option given, refused with --wayland
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr || arg[0] != '-' || arg[1] == '\0') {
      return failed(o, std::string("unexpected argument '") + (arg ? arg : "") + "'");
    }
    // One or two dashes; a value may follow '='.
    std::string name = arg + (arg[1] == '-' ? 2 : 1);
    const char* inlineValue = nullptr;
    const size_t eq = name.find('=');
    if (eq != std::string::npos) {
      inlineValue = arg + (arg[1] == '-' ? 2 : 1) + eq + 1;
      name.resize(eq);
    }
    const bool takesValue = name == "window-id" || name == "delay" || name == "props" || name == "geometry" ||
                            name == "seed" || name == "speed" || name == "max-fps";
    if (inlineValue && !takesValue) return failed(o, "option '--" + name + "' takes no value");
    const char* value = inlineValue;
    if (takesValue && value == nullptr) {
      if (i + 1 >= argc || argv[i + 1] == nullptr) return failed(o, "option '--" + name + "' needs a value");
      value = argv[++i];
    }

    uint64_t number = 0;
    if ((name == "root" || name == "window" || name == "window-id" || name == "geometry") && windowOption.empty()) {
      windowOption = name;
    }
    if (name == "help" || name == "h") {
      o.action = ModuleAction::Help;
      return o;
    } else if (name == "version") {
      o.action = ModuleAction::Version;
      return o;
    } else if (name == "root") {
      o.window = ModuleWindow::Root;
    } else if (name == "window") {
      o.window = ModuleWindow::Own;
    } else if (name == "window-id") {
      uint32_t id = 0;
      if (!parseWindowId(value, &id)) return failed(o, std::string("'") + value + "' is not a window id");
      o.window = ModuleWindow::Id;
      o.windowId = id;
    } else if (name == "delay") {
      if (!readDecimal(value, kModuleMaxDelayMicroseconds, &number)) {
        return failed(o, std::string("--delay wants microseconds from 0 to 10000000, not '") + value + "'");
      }
      o.delayMicroseconds = int64_t(number);
      o.delayGiven = true;
    } else if (name == "max-fps") {
      if (!readDecimal(value, kModuleMaxFps, &number)) {
        return failed(o, std::string("--max-fps wants frames a second from 0 to 1000, not '") + value + "'");
      }
      o.maxFps = int32_t(number);
    } else if (name == "mirrors") {
      o.mirrors = true;
    } else if (name == "no-mirrors") {
      o.mirrors = false;
    } else if (name == "props") {
      if (*value == '\0') return failed(o, "--props wants a file name");
      o.props = value;
    } else if (name == "fps") {
      o.fps = true;
    } else if (name == "geometry") {
      if (!readGeometry(value, &o)) return failed(o, std::string("--geometry wants WxH or WxH+X+Y, not '") + value + "'");
    } else if (name == "seed") {
      if (!readDecimal(value, UINT32_MAX, &number)) return failed(o, std::string("--seed wants a number, not '") + value + "'");
      o.seedGiven = true;
      o.seed = uint32_t(number);
    } else if (name == "speed") {
      if (!readDecimal(value, 200, &number) || number < 25) {
        return failed(o, std::string("--speed wants a percentage from 25 to 200, not '") + value + "'");
      }
      o.speedPercent = int32_t(number);
    } else if (name == "wayland") {
      o.wayland = true;
    } else if (name == "background") {
      o.background = true;
    } else if (name == "save-power") {
      o.savePower = true;
    } else if (name == "no-save-power") {
      o.savePower = false;
    } else {
      return failed(o, "unknown option '" + std::string(arg) + "'");
    }
  }
  if (o.wayland && !windowOption.empty()) {
    return failed(o, "--" + windowOption + " is a window option: --wayland covers every output and takes none");
  }
  if (o.background && !o.wayland) return failed(o, "--background needs --wayland");
  return o;
}

uint32_t moduleSeed(const ModuleOptions& options, uint32_t timeOfDay, uint32_t processId) {
  if (options.seedGiven) return options.seed;
  // A bijection of the process id for each second (odd multiplier, xor, then an invertible
  // finaliser), so two processes of one second never share a seed.
  uint32_t x = timeOfDay ^ (processId * 0x9E3779B9u);
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  x *= 0xC2B2AE35u;
  x ^= x >> 16;
  return x;
}
