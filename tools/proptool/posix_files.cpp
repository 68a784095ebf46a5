// proptool's file names on POSIX systems: UTF-8 names are the system's own.
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

#include "host/prop_places.h"
#include "proptool/file_access.h"

namespace proptool {

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(path); }

std::string resourceLibraryPath(const std::string& path) { return path; }

std::string userPropFilePath() {
  // The home folder as the screen-saver module finds it: $HOME when it is an absolute path,
  // else the user database's.
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::string homeFolder = home && home[0] == '/' ? home : "";
  if (homeFolder.empty()) {
    const passwd* user = getpwuid(getuid());
    if (user && user->pw_dir) homeFolder = user->pw_dir;
  }
  return linuxOwnPropFile(data ? data : "", homeFolder);
}

}  // namespace proptool
