// The portable part of file access; posix_files.cpp and win32_files.cpp hold the rest.
#include "pictures/picture_files.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace pictures {

namespace fs = std::filesystem;

namespace {

bool fail(FileProblem* problem, FileFailure failure, const Path& path, std::string reason = "",
          size_t limitBytes = 0) {
  if (problem) *problem = FileProblem{failure, path, std::move(reason), limitBytes};
  return false;
}

}  // namespace

bool readOpenFile(std::FILE* f, const Path& path, size_t maxBytes, std::vector<uint8_t>* bytes,
                  FileProblem* problem) {
  bytes->clear();
  uint8_t chunk[65536];
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (bytes->size() + n > maxBytes) return fail(problem, FileFailure::kTooLarge, path, "", maxBytes);
    bytes->insert(bytes->end(), chunk, chunk + n);
    if (n < sizeof chunk) return std::ferror(f) ? fail(problem, FileFailure::kCannotRead, path) : true;
  }
}

bool readWholeFile(const Path& path, size_t maxBytes, std::vector<uint8_t>* bytes, FileProblem* problem) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return fail(problem, FileFailure::kIsFolder, path);
  std::FILE* f = openFile(path, "rb");
  if (!f) return fail(problem, FileFailure::kCannotOpen, path, std::strerror(errno));
  const bool ok = readOpenFile(f, path, maxBytes, bytes, problem);
  std::fclose(f);
  return ok;
}

bool writeWholeFile(const Path& path, const std::vector<uint8_t>& bytes, FileProblem* problem) {
  std::FILE* f = openFile(path, "wb");
  if (!f) return fail(problem, FileFailure::kCannotCreate, path, std::strerror(errno));
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  return written && closed ? true : fail(problem, FileFailure::kCannotWrite, path);
}

bool FileLock::acquire(const Path& lockFile, const std::function<bool(double)>& keepWaiting, FileProblem* problem) {
  release();
  intptr_t handle = kNone;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (handle == kNone) {
      std::string reason;
      handle = lockfile::open(lockFile, &reason);
      if (handle == kNone) return fail(problem, FileFailure::kCannotCreate, lockFile, reason);
    }
    if (lockfile::tryLock(handle)) {
      if (lockfile::isFileAt(handle, lockFile)) break;
      // Locked, but no longer the file of that name: it was replaced while this one waited.
      lockfile::close(handle);
      handle = kNone;
      continue;
    }
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (keepWaiting && !keepWaiting(waited)) {
      lockfile::close(handle);
      if (problem) *problem = FileProblem{};
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  handle_ = handle;
  path_ = lockFile;
  return true;
}

bool FileLock::stillHeld() const { return handle_ != kNone && lockfile::isFileAt(handle_, path_); }

void FileLock::release() {
  if (handle_ != kNone) lockfile::close(handle_);
  handle_ = kNone;
}

bool makeDirectories(const Path& path, FileProblem* problem) {
  std::error_code ec;
  fs::create_directories(path, ec);
  std::error_code ignored;
  if (fs::is_directory(path, ignored)) return true;
  return fail(problem, FileFailure::kCannotMakeFolder, path, ec ? ec.message() : "");
}

}  // namespace pictures
