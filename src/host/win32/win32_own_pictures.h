#pragma once
// The user's own pictures from the saver's settings: their prop file in the user's roaming
// application data, pictures added to it through the picture library, and its removal to
// the Recycle Bin. Every name is UTF-16 on the way to the system.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/win32/dialog_rules.h"
#include "pictures/own_prop_file.h"

// The user's own prop file, %APPDATA%\Orvane\props.prp; empty when the system names no
// roaming folder.
pictures::Path OwnPicturesFile();

struct OwnPicturesState {
  bool exists = false;  // the file is there
  pictures::OwnFileFailure failure = pictures::OwnFileFailure::kNone;  // why it cannot be read
  int32_t count = 0;    // the props it holds
};
OwnPicturesState ReadOwnPicturesState();

// Reads the state on a thread of its own, so that a large file or a slow network folder
// never holds up the window, and posts kOwnPicturesStateMessage to `window` when it has:
// wParam is `turn`, lParam a new OwnPicturesState that the window takes (TakeOwnPicturesState).
void ReadOwnPicturesStateFor(HWND window, WPARAM turn);
OwnPicturesState TakeOwnPicturesState(LPARAM posted);

// Messages the adding posts to its window: kAddingPictureMessage before each picture
// (wParam its index), kAddingWaitingMessage when another program has held the file for a
// few seconds, kAddingDoneMessage when it has ended (the thread may still be finishing:
// FinishAdding waits for it).
constexpr UINT kAddingPictureMessage = WM_APP + 40;
constexpr UINT kAddingWaitingMessage = WM_APP + 41;
constexpr UINT kAddingDoneMessage = WM_APP + 42;
constexpr UINT kOwnPicturesStateMessage = WM_APP + 43;

// Pictures added to the user's own prop file (made when it is not there) on a thread of its
// own, each saved as it is added, so that the window that started it keeps answering.
class OwnPicturesAdding {
 public:
  OwnPicturesAdding(HWND window, std::vector<pictures::Path> pictureFiles);
  ~OwnPicturesAdding();  // asks it to stop and waits
  OwnPicturesAdding(const OwnPicturesAdding&) = delete;
  OwnPicturesAdding& operator=(const OwnPicturesAdding&) = delete;

  const std::vector<pictures::Path>& pictureFiles() const { return pictureFiles_; }
  // Asks it to stop after the picture in hand; the pictures added stay.
  void stop() { stopRequested_ = true; }
  // Waits for the thread to end; the report for the user: which were added, which refused
  // and why, and which not tried.
  std::string finish();

 private:
  void run();

  HWND window_;
  std::vector<pictures::Path> pictureFiles_;
  std::atomic<bool> stopRequested_{false};
  std::vector<PictureOutcome> outcomes_;  // the adding thread's until it ends
  pictures::AddPicturesResult result_;
  std::thread thread_;
};

// Whether the user's own prop file would go to the Recycle Bin when removed: not where its
// drive has none (a network folder) or where the bin is turned off for it.
bool OwnPicturesGoToRecycleBin();

// Removes the user's own prop file, to the Recycle Bin when `toRecycleBin` (so it can be
// restored), else for good, while no program is adding to it; true when it is gone from its
// place.
bool RemoveOwnPictures(bool toRecycleBin);

// Asks for pictures with the system's file dialog (several at once; PNG, JPEG, BMP, GIF);
// empty when the user cancels. A selection too long for the names' buffer is asked for
// again with a buffer as large as the dialog says it needs.
std::vector<pictures::Path> ChoosePictures(HWND owner);
