// Reading well-formed and truncated resource files: counting, fetching, describing,
// releasing and switching between open files.
#include <cstring>
#include <limits>

#include "support/resfile_fixture.h"

namespace {

constexpr uint32_t kMisc = resTypeCode('M', 'i', 's', 'c');
constexpr uint32_t kEmpty = resTypeCode('E', 'm', 'p', 't');

// 'Misc' with one resource, then 'Prop' with three.
restest::Builder sampleFile() {
  restest::Builder b;
  b.addType(kMisc).add(7, {0xAB}, std::string("misc"));
  restest::Type& prop = b.addType(kPropType);
  prop.add(100, {1, 2, 3, 4}, std::string("alpha"));
  prop.add(200, {5, 6});
  prop.add(300, {}, std::string("c"));
  return b;
}

using ResRead = ResLibraryTest;

// The same resources in the usual layout and in files whose map comes first, whose lists
// lie in other orders with filler between them, and whose data runs backwards: the reader
// finds every part where the header and the map say it is.
TEST_F(ResRead, CountsFetchesAndDescribesEveryResource) {
  struct Arranged {
    const char* what;
    restest::Arrangement arrangement;
  };
  const Arranged arrangements[] = {
      {"usual", {}},
      {"map first, names-refs-types, data reversed", {true, {2, 1, 0}, 20, true}},
      {"refs-names-types, odd gaps", {false, {1, 2, 0}, 7, false}},
      {"map first, types-names-refs", {true, {0, 2, 1}, 4, true}},
  };
  for (const Arranged& arranged : arrangements) {
    SCOPED_TRACE(arranged.what);
    restest::Builder b = sampleFile();
    b.arrangement = arranged.arrangement;
    const FileRef ref = openBytes(b.build());
    EXPECT_EQ(ref, tableBase_ + 1);
    EXPECT_EQ(ResCurrentFile(), ref);
    struct Count {
      uint32_t type;
      int32_t count;
    };
    for (const Count& c : {Count{kPropType, 3}, Count{kMisc, 1}, Count{kEmpty, 0}, Count{0x706F7250u, 0}}) {
      resLastError = 99;
      EXPECT_EQ(ResCountOfType(c.type), c.count) << std::hex << c.type;
      EXPECT_EQ(resLastError, kResOK);
    }

    struct Fetch {
      uint32_t type;
      int32_t index;
      uint32_t id;
      std::vector<uint8_t> data;
      std::string name;
    };
    const Fetch fetches[] = {
        {kMisc, 0, 7, {0xAB}, "misc"},
        {kPropType, 0, 100, {1, 2, 3, 4}, "alpha"},
        {kPropType, 1, 200, {5, 6}, ""},
        {kPropType, 2, 300, {}, "c"},
    };
    for (const Fetch& f : fetches) {
      Handle h = ResGetIndexed(f.type, f.index);
      ASSERT_NE(h, nullptr) << f.id;
      EXPECT_EQ(resLastError, kResOK);
      EXPECT_EQ(dataOf(h), f.data) << f.id;
      uint32_t type = 0, id = 0;
      uint8_t name[32];
      std::memset(name, 0xCC, sizeof name);
      EXPECT_EQ(ResGetInfo(h, &type, &id, name), kResOK) << f.id;
      EXPECT_EQ(type, f.type) << f.id;
      EXPECT_EQ(id, f.id);
      EXPECT_EQ(name[0], f.name.size());
      EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), f.name);
      EXPECT_EQ(ResRelease(h), kResOK);
    }
    EXPECT_EQ(ResCloseFile(ref), kResOK);
  }
}

TEST_F(ResRead, TypeCodeIsStoredLittleEndian) {
  restest::Layout layout;
  const std::vector<uint8_t> bytes = sampleFile().build(&layout);
  const uint8_t stored[4] = {0x70, 0x6F, 0x72, 0x50};
  EXPECT_EQ(0, std::memcmp(&bytes[layout.typeEntryAt(1)], stored, 4));

  // The same file with the code's bytes in reading order is not a 'Prop' file.
  std::vector<uint8_t> swapped = bytes;
  restest::putLE32(swapped, layout.typeEntryAt(1), 0x706F7250u);
  openBytes(swapped);
  EXPECT_EQ(ResCountOfType(kPropType), 0);
  EXPECT_EQ(ResGetIndexed(kPropType, 0), nullptr);
  EXPECT_EQ(resLastError, kResNotFound);
}

