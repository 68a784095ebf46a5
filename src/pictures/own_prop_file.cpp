#include "pictures/own_prop_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "pictures/picture_files.h"
#include "resfile/resfile.h"
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

// The props of the current resource file, every byte as stored.
bool readProps(std::vector<ResEntry>* entries) {
  const int32_t count = ResCountOfType(kPropResourceType);
  for (int32_t j = 0; j < count; ++j) {
    const Handle h = ResGetIndexed(kPropResourceType, j);
    if (!h) return false;
    ResEntry e;
    e.type = kPropResourceType;
    uint32_t type = 0;
    uint8_t name[256] = {0};
    ResGetInfo(h, &type, &e.id, name);
    e.hasName = name[0] != 0;
    e.name.assign(reinterpret_cast<const char*>(name + 1), name[0]);
    e.data.assign(*h, *h + HandleGetSize(h));
    ResRelease(h);
    entries->push_back(std::move(e));
  }
  return true;
}

}  // namespace

bool loadOwnPropFile(const Path& path, OwnPropFile* file, OwnFileProblem* problem) {
  *file = OwnPropFile{};
  file->path = path;
  *problem = OwnFileProblem{};
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return refuse(file, problem, OwnFileFailure::kIsFolder);
  if (!std::filesystem::is_regular_file(path, ec)) return true;  // none yet

  // One stream, read whole for the type list, then handed to the resource library.
  std::FILE* f = openFile(path, "rb");
  if (!f) {
    problem->file = FileProblem{FileFailure::kCannotOpen, path, std::strerror(errno), 0};
    return refuse(file, problem, OwnFileFailure::kFile);
  }
  std::vector<uint8_t> bytes;
  OwnFileFailure failure = OwnFileFailure::kNone;
  if (!readOpenFile(f, path, kOwnFileMaxBytes, &bytes, &problem->file)) failure = OwnFileFailure::kFile;
  if (failure == OwnFileFailure::kNone) failure = typesOf(bytes);
  if (failure != OwnFileFailure::kNone) {
    std::fclose(f);
    return refuse(file, problem, failure);
  }
  std::rewind(f);
  // The resource library has one current file per process: one reader at a time, whichever
  // thread it is on.
  static std::mutex resourceLibrary;
  const std::lock_guard<std::mutex> hold(resourceLibrary);
  FileRef ref = 0;
  const bool opened = ResOpenStream(f, &ref) == kResOK;  // the library owns the stream now
  const bool read = opened && readProps(&file->entries);
  if (ref != 0) ResCloseFile(ref);
  if (!read) return refuse(file, problem, OwnFileFailure::kDamaged);
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
  return (folder.empty() || makeDirectories(folder, problem)) &&
         replaceFile(file.path, ResBuildFile(file.entries), problem);
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
  for (size_t i = 0; i < pictureFiles.size(); ++i) {
    if (observer->stopRequested()) {
      result.stopped = true;
      break;
    }
    const Path& picture = pictureFiles[i];
    observer->reading(i, pictureFiles.size(), picture);
    // Full when last read: read again (another program may have removed the file) before the
    // picture is refused, and no picture is read in vain.
    if (roomFailure(file) != PictureFailure::kNone) {
      if (!lockAndLoad(path, observer, &lock, &file, &result)) break;
      lock.release();
    }
    PictureProp prop;
    prop.problem.failure = roomFailure(file);
    if (prop.made()) prop = propFromPicture(picture, true);
    if (prop.made()) {
      if (!lockAndLoad(path, observer, &lock, &file, &result)) break;
      prop = appendPropToOwnFile(&file, picture, std::move(prop));
      if (prop.made() && !saveOwnPropFile(file, &result.save)) break;
      lock.release();
      result.held = file.entries.size();
    }
    ++result.tried;
    result.added += prop.made() ? 1 : 0;
    observer->done(i, picture, prop);
  }
  return result;
}

}  // namespace pictures
