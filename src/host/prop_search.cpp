#include "host/prop_search.h"

#include <cstring>

#include "props/prop_atlas.h"

namespace {

constexpr const char* kFixedProgramFiles = "c:\\Program Files";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

std::string withoutTrailingSeparators(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// A fixed path with the programs' folder taken off: "\TheKorrin\korrin.prp".
std::string underProgramFiles(const char* fixedPath) { return fixedPath + std::strlen(kFixedProgramFiles); }

void add(std::vector<std::string>& list, const std::string& path) {
  for (const std::string& known : list)
    if (sameAscii(known, path)) return;
  list.push_back(path);
}

void addProgramFolder(std::vector<std::string>& list, const std::string& folder) {
  const std::string base = withoutTrailingSeparators(folder);
  if (base.empty() || sameAscii(base, kFixedProgramFiles)) return;
  add(list, base + underProgramFiles(kPropFirstPath));
  add(list, base + underProgramFiles(kPropSecondPath));
}

void addOwnFile(std::vector<std::string>& list, const std::string& folder) {
  const std::string path = windowsOwnPropFile(folder);
  if (!path.empty()) add(list, path);
}

}  // namespace

std::string windowsOwnPropFile(const std::string& appDataFolder) {
  const std::string base = withoutTrailingSeparators(appDataFolder);
  return base.empty() ? base : base + "\\Orvane\\props.prp";
}

std::vector<std::string> windowsPropCandidates(const PropSearchFolders& folders) {
  std::vector<std::string> list;
  if (folders.userFileHasProps) addOwnFile(list, folders.userAppData);
  add(list, kPropFirstPath);
  add(list, kPropSecondPath);
  addProgramFolder(list, folders.programFilesX86);
  addProgramFolder(list, folders.programFiles);
  addOwnFile(list, folders.userAppData);
  addOwnFile(list, folders.commonAppData);
  return list;
}
