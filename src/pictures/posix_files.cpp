// File access on POSIX systems: paths are the system's bytes, UTF-8 by convention.
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pictures/picture_files.h"

namespace pictures {

std::FILE* openFile(const Path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::string pathText(const Path& path) { return path.native(); }

namespace {

// Flushes a folder's entries (a rename in it) to the disk; where the system cannot, the
// rename stands all the same.
void syncFolder(const Path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Renames `from` to `to` only while no file is at `to`: the kernel's no-replace rename where
// the file system has it, else a hard link (which never replaces either) and the old name
// removed. 0, or the error.
int renameNoReplace(const Path& from, const Path& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  // A file system without hard links (FAT and exFAT answer EPERM, some network and in-memory
  // ones EMLINK or ENOSYS): the name is looked at first and the file renamed only while it is
  // free. The writers of this file hold its lock meanwhile, so none of them comes between.
  if (errno != EPERM && errno != EMLINK && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  struct stat there;
  if (::lstat(to.c_str(), &there) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool replaceFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem, Replacing replacing) {
  const Path temporary = path.native() + ".new";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) {
    if (problem) *problem = FileProblem{FileFailure::kCannotCreate, temporary, std::strerror(errno), 0};
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
  const bool closed = std::fclose(f) == 0;
  int error = written && flushed && closed ? 0 : (errno != 0 ? errno : EIO);
  if (error == 0)
    error = replacing == Replacing::kReplace ? (std::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno)
                                             : renameNoReplace(temporary, path);
  if (error != 0) {
    const std::string reason = error == EEXIST ? "a file is there that was not read; it was left as it is"
                                               : std::strerror(error);
    if (problem) *problem = FileProblem{FileFailure::kCannotWrite, path, reason, 0};
    std::remove(temporary.c_str());
    return false;
  }
  syncFolder(path.parent_path());
  return true;
}

namespace lockfile {

intptr_t open(const Path& path, std::string* reason) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) *reason = std::strerror(errno);
  return fd;
}

// flock belongs to the open file, not the process: two threads with a lock file open each
// exclude one another as two processes do.
bool tryLock(intptr_t handle) { return ::flock(int(handle), LOCK_EX | LOCK_NB) == 0; }

bool isFileAt(intptr_t handle, const Path& path) {
  struct stat held, named;
  return ::fstat(int(handle), &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

void close(intptr_t handle) { ::close(int(handle)); }

}  // namespace lockfile

}  // namespace pictures
