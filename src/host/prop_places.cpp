// The Linux module's prop-file places.
#include "host/prop_places.h"

#include <algorithm>
#include <cstring>

#include "props/prop_atlas.h"

namespace {

constexpr const char* kFixedProgramFiles = "c:\\Program Files\\";

// "a" + "/" + "b" with exactly one slash between them.
std::string joinPath(std::string a, const std::string& b) {
  while (a.size() > 1 && a.back() == '/') a.pop_back();
  if (a != "/") a += '/';
  return a + b;
}

// A fixed path below the programs' folder, with '/' between its parts: "TheKorrin/korrin.prp".
std::string underProgramFiles(const char* fixedPath) {
  std::string rest = fixedPath + std::strlen(kFixedProgramFiles);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return rest;
}

bool isAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

}  // namespace

std::string linuxOwnPropFile(const std::string& xdgDataHome, const std::string& home) {
  // A relative $XDG_DATA_HOME is invalid and ignored, as the XDG base directories say.
  if (isAbsolute(xdgDataHome)) return joinPath(xdgDataHome, "orvane/props.prp");
  if (isAbsolute(home)) return joinPath(home, ".local/share/orvane/props.prp");
  return std::string();
}

std::vector<std::string> linuxPropPlaces(const PropPlaceInputs& in) {
  std::vector<std::string> places;
  const std::string own = linuxOwnPropFile(in.xdgDataHome, in.home);
  if (!own.empty()) places.push_back(own);

  std::string prefix = in.winePrefix;
  if (prefix.empty() && isAbsolute(in.home)) prefix = joinPath(in.home, ".wine");
  if (!prefix.empty()) {
    // The client's two fixed paths, as Wine maps drive C: into the prefix.
    for (const char* programFiles : {"Program Files", "Program Files (x86)"}) {
      const std::string base = joinPath(joinPath(prefix, "drive_c"), programFiles);
      places.push_back(joinPath(base, underProgramFiles(kPropFirstPath)));
      places.push_back(joinPath(base, underProgramFiles(kPropSecondPath)));
    }
  }

  if (!in.samples.empty()) places.push_back(in.samples);
  return places;
}
