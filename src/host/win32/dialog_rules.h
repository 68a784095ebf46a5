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

// The line under "Your pictures": how many props the user's own prop file holds, or why a
// file there cannot be read (`failure` not kNone).
std::string ownPicturesLine(int32_t count, pictures::OwnFileFailure failure);

// The same line while pictures are added: "Adding 12 of 40: Beach.jpg" (`index` from 0).
std::string addingPicturesLine(size_t index, size_t count, const std::string& name);

// The question before "Remove my pictures" removes anything: to the Recycle Bin, or, where
// the file cannot go there, deleted for good.
std::string removePicturesQuestion(int32_t count, bool toRecycleBin);

// One picture the dialog was given: its file name and what became of it.
struct PictureOutcome {
  std::string name;  // the file name, UTF-8
  pictures::PictureProblem problem;
};

// The report after "Add pictures...": which were added, each refused picture by name with
// its reason, and, when the adding ended before the last of the `chosen` pictures, why and
// how many were not tried. `outcomes` are those of the pictures tried, in order.
std::string addPicturesReport(const std::vector<PictureOutcome>& outcomes, size_t chosen,
                              const pictures::AddPicturesResult& result);
