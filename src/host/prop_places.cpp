// The Linux module's prop-file places.
#include "host/prop_places.h"

namespace {

// "a" + "/" + "b" with exactly one slash between them.
std::string joinPath(std::string a, const std::string& b) {
  while (a.size() > 1 && a.back() == '/') a.pop_back();
  if (a != "/") a += '/';
  return a + b;
}

}  // namespace

std::vector<std::string> linuxPropPlaces(const PropPlaceInputs& in) {
  std::vector<std::string> places;
  // A relative $XDG_DATA_HOME is invalid and ignored, as the XDG base directories say.
  if (!in.xdgDataHome.empty() && in.xdgDataHome[0] == '/') {
    places.push_back(joinPath(in.xdgDataHome, "orvane/props.prp"));
  } else if (!in.home.empty()) {
    places.push_back(joinPath(in.home, ".local/share/orvane/props.prp"));
  }

  std::string prefix = in.winePrefix;
  if (prefix.empty() && !in.home.empty()) prefix = joinPath(in.home, ".wine");
  if (!prefix.empty()) {
    // The client's two fixed paths, as Wine maps drive C: into the prefix.
    for (const char* programFiles : {"Program Files", "Program Files (x86)"}) {
      const std::string base = joinPath(joinPath(prefix, "drive_c"), programFiles);
      places.push_back(joinPath(base, "TheKorrin/korrin.prp"));
      places.push_back(joinPath(base, "Sabrel/TheKorrin/korrin.prp"));
    }
  }

  if (!in.samples.empty()) places.push_back(in.samples);
  return places;
}