TEST_F(ResRead, IndexesOutsideTheTypeAreNotFound) {
  openBytes(sampleFile().build());
  for (int32_t index : {-1, 3, 4, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
    EXPECT_EQ(ResGetIndexed(kPropType, index), nullptr) << index;
    EXPECT_EQ(resLastError, kResNotFound) << index;
  }
  EXPECT_EQ(ResGetIndexed(kEmpty, 0), nullptr);
  EXPECT_EQ(resLastError, kResNotFound);
}

TEST_F(ResRead, OnlyTheFirstEntryOfADuplicatedTypeIsSeen) {
  restest::Builder b;
  b.addType(kPropType).add(1, {0x11});
  restest::Type& second = b.addType(kPropType);
  second.add(2, {0x22});
  second.add(3, {0x33});
  openBytes(b.build());
  EXPECT_EQ(ResCountOfType(kPropType), 1);
  EXPECT_EQ(dataOf(ResGetIndexed(kPropType, 0)), std::vector<uint8_t>{0x11});
  EXPECT_EQ(ResGetIndexed(kPropType, 1), nullptr) << "the scan does not go on to the second entry";
  EXPECT_EQ(resLastError, kResNotFound);
}

TEST_F(ResRead, FetchingTwiceGivesTheSameHandleUntilReleased) {
  openBytes(sampleFile().build());
  Handle h = ResGetIndexed(kPropType, 0);
  ASSERT_NE(h, nullptr);
  (*h)[0] = 0xEE;  // a mark that only the same, unreloaded block can show
  Handle again = ResGetIndexed(kPropType, 0);
  EXPECT_EQ(again, h);
  EXPECT_EQ((*again)[0], 0xEE);

  EXPECT_EQ(ResRelease(h), kResOK);
  uint32_t type = 0, id = 0;
  uint8_t name[32];
  EXPECT_EQ(ResGetInfo(h, &type, &id, name), kResNotFound) << "a released Handle is no resource";
  EXPECT_EQ(resLastError, kResNotFound);
  EXPECT_EQ(ResRelease(h), kResNotFound);

  Handle fresh = ResGetIndexed(kPropType, 0);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(dataOf(fresh), (std::vector<uint8_t>{1, 2, 3, 4})) << "released data is read again";
  EXPECT_EQ(ResGetInfo(nullptr, &type, &id, name), kResNotFound);
}

// Names are copied only when their length byte is 1..31 and they lie inside the name list.
TEST_F(ResRead, NamesComeBackLengthPrefixedOrEmpty) {
  std::vector<uint8_t> list;
  auto addName = [&list](uint8_t length, size_t characters) {
    const int32_t at = int32_t(list.size());
    list.push_back(length);
    for (size_t i = 0; i < characters; ++i) list.push_back(uint8_t('a' + i % 26));
    return at;
  };
  struct Case {
    const char* what;
    int32_t nameOffset;
    uint8_t expectedLength;
  };
  std::vector<Case> cases = {
      {"length 1", addName(1, 1), 1},
      {"length 0", addName(0, 0), 0},
      {"length 31", addName(31, 31), 31},
      {"length 32", addName(32, 32), 0},
      {"length 255", addName(255, 255), 0},
      {"no name", -1, 0},
      {"negative offset", -5, 0},
  };
  const int32_t runsPastEnd = addName(20, 3);  // the list ends 17 bytes short of this name
  cases.push_back({"runs past the list", runsPastEnd, 0});
  cases.push_back({"offset at the end", int32_t(list.size()), 0});
  cases.push_back({"offset far outside", 0x7FFFFFF0, 0});

  restest::Builder b;
  restest::Type& prop = b.addType(kPropType);
  for (size_t i = 0; i < cases.size(); ++i) prop.add(uint32_t(i), {uint8_t(i)}).nameOffset = cases[i].nameOffset;
  b.nameList = list;
  openBytes(b.build());

  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    Handle h = ResGetIndexed(kPropType, int32_t(i));
    ASSERT_NE(h, nullptr) << c.what;
    uint8_t name[40];
    std::memset(name, 0xCC, sizeof name);
    uint32_t type = 0, id = 99;
    EXPECT_EQ(ResGetInfo(h, &type, &id, name), kResOK) << c.what;
    EXPECT_EQ(id, uint32_t(i));
    EXPECT_EQ(name[0], c.expectedLength) << c.what;
    for (int k = 1; k <= c.expectedLength; ++k) EXPECT_EQ(name[k], uint8_t('a' + (k - 1) % 26)) << c.what;
    EXPECT_EQ(name[c.expectedLength + 1], 0xCC) << c.what << ": nothing is written after the name";
  }
}

