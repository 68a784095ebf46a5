#pragma once
// One picture made into a prop: read, fitted to the atlas cell, mapped to the palette and
// encoded as the saver decodes it.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/picture_result.h"
#include "pictures/picture_to_palette.h"
#include "resfile/resfile_writer.h"

namespace pictures {

// The longest prop name the saver reads.
constexpr size_t kPropNameMaxBytes = 31;

// A picture made into a prop, or why it was not.
struct PictureProp {
  PictureProblem problem;         // failure kNone when the prop was made
  std::vector<uint8_t> data;      // the prop image
  PictureSize size{0, 0};         // the prop's size
  PictureSize pictureSize{0, 0};  // the picture's, as read
  bool spillsOverCell = false;    // kept unscaled and larger than the cell: it spills into its neighbours
  uint32_t id = 0;                // its id, once added to the user's own prop file
  bool made() const { return problem.failure == PictureFailure::kNone; }
};

// Scaled: any size, scaled down to fit the cell and error-diffused to the palette. Unscaled:
// pixel for pixel, each to its nearest palette colour, at most 64 rows (kTooManyRows).
// Memory that cannot be had for it is kOutOfMemory; nothing is thrown.
PictureProp propFromPicture(const Path& picture, bool scale);

// A prop's name from a picture's file name: without folder and extension, at most
// kPropNameMaxBytes of UTF-8, cut between whole characters.
std::string propNameFromPath(const Path& picture);

// The 'Prop' resource of a prop made from `picture`, named after it.
ResEntry propEntry(uint32_t id, const Path& picture, std::vector<uint8_t> data);

}  // namespace pictures
