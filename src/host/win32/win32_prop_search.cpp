// The prop-file search: the folders come from the system, the order from the host logic.
#include "host/win32/win32_prop_search.h"

#include <windows.h>
#include <shlobj.h>

#include "host/prop_search.h"
#include "props/prop_atlas.h"

namespace {

// The folder's path as it is now, or "" when the system cannot name it.
std::string systemFolder(int csidl) {
  char path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
  path[MAX_PATH] = '\0';
  return path;
}

}  // namespace

void UseSystemPropSearch() {
  PropSearchFolders folders;
  folders.programFilesX86 = systemFolder(CSIDL_PROGRAM_FILESX86);
  folders.programFiles = systemFolder(CSIDL_PROGRAM_FILES);
  folders.userAppData = systemFolder(CSIDL_APPDATA);
  folders.commonAppData = systemFolder(CSIDL_COMMON_APPDATA);
  setPropFileCandidates(windowsPropCandidates(folders));
}
