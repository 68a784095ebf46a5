// File access on POSIX systems: paths are the system's bytes, UTF-8 by convention.
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "pictures/picture_files.h"

namespace pictures {

std::FILE* openFile(const Path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::string pathText(const Path& path) { return path.native(); }

bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem) {
  const Path temporary = path.native() + ".new-" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) {
    if (problem) *problem = FileProblem{FileFailure::kCannotCreate, temporary, std::strerror(errno), 0};
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!written || !flushed || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (problem) *problem = FileProblem{FileFailure::kCannotWrite, path, std::strerror(errno), 0};
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace pictures
