// Handles and the file table: sizes and bytes across resizes, slot numbering and reuse.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "resfile/handles.h"
#include "support/resfile_builder.h"

namespace {

TEST(Handles, NewHandlesAreZeroedAtTheirSize) {
  for (uint32_t size : {0u, 1u, 7u, 4096u}) {
    Handle h = HandleNew(size);
    ASSERT_NE(h, nullptr) << size;
    ASSERT_NE(*h, nullptr) << size;
    EXPECT_EQ(HandleGetSize(h), size);
    EXPECT_EQ(HandleGetCapacity(h), size);
    for (uint32_t i = 0; i < size; ++i) ASSERT_EQ((*h)[i], 0) << size << " byte " << i;
    HandleDispose(h);
  }
}

TEST(Handles, HandleAddressesTheBlocksDataField) {
  Handle h = HandleNew(8);
  ASSERT_NE(h, nullptr);
  auto* block = reinterpret_cast<HandleBlock*>(reinterpret_cast<char*>(h) - offsetof(HandleBlock, data));
  EXPECT_EQ(block->data, *h);
  EXPECT_EQ(block->size, 8u);
  HandleDispose(h);
}

// Each step resizes one Handle and states the size, capacity and bytes expected after it.
// Growth within the capacity brings the old bytes back; growth past it copies only the
// logical size and zero-fills the rest, to exactly the new size.
TEST(Handles, ResizeKeepsCapacityWhenShrinkingAndReallocatesExactlyWhenGrowing) {
  struct Step {
    uint32_t newSize;
    uint32_t capacity;
    std::vector<uint8_t> bytes;
  };
  const Step steps[] = {
      {4, 4, {0, 0, 0, 0}},              // from HandleNew(0): grown, zero-filled
      {2, 4, {0x11, 0x22}},              // (bytes 11 22 33 44 written before this step)
      {4, 4, {0x11, 0x22, 0x33, 0x44}},  // regrown within capacity: old bytes back
      {1, 4, {0x11}},
      {6, 6, {0x11, 0, 0, 0, 0, 0}},     // past capacity: only the one logical byte survives
      {0, 6, {}},
      {6, 6, {0x11, 0, 0, 0, 0, 0}},
      {7, 7, {0x11, 0, 0, 0, 0, 0, 0}},
  };
  Handle h = HandleNew(0);
  ASSERT_NE(h, nullptr);
  int n = 0;
  for (const Step& s : steps) {
    ASSERT_EQ(HandleSetSize(h, s.newSize), kResOK) << "step " << n;
    ASSERT_EQ(MemLastError(), kResOK);
    EXPECT_EQ(HandleGetSize(h), s.newSize) << "step " << n;
    EXPECT_EQ(HandleGetCapacity(h), s.capacity) << "step " << n;
    EXPECT_EQ(std::vector<uint8_t>(*h, *h + s.newSize), s.bytes) << "step " << n;
    if (n == 0) std::memcpy(*h, "\x11\x22\x33\x44", 4);
    ++n;
  }
  HandleDispose(h);
}

TEST(Memory, CopyGoesFromSourceToDestination) {
  const uint8_t source[5] = {1, 2, 3, 4, 5};
  uint8_t destination[5] = {9, 9, 9, 9, 9};
  MemCopy(source, destination, 3);
  const uint8_t expected[5] = {1, 2, 3, 9, 9};
  EXPECT_EQ(0, std::memcmp(destination, expected, 5));
  MemCopy(source, destination, 0);  // no bytes, no access
  void* zeroed = MemAllocZeroed(16);
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<uint8_t*>(zeroed)[i], 0);
  MemFree(zeroed);
  MemFree(nullptr);
}

class FileTable : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = restest::writeTempFile({1, 2, 3, 4, 5, 6, 7, 8}, "table");
    ASSERT_FALSE(path_.empty());
    base_ = FileTableCount();
    ASSERT_LT(base_, kFileTableSlots - 3);
  }
  FileRef open() {
    FileRef ref = 0;
    EXPECT_EQ(FileOpen(path_.c_str(), kFileModeRead, &ref), kResOK);
    return ref;
  }
  std::string path_;
  int32_t base_ = 0;
};

