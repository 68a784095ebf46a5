#pragma once
// The proptool commands, callable in-process (the program's main is a thin wrapper).
#include <ostream>
#include <string>
#include <vector>

namespace proptool {

constexpr int kExitOK = 0;
constexpr int kExitFailed = 1;  // a file could not be read or written
constexpr int kExitUsage = 2;   // bad arguments

// Runs one command line (args without the program name, UTF-8): sample, build, list, extract,
// atlas or --help; or, when the first argument names an existing file or folder, adds the
// pictures named to the user's own prop file. Normal output goes to `out`, warnings and
// errors (one line each) to `err`.
int runProptool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace proptool