TEST_F(ResRead, FlagBitsFromTheFileAreClearedOnReading) {
  restest::Builder b;
  restest::Resource& r = b.addType(kPropType).add(1, {9, 8, 7});
  r.flags = 0xFFFFFFFFu;
  r.dataHandle = 0xDEADBEEFu;  // a stale "loaded" Handle in the file must never be used
  openBytes(b.build());
  const uint8_t* entry = *resCurrentFile->refs;
  EXPECT_EQ(resReadLE32(entry + kRefFieldFlags), 0xFFFFFFFFu & ~kRefClearedOnRead);
  Handle h = ResGetIndexed(kPropType, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(dataOf(h), (std::vector<uint8_t>{9, 8, 7}));
  EXPECT_EQ(resReadLE32(entry + kRefFieldFlags), (0xFFFFFFFFu & ~kRefClearedOnRead) | kRefLoaded);
  EXPECT_EQ(ResRelease(h), kResOK);
  EXPECT_EQ(resReadLE32(entry + kRefFieldFlags), 0xFFFFFFFFu & ~kRefClearedOnRead);
}

// An empty type entry shares its firstRef with the entry after it; the resource still
// belongs to the entry whose range holds it.
TEST_F(ResRead, InfoNamesTheTypeWhoseRangeHoldsTheResource) {
  constexpr uint32_t kA = resTypeCode('A', 'a', 'a', 'a');
  struct Layout {
    std::vector<std::pair<uint32_t, int>> types;  // type and resource count, in file order
  };
  const Layout layouts[] = {
      {{{kEmpty, 0}, {kPropType, 3}}},
      {{{kA, 2}, {kEmpty, 0}, {kPropType, 2}}},
      {{{kA, 1}, {kEmpty, 0}, {kEmpty, 0}, {kPropType, 2}, {kMisc, 0}}},
      {{{kPropType, 2}, {kEmpty, 0}}},
  };
  for (const Layout& l : layouts) {
    restest::Builder b;
    uint32_t id = 0;
    for (auto [type, count] : l.types) {
      restest::Type& t = b.addType(type);
      for (int i = 0; i < count; ++i) t.add(id++, {uint8_t(id)});
    }
    const FileRef ref = openBytes(b.build());
    for (auto [type, count] : l.types) {
      for (int i = 0; i < count; ++i) {
        Handle h = ResGetIndexed(type, i);
        ASSERT_NE(h, nullptr);
        uint32_t gotType = 0, gotId = 0;
        uint8_t name[32];
        ASSERT_EQ(ResGetInfo(h, &gotType, &gotId, name), kResOK);
        EXPECT_EQ(gotType, type) << "resource " << gotId;
      }
    }
    EXPECT_EQ(ResCloseFile(ref), kResOK);
  }
}

TEST_F(ResRead, MissingFileChangesNothing) {
  const FileRef first = openBytes(sampleFile().build());
  FileRef ref = 0;
  const std::string missing = (restest::tempDir() / "missing-prop-file.prp").string();
  EXPECT_EQ(ResOpenFile(missing.c_str(), &ref), kFileFailed);
  EXPECT_EQ(resLastError, kFileFailed);
  EXPECT_EQ(ref, 0);
  EXPECT_EQ(ResCurrentFile(), first);
  EXPECT_EQ(resFileList->next, nullptr);
  EXPECT_EQ(FileTableCount(), tableBase_ + 1);
}

// Short files are not errors: bytes that are not there read as the initial header
// values or as zeros.
TEST_F(ResRead, ShortFilesReadAsEmptyOrZeroFilled) {
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{0x10},
        std::vector<uint8_t>{0x10, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0x18}}) {
    const FileRef ref = openBytes(bytes);
    EXPECT_NE(ref, 0);
    for (uint32_t type : {kPropType, kMisc, 0u}) EXPECT_EQ(ResCountOfType(type), 0);
    EXPECT_EQ(ResGetIndexed(kPropType, 0), nullptr);
    EXPECT_EQ(resLastError, kResNotFound);
    EXPECT_EQ(ResCloseFile(ref), kResOK);
  }
  // The zero-length file keeps the whole initial header.
  const FileRef ref = openBytes({});
  EXPECT_EQ(resCurrentFile->header.dataOffset, 16u);
  EXPECT_EQ(resCurrentFile->header.dataLength, 0u);
  EXPECT_EQ(resCurrentFile->header.mapOffset, 16u);
  EXPECT_EQ(resCurrentFile->header.mapLength, 24u);
  EXPECT_EQ(ResCloseFile(ref), kResOK);
}

