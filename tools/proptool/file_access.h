#pragma once
// proptool's names for files: the command line's UTF-8 paths, the user's own prop file.
// Files themselves are opened through the picture library (pictures/picture_files.h).
#include <filesystem>
#include <string>

namespace proptool {

// The system's path for a UTF-8 path (any bytes: never throws). On Windows the name goes to
// the system as UTF-16, so names outside the ANSI code page still open.
std::filesystem::path nativePath(const std::string& path);

bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);

// The user's own prop file, as the saver finds it (windowsOwnPropFile, linuxOwnPropFile):
// %APPDATA%\Orvane\props.prp on Windows, $XDG_DATA_HOME/orvane/props.prp (~/.local/share
// when unset) elsewhere. Empty when unknown.
std::string userPropFilePath();

// The last part of a path (after the last separator).
std::string baseName(const std::string& path);

}  // namespace proptool
