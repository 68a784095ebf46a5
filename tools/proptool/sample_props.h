#pragma once
// The deterministic sample prop set: shapes, faces, stars and letters in palette colours.
#include <cstdint>
#include <vector>

#include "pictures/prop_encoder.h"
#include "resfile/resfile_writer.h"

namespace proptool {

constexpr int32_t kSampleMaxCount = 100000;

// Picture number `index` of the set with its name (at most 31 characters). The same index
// always gives the same picture.
struct SampleProp {
  pictures::IndexedImage image;
  std::string name;
};
SampleProp drawSampleProp(uint32_t index, uint32_t variant);

// `count` distinct props as 'Prop' resources: ids from 516 up, except that every 16th
// prop (while they last) gets an id below 516 so it is painted in greys; every fifth is
// translucent and every fourth is stored big-endian.
std::vector<ResEntry> makeSampleProps(int32_t count);

}  // namespace proptool
