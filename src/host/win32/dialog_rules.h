#pragma once
// What dialog 104 shows that needs no window: the speed track bar's positions and the words
// for the user's own pictures. Pure logic, tested natively; the dialog procedure acts.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/own_prop_file.h"
#include "pictures/picture_result.h"

// The speed track bar runs from 0 to 2 * kSpeedTrackMiddle: 25 % at the left, 100 % (the
// default) in the middle, 200 % at the right, evenly in each half.
constexpr int32_t kSpeedTrackMiddle = 15;
int32_t speedFromTrackPosition(int32_t position);
// The position nearest to a speed (any stored speed, out of range or not, lands in range).
int32_t trackPositionFromSpeed(int32_t speed);

// The line under "Your pictures": how many props the user's own prop file holds; `readable`
// false for a file there that cannot be read.
std::string ownPicturesLine(int32_t count, bool readable);

// One picture the dialog was given: its file name and what became of it.
struct PictureOutcome {
  std::string name;  // the file name, UTF-8
  pictures::PictureProblem problem;
};

// The report after "Add pictures...": how many were added, then each refused picture by name
// with its reason. `fileProblem` is set when the user's file itself could not be read or
// written, in which case nothing was added.
std::string addPicturesReport(const std::vector<PictureOutcome>& outcomes, const pictures::OwnFileProblem* ownFile,
                              const pictures::FileProblem* saveProblem);
