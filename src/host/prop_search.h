#pragma once
// Where the Windows saver looks for a prop file. Pure logic: the win32 glue asks the system
// for its folders and hands the answer to the atlas builder.
#include <string>
#include <vector>

// Folders as the system names them; an empty string is a folder the system could not name.
struct PropSearchFolders {
  std::string programFilesX86;  // the 32-bit programs' folder
  std::string programFiles;     // the system's programs' folder
  std::string userAppData;      // the user's roaming application data
  std::string commonAppData;    // application data shared by every user
  bool userFileHasProps = false;  // the user's own prop file opens and holds a prop
};

// The Orvane prop file in an application-data folder, <folder>\Orvane\props.prp (trailing
// separators of the folder dropped); empty for an unnamed (empty) folder. In the user's
// roaming folder it is the user's own prop file, where proptool.exe adds pictures and the
// saver looks; in the machine's folder it holds the installed samples.
std::string windowsOwnPropFile(const std::string& appDataFolder);

// The prop files to try, in order. Once the user's own prop file holds a prop it comes first,
// ahead of everything else: pictures the user added are what they want to see. Then the two
// fixed paths; the same two under the 32-bit
// programs' folder and under the system's programs' folder, each only where that folder is
// not "c:\Program Files" (the fixed paths already look there); the user's own file,
// <userAppData>\Orvane\props.prp; the machine's, <commonAppData>\Orvane\props.prp.
// Paths are UTF-8, as the resource library takes them. Folders are compared without regard to case or trailing separators, and a path that is
// already in the list is not added again.
std::vector<std::string> windowsPropCandidates(const PropSearchFolders& folders);
