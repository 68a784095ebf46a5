#pragma once
// Files named by UTF-8 paths. On Windows the names go to the system as UTF-16, so pictures
// whose names lie outside the ANSI code page still open.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace proptool {

// The system's path for a UTF-8 path (any bytes: never throws).
std::filesystem::path nativePath(const std::string& path);

// fopen for a UTF-8 path.
std::FILE* openFile(const std::string& path, const char* mode);

// Reads a whole regular file of at most maxBytes; false with a one-line message otherwise.
bool readWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes, std::string* error);

bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);

// Makes a directory and its missing parents; true when it is there afterwards.
bool makeDirectories(const std::string& path, std::string* error);

// Puts `bytes` in place of `path` through a temporary file beside it that is renamed over it,
// so that a reader (the saver starting) sees the old file or the new one, never a part.
bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// The name under which the resource library (narrow fopen) opens `path`.
std::string resourceLibraryPath(const std::string& path);

// The user's own prop file and its folder, as the saver finds them (windowsOwnPropFile,
// linuxOwnPropFile): %APPDATA%\Orvane\props.prp on Windows, $XDG_DATA_HOME/orvane/props.prp
// (~/.local/share when unset) elsewhere. Empty when unknown.
std::string userPropFilePath();
std::string userPropFolder();

// The last part of a path (after the last separator).
std::string baseName(const std::string& path);

}  // namespace proptool
