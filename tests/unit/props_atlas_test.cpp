#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "common/random.h"
#include "props/palette.h"
#include "props/prop_atlas.h"
#include "support/prop_files.h"
#include "support/resfile_builder.h"

namespace {

// Indices 0..53 are 54 distinct colours, so three pixels from them number a prop.
constexpr int kDigits = 50;

std::vector<uint8_t> numberedProp(int n) {
  return proptest::rowProp({uint8_t(n % kDigits), uint8_t(n / kDigits % kDigits), uint8_t(n / (kDigits * kDigits))});
}

std::vector<ResEntry> numberedProps(int count) {
  std::vector<ResEntry> entries;
  for (int n = 0; n < count; ++n) entries.push_back(proptest::propEntry(kPropInvertedIdLimit + uint32_t(n), numberedProp(n)));
  return entries;
}

class PropAtlasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = proptest::makeTempDir();
    buffer.assign(kPropAtlasBytes, 0xEE);  // anything not painted must come back zero
  }
  void TearDown() override { setPropFilePaths(nullptr, nullptr); }

  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir + "/" + name;
    EXPECT_TRUE(proptest::writeFile(path, bytes));
    return path;
  }
  int32_t build(const std::string& first, const std::string& second = "/nonexistent/second.prp") {
    setPropFilePaths(first.c_str(), second.c_str());
    return buildPropAtlasPixels(buffer.data());
  }
  const uint8_t* pixel(int32_t x, int32_t y) const { return &buffer[(size_t(y) * kPropAtlasSize + size_t(x)) * 4]; }
  // The prop number painted at a cell's top-left pixels, or -1.
  int numberAt(int cell) const {
    const int32_t x = kPropCellSize * (cell % kPropCellsPerRow), y = kPropCellSize * (cell / kPropCellsPerRow);
    int n = 0, scale = 1;
    for (int i = 0; i < 3; ++i, scale *= kDigits) {
      const uint8_t* p = pixel(x + i, y);
      if (p[3] != 255) return -1;
      const uint32_t word = p[0] | (p[1] << 8) | (p[2] << 16);
      int digit = -1;
      for (int c = 0; c < 54 && digit < 0; ++c) digit = propPalette[size_t(c)] == word ? c : -1;
      if (digit < 0) return -1;
      n += digit * scale;
    }
    return n;
  }
  size_t nonZeroBytes() const {
    size_t n = 0;
    for (uint8_t b : buffer) n += b != 0;
    return n;
  }

  std::string dir;
  std::vector<uint8_t> buffer;
};

TEST_F(PropAtlasTest, WithoutAFileNothingIsLoadedAndTheBufferIsZero) {
  EXPECT_EQ(build("/nonexistent/first.prp"), 0);
  EXPECT_EQ(nonZeroBytes(), 0u);
  EXPECT_EQ(ResCurrentFile(), 0);
}

TEST_F(PropAtlasTest, DefaultPathsAndTheFirstCandidateThatOpens) {
  setPropFilePaths(nullptr, nullptr);
  EXPECT_EQ(propFileCandidates(), (std::vector<std::string>{"c:\\Program Files\\TheKorrin\\korrin.prp",
                                                             "c:\\Program Files\\Sabrel\\TheKorrin\\korrin.prp"}));
  const std::string second = write("second.prp", ResBuildFile(numberedProps(3)));
  EXPECT_EQ(build("/nonexistent/first.prp", second), 3);
  EXPECT_EQ(numberAt(2), 2);
  // Further candidates are reached only past every one that does not open, and the search
  // stops at the first that does.
  const std::string fourth = write("fourth.prp", ResBuildFile(numberedProps(5)));
  setPropFileCandidates({"/nonexistent/a.prp", "/nonexistent/b.prp", "/nonexistent/c.prp", fourth, second});
  EXPECT_EQ(buildPropAtlasPixels(buffer.data()), 5);
  setPropFileCandidates({});
  EXPECT_EQ(buildPropAtlasPixels(buffer.data()), 0) << "no candidates: no props";
}

