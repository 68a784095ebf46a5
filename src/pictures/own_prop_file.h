#pragma once
// The user's own prop file: props made from the user's pictures, which the saver shows ahead
// of every other prop file once it holds a prop (on Windows; on Linux it is always the first
// place). Pictures are appended with ids after the highest one there; a file that could not
// be rewritten whole is refused and left as it is. Where the file lies is the caller's to say
// (the host logic names it per platform). Every writer (the settings dialog, each proptool)
// changes it under the lock of its lock file, one picture at a time.
#include <cstdint>
#include <vector>

#include "pictures/picture_files.h"
#include "pictures/picture_prop.h"
#include "props/prop_atlas.h"

namespace pictures {

// At most as many props as the atlas shows at once, so that every picture added is seen.
constexpr int32_t kOwnFileMaxProps = kPropSlots;
// A larger file is not taken for one.
constexpr size_t kOwnFileMaxBytes = size_t(64) << 20;

enum class OwnFileFailure {
  kNone,
  kFile,      // it could not be read: see OwnFileProblem::file
  kIsFolder,  // a folder is where the file belongs
  kDamaged,   // its map cannot be read, or it lists props under a second 'Prop' type entry,
              // which the saver never reads
  kForeign,   // it holds more than props
  kTooLarge,  // the memory to read it could not be had here
};

struct OwnFileProblem {
  OwnFileFailure failure = OwnFileFailure::kNone;
  FileProblem file;
};

struct OwnPropFile {
  Path path;
  std::vector<ResEntry> entries;  // the props that were there, every byte kept, then those added
  size_t loaded = 0;              // how many were there
  bool existed = false;           // a file was there: a save replaces it; otherwise a save puts
                                  // one in place and fails, replacing nothing, should one be there
  uint64_t nextId = kPropInvertedIdLimit;  // the id the next picture gets (516 at the least: in colour)
};

// Reads the file at `path` into `file`, in time and memory linear in its size; no file
// there ("no such file" from opening it, nothing else) is an empty one. False, with the
// problem, when it cannot be kept whole: `file` is then empty and saving it fails.
bool loadOwnPropFile(const Path& path, OwnPropFile* file, OwnFileProblem* problem);

// Makes a picture into a prop and appends it with the next id: refused when the file is full
// (kOwnFileFull), when no id is left (kNoIdsLeft), or as propFromPicture refuses it.
PictureProp addPictureToOwnFile(OwnPropFile* file, const Path& picture);

// Appends a prop already made from `picture` with the next id: refused (kOwnFileFull,
// kNoIdsLeft) when the file has no room for it.
PictureProp appendPropToOwnFile(OwnPropFile* file, const Path& picture, PictureProp prop);

// Writes the file, when a prop was added, through a temporary file renamed over it, after
// making its folder (where no file was read, renamed only while none is there). False for
// a file whose reading was refused, and for one that would pass kOwnFileMaxBytes.
bool saveOwnPropFile(const OwnPropFile& file, FileProblem* problem);

// The lock file that every writer of the user's own prop file holds: beside it, ".lock" added.
Path ownFileLockPath(const Path& file);

// What addPicturesToOwnFile tells as it goes, and asks; called on the thread that adds.
class AddPicturesObserver {
 public:
  virtual ~AddPicturesObserver() = default;
  // Asked before each picture: true stops the adding there; what was added stays.
  virtual bool stopRequested() { return false; }
  // Picture `index` (from 0) of `count` is being read.
  virtual void reading(size_t /*index*/, size_t /*count*/, const Path& /*picture*/) {}
  // It was added and the file saved (prop.id its id), or it was refused (prop.problem).
  virtual void done(size_t /*index*/, const Path& /*picture*/, const PictureProp& /*prop*/) {}
  // Another writer holds the file; asked about every 50 ms while it does, with the seconds
  // waited for this picture. False stops the adding.
  virtual bool keepWaiting(double /*seconds*/) { return !stopRequested(); }
};

struct AddPicturesResult {
  OwnFileProblem ownFile;  // the file could not be read or locked: the adding ended there
  FileProblem save;        // a save failed: the adding ended there, the old file as it was
  size_t tried = 0;        // pictures told to done(), from the first on
  size_t added = 0;
  size_t held = 0;         // props in the file when last read or saved
  bool stopped = false;    // the observer stopped it before every picture was tried
  bool ended() const { return ownFile.failure != OwnFileFailure::kNone || save.failure != FileFailure::kNone; }
};

// Adds pictures to the user's own prop file one at a time: each is read and made into a prop
// without the lock, then, under the lock, the file is read again, the prop appended and the
// file saved before the next picture is read. So two writers both keep their pictures, a
// reader always finds a whole file, and ending the program at any moment loses at most the
// picture in hand. The file is read once before any picture, so that one that cannot be kept
// whole is told at once; one seen full is read again once before pictures are refused for it.
AddPicturesResult addPicturesToOwnFile(const Path& file, const std::vector<Path>& pictures,
                                       AddPicturesObserver* observer);

}  // namespace pictures
