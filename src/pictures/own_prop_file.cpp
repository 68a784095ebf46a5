#include "pictures/own_prop_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "pictures/picture_files.h"
#include "resfile/resfile.h"
#include "resfile/resfile_entries.h"
#include "resfile/resfile_layout.h"

namespace pictures {

namespace {

// A refused file is not named in the record, so that nothing can be written over it.
bool refuse(OwnPropFile* file, OwnFileProblem* problem, OwnFileFailure failure) {
  *file = OwnPropFile{};
  problem->failure = failure;
  return false;
}

// Whether a file's type list has one 'Prop' entry as its only type with resources. Read
// here because the resource library looks at the first entry of a type alone.
OwnFileFailure typesOf(const std::vector<uint8_t>& bytes) {
  auto le32 = [&](uint64_t at, uint32_t* v) {
    if (at + 4 > bytes.size()) return false;
    *v = resReadLE32(&bytes[size_t(at)]);
    return true;
  };
  uint32_t mapOffset = 0, typeCount = 0, typeListOffset = 0;
  if (!le32(kHeaderFieldMapOffset, &mapOffset) || !le32(uint64_t(mapOffset) + kMapFieldTypeCount, &typeCount) ||
      !le32(uint64_t(mapOffset) + kMapFieldTypeListOffset, &typeListOffset) || typeCount > 0x7FFFFFFF)
    return OwnFileFailure::kDamaged;
  bool propTypeSeen = false;
  // Each entry lies further on, so a count larger than the file ends at its end.
  for (uint32_t t = 0; t < typeCount; ++t) {
    uint32_t type = 0, count = 0;
    const uint64_t at = uint64_t(mapOffset) + typeListOffset + uint64_t(t) * kResTypeEntrySize;
    if (!le32(at + kTypeFieldType, &type) || !le32(at + kTypeFieldCount, &count) ||
        (type == kPropResourceType && propTypeSeen))
      return OwnFileFailure::kDamaged;
    propTypeSeen = propTypeSeen || type == kPropResourceType;
    if (type != kPropResourceType && count != 0) return OwnFileFailure::kForeign;
  }
  return OwnFileFailure::kNone;
}

}  // namespace

bool loadOwnPropFile(const Path& path, OwnPropFile* file, OwnFileProblem* problem) {
  *file = OwnPropFile{};
  file->path = path;
  *problem = OwnFileProblem{};
  // Only "no such file" from opening it is no file yet: any other failure (a network home
  // that did not answer, a folder refused) could hide pictures that a save would replace.
  errno = 0;
  std::FILE* f = openFile(path, "rb");
  const int openError = errno;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    if (f) std::fclose(f);
    return refuse(file, problem, OwnFileFailure::kIsFolder);
  }
  if (!f) {
    if (openError == ENOENT) return true;  // none yet: a save puts one in place, replacing nothing
    problem->file = FileProblem{FileFailure::kCannotOpen, path, std::strerror(openError), 0};
    return refuse(file, problem, OwnFileFailure::kFile);
  }
  file->existed = true;
  // Read whole, then taken apart in one pass: time and memory follow the file's size.
  OwnFileFailure failure = OwnFileFailure::kNone;
  try {
    std::vector<uint8_t> bytes;
    const bool read = readOpenFile(f, path, kOwnFileMaxBytes, &bytes, &problem->file);
    std::fclose(f);
    if (!read) return refuse(file, problem, OwnFileFailure::kFile);
    switch (ResReadEntries(bytes.data(), bytes.size(), kPropResourceType, &file->entries)) {
      case ResEntriesResult::kOK: failure = typesOf(bytes); break;
      case ResEntriesResult::kDamaged: failure = OwnFileFailure::kDamaged; break;
      case ResEntriesResult::kTooLarge: failure = OwnFileFailure::kTooLarge; break;
    }
  } catch (const std::bad_alloc&) {
    failure = OwnFileFailure::kTooLarge;
  }
  if (failure != OwnFileFailure::kNone) return refuse(file, problem, failure);
  file->loaded = file->entries.size();
  for (const ResEntry& e : file->entries) file->nextId = std::max<uint64_t>(file->nextId, uint64_t(e.id) + 1);
  return true;
}

namespace {

// Why the file takes no further prop, or kNone.
PictureFailure roomFailure(const OwnPropFile& file) {
  if (file.entries.size() >= size_t(kOwnFileMaxProps)) return PictureFailure::kOwnFileFull;
  if (file.nextId > 0xFFFFFFFFu) return PictureFailure::kNoIdsLeft;
  return PictureFailure::kNone;
}

}  // namespace

PictureProp appendPropToOwnFile(OwnPropFile* file, const Path& picture, PictureProp prop) {
  prop.problem.failure = roomFailure(*file);
  if (!prop.made()) return prop;
  prop.id = uint32_t(file->nextId++);
  file->entries.push_back(propEntry(prop.id, picture, prop.data));
  return prop;
}

