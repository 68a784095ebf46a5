#include "host/win32/dialog_rules.h"

#include "scene/mirror_scene.h"

namespace {

constexpr int32_t kLowStep = (kSpeedDefaultPercent - kSpeedMinPercent) / kSpeedTrackMiddle;  // 5 % a step

// Why a picture was not added, in a person's words.
std::string reason(const pictures::PictureProblem& p) {
  using pictures::PictureFailure;
  switch (p.failure) {
    case PictureFailure::kFile:
      return "it cannot be read" + (p.file.reason.empty() ? std::string() : " (" + p.file.reason + ")");
    case PictureFailure::kNotAPicture: return "it is not a PNG, JPEG, BMP or GIF picture";
    case PictureFailure::kDamaged: return "it is a damaged " + (p.format.empty() ? std::string("picture") : p.format + " file");
    case PictureFailure::kTooLarge:
      return "it is too large (" + std::to_string(p.width) + " x " + std::to_string(p.height) + " pixels)";
    case PictureFailure::kOutOfMemory: return "it is too large to read on this computer";
    case PictureFailure::kTooManyRows:
    case PictureFailure::kCannotEncode: return "it cannot be made into a sprite";
    case PictureFailure::kOwnFileFull:
      return "you have " + std::to_string(pictures::kOwnFileMaxProps) + " pictures already, as many as the saver shows";
    case PictureFailure::kNoIdsLeft: return "no number is left for it in your pictures file";
    case PictureFailure::kNone: break;
  }
  return "";
}

std::string fileReason(const pictures::FileProblem& p) {
  return p.reason.empty() ? std::string() : " (" + p.reason + ")";
}

}  // namespace

int32_t speedFromTrackPosition(int32_t position) {
  if (position <= 0) return kSpeedMinPercent;
  if (position >= 2 * kSpeedTrackMiddle) return kSpeedMaxPercent;
  if (position <= kSpeedTrackMiddle) return kSpeedMinPercent + kLowStep * position;
  // The upper half in whole percents, rounded: 100 + 100 * k / 15.
  const int32_t span = kSpeedMaxPercent - kSpeedDefaultPercent;
  const int32_t k = position - kSpeedTrackMiddle;
  return kSpeedDefaultPercent + (span * k + kSpeedTrackMiddle / 2) / kSpeedTrackMiddle;
}

int32_t trackPositionFromSpeed(int32_t speed) {
  if (speed <= kSpeedMinPercent) return 0;
  if (speed >= kSpeedMaxPercent) return 2 * kSpeedTrackMiddle;
  int32_t best = 0;
  for (int32_t p = 1; p <= 2 * kSpeedTrackMiddle; ++p) {
    const int32_t d = speedFromTrackPosition(p) - speed, bestD = speedFromTrackPosition(best) - speed;
    if ((d < 0 ? -d : d) < (bestD < 0 ? -bestD : bestD)) best = p;
  }
  return best;
}

std::string ownPicturesLine(int32_t count, pictures::OwnFileFailure failure) {
  if (failure == pictures::OwnFileFailure::kDamaged) return "Your pictures file is damaged; remove it to start again.";
  if (failure == pictures::OwnFileFailure::kTooLarge)
    return "Your pictures file is too large to read here; remove it to start again.";
  if (failure != pictures::OwnFileFailure::kNone) return "Your pictures file cannot be read; remove it to start again.";
  if (count <= 0) return "No pictures of your own yet.";
  if (count == 1) return "1 picture of your own is shown.";
  return std::to_string(count) + " pictures of your own are shown.";
}

std::string addingPicturesLine(size_t index, size_t count, const std::string& name) {
  return "Adding " + std::to_string(index + 1) + " of " + std::to_string(count) + ": " + name;
}

std::string removePicturesQuestion(int32_t count, bool toRecycleBin) {
  const std::string start = "Remove your pictures (" + std::to_string(count) + ") from the saver? ";
  return start + (toRecycleBin ? "Their file goes to the Recycle Bin, from where it can be restored."
                               : "Their file cannot go to the Recycle Bin here: it will be deleted for good.");
}

std::string addPicturesReport(const std::vector<PictureOutcome>& outcomes, size_t chosen,
                              const pictures::AddPicturesResult& result) {
  using pictures::OwnFileFailure;
  std::string why;  // why the adding ended early, when it did
  if (result.ownFile.failure != OwnFileFailure::kNone) {
    const OwnFileFailure f = result.ownFile.failure;
    why = std::string("your pictures file was left as it is, because ") +
          (f == OwnFileFailure::kDamaged   ? "it is damaged"
           : f == OwnFileFailure::kForeign ? "it holds more than pictures"
           : f == OwnFileFailure::kIsFolder ? "a folder has its name"
           : f == OwnFileFailure::kTooLarge ? "it is too large to read here"
                                            : "it cannot be read") +
          fileReason(result.ownFile.file);
  } else if (result.save.failure != pictures::FileFailure::kNone) {
    why = "your pictures file cannot be written" + fileReason(result.save);
  }
  if (outcomes.empty() && !why.empty()) return "No picture was added: " + why + ".";

  std::string added, refused;
  int32_t addedCount = 0;
  for (const PictureOutcome& o : outcomes) {
    if (o.problem.failure == pictures::PictureFailure::kNone) {
      added += (addedCount++ ? ", " : ": ") + o.name;
    } else {
      refused += "\n" + o.name + ": " + reason(o.problem) + ".";
    }
  }
  std::string text = addedCount == 0   ? std::string("No picture was added.")
                     : addedCount == 1 ? "1 picture was added" + added + "."
                                       : std::to_string(addedCount) + " pictures were added" + added + ".";
  if (!refused.empty()) text += "\n\nNot added:" + refused;
  const size_t rest = chosen > outcomes.size() ? chosen - outcomes.size() : 0;
  if (rest > 0) {
    if (!why.empty()) why[0] = char(why[0] - 'a' + 'A');
    text += "\n\n" + (why.empty() ? std::string("You stopped the adding") : why) + ": " +
            (rest == 1 ? std::string("the other picture was") : "the other " + std::to_string(rest) + " pictures were") +
            " not tried.";
  }
  return text;
}
