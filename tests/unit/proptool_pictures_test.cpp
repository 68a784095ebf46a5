// proptool on pictures: what `build` and a drop onto the program say about each picture,
// and where the user's own prop file lies. What becomes of the pictures is the picture
// library's (tests/unit/pictures_*_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include "proptool/file_access.h"
#include "support/pictures.h"
#include "support/prop_files.h"
#include "support/proptool_run.h"

// A shim over the C library's fopen, as a preload library would be (this program's own
// definition comes before the library's): the `failOpenAt`-th opening for reading of a file
// whose name ends in `failOpenOf` fails with `failOpenWith`; the others pass through.
namespace {
std::string failOpenOf;
int failOpenAt = 0, failOpenWith = 0, opensSeen = 0;
}  // namespace
extern "C" FILE* fopen(const char* path, const char* mode) {
  static const auto real = reinterpret_cast<FILE* (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "fopen"));
  const std::string name = path ? path : "";
  if (!failOpenOf.empty() && mode && mode[0] == 'r' && name.size() >= failOpenOf.size() &&
      name.compare(name.size() - failOpenOf.size(), failOpenOf.size(), failOpenOf) == 0 && ++opensSeen == failOpenAt) {
    errno = failOpenWith;
    return nullptr;
  }
  return real(path, mode);
}

namespace {

using proptest::asBmp;
using proptest::asJpeg;
using proptest::asPng;
using proptest::draw;
using proptest::lines;
using proptest::proptoolRun;
using proptest::readBytes;
using proptest::Rgba;
using proptest::ToolRun;

class ProptoolPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = proptest::makeTempDir(); }
  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(proptest::writeFile(path(name), bytes));
    return path(name);
  }
  std::string dir;
};

// A picture that cannot be read costs one line and its own prop; the others are built and
// the exit code tells that something was left out.
TEST_F(ProptoolPicturesTest, BadPicturesAreReportedAndTheOthersBuilt) {
  const pictures::RgbaImage picture = draw(60, 50, [](int32_t x, int32_t y) {
    return Rgba{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x ^ y), uint8_t(x < 5 ? 0 : 255)};
  });
  const std::vector<std::vector<uint8_t>> good = {asPng(picture), asJpeg(picture)};
  std::vector<uint8_t> damaged = asPng(picture);
  damaged.resize(damaged.size() / 2);
  ToolRun built = proptoolRun({"build", path("b.prp"), file("a.png", good[0]), file("notes.txt", {'h', 'i', '\n'}),
                               path("missing.gif"), file("half.png", damaged), file("b.jpg", good[1]), dir});
  EXPECT_EQ(built.code, 1);
  EXPECT_EQ(built.out, "2 props written to " + path("b.prp") + " (4 pictures left out)\n");
  const auto errors = lines(built.err);
  ASSERT_EQ(errors.size(), 4u) << built.err;
  EXPECT_NE(errors[0].find("notes.txt: not a picture proptool reads"), std::string::npos) << errors[0];
  EXPECT_NE(errors[1].find("missing.gif"), std::string::npos) << errors[1];
  EXPECT_NE(errors[2].find("half.png: damaged PNG"), std::string::npos) << errors[2];
  EXPECT_NE(errors[3].find(dir), std::string::npos) << errors[3];
  EXPECT_EQ(lines(proptoolRun({"list", path("b.prp")}).out).back(), "2 props");
  ToolRun none = proptoolRun({"build", path("n.prp"), path("notes.txt")});
  EXPECT_EQ(none.code, 1);
  EXPECT_FALSE(std::filesystem::exists(path("n.prp"))) << "no prop file written without a prop";
}

// Pictures alone as arguments, as when they are dropped onto the program, go to the user's
// own prop file: a line for each, what it became or why it was left out; the exit code
// tells whether all were added; a file that cannot be kept whole is named and not touched.
class ProptoolDropTest : public ProptoolPicturesTest {
 protected:
  void SetUp() override {
    ProptoolPicturesTest::SetUp();
    const char* old = std::getenv("XDG_DATA_HOME");
    saved = old ? old : "";
    hadOld = old != nullptr;
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    own = dir + "/orvane/props.prp";
    a = file("sun.png", asPng(draw(300, 200, [](int32_t x, int32_t) { return Rgba{255, uint8_t(x), 0, 255}; })));
    b = file("sea.bmp", asBmp(draw(20, 30, [](int32_t, int32_t y) { return Rgba{0, uint8_t(y * 8), 255, 255}; })));
  }
  void TearDown() override {
    if (hadOld) setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
  }
  std::string saved, own, a, b;
  bool hadOld = false;
};

