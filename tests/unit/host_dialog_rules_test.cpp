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
  using pictures::OwnFileFailure;
  EXPECT_EQ(ownPicturesLine(0, OwnFileFailure::kNone), "No pictures of your own yet.");
  EXPECT_EQ(ownPicturesLine(1, OwnFileFailure::kNone), "1 picture of your own is shown.");
  EXPECT_EQ(ownPicturesLine(12, OwnFileFailure::kNone), "12 pictures of your own are shown.");
  EXPECT_EQ(ownPicturesLine(0, OwnFileFailure::kDamaged), "Your pictures file is damaged; remove it to start again.");
  EXPECT_EQ(ownPicturesLine(0, OwnFileFailure::kFile), "Your pictures file cannot be read; remove it to start again.");
  EXPECT_EQ(addingPicturesLine(11, 40, "Beach.jpg"), "Adding 12 of 40: Beach.jpg");
  EXPECT_EQ(removePicturesQuestion(3, false),
            "Remove your pictures (3) from the saver? Their file cannot go to the Recycle Bin here: it will be "
            "deleted for good.");

  using pictures::PictureFailure;
  pictures::PictureProblem made, notAPicture, damaged, full, huge;
  notAPicture.failure = PictureFailure::kNotAPicture;
  damaged.failure = PictureFailure::kDamaged;
  damaged.format = "PNG";
  full.failure = PictureFailure::kOwnFileFull;
  huge.failure = PictureFailure::kOutOfMemory;
  const std::vector<PictureOutcome> outcomes = {{"Blüte.png", made}, {"notes.txt", notAPicture}, {"cat.jpg", made},
                                                {"cut.png", damaged}, {"last.gif", full},      {"moon.jpg", huge}};
  const std::string refused =
      "\n\nNot added:\n"
      "notes.txt: it is not a PNG, JPEG, BMP or GIF picture.\n"
      "cut.png: it is a damaged PNG file.\n"
      "last.gif: you have 529 pictures already, as many as the saver shows.\n"
      "moon.jpg: it is too large to read on this computer.";
  pictures::AddPicturesResult whole, stopped, damagedFile, unwritable;
  stopped.stopped = true;
  damagedFile.ownFile.failure = OwnFileFailure::kDamaged;
  unwritable.save.failure = pictures::FileFailure::kCannotWrite;
  unwritable.save.reason = "Access is denied.";
  struct Case {
    std::vector<PictureOutcome> outcomes;
    size_t chosen;
    const pictures::AddPicturesResult& result;
    std::string report;
  };
  const Case cases[] = {
      {outcomes, 6, whole, "2 pictures were added: Blüte.png, cat.jpg." + refused},
      {{{"a.png", made}}, 1, whole, "1 picture was added: a.png."},
      {outcomes, 9, stopped,
       "2 pictures were added: Blüte.png, cat.jpg." + refused + "\n\nYou stopped the adding: the other 3 pictures were not tried."},
      {{{"a.png", made}}, 2, unwritable,
       "1 picture was added: a.png.\n\nYour pictures file cannot be written (Access is denied.): the other picture was "
       "not tried."},
      {{}, 4, damagedFile, "No picture was added: your pictures file was left as it is, because it is damaged."},
      {{}, 4, unwritable, "No picture was added: your pictures file cannot be written (Access is denied.)."},
      {{}, 4, stopped, "No picture was added.\n\nYou stopped the adding: the other 4 pictures were not tried."},
  };
  for (const Case& c : cases) EXPECT_EQ(addPicturesReport(c.outcomes, c.chosen, c.result), c.report);
}

}  // namespace
