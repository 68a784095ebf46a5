// The portable part of proptool's file names; posix_files.cpp and win32_files.cpp hold the rest.
#include "proptool/file_access.h"

namespace proptool {

namespace fs = std::filesystem;

bool isRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(nativePath(path), ec);
}

bool isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(nativePath(path), ec);
}

std::string baseName(const std::string& path) {
#ifdef _WIN32
  const size_t slash = path.find_last_of("/\\:");
#else
  const size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace proptool