// The second path is tried only when the first gives no FileRef: a first file that opens
// but whose map is refused still ends the search, and is closed like any other.
TEST_F(PropAtlasTest, AFirstFileThatOpensEndsTheSearchEvenWhenItsMapIsRefused) {
  const std::string good = write("good.prp", ResBuildFile(numberedProps(3)));
  std::vector<uint8_t> corrupt = ResBuildFile(numberedProps(3));
  corrupt[15] = 0x40;  // mapLength far beyond the file
  const std::string bad = write("bad.prp", corrupt);
  const int32_t streams = FileTableCount();
  EXPECT_EQ(build(bad, good), 0);
  EXPECT_EQ(nonZeroBytes(), 0u);
  EXPECT_EQ(ResCurrentFile(), 0);
  EXPECT_EQ(FileTableCount(), streams) << "the refused file is closed";
}

// Past the two fixed paths, a file that opens but yields no prop (empty, damaged, or holding
// other resources only) is passed over for the next one; a fixed path that opens still ends
// the search (above).
TEST_F(PropAtlasTest, FilesBeyondTheFixedPathsThatYieldNoPropArePassedOver) {
  ResEntry icon = proptest::propEntry(600, numberedProp(1));
  icon.type = resTypeCode('I', 'c', 'o', 'n');
  std::vector<uint8_t> refusedMap = ResBuildFile(numberedProps(3));
  refusedMap[15] = 0x40;
  const std::string samples = write("samples.prp", ResBuildFile(numberedProps(4)));
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {"empty.prp", {}}, {"garbage.prp", std::vector<uint8_t>(300, 0xFF)}, {"refused.prp", refusedMap},
           {"icons.prp", ResBuildFile({icon})}}) {
    setPropFileCandidates({"/nonexistent/first.prp", write(name, bytes), samples});
    EXPECT_EQ(buildPropAtlasPixels(buffer.data()), 4) << name;
    EXPECT_EQ(numberAt(3), 3) << name;
    EXPECT_EQ(ResCurrentFile(), 0) << name;
  }
}

// Every prop of a small file, in reference order, also from a file whose map comes before
// its data, whose lists lie in reverse order with filler between them, whose props' data
// runs backwards and whose 'Prop' type is not the first.
TEST_F(PropAtlasTest, SmallFilesLoadEveryPropInFileOrder) {
  struct File {
    int count;
    std::vector<uint8_t> bytes;
  };
  restest::Builder arranged;
  arranged.addType(resTypeCode('I', 'c', 'o', 'n')).add(1, numberedProp(99));
  restest::Type& props = arranged.addType(kPropType);
  for (int n = 0; n < 40; ++n) props.add(kPropInvertedIdLimit + uint32_t(n), numberedProp(n));
  arranged.arrangement = {true, {2, 1, 0}, 9, true};
  std::vector<File> files = {{40, arranged.build()}};
  for (int count : {1, 10, 24, 529}) files.push_back({count, ResBuildFile(numberedProps(count))});
  for (const File& file : files) {
    const int count = file.count;
    buffer.assign(kPropAtlasBytes, 0xEE);
    const std::string path = write("small.prp", file.bytes);
    orvane::srand(uint32_t(count));
    ASSERT_EQ(build(path), count);
    for (int cell = 0; cell < count; ++cell) ASSERT_EQ(numberAt(cell), cell) << count << " props, cell " << cell;
    if (count < kPropSlots) {
      EXPECT_EQ(numberAt(count), -1);
    }
    EXPECT_EQ(ResCurrentFile(), 0) << "the file is closed";
  }
  // Cells as pixel positions (the last file has 529 props): prop 23 at (0, 44), prop 528
  // at (968, 968).
  EXPECT_EQ(pixel(0, 44)[3], 255);
  EXPECT_EQ(pixel(968, 968)[3], 255);
  EXPECT_EQ(pixel(396, 0)[3], 255);
  EXPECT_EQ(pixel(1023, 0)[3], 0) << "the 12 columns right of the cells stay clear";
}

TEST_F(PropAtlasTest, LargeFilesFillEverySlotWithASeededSelectionInFileOrder) {
  for (int count : {530, 1000}) {
    const std::string path = write("large.prp", ResBuildFile(numberedProps(count)));
    for (uint32_t seed : {1u, 12345u}) {
      // Selected exactly when trunc(f * remaining) <= free slots.
      orvane::srand(seed);
      std::vector<int> expected;
      for (int j = 0, remaining = count; j < count && int(expected.size()) < kPropSlots; ++j, --remaining)
        if (int(orvane::randomFraction() * remaining) <= kPropSlots - int(expected.size())) expected.push_back(j);
      orvane::srand(seed);
      ASSERT_EQ(build(path), kPropSlots);
      std::vector<int> got;
      for (int cell = 0; cell < kPropSlots; ++cell) got.push_back(numberAt(cell));
      EXPECT_EQ(got, expected) << count << " props, seed " << seed;
      EXPECT_EQ(ResCurrentFile(), 0);
    }
  }
}

