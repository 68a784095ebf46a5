#pragma once
// What the picture library answers instead of text: for a file, why it could not be read or
// written; for a picture, whether it became a prop and, if not, why. The caller words them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace pictures {

// Paths are the system's own (UTF-16 on Windows), so any name a user has can be given.
using Path = std::filesystem::path;

enum class FileFailure {
  kNone,
  kIsFolder,        // a folder where a file was wanted
  kCannotOpen,      // `reason`: the system's
  kCannotRead,      // a read failed part way
  kTooLarge,        // longer than `limitBytes`
  kCannotCreate,    // `reason`: the system's
  kCannotWrite,     // `reason`: the system's, when it gave one
  kCannotMakeFolder,  // `reason`: the system's, when it gave one
};

struct FileProblem {
  FileFailure failure = FileFailure::kNone;
  Path path;           // the file or folder concerned (for a replaced file, maybe its temporary)
  std::string reason;  // the system's words, UTF-8; empty when it gave none
  size_t limitBytes = 0;
};

enum class PictureFailure {
  kNone,          // the picture became a prop
  kFile,          // its file could not be read: see PictureProblem::file
  kNotAPicture,   // not a PNG, JPEG, BMP or GIF
  kDamaged,       // a damaged `format` file; `detail` tells what is wrong
  kTooLarge,      // `width` x `height` is beyond `limitPixels` or kPictureMaxSide a side
  kOutOfMemory,   // within the limits, but the memory to read it could not be had here
  kTooManyRows,   // kept unscaled, its `height` rows are more than a prop holds
  kCannotEncode,  // it cannot be stored as a prop
  kOwnFileFull,   // not added: the user's own prop file holds kOwnFileMaxProps props
  kNoIdsLeft,     // not added: the highest id in the user's own prop file is the last one
};

struct PictureProblem {
  PictureFailure failure = PictureFailure::kNone;
  FileProblem file;
  std::string format;  // "PNG", "JPEG", "BMP" or "GIF", once the first bytes told it
  std::string detail;
  int32_t width = 0, height = 0;  // the picture's size, once it was read
  int64_t limitPixels = 0;
};

}  // namespace pictures
