// The saver's prop-file search on Windows: every place it looks, in its order, with the
// folders as the system names them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/win32/win32_prop_search.h"
#include "props/prop_atlas.h"
#include "support/resfile_builder.h"

namespace {

namespace fs = std::filesystem;

const char kVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
// For this test the system keeps its programs elsewhere, as it does when Windows is not on
// drive C.
const char kProgramsElsewhere[] = "C:\\Orvane Test Programs";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class WindowsPropSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key), ERROR_SUCCESS);
    char value[MAX_PATH] = {};
    DWORD size = sizeof(value) - 1;
    ASSERT_EQ(RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    programFiles = value;
    fs::create_directories(kProgramsElsewhere);
    ASSERT_EQ(RegSetValueExA(key, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(kProgramsElsewhere),
                             sizeof(kProgramsElsewhere)),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    for (const std::string& made : madeFolders) {
      std::error_code ignored;
      fs::remove_all(made, ignored);
    }
    if (key) {
      RegSetValueExA(key, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(programFiles.c_str()),
                     DWORD(programFiles.size() + 1));
      RegCloseKey(key);
    }
    setPropFilePaths(nullptr, nullptr);
  }

  // Writes a prop file of `count` props at `path`, making its folders.
  void writePropFile(const std::string& path, int count, const std::string& madeFolder) {
    restest::Builder builder;
    restest::Type& props = builder.addType(kPropType);
    for (int i = 0; i < count; ++i) props.add(uint32_t(600 + i), {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 7});
    const std::vector<uint8_t> bytes = builder.build();
    madeFolders.push_back(madeFolder);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
  }

  HKEY key = nullptr;
  std::string programFiles;
  std::vector<std::string> madeFolders{kProgramsElsewhere};
};

TEST_F(WindowsPropSearch, EachPlaceInOrderAndNoLaterOneWhileAnEarlierOneOpens) {
  const std::string programs = programFiles, programs32 = environment("ProgramFiles(x86)");
  const std::string user = environment("APPDATA"), machine = environment("ProgramData");
  ASSERT_FALSE(programs32.empty() || user.empty() || machine.empty());
  struct Place {
    std::string path;
    std::string madeFolder;  // removed when the test ends
  };
  const std::string elsewhere = kProgramsElsewhere;
  const Place places[] = {
      {programs + "\\TheKorrin\\korrin.prp", programs + "\\TheKorrin"},
      {programs + "\\Sabrel\\TheKorrin\\korrin.prp", programs + "\\Sabrel"},
      {programs32 + "\\TheKorrin\\korrin.prp", programs32 + "\\TheKorrin"},
      {programs32 + "\\Sabrel\\TheKorrin\\korrin.prp", programs32 + "\\Sabrel"},
      {elsewhere + "\\TheKorrin\\korrin.prp", elsewhere},
      {elsewhere + "\\Sabrel\\TheKorrin\\korrin.prp", elsewhere},
      {user + "\\Orvane\\props.prp", user + "\\Orvane"},
      {machine + "\\Orvane\\props.prp", machine + "\\Orvane"},
  };
  const Place& own = places[6];
  // A user's own file that holds no prop leaves the order as it is: it is written empty here
  // and given its props when its turn comes.
  writePropFile(own.path, 0, own.madeFolder);
  // The file at place i holds i + 1 props, so the count built tells which file was used.
  int count = 0;
  for (const Place& place : places) {
    ++count;
    if (&place != &own) writePropFile(place.path, count, place.madeFolder);
  }

  std::vector<uint8_t> pixels(kPropAtlasBytes);
  count = 0;
  for (const Place& place : places) {
    if (&place == &own) writePropFile(own.path, 7, own.madeFolder);
    UseSystemPropSearch();
    EXPECT_EQ(buildPropAtlasPixels(pixels.data()), ++count) << "expected " << place.path;
    ASSERT_TRUE(DeleteFileA(place.path.c_str())) << place.path;
  }
  UseSystemPropSearch();
  EXPECT_EQ(buildPropAtlasPixels(pixels.data()), 0) << "no prop file anywhere";

  // Once the user's own file holds props, it is taken ahead of the chat client's.
  writePropFile(places[0].path, 1, places[0].madeFolder);
  writePropFile(own.path, 7, own.madeFolder);
  UseSystemPropSearch();
  EXPECT_EQ(buildPropAtlasPixels(pixels.data()), 7) << "the user's own file first";
}

}  // namespace
