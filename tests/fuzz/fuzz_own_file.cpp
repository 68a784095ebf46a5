// Fuzz target for the user's own prop file: the bytes are loaded as that file; one that loads
// takes one prop more and is saved, and the saved file must load again, every prop as it was
// (the writer never makes a file its loader refuses). libFuzzer's per-input time-out catches
// a slow path as it does a crash.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "pictures/own_prop_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* dir = std::getenv("TMPDIR");
  static const pictures::Path path =
      pictures::Path(dir && *dir ? dir : "/tmp") / ("fuzz-own-" + std::to_string(::getpid()) + ".prp");
  if (!pictures::writeWholeFile(path, std::vector<uint8_t>(data, data + size), nullptr)) __builtin_trap();
  pictures::OwnPropFile file, again;
  pictures::OwnFileProblem problem;
  pictures::FileProblem saving;
  pictures::PictureProp prop;
  prop.data = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 9};
  if (!pictures::loadOwnPropFile(path, &file, &problem)) {
    if (!file.entries.empty()) __builtin_trap();
  } else if (pictures::appendPropToOwnFile(&file, "fuzz.png", prop).made() && pictures::saveOwnPropFile(file, &saving)) {
    if (!pictures::loadOwnPropFile(path, &again, &problem) || again.entries.size() != file.entries.size()) __builtin_trap();
    for (size_t i = 0; i < file.entries.size(); ++i)
      if (again.entries[i].data != file.entries[i].data || again.entries[i].id != file.entries[i].id) __builtin_trap();
  }
  std::remove(path.c_str());
  return 0;
}
