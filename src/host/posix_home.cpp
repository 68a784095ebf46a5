#include "host/posix_home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "host/prop_places.h"

std::string posixHomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  const passwd* user = getpwuid(getuid());
  return user && user->pw_dir ? user->pw_dir : "";
}

std::string posixOwnPropFile() {
  const char* data = std::getenv("XDG_DATA_HOME");
  return linuxOwnPropFile(data ? data : "", posixHomeFolder());
}
