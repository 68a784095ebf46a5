#pragma once
// The page's pictures and prop files: a picture the browser decoded becomes a prop by the
// project's own scaling and error diffusion, appended to the user's own prop file; a prop
// file is taken when it holds props.
#include <cstdint>
#include <string>

#include "pictures/picture_read.h"

namespace web {

// What adding a picture came to; the page words it.
enum class AddResult : int32_t {
  kAdded = 0,
  kTooLarge = 1,      // more pixels than the page reads
  kCannotEncode = 2,  // it cannot be stored as a prop
  kFull = 3,          // the user's own prop file holds as many props as are shown
  kNoIdsLeft = 4,
  kCannotStore = 5,   // the user's own prop file cannot be read or written
};

// The most pixels of a picture the page takes (the browser decodes it whole into memory).
constexpr int64_t kWebPictureMaxPixels = 40000000;

// Scales the picture to fit a prop cell, diffuses it to the palette and appends the prop,
// named after `name`, to the prop file at `ownFile`, which is saved.
AddResult addDecodedPicture(const std::string& ownFile, const pictures::RgbaImage& picture, const std::string& name);

// The props in the resource file at `path`; 0 for a file that is not one, or holds none.
int32_t propsInFile(const std::string& path);

}  // namespace web