// Slots are handed out above the top; only closing the top slot lowers the count, by one.
TEST_F(FileTable, SlotsAreReusedOnlyWhenClosedInReverseOrder) {
  const FileRef a = open();
  const FileRef b = open();
  EXPECT_EQ(a, base_ + 1);
  EXPECT_EQ(b, base_ + 2);
  EXPECT_EQ(FileTableCount(), base_ + 2);
  EXPECT_EQ(FileClose(a), kResOK);
  EXPECT_EQ(FileTableCount(), base_ + 2) << "a lower slot closing keeps the count";
  EXPECT_EQ(FileClose(b), kResOK);
  EXPECT_EQ(FileTableCount(), base_ + 1) << "the count drops by one only, past the empty slot";
  const FileRef c = open();
  EXPECT_EQ(c, base_ + 2) << "the empty slot below the top is not handed out";
  EXPECT_EQ(FileClose(a), kFileFailed) << "the empty counted slot is not a valid FileRef";
  EXPECT_EQ(FileClose(c), kResOK);

  // Open, close, open: the same slot again.
  const int32_t top = FileTableCount();
  const FileRef d = open();
  EXPECT_EQ(FileClose(d), kResOK);
  const FileRef e = open();
  EXPECT_EQ(e, d);
  EXPECT_EQ(e, top + 1);
  EXPECT_EQ(FileClose(e), kResOK);
}

TEST_F(FileTable, InvalidRefsAreRefusedAndChangeNothing) {
  const FileRef a = open();
  uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  for (FileRef bad : {FileRef(0), FileRef(-1), FileRef(-32768), FileRef(a + 1), FileRef(17), FileRef(32767)}) {
    int32_t count = 4;
    EXPECT_EQ(FileRead(bad, &count, buffer), kFileFailed) << bad;
    EXPECT_EQ(count, 4) << bad;
    EXPECT_EQ(FileSeek(bad, kFileSeekFromStart, 0), kFileFailed) << bad;
    EXPECT_EQ(FileClose(bad), kFileFailed) << bad;
    int64_t size = -5;
    EXPECT_EQ(FileGetSize(bad, &size), kFileFailed) << bad;
  }
  EXPECT_EQ(buffer[0], 0xAA);
  EXPECT_EQ(FileTableCount(), base_ + 1);
  EXPECT_EQ(FileClose(a), kResOK);
}

TEST_F(FileTable, ReadsSeeksAndShortReads) {
  const FileRef a = open();
  struct Case {
    int32_t seekTo;
    int32_t want;
    int32_t got;
    uint8_t first;
  };
  const Case cases[] = {
      {0, 4, 4, 1}, {6, 4, 2, 7}, {8, 4, 0, 0xEE}, {100, 4, 0, 0xEE}, {3, 0, 0, 0xEE},
  };
  for (const Case& c : cases) {
    uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(FileSeek(a, kFileSeekFromStart, c.seekTo), kResOK);
    int32_t count = c.want;
    EXPECT_EQ(FileRead(a, &count, buffer), kResOK) << c.seekTo;
    EXPECT_EQ(count, c.got) << c.seekTo;
    EXPECT_EQ(buffer[0], c.first) << c.seekTo;
  }
  // A failed positioning is not reported, and the position stays usable.
  EXPECT_EQ(FileSeek(a, kFileSeekFromStart, -10), kResOK);
  int64_t size = 0;
  EXPECT_EQ(FileGetSize(a, &size), kResOK);
  EXPECT_EQ(size, 8);
  EXPECT_EQ(FileClose(a), kResOK);
}

TEST_F(FileTable, FailedOpenLeavesRefAndTableUntouched) {
  FileRef ref = 77;
  const std::string missing = (restest::tempDir() / "no-such-file.bin").string();
  EXPECT_EQ(FileOpen(missing.c_str(), kFileModeRead, &ref), kFileFailed);
  EXPECT_EQ(ref, 77);
  EXPECT_EQ(FileOpen(path_.c_str(), 1, &ref), kFileFailed) << "only reading is offered";
  EXPECT_EQ(ref, 77);
  EXPECT_EQ(FileTableCount(), base_);
}

TEST_F(FileTable, AFullTableRefusesTheSeventeenthFile) {
  std::vector<FileRef> refs;
  for (int32_t i = base_; i < kFileTableSlots; ++i) refs.push_back(open());
  ASSERT_EQ(FileTableCount(), kFileTableSlots);
  FileRef ref = 5;
  EXPECT_EQ(FileOpen(path_.c_str(), kFileModeRead, &ref), kFileFailed);
  EXPECT_EQ(ref, 5);
  EXPECT_EQ(FileTableCount(), kFileTableSlots);
  for (auto it = refs.rbegin(); it != refs.rend(); ++it) EXPECT_EQ(FileClose(*it), kResOK);
  EXPECT_EQ(FileTableCount(), base_);
}

}  // namespace
