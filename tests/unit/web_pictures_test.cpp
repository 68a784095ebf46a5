// The web page's pictures: a picture the browser decoded becomes the same prop proptool makes
// from that picture's file, appended to the user's own prop file; what the page cannot take is
// refused before any work; a prop file is known by its props.
#include <gtest/gtest.h>

#include "host/web/web_pictures.h"
#include "pictures/own_prop_file.h"
#include "pictures/picture_prop.h"
#include "support/pictures.h"
#include "support/prop_files.h"
#include "support/resfile_builder.h"

namespace {

using web::AddResult;

TEST(WebPictures, ADecodedPictureBecomesTheSamePropAsItsFile) {
  const std::string dir = proptest::makeTempDir();
  const std::string own = dir + "/props.prp";
  const pictures::RgbaImage sunset = proptest::draw(300, 200, [](int32_t x, int32_t y) {
    return proptest::Rgba{uint8_t(255 - y), uint8_t(x * 255 / 299), 40, uint8_t(x < 20 ? 0 : 255)};
  });
  ASSERT_TRUE(proptest::writeFile(dir + "/sunset.png", proptest::asPng(sunset)));
  const pictures::PictureProp fromFile = pictures::propFromPicture(dir + "/sunset.png", true);
  ASSERT_TRUE(fromFile.made());

  ASSERT_EQ(web::addDecodedPicture(own, sunset, "sunset.png"), AddResult::kAdded);
  ASSERT_EQ(web::addDecodedPicture(own, proptest::draw(10, 10, [](int32_t, int32_t) {
              return proptest::Rgba{0, 255, 0, 255};
            }), "green.webp"), AddResult::kAdded);
  pictures::OwnPropFile file;
  pictures::OwnFileProblem problem;
  ASSERT_TRUE(pictures::loadOwnPropFile(own, &file, &problem));
  ASSERT_EQ(file.entries.size(), 2u);
  EXPECT_EQ(file.entries[0].id, 516u);  // the first id shown in colour
  EXPECT_EQ(file.entries[0].name, "sunset");
  EXPECT_EQ(file.entries[0].data, fromFile.data);  // scaled to 44 x 29 and diffused as proptool does
  EXPECT_EQ(file.entries[1].id, 517u);
  EXPECT_EQ(web::propsInFile(own), 2);
}

TEST(WebPictures, WhatThePageCannotTakeIsRefused) {
  const std::string dir = proptest::makeTempDir();
  const std::string own = dir + "/props.prp";
  pictures::RgbaImage huge;  // 48 megapixels, no pixels: refused by its size alone
  huge.width = 8000;
  huge.height = 6000;
  pictures::RgbaImage torn = proptest::draw(4, 4, [](int32_t, int32_t) { return proptest::Rgba{9, 9, 9, 255}; });
  torn.pixels.resize(20);
  const pictures::RgbaImage fine = proptest::draw(4, 4, [](int32_t, int32_t) { return proptest::Rgba{9, 9, 9, 255}; });
  EXPECT_EQ(web::addDecodedPicture(own, huge, "huge.jpg"), AddResult::kTooLarge);
  EXPECT_EQ(web::addDecodedPicture(own, torn, "torn.png"), AddResult::kTooLarge);
  EXPECT_EQ(web::propsInFile(own), 0);  // nothing written

  // A damaged own file (from the browser's storage) is kept as it is.
  const std::vector<uint8_t> damaged(100, 0xFF);
  ASSERT_TRUE(proptest::writeFile(own, damaged));
  EXPECT_EQ(web::addDecodedPicture(own, fine, "fine.png"), AddResult::kCannotStore);
  EXPECT_EQ(restest::readFileBytes(own), damaged);
  EXPECT_EQ(web::propsInFile(own), 0);

  const std::string props = dir + "/dropped.prp";
  ASSERT_TRUE(proptest::writeFile(props, ResBuildFile({proptest::propEntry(3, proptest::rowProp({1})),
                                                       proptest::propEntry(4, proptest::rowProp({2}))})));
  EXPECT_EQ(web::propsInFile(props), 2);
  EXPECT_EQ(web::propsInFile(dir + "/none.prp"), 0);
}

}  // namespace
