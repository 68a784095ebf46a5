// Fuzz target for the user's own prop file as the settings dialog and proptool read it: the
// bytes are loaded as the file; one that loads takes one prop more and is saved, and what
// was saved must load again with every prop (the writer never makes a file its loader
// refuses). libFuzzer's per-input time-out catches a slow path as a crash.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pictures/own_prop_file.h"
#include "pictures/picture_files.h"

namespace {

pictures::Path scratch() {
  const char* dir = std::getenv("TMPDIR");
  return pictures::Path(dir && *dir ? dir : "/tmp") / ("fuzz-own-" + std::to_string(::getpid()) + ".prp");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const pictures::Path path = scratch();
  if (!pictures::writeWholeFile(path, std::vector<uint8_t>(data, data + size), nullptr)) __builtin_trap();
  pictures::OwnPropFile file;
  pictures::OwnFileProblem problem;
  if (pictures::loadOwnPropFile(path, &file, &problem)) {
    if (file.loaded != file.entries.size() || problem.failure != pictures::OwnFileFailure::kNone) __builtin_trap();
    pictures::PictureProp prop;
    prop.data = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 9};
    const bool added = pictures::appendPropToOwnFile(&file, "fuzz.png", prop).made();
    pictures::FileProblem saving;
    if (added && pictures::saveOwnPropFile(file, &saving)) {
      pictures::OwnPropFile again;
      if (!pictures::loadOwnPropFile(path, &again, &problem) || again.loaded != file.entries.size()) __builtin_trap();
      for (size_t i = 0; i < again.entries.size(); ++i)
        if (again.entries[i].data != file.entries[i].data || again.entries[i].id != file.entries[i].id) __builtin_trap();
    }
  } else if (file.loaded != 0 || !file.entries.empty()) {
    __builtin_trap();
  }
  std::remove(path.c_str());
  return 0;
}
