#pragma once
// The user's folders on POSIX systems, found the same way by every program of the system
// (the screen-saver module and proptool), so that they agree on the user's own prop file.
#include <string>

// $HOME when it is an absolute path, else the home folder the user database names; empty
// when neither is known.
std::string posixHomeFolder();

// The user's own prop file (linuxOwnPropFile) from $XDG_DATA_HOME and posixHomeFolder().
std::string posixOwnPropFile();
