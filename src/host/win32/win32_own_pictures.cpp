// The user's own pictures: their file, adding to it, recycling it, choosing pictures.
#include "host/win32/win32_own_pictures.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <system_error>

#include "common/utf8.h"
#include "host/prop_search.h"
#include "host/win32/dialog_rules.h"
#include "pictures/own_prop_file.h"
#include "pictures/picture_files.h"

namespace {

pictures::Path fromUtf8(const std::string& text) {
  std::u16string wide;
  if (!orvane::utf8ToUtf16(text, &wide)) return pictures::Path();
  return pictures::Path(std::wstring(wide.begin(), wide.end()));
}

// Room for the names of many pictures at once (the dialog lists them all in one buffer).
constexpr DWORD kChooserBufferChars = 1 << 16;

}  // namespace

pictures::Path OwnPicturesFile() {
  wchar_t folder[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return pictures::Path();
  folder[MAX_PATH] = L'\0';
  const std::string own = windowsOwnPropFile(orvane::utf16ToUtf8(reinterpret_cast<const char16_t*>(folder)));
  return own.empty() ? pictures::Path() : fromUtf8(own);
}

OwnPicturesState ReadOwnPicturesState() {
  OwnPicturesState state;
  const pictures::Path path = OwnPicturesFile();
  std::error_code ignored;
  if (path.empty() || !std::filesystem::exists(path, ignored)) return state;
  state.exists = true;
  pictures::OwnPropFile file;
  pictures::OwnFileProblem problem;
  state.readable = pictures::loadOwnPropFile(path, &file, &problem);
  state.count = state.readable ? static_cast<int32_t>(file.loaded) : 0;
  return state;
}

std::string AddOwnPictures(const std::vector<pictures::Path>& pictureFiles) {
  const pictures::Path path = OwnPicturesFile();
  pictures::OwnPropFile file;
  pictures::OwnFileProblem problem;
  if (path.empty()) {
    problem.failure = pictures::OwnFileFailure::kFile;
    return addPicturesReport({}, &problem, nullptr);
  }
  if (!pictures::loadOwnPropFile(path, &file, &problem)) return addPicturesReport({}, &problem, nullptr);
  std::vector<PictureOutcome> outcomes;
  for (const pictures::Path& picture : pictureFiles) {
    outcomes.push_back({pictures::pathText(picture.filename()), pictures::addPictureToOwnFile(&file, picture).problem});
  }
  pictures::FileProblem saveProblem;
  if (!pictures::saveOwnPropFile(file, &saveProblem)) return addPicturesReport(outcomes, nullptr, &saveProblem);
  return addPicturesReport(outcomes, nullptr, nullptr);
}

bool RecycleOwnPictures() {
  const pictures::Path path = OwnPicturesFile();
  if (path.empty()) return false;
  std::wstring from = path.wstring();
  from.push_back(L'\0');  // the list of files ends with an empty name
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  SHFileOperationW(&operation);
  std::error_code ignored;
  return !std::filesystem::exists(path, ignored);
}

std::vector<pictures::Path> ChoosePictures(HWND owner) {
  std::wstring buffer(kChooserBufferChars, L'\0');
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = L"Pictures (PNG, JPEG, BMP, GIF)\0*.png;*.jpg;*.jpeg;*.bmp;*.gif\0All files\0*.*\0";
  request.lpstrFile = &buffer[0];
  request.nMaxFile = kChooserBufferChars;
  request.lpstrTitle = L"Add pictures";
  request.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  std::vector<pictures::Path> chosen;
  if (!GetOpenFileNameW(&request)) return chosen;
  // One picture: its whole path. Several: the folder, then each name, each ending in a
  // zero, the list in two.
  const wchar_t* at = buffer.c_str();
  const std::wstring first = at;
  at += first.size() + 1;
  if (*at == L'\0') {
    chosen.emplace_back(first);
    return chosen;
  }
  for (; *at != L'\0'; at += std::wcslen(at) + 1) chosen.push_back(pictures::Path(first) / at);
  return chosen;
}
