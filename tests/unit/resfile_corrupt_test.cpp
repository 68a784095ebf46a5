// Corrupt resource files: every map that would make the reader step outside its
// buffers, or allocate more than the file holds, is refused with kResFailed, and the
// file stays open, current and closable with nothing to fetch.
#include <functional>
#include <limits>

#include "support/resfile_fixture.h"

namespace {

using Patch = std::function<void(std::vector<uint8_t>&, const restest::Layout&)>;

// 'Prop' with two resources, a second type with one; names on all of them.
std::vector<uint8_t> goodFile(restest::Layout* layout) {
  restest::Builder b;
  restest::Type& prop = b.addType(kPropType);
  prop.add(1, {1, 1, 1, 1}, std::string("one"));
  prop.add(2, {2, 2}, std::string("two"));
  b.addType(resTypeCode('M', 'i', 's', 'c')).add(3, {3}, std::string("three"));
  return b.build(layout);
}

// Map header fields, as offsets into the map.
constexpr uint32_t kTypeCount = 0, kRefCount = 4, kNameListLength = 8, kTypeListOffset = 12,
                   kRefListOffset = 16, kNameListOffset = 20;

Patch mapField(uint32_t field, uint32_t value) {
  return [=](std::vector<uint8_t>& b, const restest::Layout& l) { restest::putLE32(b, l.mapOffset + field, value); };
}
Patch headerField(uint32_t at, uint32_t value) {
  return [=](std::vector<uint8_t>& b, const restest::Layout&) { restest::putLE32(b, at, value); };
}
Patch typeField(int entry, uint32_t field, uint32_t value) {
  return [=](std::vector<uint8_t>& b, const restest::Layout& l) {
    restest::putLE32(b, l.typeEntryAt(entry) + field, value);
  };
}

struct CorruptCase {
  const char* what;
  Patch patch;
};

using ResCorrupt = ResLibraryTest;

TEST_F(ResCorrupt, UnsoundMapsAreRefusedAndLeaveAClosableEmptyFile) {
  const uint32_t max = std::numeric_limits<uint32_t>::max();
  const CorruptCase cases[] = {
      {"map shorter than its header", headerField(12, 23)},
      {"map of length 0", headerField(12, 0)},
      {"map longer than the file", [](std::vector<uint8_t>& b, const restest::Layout&) {
         restest::putLE32(b, 12, uint32_t(b.size()) + 1);
       }},
      {"map of 4 GiB", headerField(12, max)},
      {"map of 2 GiB", headerField(12, 0x80000000u)},
      {"negative typeCount", mapField(kTypeCount, uint32_t(-1))},
      {"negative refCount", mapField(kRefCount, 0x80000000u)},
      {"typeCount beyond the map", mapField(kTypeCount, 0x7FFFFFFF)},
      {"refCount beyond the map", mapField(kRefCount, 0x08000000)},
      {"refCount one entry too many", [](std::vector<uint8_t>& b, const restest::Layout& l) {
         // The ref list is followed by names; one more entry would run past the map.
         const uint32_t room = uint32_t(l.size - l.refListAt) / 32;
         restest::putLE32(b, l.mapOffset + kRefCount, room + 1);
       }},
      {"type list outside the map", mapField(kTypeListOffset, 0xFFFFFFF0u)},
      {"ref list outside the map", mapField(kRefListOffset, 0x7FFFFFFFu)},
      {"name list outside the map", mapField(kNameListOffset, max)},
      {"name list of 4 GiB", mapField(kNameListLength, max)},
      {"name list one byte too long", [](std::vector<uint8_t>& b, const restest::Layout& l) {
         restest::putLE32(b, l.mapOffset + kNameListLength, uint32_t(l.size - l.nameListAt) + 1);
       }},
      {"negative type count", typeField(0, 4, uint32_t(-2))},
      {"negative firstRef", typeField(1, 8, uint32_t(-1))},
      {"firstRef + count beyond refCount", typeField(1, 8, 3)},
      {"count beyond refCount", typeField(0, 4, 4)},
      {"count that overflows with firstRef", [](std::vector<uint8_t>& b, const restest::Layout& l) {
         restest::putLE32(b, l.typeEntryAt(1) + 4, 0x7FFFFFFF);
         restest::putLE32(b, l.typeEntryAt(1) + 8, 0x7FFFFFFF);
       }},
  };
  for (const CorruptCase& c : cases) {
    SCOPED_TRACE(c.what);
    restest::Layout layout;
    std::vector<uint8_t> bytes = goodFile(&layout);
    c.patch(bytes, layout);
    const FileRef ref = openBytes(bytes, kResFailed);
    ASSERT_NE(ref, 0);
    EXPECT_EQ(ResCurrentFile(), ref) << "the record stays open and current";
    EXPECT_EQ(FileTableCount(), tableBase_ + 1);
    EXPECT_EQ(ResCountOfType(kPropType), 0);
    EXPECT_EQ(ResGetIndexed(kPropType, 0), nullptr);
    EXPECT_EQ(resLastError, kResNotFound);
    EXPECT_EQ(ResCloseFile(ref), kResOK);
    EXPECT_EQ(ResCurrentFile(), 0);
    EXPECT_EQ(FileTableCount(), tableBase_);
  }
}

// Odd but readable files: nothing is out of bounds, so they open, and what is missing
// reads as zeros or as an empty name.
TEST_F(ResCorrupt, OddButBoundedFilesOpen) {
  const CorruptCase cases[] = {
      {"map beyond the end of the file", headerField(8, 0xFFFFFF00u)},
      {"map at 2 GiB", headerField(8, 0x80000000u)},
      {"empty lists at wild offsets", [](std::vector<uint8_t>& b, const restest::Layout& l) {
         restest::putLE32(b, l.mapOffset + kTypeCount, 0);
         restest::putLE32(b, l.mapOffset + kRefCount, 0);
         restest::putLE32(b, l.mapOffset + kNameListLength, 0);
         for (uint32_t f : {kTypeListOffset, kRefListOffset, kNameListOffset}) restest::putLE32(b, l.mapOffset + f, 0xFFFFFFFFu);
       }},
      {"data area beyond the file", headerField(0, 0xFFFFFFFFu)},
      {"data length of gigabytes", headerField(4, 0xFFFFFFFFu)},
  };
  for (const CorruptCase& c : cases) {
    SCOPED_TRACE(c.what);
    restest::Layout layout;
    std::vector<uint8_t> bytes = goodFile(&layout);
    c.patch(bytes, layout);
    const FileRef ref = openBytes(bytes, kResOK);
    const int32_t count = ResCountOfType(kPropType);
    EXPECT_GE(count, 0);
    for (int32_t i = 0; i < count; ++i) {
      Handle h = ResGetIndexed(kPropType, i);
      ASSERT_NE(h, nullptr);
      uint32_t type = 0, id = 0;
      uint8_t name[32];
      EXPECT_EQ(ResGetInfo(h, &type, &id, name), kResOK);
      EXPECT_EQ(ResRelease(h), kResOK);
    }
    EXPECT_EQ(ResCloseFile(ref), kResOK);
  }
}

// A resource longer than the whole file is refused at the fetch, not allocated; the
// other resources of the file stay readable.
TEST_F(ResCorrupt, ResourcesLongerThanTheFileAreNotAllocated) {
  restest::Layout layout;
  std::vector<uint8_t> bytes = goodFile(&layout);
  restest::putLE32(bytes, layout.refEntryAt(0) + 12, 0xFFFFFFFFu);
  restest::putLE32(bytes, layout.refEntryAt(1) + 12, uint32_t(bytes.size()) + 1);
  openBytes(bytes);
  for (int32_t index : {0, 1}) {
    EXPECT_EQ(ResGetIndexed(kPropType, index), nullptr) << index;
    EXPECT_EQ(resLastError, kResFailed) << index;
  }
  Handle misc = ResGetIndexed(resTypeCode('M', 'i', 's', 'c'), 0);
  ASSERT_NE(misc, nullptr);
  EXPECT_EQ(dataOf(misc), std::vector<uint8_t>{3});

  // Exactly the file's length is allowed (it reads short, zero-filled).
  restest::putLE32(bytes, layout.refEntryAt(0) + 12, uint32_t(bytes.size()));
  openBytes(bytes);
  Handle whole = ResGetIndexed(kPropType, 0);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(HandleGetSize(whole), bytes.size());
}

}  // namespace
