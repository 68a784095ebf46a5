// Dialog 104's words and track bar, without a window.
#include <gtest/gtest.h>

#include "host/win32/dialog_rules.h"

namespace {

TEST(DialogRules, SpeedTrackBarHasTheDefaultInTheMiddle) {
  struct Case {
    int32_t position, speed;
  };
  for (const Case c : {Case{-3, 25}, Case{0, 25}, Case{1, 30}, Case{14, 95}, Case{15, 100}, Case{16, 107},
                       Case{29, 193}, Case{30, 200}, Case{99, 200}}) {
    EXPECT_EQ(speedFromTrackPosition(c.position), c.speed) << c.position;
  }
  for (int32_t p = 0; p <= 2 * kSpeedTrackMiddle; ++p) {
    EXPECT_EQ(trackPositionFromSpeed(speedFromTrackPosition(p)), p) << p;
    if (p > 0) {
      EXPECT_GT(speedFromTrackPosition(p), speedFromTrackPosition(p - 1)) << p;
    }
  }
  // Speeds between two marks, and out of range, land on the nearest.
  EXPECT_EQ(trackPositionFromSpeed(63), 8);
  EXPECT_EQ(trackPositionFromSpeed(10), 0);
  EXPECT_EQ(trackPositionFromSpeed(1000), 30);
}

TEST(DialogRules, PicturesAreCountedAndEachRefusalNamed) {
  EXPECT_EQ(ownPicturesLine(0, true), "No pictures of your own yet.");
  EXPECT_EQ(ownPicturesLine(1, true), "1 picture of your own is shown.");
  EXPECT_EQ(ownPicturesLine(12, true), "12 pictures of your own are shown.");
  EXPECT_EQ(ownPicturesLine(0, false), "Your pictures file cannot be read; remove it to start again.");

  using pictures::PictureFailure;
  pictures::PictureProblem made, notAPicture, damaged, full;
  notAPicture.failure = PictureFailure::kNotAPicture;
  damaged.failure = PictureFailure::kDamaged;
  damaged.format = "PNG";
  full.failure = PictureFailure::kOwnFileFull;
  const std::vector<PictureOutcome> outcomes = {
      {"Blüte.png", made}, {"notes.txt", notAPicture}, {"cat.jpg", made}, {"cut.png", damaged}, {"last.gif", full}};
  EXPECT_EQ(addPicturesReport(outcomes, nullptr, nullptr),
            "2 pictures were added.\n\nNot added:\n"
            "notes.txt: it is not a PNG, JPEG, BMP or GIF picture.\n"
            "cut.png: it is a damaged PNG file.\n"
            "last.gif: you have 529 pictures already, as many as the saver shows.");
  EXPECT_EQ(addPicturesReport({{"a.png", made}}, nullptr, nullptr), "1 picture was added.");

  pictures::OwnFileProblem foreign;
  foreign.failure = pictures::OwnFileFailure::kForeign;
  EXPECT_EQ(addPicturesReport(outcomes, &foreign, nullptr),
            "No picture was added: your pictures file was left as it is, because it holds more than pictures.");
  pictures::FileProblem unwritable;
  unwritable.failure = pictures::FileFailure::kCannotWrite;
  unwritable.reason = "Access is denied.";
  EXPECT_EQ(addPicturesReport(outcomes, nullptr, &unwritable),
            "No picture was added: your pictures file cannot be written (Access is denied.).");
}

}  // namespace
