#pragma once
// The user's own pictures from the saver's settings: their prop file in the user's roaming
// application data, pictures added to it through the picture library, and its removal to
// the Recycle Bin. Every name is UTF-16 on the way to the system.
#include <windows.h>

#include <string>
#include <vector>

#include "pictures/picture_result.h"

// The user's own prop file, %APPDATA%\Orvane\props.prp; empty when the system names no
// roaming folder.
pictures::Path OwnPicturesFile();

struct OwnPicturesState {
  bool exists = false;    // the file is there
  bool readable = true;   // and can be read as the user's own prop file
  int32_t count = 0;      // the props it holds
};
OwnPicturesState ReadOwnPicturesState();

// Adds the pictures to the user's own prop file (made when it is not there) and returns the
// report for the user: how many were added, each refused picture by name and why.
std::string AddOwnPictures(const std::vector<pictures::Path>& pictureFiles);

// Moves the user's own prop file to the Recycle Bin (so it can be restored); true when it is
// gone from its place.
bool RecycleOwnPictures();

// Asks for pictures with the system's file dialog (several at once; PNG, JPEG, BMP, GIF);
// empty when the user cancels.
std::vector<pictures::Path> ChoosePictures(HWND owner);
