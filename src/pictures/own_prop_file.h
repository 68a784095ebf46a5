#pragma once
// The user's own prop file: props made from the user's pictures, which the saver shows when
// the chat client's prop file is not there. Pictures are appended with ids after the highest
// one there; a file that could not be rewritten whole is refused and left as it is. Where the
// file lies is the caller's to say (the host logic names it per platform).
#include <cstdint>
#include <vector>

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
};

struct OwnFileProblem {
  OwnFileFailure failure = OwnFileFailure::kNone;
  FileProblem file;
};

struct OwnPropFile {
  Path path;
  std::vector<ResEntry> entries;  // the props that were there, every byte kept, then those added
  size_t loaded = 0;              // how many were there
  uint64_t nextId = kPropInvertedIdLimit;  // the id the next picture gets (516 at the least: in colour)
};

// Reads the file at `path` into `file`; no file there is an empty one. False, with the
// problem, when it cannot be kept whole: `file` is then empty and saving it fails.
bool loadOwnPropFile(const Path& path, OwnPropFile* file, OwnFileProblem* problem);

// Makes a picture into a prop and appends it with the next id: refused when the file is full
// (kOwnFileFull), when no id is left (kNoIdsLeft), or as propFromPicture refuses it.
PictureProp addPictureToOwnFile(OwnPropFile* file, const Path& picture);

// Writes the file, when a prop was added, through a temporary file renamed over it, after
// making its folder. False for a file whose reading was refused.
bool saveOwnPropFile(const OwnPropFile& file, FileProblem* problem);

}  // namespace pictures
