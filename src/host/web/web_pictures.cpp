#include "host/web/web_pictures.h"

#include <utility>

#include "pictures/own_prop_file.h"
#include "pictures/picture_to_palette.h"
#include "props/prop_atlas.h"
#include "resfile/resfile.h"

namespace web {

AddResult addDecodedPicture(const std::string& ownFile, const pictures::RgbaImage& picture, const std::string& name) {
  const int64_t pixels = int64_t(picture.width) * picture.height;
  if (picture.width <= 0 || picture.height <= 0 || picture.width > pictures::kPictureMaxSide ||
      picture.height > pictures::kPictureMaxSide || pixels > kWebPictureMaxPixels ||
      picture.pixels.size() != size_t(pixels) * 4) {
    return AddResult::kTooLarge;
  }
  pictures::OwnPropFile file;
  pictures::OwnFileProblem problem;
  if (!pictures::loadOwnPropFile(ownFile, &file, &problem)) return AddResult::kCannotStore;

  pictures::PictureProp prop;
  prop.pictureSize = {picture.width, picture.height};
  prop.size = pictures::fitToCell(picture.width, picture.height, kPropCellSize);
  prop.data = pictures::encodePropImage(
      pictures::ditherToPalette(pictures::scaleAreaAverage(picture, prop.size.width, prop.size.height)), false,
      false);
  if (prop.data.empty()) return AddResult::kCannotEncode;

  const pictures::PictureProp added = pictures::appendPropToOwnFile(&file, name, std::move(prop));
  if (added.problem.failure == pictures::PictureFailure::kOwnFileFull) return AddResult::kFull;
  if (added.problem.failure == pictures::PictureFailure::kNoIdsLeft) return AddResult::kNoIdsLeft;
  if (!added.made()) return AddResult::kCannotEncode;
  pictures::FileProblem saveProblem;
  return pictures::saveOwnPropFile(file, &saveProblem) ? AddResult::kAdded : AddResult::kCannotStore;
}

int32_t propsInFile(const std::string& path) {
  FileRef ref = 0;
  ResOpenFile(path.c_str(), &ref);
  if (ref == 0) return 0;
  const int32_t count = ResCountOfType(kPropResourceType);
  ResCloseFile(ref);
  return count > 0 ? count : 0;
}

}  // namespace web
