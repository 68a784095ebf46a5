#pragma once
// Files named by the system's paths: on Windows every name goes to the system as UTF-16, so
// pictures and folders whose names lie outside the ANSI code page open all the same.
#include <cstdint>
#include <cstdio>
#include <functional>
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

enum class Replacing {
  kReplace,    // the file at `path`, if any, is replaced
  kNoReplace,  // only where no file is: one there makes it fail (kCannotWrite), left as it is
};

// Puts `bytes` in place of `path` through a temporary file beside it (`path` + ".new") that
// is renamed over it, so that a reader (the saver starting) sees the old file or the new one,
// never a part. The temporary file's bytes reach the disk before the rename, and on POSIX
// systems the folder's entry after it, so that a power cut leaves the old file or the new
// one whole. One writer at a time: the caller holds the file's lock (FileLock), so a
// temporary file left by a writer that was killed is simply written over. When anything
// fails the old file is left as it was and the temporary file is removed.
bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem,
                 Replacing replacing = Replacing::kReplace);

// An exclusive lock on a lock file, held by one writer (a process, or a thread with a lock
// of its own) at a time; released by release(), by the destructor, or by the system when
// the process ends however it ends, so a lock file left behind never blocks anyone. The lock
// file itself stays; it holds nothing.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens (or makes) `lockFile` and takes its lock, waiting while another writer holds it:
  // keepWaiting(seconds waited so far) is asked about every 50 ms meanwhile, and false from
  // it gives up. False, with the problem, when the file cannot be opened; false, with no
  // problem, when the wait was given up. The lock taken is on the file at `lockFile` as it
  // is then: one locked after it was replaced (the old file, removed from its name) is let
  // go and the new one opened and waited for.
  bool acquire(const Path& lockFile, const std::function<bool(double)>& keepWaiting, FileProblem* problem);
  void release();
  bool held() const { return handle_ != kNone; }
  // Whether the lock held is still on the file at its path (a replaced lock file keeps out
  // nobody who opens the new one).
  bool stillHeld() const;

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
  Path path_;
};

// The platform's part of FileLock (posix_files.cpp, win32_files.cpp).
namespace lockfile {
intptr_t open(const Path& path, std::string* reason);  // FileLock's kNone (-1) when it cannot
bool tryLock(intptr_t handle);                         // without waiting
bool isFileAt(intptr_t handle, const Path& path);      // the same file (device and inode, or
                                                       // volume and file index on Windows)
void close(intptr_t handle);                           // unlocks too
}  // namespace lockfile

// Makes a folder and its missing parents; true when it is there afterwards.
bool makeDirectories(const Path& path, FileProblem* problem);

}  // namespace pictures
