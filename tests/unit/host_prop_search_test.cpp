// The Windows saver's list of prop files for the folders different systems name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/prop_search.h"

namespace {

struct SearchCase {
  const char* what;
  PropSearchFolders folders;
  std::vector<std::string> expected;
};

const std::string kFirst = "c:\\Program Files\\TheKorrin\\korrin.prp";
const std::string kSecond = "c:\\Program Files\\Sabrel\\TheKorrin\\korrin.prp";
const std::string kUser = "C:\\Users\\ann\\AppData\\Roaming\\Orvane\\props.prp";
const std::string kMachine = "C:\\ProgramData\\Orvane\\props.prp";

TEST(HostPropSearch, FixedPathsFirstThenTheSystemsFoldersInOrderEachPlaceOnce) {
  const std::string roaming = "C:\\Users\\ann\\AppData\\Roaming", data = "C:\\ProgramData";
  const SearchCase cases[] = {
      {"64-bit Windows on C",
       {"C:\\Program Files (x86)", "C:\\Program Files", roaming, data},
       {kFirst, kSecond, "C:\\Program Files (x86)\\TheKorrin\\korrin.prp",
        "C:\\Program Files (x86)\\Sabrel\\TheKorrin\\korrin.prp", kUser, kMachine}},
      {"32-bit Windows on C: both folders are the fixed one, whatever their case and ending",
       {"C:\\PROGRAM FILES\\", "c:\\program files", roaming, data},
       {kFirst, kSecond, kUser, kMachine}},
      {"64-bit Windows on D",
       {"D:\\Program Files (x86)", "D:\\Program Files", "D:\\Users\\ann\\AppData\\Roaming", "D:\\ProgramData"},
       {kFirst, kSecond, "D:\\Program Files (x86)\\TheKorrin\\korrin.prp",
        "D:\\Program Files (x86)\\Sabrel\\TheKorrin\\korrin.prp", "D:\\Program Files\\TheKorrin\\korrin.prp",
        "D:\\Program Files\\Sabrel\\TheKorrin\\korrin.prp", "D:\\Users\\ann\\AppData\\Roaming\\Orvane\\props.prp",
        "D:\\ProgramData\\Orvane\\props.prp"}},
      {"a 32-bit program on 64-bit Windows on D is told the 32-bit folder twice",
       {"D:\\Program Files (x86)", "d:\\program files (x86)\\", roaming, data},
       {kFirst, kSecond, "D:\\Program Files (x86)\\TheKorrin\\korrin.prp",
        "D:\\Program Files (x86)\\Sabrel\\TheKorrin\\korrin.prp", kUser, kMachine}},
      {"folders the system could not name are left out", {"", "", "", ""}, {kFirst, kSecond}},
      {"only the machine's folder named", {"", "", "", data + "\\"}, {kFirst, kSecond, kMachine}},
      {"the user's own file holds props: it comes first, once",
       {"C:\\Program Files (x86)", "C:\\Program Files", roaming + "\\", data, true},
       {kUser, kFirst, kSecond, "C:\\Program Files (x86)\\TheKorrin\\korrin.prp",
        "C:\\Program Files (x86)\\Sabrel\\TheKorrin\\korrin.prp", kMachine}},
      {"a user file with props but no roaming folder named changes nothing", {"", "", "", data, true},
       {kFirst, kSecond, kMachine}},
  };
  for (const SearchCase& c : cases) EXPECT_EQ(windowsPropCandidates(c.folders), c.expected) << c.what;
}

}  // namespace
