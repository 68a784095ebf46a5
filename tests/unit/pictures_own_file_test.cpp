// The user's own prop file: pictures appended with ids after the highest one, up to 529
// props, the props there kept byte for byte; a file that cannot be kept whole is refused
// and left as it is. Each picture answers whether it was added and, if not, why.
#include <gtest/gtest.h>

#include <filesystem>

#include "pictures/own_prop_file.h"
#include "resfile/resfile.h"
#include "support/pictures.h"
#include "support/prop_files.h"
#include "support/proptool_run.h"  // readBytes
#include "support/resfile_builder.h"

namespace {

using pictures::OwnFileFailure;
using pictures::OwnFileProblem;
using pictures::OwnPropFile;
using pictures::PictureFailure;
using proptest::draw;
using proptest::Rgba;

class OwnPropFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = proptest::makeTempDir();
    own = dir + "/orvane/props.prp";  // its folder is made when it is first written
    sun = dir + "/sun.png";
    sea = dir + "/sea.bmp";
    ASSERT_TRUE(proptest::writeFile(sun, proptest::asPng(draw(300, 200, [](int32_t x, int32_t) {
                                      return Rgba{255, uint8_t(x), 0, 255};
                                    }))));
    ASSERT_TRUE(proptest::writeFile(sea, proptest::asBmp(draw(20, 30, [](int32_t, int32_t y) {
                                      return Rgba{0, uint8_t(y * 8), 255, 255};
                                    }))));
  }
  OwnPropFile load() {
    OwnPropFile file;
    OwnFileProblem problem;
    EXPECT_TRUE(pictures::loadOwnPropFile(own, &file, &problem)) << int(problem.failure);
    return file;
  }
  void save(const OwnPropFile& file) {
    pictures::FileProblem problem;
    EXPECT_TRUE(pictures::saveOwnPropFile(file, &problem)) << int(problem.failure) << " " << problem.reason;
  }
  std::string dir, own, sun, sea;
};

TEST_F(OwnPropFileTest, PicturesAreAppendedAfterTheHighestId) {
  OwnPropFile file = load();  // none there yet
  ASSERT_TRUE(proptest::writeFile(dir + "/notes.txt", {'h', 'i'}));
  const struct {
    std::string picture;
    PictureFailure failure;
    uint32_t id;
    int32_t width, height;
  } cases[] = {{sun, PictureFailure::kNone, 516, 44, 29},
               {dir + "/notes.txt", PictureFailure::kNotAPicture, 0, 0, 0},
               {dir + "/missing.png", PictureFailure::kFile, 0, 0, 0},
               {sea, PictureFailure::kNone, 517, 20, 30}};
  std::vector<pictures::PictureProp> results;
  for (const auto& c : cases) {
    results.push_back(pictures::addPictureToOwnFile(&file, c.picture));
    EXPECT_EQ(results.back().problem.failure, c.failure) << c.picture;
    EXPECT_EQ(results.back().id, c.id) << c.picture;
    EXPECT_EQ(results.back().size.width, c.width) << c.picture;
    EXPECT_EQ(results.back().size.height, c.height) << c.picture;
  }
  EXPECT_EQ(results[2].problem.file.failure, pictures::FileFailure::kCannotOpen);
  EXPECT_EQ(results[2].problem.file.path, dir + "/missing.png");
  save(file);

  // Again: the two are read back as written and kept byte for byte, the new one follows.
  const std::vector<uint8_t> before = proptest::readBytes(own);
  file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sea).id, 518u);
  save(file);
  const std::vector<uint8_t> after = proptest::readBytes(own);
  const size_t data = 16 + restest::getLE32(before, 4);  // the end of the two props' data
  ASSERT_GT(after.size(), data);
  EXPECT_TRUE(std::equal(before.begin() + 16, before.begin() + long(data), after.begin() + 16));

  // Ids follow the highest one, wherever it stands.
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile({proptest::propEntry(900, proptest::rowProp({1, 2}), "x"),
                                                     proptest::propEntry(12, proptest::rowProp({3}))})));
  file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sun).id, 901u);
}

TEST_F(OwnPropFileTest, AFullOrForeignFileIsLeftAsItIs) {
  // 528 props: one more fits, the next is refused; after the last id none is added.
  std::vector<ResEntry> many;
  for (uint32_t i = 0; i < 528; ++i) many.push_back(proptest::propEntry(1000 + i, proptest::rowProp({7})));
  ASSERT_TRUE(std::filesystem::create_directories(dir + "/orvane"));
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile(many)));
  OwnPropFile file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sun).id, 1528u);
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sea).problem.failure, PictureFailure::kOwnFileFull);
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile({proptest::propEntry(0xFFFFFFFFu, proptest::rowProp({7}))})));
  file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sun).problem.failure, PictureFailure::kNoIdsLeft);

  // Damaged, holding more than props, or with props under a second 'Prop' type entry, which
  // the saver never reads: refused, and what was read cannot be written over it.
  std::vector<ResEntry> other = {proptest::propEntry(600, proptest::rowProp({7}))};
  other.push_back(other[0]);
  other[1].type = resTypeCode('I', 'c', 'o', 'n');
  std::vector<uint8_t> twoPropTypes = ResBuildFile(other);
  restest::putLE32(twoPropTypes, restest::getLE32(twoPropTypes, 8) + 24 + 12, kPropResourceType);
  const std::vector<uint8_t> cut(twoPropTypes.begin(), twoPropTypes.begin() + long(twoPropTypes.size() / 2));
  const std::pair<std::vector<uint8_t>, OwnFileFailure> cases[] = {
      {ResBuildFile(other), OwnFileFailure::kForeign},
      {twoPropTypes, OwnFileFailure::kDamaged},
      {cut, OwnFileFailure::kDamaged},
      {std::vector<uint8_t>(100, 0xFF), OwnFileFailure::kDamaged}};
  for (const auto& [bytes, failure] : cases) {
    ASSERT_TRUE(proptest::writeFile(own, bytes));
    OwnFileProblem problem;
    EXPECT_FALSE(pictures::loadOwnPropFile(own, &file, &problem));
    EXPECT_EQ(problem.failure, failure);
    EXPECT_TRUE(pictures::addPictureToOwnFile(&file, sun).made());
    pictures::FileProblem saving;
    EXPECT_FALSE(pictures::saveOwnPropFile(file, &saving));
    EXPECT_EQ(proptest::readBytes(own), bytes);
  }
  EXPECT_EQ(ResCurrentFile(), 0) << "every file was closed";
}

}  // namespace
