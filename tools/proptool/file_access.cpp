// The portable part of file access; posix_files.cpp and win32_files.cpp hold the rest.
#include "proptool/file_access.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace proptool {

namespace fs = std::filesystem;

bool readWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes, std::string* error) {
  if (isDirectory(path)) {
    *error = path + ": a folder, not a file";
    return false;
  }
  std::FILE* f = openFile(path, "rb");
  if (!f) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  uint8_t chunk[65536];
  bool ok = true;
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (bytes->size() + n > maxBytes) {
      *error = path + ": larger than " + std::to_string(maxBytes >> 20) + " MB";
      ok = false;
      break;
    }
    bytes->insert(bytes->end(), chunk, chunk + n);
    if (n < sizeof chunk) {
      if (std::ferror(f)) {
        *error = "cannot read " + path;
        ok = false;
      }
      break;
    }
  }
  std::fclose(f);
  return ok;
}

bool isRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(nativePath(path), ec);
}

bool isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(nativePath(path), ec);
}

bool makeDirectories(const std::string& path, std::string* error) {
  std::error_code ec;
  fs::create_directories(nativePath(path), ec);
  if (isDirectory(path)) return true;
  if (error) *error = "cannot create the folder " + path + (ec ? ": " + ec.message() : "");
  return false;
}

std::string baseName(const std::string& path) {
#ifdef _WIN32
  const size_t slash = path.find_last_of("/\\:");
#else
  const size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string userPropFolder() {
  const std::string file = userPropFilePath();  // always <folder><separator>props.prp
  return file.empty() ? file : file.substr(0, file.size() - baseName(file).size() - 1);
}

}  // namespace proptool
