// The prop-file search: the folders come from the system, the order from the host logic.
#include "host/win32/win32_prop_search.h"

#include <windows.h>
#include <shlobj.h>

#include "common/utf8.h"
#include "host/prop_search.h"
#include "props/prop_atlas.h"
#include "resfile/resfile.h"

namespace {

// The folder's path as it is now, in UTF-8 (whatever the user's code page), or "" when the
// system cannot name it.
std::string systemFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
  path[MAX_PATH] = L'\0';
  return orvane::utf16ToUtf8(reinterpret_cast<const char16_t*>(path));
}

// Whether the prop file opens and holds at least one prop.
bool holdsProps(const std::string& path) {
  if (path.empty()) return false;
  FileRef ref = 0;
  ResOpenFile(path.c_str(), &ref);
  if (ref == 0) return false;
  const bool any = ResCountOfType(kPropResourceType) > 0;
  ResCloseFile(ref);
  return any;
}

}  // namespace

void UseSystemPropSearch() {
  PropSearchFolders folders;
  folders.programFilesX86 = systemFolder(CSIDL_PROGRAM_FILESX86);
  folders.programFiles = systemFolder(CSIDL_PROGRAM_FILES);
  folders.userAppData = systemFolder(CSIDL_APPDATA);
  folders.commonAppData = systemFolder(CSIDL_COMMON_APPDATA);
  folders.userFileHasProps = holdsProps(windowsOwnPropFile(folders.userAppData));
  setPropFileCandidates(windowsPropCandidates(folders));
}
