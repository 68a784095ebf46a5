#include "proptool/problem_text.h"

#include "pictures/picture_files.h"

namespace proptool {

using pictures::FileFailure;
using pictures::OwnFileFailure;
using pictures::PictureFailure;

std::string fileProblemText(const pictures::FileProblem& problem) {
  const std::string path = pictures::pathText(problem.path);
  const std::string why = problem.reason.empty() ? "" : ": " + problem.reason;
  switch (problem.failure) {
    case FileFailure::kIsFolder: return path + ": a folder, not a file";
    case FileFailure::kCannotOpen: return "cannot open " + path + why;
    case FileFailure::kCannotRead: return "cannot read " + path;
    case FileFailure::kTooLarge: return path + ": larger than " + std::to_string(problem.limitBytes >> 20) + " MB";
    case FileFailure::kCannotCreate: return "cannot create " + path + why;
    case FileFailure::kCannotWrite: return "cannot write " + path + why;
    case FileFailure::kCannotMakeFolder: return "cannot create the folder " + path + why;
    case FileFailure::kNone: break;
  }
  return path;
}

std::string pictureProblemText(const std::string& name, const pictures::PictureProblem& problem) {
  switch (problem.failure) {
    case PictureFailure::kFile: return fileProblemText(problem.file);
    case PictureFailure::kNotAPicture: return name + ": not a picture proptool reads (PNG, JPEG, BMP or GIF)";
    case PictureFailure::kDamaged: return name + ": damaged " + problem.format + " (" + problem.detail + ")";
    case PictureFailure::kTooLarge:
      return name + ": " + std::to_string(problem.width) + "x" + std::to_string(problem.height) +
             " is larger than proptool reads (" + std::to_string(problem.limitPixels / 1000000) + " megapixels, " +
             std::to_string(pictures::kPictureMaxSide) + " pixels a side)";
    case PictureFailure::kOutOfMemory: return name + ": too large to read on this computer (not enough memory)";
    case PictureFailure::kTooManyRows:
      return name + ": " + std::to_string(problem.height) +
             " rows; a prop holds at most 64 rows (its byte order is told by its height)";
    case PictureFailure::kCannotEncode: return name + ": cannot be stored as a prop";
    case PictureFailure::kOwnFileFull:
      return "the file is full (" + std::to_string(pictures::kOwnFileMaxProps) +
             " props, as many as the saver shows at once)";
    case PictureFailure::kNoIdsLeft: return "no prop ids are left after the highest one in the file";
    case PictureFailure::kNone: break;
  }
  return name;
}

std::string ownFileProblemText(const std::string& name, const pictures::OwnFileProblem& problem) {
  const std::string untouched = "; it was left as it is and no picture was added";
  switch (problem.failure) {
    case OwnFileFailure::kFile: return fileProblemText(problem.file) + untouched;
    case OwnFileFailure::kIsFolder: return name + " is a folder; no picture was added";
    case OwnFileFailure::kDamaged: return name + " is damaged" + untouched;
    case OwnFileFailure::kForeign: return name + " holds more than props" + untouched;
    case OwnFileFailure::kTooLarge: return name + " is too large to read here (not enough memory)" + untouched;
    case OwnFileFailure::kNone: break;
  }
  return name;
}

}  // namespace proptool
