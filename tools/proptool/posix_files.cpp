// File access on POSIX systems: UTF-8 names are the system's own.
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "host/posix_home.h"
#include "proptool/file_access.h"

namespace proptool {

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(path); }

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const std::string temporary = path + ".new-" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!written || !flushed || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::string resourceLibraryPath(const std::string& path) { return path; }

std::string userPropFilePath() { return posixOwnPropFile(); }

}  // namespace proptool
