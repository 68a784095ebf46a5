#pragma once
// Running proptool in-process from tests, and reading back what it wrote.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "proptool/commands.h"

namespace proptest {

struct ToolRun {
  int code;
  std::string out, err;
};

inline ToolRun proptoolRun(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = proptool::runProptool(args, out, err);
  return {code, out.str(), err.str()};
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace proptest
