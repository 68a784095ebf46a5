// proptool's file names on POSIX systems: UTF-8 names are the system's own.
#include <cstdlib>

#include <unistd.h>

#include "host/posix_home.h"
#include "proptool/file_access.h"

namespace proptool {

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(path); }

std::string userPropFilePath() { return posixOwnPropFile(); }

}  // namespace proptool