TEST_F(PropAtlasTest, LowIdsArePaintedAsGreys) {
  struct Case {
    uint32_t id;
    std::vector<uint8_t> pixel;
  } cases[] = {
      {0, {0xFE, 0xFE, 0xFE, 0xFF}},          {515, {0xFE, 0xFE, 0xFE, 0xFF}},
      {516, {0xCC, 0xFF, 0xFF, 0xFF}},        {0x80000000u, {0xCC, 0xFF, 0xFF, 0xFF}},
      {0xFFFFFFFFu, {0xCC, 0xFF, 0xFF, 0xFF}},
  };
  std::vector<ResEntry> entries;
  for (const Case& c : cases) entries.push_back(proptest::propEntry(c.id, proptest::rowProp({1})));
  const std::string path = write("ids.prp", ResBuildFile(entries));
  ASSERT_EQ(build(path), int32_t(std::size(cases)));
  for (size_t cell = 0; cell < std::size(cases); ++cell) {
    const uint8_t* p = pixel(kPropCellSize * int32_t(cell), 0);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), cases[cell].pixel) << "id " << cases[cell].id;
  }
}

TEST_F(PropAtlasTest, OnlyPropResourcesCountAndOddDataTakesItsCell) {
  std::vector<ResEntry> entries;
  ResEntry other = proptest::propEntry(1000, numberedProp(99));
  other.type = resTypeCode('I', 'c', 'o', 'n');
  entries.push_back(other);
  entries.push_back(proptest::propEntry(600, numberedProp(0)));
  entries.push_back(proptest::propEntry(601, {}));                     // empty data: paints nothing
  entries.push_back(proptest::propEntry(602, {0x05, 0x00, 0x01}));    // short header: paints nothing
  entries.push_back(proptest::propEntry(603, numberedProp(3)));
  const std::string path = write("mixed.prp", ResBuildFile(entries));
  ASSERT_EQ(build(path), 4);
  EXPECT_EQ(numberAt(0), 0);
  EXPECT_EQ(numberAt(1), -1);
  EXPECT_EQ(numberAt(2), -1);
  EXPECT_EQ(numberAt(3), 3);
}

// A 'Prop' entry whose count runs past the reference list (the resource library may refuse
// such a map outright): at most the props that exist are loaded, nothing is painted for the
// ones that do not, and a huge count does not make the scan run on.
TEST_F(PropAtlasTest, TypeCountBeyondTheReferencesLoadsWhatExists) {
  std::vector<uint8_t> file = ResBuildFile(numberedProps(2));
  const uint32_t mapOffset = file[8] | (file[9] << 8) | (file[10] << 16) | (uint32_t(file[11]) << 24);
  const size_t countAt = mapOffset + 24 + 4;  // first type entry: type, count, firstRef
  for (uint32_t count : {5u, 600u, 0x7FFFFFFFu}) {
    buffer.assign(kPropAtlasBytes, 0xEE);
    for (int i = 0; i < 4; ++i) file[countAt + size_t(i)] = uint8_t(count >> (8 * i));
    const std::string path = write("overcount.prp", file);
    orvane::srand(7);
    const int32_t loaded = build(path);
    EXPECT_LE(loaded, 2) << count;
    for (int cell = 0; cell < loaded; ++cell) EXPECT_GE(numberAt(cell), 0) << count;
    EXPECT_EQ(numberAt(loaded), -1) << count;
    EXPECT_EQ(ResCurrentFile(), 0);
  }
}

TEST_F(PropAtlasTest, GarbageFilesLoadNothingHarmful) {
  const std::vector<std::vector<uint8_t>> files = {
      {},
      {0x10, 0, 0, 0},
      std::vector<uint8_t>(64, 0xFF),
      {16, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 24, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0},
  };
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string path = write("garbage.prp", files[i]);
    EXPECT_EQ(build(path), 0) << i;
    EXPECT_EQ(ResCurrentFile(), 0) << i;
  }
}

}  // namespace