TEST_F(ResRead, DataRunningPastTheEndOfTheFileIsZeroFilled) {
  restest::Builder b;
  restest::Type& prop = b.addType(kPropType);
  prop.add(1, {1, 2, 3, 4});
  prop.add(2, {});
  prop.add(3, {});
  restest::Layout layout;
  std::vector<uint8_t> bytes = b.build(&layout);
  const uint32_t fileSize = uint32_t(bytes.size());
  // Resource 2: the last 4 bytes of the file, then 4 that are not there.
  restest::putLE32(bytes, layout.refEntryAt(1) + 8, fileSize - 4 - layout.dataOffset);
  restest::putLE32(bytes, layout.refEntryAt(1) + 12, 8);
  // Resource 3: starts beyond the end of the file.
  restest::putLE32(bytes, layout.refEntryAt(2) + 8, 0xFFFFFFF0u);
  restest::putLE32(bytes, layout.refEntryAt(2) + 12, 6);
  openBytes(bytes);

  std::vector<uint8_t> expected(bytes.end() - 4, bytes.end());
  expected.resize(8, 0);
  EXPECT_EQ(dataOf(ResGetIndexed(kPropType, 1)), expected);
  EXPECT_EQ(dataOf(ResGetIndexed(kPropType, 2)), std::vector<uint8_t>(6, 0));
  EXPECT_EQ(resLastError, kResOK);
  EXPECT_EQ(dataOf(ResGetIndexed(kPropType, 0)), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(ResRead, UseFileSwitchesTheFileEveryOperationActsOn) {
  const FileRef a = openBytes(sampleFile().build());
  restest::Builder other;
  other.addType(kPropType).add(900, {0x90});
  const FileRef b = openBytes(other.build());
  EXPECT_EQ(ResCurrentFile(), b);
  Handle fromB = ResGetIndexed(kPropType, 0);
  ASSERT_NE(fromB, nullptr);

  EXPECT_EQ(ResUseFile(a), kResOK);
  EXPECT_EQ(resLastError, kResOK);
  EXPECT_EQ(ResCurrentFile(), a);
  EXPECT_EQ(ResCountOfType(kPropType), 3);
  uint32_t type = 0, id = 0;
  uint8_t name[32];
  EXPECT_EQ(ResGetInfo(fromB, &type, &id, name), kResNotFound) << "another file's Handle";
  EXPECT_EQ(ResRelease(fromB), kResNotFound);

  for (FileRef bad : {FileRef(0), FileRef(-1), FileRef(b + 1), FileRef(1000)}) {
    EXPECT_EQ(ResUseFile(bad), kResFailed) << bad;
    EXPECT_EQ(resLastError, kResFailed);
    EXPECT_EQ(ResCurrentFile(), a);
  }
  EXPECT_EQ(ResUseFile(b), kResOK);
  EXPECT_EQ(ResGetInfo(fromB, &type, &id, name), kResOK);
  EXPECT_EQ(id, 900u);
}

TEST_F(ResRead, WithoutACurrentFileEveryOperationFails) {
  resLastError = 5;
  EXPECT_EQ(ResCurrentFile(), 0);
  EXPECT_EQ(resLastError, kResOK);
  EXPECT_EQ(ResCountOfType(kPropType), -1);
  EXPECT_EQ(resLastError, kResFailed);
  EXPECT_EQ(ResGetIndexed(kPropType, 0), nullptr);
  EXPECT_EQ(resLastError, kResFailed);
  Handle h = HandleNew(4);
  uint32_t type = 0, id = 0;
  uint8_t name[32];
  EXPECT_EQ(ResGetInfo(h, &type, &id, name), kResFailed);
  EXPECT_EQ(ResRelease(h), kResFailed);
  EXPECT_EQ(resLastError, kResFailed);
  EXPECT_EQ(ResUseFile(1), kResFailed);
  HandleDispose(h);
}

}  // namespace
