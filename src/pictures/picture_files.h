#pragma once
// Files named by the system's paths: on Windows every name goes to the system as UTF-16, so
// pictures and folders whose names lie outside the ANSI code page open all the same.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pictures/picture_result.h"

namespace pictures {

// fopen for a path (_wfopen on Windows).
std::FILE* openFile(const Path& path, const char* mode);

// A path as UTF-8 text, for names and messages (never throws).
std::string pathText(const Path& path);

// Reads a whole regular file of at most maxBytes; false, with the problem, otherwise.
bool readWholeFile(const Path& path, size_t maxBytes, std::vector<uint8_t>* bytes, FileProblem* problem);
// The same for a stream opened on `path`, read from where it stands; the stream stays open.
bool readOpenFile(std::FILE* f, const Path& path, size_t maxBytes, std::vector<uint8_t>* bytes,
                  FileProblem* problem);

// Writes bytes to a file, made or emptied first.
bool writeWholeFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem);

// Puts `bytes` in place of `path` through a temporary file beside it that is renamed over it,
// so that a reader (the saver starting) sees the old file or the new one, never a part.
bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem);

// Makes a folder and its missing parents; true when it is there afterwards.
bool makeDirectories(const Path& path, FileProblem* problem);

}  // namespace pictures
