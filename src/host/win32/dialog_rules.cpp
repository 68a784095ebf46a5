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

std::string ownPicturesLine(int32_t count, bool readable) {
  if (!readable) return "Your pictures file cannot be read; remove it to start again.";
  if (count <= 0) return "No pictures of your own yet.";
  if (count == 1) return "1 picture of your own is shown.";
  return std::to_string(count) + " pictures of your own are shown.";
}

std::string addPicturesReport(const std::vector<PictureOutcome>& outcomes, const pictures::OwnFileProblem* ownFile,
                              const pictures::FileProblem* saveProblem) {
  using pictures::OwnFileFailure;
  if (ownFile && ownFile->failure != OwnFileFailure::kNone) {
    const char* why = ownFile->failure == OwnFileFailure::kDamaged   ? "it is damaged"
                      : ownFile->failure == OwnFileFailure::kForeign ? "it holds more than pictures"
                      : ownFile->failure == OwnFileFailure::kIsFolder ? "a folder has its name"
                                                                      : "it cannot be read";
    return std::string("No picture was added: your pictures file was left as it is, because ") + why +
           fileReason(ownFile->file) + ".";
  }
  if (saveProblem && saveProblem->failure != pictures::FileFailure::kNone) {
    return "No picture was added: your pictures file cannot be written" + fileReason(*saveProblem) + ".";
  }
  int32_t added = 0;
  std::string refused;
  for (const PictureOutcome& o : outcomes) {
    if (o.problem.failure == pictures::PictureFailure::kNone) {
      ++added;
    } else {
      refused += "\n" + o.name + ": " + reason(o.problem) + ".";
    }
  }
  std::string text = added == 0 ? "No picture was added." : added == 1 ? "1 picture was added." : std::to_string(added) + " pictures were added.";
  if (!refused.empty()) text += "\n\nNot added:" + refused;
  return text;
}
