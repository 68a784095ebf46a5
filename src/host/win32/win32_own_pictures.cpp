// The user's own pictures: their file, adding to it, recycling it, choosing pictures.
#include "host/win32/win32_own_pictures.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
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

// Room for the names of many pictures at once (the dialog lists them all in one buffer):
// about 30,000 photos' names.
constexpr DWORD kChooserBufferChars = 1 << 20;

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
  if (!pictures::loadOwnPropFile(path, &file, &problem)) state.failure = problem.failure;
  state.count = static_cast<int32_t>(file.loaded);
  return state;
}

void ReadOwnPicturesStateFor(HWND window, WPARAM turn) {
  // Detached: a window closed meanwhile does not wait for a slow folder; the state posted to
  // it then is not taken, and freed here when the post fails.
  std::thread([window, turn] {
    auto* state = new OwnPicturesState(ReadOwnPicturesState());
    if (!PostMessageW(window, kOwnPicturesStateMessage, turn, reinterpret_cast<LPARAM>(state))) delete state;
  }).detach();
}

OwnPicturesState TakeOwnPicturesState(LPARAM posted) {
  std::unique_ptr<OwnPicturesState> state(reinterpret_cast<OwnPicturesState*>(posted));
  return state ? *state : OwnPicturesState{};
}

namespace {

// Tells the window how the adding goes; the stop asked for by the window is read here.
class PostingObserver : public pictures::AddPicturesObserver {
 public:
  PostingObserver(HWND window, const std::atomic<bool>* stop, std::vector<PictureOutcome>* outcomes)
      : window_(window), stop_(stop), outcomes_(outcomes) {}
  bool stopRequested() override { return *stop_; }
  void reading(size_t index, size_t, const pictures::Path&) override {
    PostMessageW(window_, kAddingPictureMessage, index, 0);
  }
  void done(size_t, const pictures::Path& picture, const pictures::PictureProp& prop) override {
    outcomes_->push_back({pictures::pathText(picture.filename()), prop.problem});
  }
  bool keepWaiting(double seconds) override {
    if (seconds >= kWaitNoticeSeconds && !told_) {
      told_ = true;
      PostMessageW(window_, kAddingWaitingMessage, 0, 0);
    }
    return !*stop_;
  }

 private:
  static constexpr double kWaitNoticeSeconds = 3.0;
  HWND window_;
  const std::atomic<bool>* stop_;
  std::vector<PictureOutcome>* outcomes_;
  bool told_ = false;
};

}  // namespace

OwnPicturesAdding::OwnPicturesAdding(HWND window, std::vector<pictures::Path> pictureFiles)
    : window_(window), pictureFiles_(std::move(pictureFiles)) {
  thread_ = std::thread([this] { run(); });
}

OwnPicturesAdding::~OwnPicturesAdding() {
  stop();
  if (thread_.joinable()) thread_.join();
}

void OwnPicturesAdding::run() {
  const pictures::Path path = OwnPicturesFile();
  if (path.empty()) {
    result_.ownFile.failure = pictures::OwnFileFailure::kFile;
  } else {
    PostingObserver observer(window_, &stopRequested_, &outcomes_);
    result_ = pictures::addPicturesToOwnFile(path, pictureFiles_, &observer);
  }
  PostMessageW(window_, kAddingDoneMessage, 0, 0);
}

std::string OwnPicturesAdding::finish() {
  if (thread_.joinable()) thread_.join();
  return addPicturesReport(outcomes_, pictureFiles_.size(), result_);
}

namespace {

// A DWORD under one of the current user's keys, or `fallback`.
DWORD userDword(const wchar_t* key, const wchar_t* name, DWORD fallback) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return fallback;
  DWORD value = 0, type = 0, size = sizeof value;
  const bool read = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                    type == REG_DWORD && size == sizeof value;
  RegCloseKey(opened);
  return read ? value : fallback;
}

}  // namespace

bool OwnPicturesGoToRecycleBin() {
  const pictures::Path path = OwnPicturesFile();
  wchar_t root[MAX_PATH + 1] = {};
  if (path.empty() || !GetVolumePathNameW(path.c_str(), root, MAX_PATH)) return false;
  // A network folder (a redirected roaming folder) has no Recycle Bin.
  if (GetDriveTypeW(root) == DRIVE_REMOTE || (root[0] == L'\\' && root[1] == L'\\' && root[2] != L'?')) return false;
  SHQUERYRBINFO bin{};
  bin.cbSize = sizeof bin;
  if (FAILED(SHQueryRecycleBinW(root, &bin))) return false;
  // Turned off by policy, for every drive, or for this volume.
  if (userDword(L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoRecycleFiles", 0) != 0 ||
      userDword(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket", L"NukeOnDelete", 0) != 0)
    return false;
  wchar_t volume[MAX_PATH + 1] = {};
  if (GetVolumeNameForVolumeMountPointW(root, volume, MAX_PATH)) {
    // "\\?\Volume{GUID}\": its settings are under the GUID.
    std::wstring guid = volume;
    const size_t open = guid.find(L'{'), close = guid.find(L'}');
    if (open != std::wstring::npos && close != std::wstring::npos && close > open) {
      const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\" +
                               guid.substr(open, close - open + 1);
      if (userDword(key.c_str(), L"NukeOnDelete", 0) != 0) return false;
    }
  }
  return true;
}

bool RemoveOwnPictures(bool toRecycleBin) {
  const pictures::Path path = OwnPicturesFile();
  if (path.empty()) return false;
  // Not while a program is adding to it, which would write it back; a few seconds at most.
  pictures::FileLock lock;
  pictures::FileProblem ignoredProblem;
  if (!lock.acquire(pictures::ownFileLockPath(path), [](double seconds) { return seconds < 5.0; }, &ignoredProblem))
    return false;
  if (toRecycleBin) {
    std::wstring from = path.wstring();
    from.push_back(L'\0');  // the list of files ends with an empty name
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // Should the system find no bin after all, it asks before deleting for good.
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_WANTNUKEWARNING;
    SHFileOperationW(&operation);
  } else {
    DeleteFileW(path.c_str());
  }
  std::error_code ignored;
  return !std::filesystem::exists(path, ignored);
}

std::vector<pictures::Path> ChoosePictures(HWND owner) {
  std::vector<pictures::Path> chosen;
  std::wstring buffer;
  for (DWORD size = kChooserBufferChars;;) {
    buffer.assign(size, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = L"Pictures (PNG, JPEG, BMP, GIF)\0*.png;*.jpg;*.jpeg;*.bmp;*.gif\0All files\0*.*\0";
    request.lpstrFile = &buffer[0];
    request.nMaxFile = size;
    request.lpstrTitle = size == kChooserBufferChars ? L"Add pictures" : L"Add pictures (so many at once: choose them again)";
    request.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&request)) break;
    // Too many names for the buffer: its first two bytes say how many characters it needs
    // (a count that does not fit there reads short, so the buffer at least doubles).
    if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL || size >= (DWORD(1) << 26)) return chosen;
    size = std::max<DWORD>(size * 2, DWORD(*reinterpret_cast<const WORD*>(buffer.data())) + 1);
  }
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
