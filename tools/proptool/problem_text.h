#pragma once
// proptool's words for what the picture library answers.
#include <string>

#include "pictures/own_prop_file.h"

namespace proptool {

// One line, without the program's name: "cannot open PATH: REASON" and the like.
std::string fileProblemText(const pictures::FileProblem& problem);
// One line about the picture `name` (as the user gave it): "NAME: damaged PNG (...)" and the
// like; a file problem names the file as fileProblemText does.
std::string pictureProblemText(const std::string& name, const pictures::PictureProblem& problem);
// One line about the user's own prop file `name`, which was left as it is.
std::string ownFileProblemText(const std::string& name, const pictures::OwnFileProblem& problem);

}  // namespace proptool
