// proptool: makes, inspects and renders prop files.
#include <iostream>

#include "proptool/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return proptool::runProptool(args, std::cout, std::cerr);
}