TEST_F(ProptoolDropTest, DroppedPicturesAreAddedALineEach) {
  ToolRun first = proptoolRun({a, b});
  ASSERT_EQ(first.code, 0) << first.out << first.err;
  EXPECT_EQ(lines(first.out), (std::vector<std::string>{"Adding 2 pictures to " + own,
                                                        "  1/2 sun.png: prop 516, 44x29 (scaled from 300x200)",
                                                        "  2/2 sea.bmp: prop 517, 20x30", "2 props added; " + own +
                                                        " holds 2 props."}));
  ToolRun mixed = proptoolRun({a, file("readme.txt", {'n', 'o'}), b});
  EXPECT_EQ(mixed.code, 1);
  EXPECT_EQ(lines(mixed.out)[2],
            "  2/3 readme.txt: not added, not a picture proptool reads (PNG, JPEG, BMP or GIF)");

  // 528 props: one more fits, the next is refused with the reason.
  std::vector<ResEntry> many;
  for (uint32_t i = 0; i < 528; ++i) many.push_back(proptest::propEntry(1000 + i, proptest::rowProp({7})));
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile(many)));
  ToolRun full = proptoolRun({a, b});
  EXPECT_EQ(full.code, 1);
  EXPECT_EQ(lines(full.out)[2], "  2/2 sea.bmp: not added, the file is full (529 props, as many as the saver shows at once)");

  // A file holding more than props: not rewritten, nothing added.
  ResEntry icon = proptest::propEntry(600, proptest::rowProp({7}));
  icon.type = resTypeCode('I', 'c', 'o', 'n');
  const std::vector<uint8_t> foreign = ResBuildFile({icon});
  ASSERT_TRUE(proptest::writeFile(own, foreign));
  ToolRun refused = proptoolRun({a});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(lines(refused.err), (std::vector<std::string>{
                                    "proptool: " + own + " holds more than props; it was left as it is and no "
                                                         "picture was added"}));
  EXPECT_EQ(readBytes(own), foreign);
}

// Opening the user's file fails, at the first reading or at the reading again just before a
// save: only "no such file" may be taken for no file, and even then the save finds the file
// there and leaves it. Whatever the error, the five pictures stay and nothing is written. A
// full file is read once more when a picture is refused, not again for each.
TEST_F(ProptoolDropTest, AFileThatFailsToOpenIsNeverWrittenOver) {
  std::vector<ResEntry> five, full;
  for (uint32_t i = 0; i < 529; ++i) full.push_back(proptest::propEntry(516 + i, proptest::rowProp({7})));
  five.assign(full.begin(), full.begin() + 5);
  std::filesystem::create_directories(dir + "/orvane");
  const std::pair<int, int> cases[] = {{1, EIO}, {2, EIO}, {2, EACCES}, {2, ENOENT}};
  for (const auto& [at, error] : cases) {
    ASSERT_TRUE(proptest::writeFile(own, ResBuildFile(five)));
    failOpenOf = "/props.prp", failOpenAt = at, failOpenWith = error, opensSeen = 0;
    ToolRun run = proptoolRun({a});
    const std::string said = error == ENOENT ? "a file is there that was not read" : std::strerror(error);
    EXPECT_EQ(run.code, 1) << said;
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(own), ResBuildFile(five)) << said;
    EXPECT_FALSE(std::filesystem::exists(own + ".new")) << said;
  }
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile(full)));
  failOpenAt = -1, opensSeen = 0;
  EXPECT_EQ(proptoolRun({a, b, a, b, a}).code, 1);
  failOpenOf.clear();
  EXPECT_EQ(opensSeen, 2);
}

// The user's own prop file is where the module looks first: $XDG_DATA_HOME when absolute,
// else the home folder, from $HOME when absolute or else from the user database, as the
// module finds it.
TEST(OwnPropFilePlace, FollowsTheEnvironmentAsTheModuleDoes) {
  const passwd* user = getpwuid(getuid());
  ASSERT_TRUE(user && user->pw_dir && user->pw_dir[0] == '/');
  const std::string fromDatabase = std::string(user->pw_dir) + "/.local/share/orvane";
  struct Case {
    const char* xdgDataHome;  // nullptr: unset
    const char* home;
    std::string folder;
  };
  const Case cases[] = {
      {"/x/data", "/h", "/x/data/orvane"}, {"rel", "/h/", "/h/.local/share/orvane"},
      {nullptr, nullptr, fromDatabase},     {"", "", fromDatabase},
      {nullptr, "rel/home", fromDatabase},
  };
  std::map<std::string, std::pair<bool, std::string>> saved;
  for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
    const char* value = std::getenv(name);
    saved[name] = {value != nullptr, value ? value : ""};
  }
  auto set = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
  for (const Case& c : cases) {
    set("XDG_DATA_HOME", c.xdgDataHome);
    set("HOME", c.home);
    const std::string what = std::string(c.xdgDataHome ? c.xdgDataHome : "(unset)") + " | " + (c.home ? c.home : "(unset)");
    EXPECT_EQ(proptool::userPropFilePath(), c.folder + "/props.prp") << what;
  }
  for (const auto& [name, value] : saved) set(name.c_str(), value.first ? value.second.c_str() : nullptr);
}

}  // namespace