PictureProp addPictureToOwnFile(OwnPropFile* file, const Path& picture) {
  PictureProp r;
  r.problem.failure = roomFailure(*file);
  if (!r.made()) return r;
  r = propFromPicture(picture, true);
  return r.made() ? appendPropToOwnFile(file, picture, std::move(r)) : r;
}

bool saveOwnPropFile(const OwnPropFile& file, FileProblem* problem) {
  if (file.path.empty()) {
    if (problem) *problem = FileProblem{FileFailure::kCannotWrite, file.path, "no file was read", 0};
    return false;
  }
  if (file.entries.size() == file.loaded) return true;
  const Path folder = file.path.parent_path();
  if (!folder.empty() && !makeDirectories(folder, problem)) return false;
  try {
    const std::vector<uint8_t> bytes = ResBuildFile(file.entries);
    // Never a file that its own loader would refuse.
    if (bytes.size() > kOwnFileMaxBytes) {
      if (problem) *problem = FileProblem{FileFailure::kTooLarge, file.path, "", kOwnFileMaxBytes};
      return false;
    }
    // A file that was not there when read is put in place only while none is: one that
    // appeared since (or that the reading missed) is never replaced by fewer pictures.
    return replaceFile(file.path, bytes, problem, file.existed ? Replacing::kReplace : Replacing::kNoReplace);
  } catch (const std::bad_alloc&) {
    if (problem) *problem = FileProblem{FileFailure::kTooLarge, file.path, "", kOwnFileMaxBytes};
    return false;
  }
}

Path ownFileLockPath(const Path& file) { return Path(file.native() + Path(".lock").native()); }

namespace {

// Takes the lock and reads the file under it; false, with the result told why, when either fails.
bool lockAndLoad(const Path& path, AddPicturesObserver* observer, FileLock* lock, OwnPropFile* file,
                 AddPicturesResult* result) {
  const Path folder = path.parent_path();
  FileProblem problem;
  if ((!folder.empty() && !makeDirectories(folder, &problem)) ||
      !lock->acquire(ownFileLockPath(path), [&](double waited) { return observer->keepWaiting(waited); }, &problem)) {
    if (problem.failure == FileFailure::kNone) {
      result->stopped = true;
    } else {
      result->ownFile.failure = OwnFileFailure::kFile;
      result->ownFile.file = problem;
    }
    return false;
  }
  if (!loadOwnPropFile(path, file, &result->ownFile)) return false;
  result->held = file->entries.size();
  return true;
}

// Under the lock: the file read again, `prop` appended and the file saved; the lock let go.
// A lock file replaced while it was held (a sync tool restoring it, a person tidying up)
// keeps out no writer that opens the new one, so before saving the lock is checked to be
// the file at its path still; if not, it is taken again, and the file read again, first.
bool appendUnderLock(const Path& path, const Path& picture, AddPicturesObserver* observer, FileLock* lock,
                     OwnPropFile* file, PictureProp* prop, AddPicturesResult* result) {
  for (int attempt = 0;; ++attempt) {
    if (!lockAndLoad(path, observer, lock, file, result)) return false;
    PictureProp appended = appendPropToOwnFile(file, picture, *prop);
    if (appended.made() && !lock->stillHeld() && attempt < 10) continue;
    *prop = std::move(appended);
    const bool saved = !prop->made() || saveOwnPropFile(*file, &result->save);
    lock->release();
    return saved;
  }
}

}  // namespace

AddPicturesResult addPicturesToOwnFile(const Path& path, const std::vector<Path>& pictureFiles,
                                       AddPicturesObserver* observer) {
  AddPicturesObserver quiet;
  if (!observer) observer = &quiet;
  AddPicturesResult result;
  OwnPropFile file;
  FileLock lock;
  if (!lockAndLoad(path, observer, &lock, &file, &result)) return result;
  lock.release();
  bool fullWhenRead = false;
  for (size_t i = 0; i < pictureFiles.size(); ++i) {
    if (observer->stopRequested()) {
      result.stopped = true;
      break;
    }
    const Path& picture = pictureFiles[i];
    observer->reading(i, pictureFiles.size(), picture);
    // Full when last read: read again once (another program may have removed the file)
    // before a picture is refused for it; found full again, the rest are refused unread.
    if (roomFailure(file) != PictureFailure::kNone && !fullWhenRead) {
      if (!lockAndLoad(path, observer, &lock, &file, &result)) break;
      lock.release();
      fullWhenRead = roomFailure(file) != PictureFailure::kNone;
    }
    PictureProp prop;
    prop.problem.failure = roomFailure(file);
    if (prop.made()) prop = propFromPicture(picture, true);
    if (prop.made()) {
      if (!appendUnderLock(path, picture, observer, &lock, &file, &prop, &result)) break;
      result.held = file.entries.size();
    }
    ++result.tried;
    result.added += prop.made() ? 1 : 0;
    observer->done(i, picture, prop);
  }
  return result;
}

}  // namespace pictures
