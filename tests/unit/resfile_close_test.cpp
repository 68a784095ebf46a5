// Closing resource files: which file is current afterwards, what is refused, and that
// closing neither leaves streams open nor touches the file.
#include <filesystem>

#include "support/resfile_fixture.h"

namespace {

using ResClose = ResLibraryTest;

std::vector<uint8_t> fileWithId(uint32_t id) {
  restest::Builder b;
  restest::Type& prop = b.addType(kPropType);
  prop.add(id, {uint8_t(id), 1, 2});
  prop.add(id + 1, {uint8_t(id + 1)}, std::string("second"));
  return b.build();
}

// Three files A, B, C opened in that order. Each case makes one current, closes one,
// and names the file current afterwards (-1: none).
TEST_F(ResClose, TheFileCurrentAfterACloseFollowsTheOpeningOrder) {
  struct Case {
    int current;
    int closed;
    int currentAfter;
  };
  const Case cases[] = {
      {2, 2, 1},   // closing the current file: the one opened just before it
      {1, 1, 0},   // ... even while a file opened after it is still open
      {0, 0, -1},  // the first file opened: none is current
      {2, 0, 2},   // closing another file keeps the current one
      {0, 2, 0},
      {1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "current " << c.current << " closed " << c.closed);
    FileRef refs[3];
    for (int i = 0; i < 3; ++i) refs[i] = openBytes(fileWithId(10 * (i + 1)));
    ASSERT_EQ(ResUseFile(refs[c.current]), kResOK);
    EXPECT_EQ(ResCloseFile(refs[c.closed]), kResOK);
    EXPECT_EQ(resLastError, kResOK);
    if (c.currentAfter < 0) {
      EXPECT_EQ(ResCurrentFile(), 0);
      EXPECT_EQ(ResCountOfType(kPropType), -1);
    } else {
      EXPECT_EQ(ResCurrentFile(), refs[c.currentAfter]);
      Handle h = ResGetIndexed(kPropType, 0);
      ASSERT_NE(h, nullptr);
      EXPECT_EQ((*h)[0], 10 * (c.currentAfter + 1)) << "the current file's data is read";
    }
    EXPECT_EQ(ResUseFile(refs[c.closed]), kResFailed) << "the closed file is gone from the list";
    int listed = 0;
    for (ResFile* f = resFileList; f != nullptr; f = f->next) ++listed;
    EXPECT_EQ(listed, 2);
    TearDown();
    EXPECT_EQ(resFileList, nullptr);
  }
}

TEST_F(ResClose, RefusedClosesCloseNothing) {
  // No current file: refused even for a file that is open.
  const FileRef a = openBytes(fileWithId(1));
  const FileRef b = openBytes(fileWithId(2));
  ASSERT_EQ(ResUseFile(a), kResOK);
  ASSERT_EQ(ResCloseFile(a), kResOK);
  ASSERT_EQ(ResCurrentFile(), 0) << "a was opened first";
  const int32_t streams = FileTableCount();
  EXPECT_EQ(ResCloseFile(b), kResFailed);
  EXPECT_EQ(resLastError, kResFailed);
  EXPECT_EQ(ResUseFile(b), kResOK);

  // FileRefs no open resource file has, including the 0 of a failed open.
  for (FileRef bad : {FileRef(0), FileRef(-1), a, FileRef(b + 1)}) {
    EXPECT_EQ(ResCloseFile(bad), kResFailed) << bad;
    EXPECT_EQ(resLastError, kResFailed);
    EXPECT_EQ(ResCurrentFile(), b);
  }
  EXPECT_EQ(FileTableCount(), streams);
  EXPECT_EQ(ResCloseFile(b), kResOK);
  // Both streams are closed (a's empty slot stays counted below b's until reused).
  EXPECT_EQ(FileClose(a), kFileFailed);
  EXPECT_EQ(FileClose(b), kFileFailed);
}

// Loaded and released Handles alike go with the file; the file itself is only read.
TEST_F(ResClose, ClosingDisposesLoadedDataAndLeavesTheFileUntouched) {
  const std::vector<uint8_t> bytes = fileWithId(40);
  const std::string path = restest::writeTempFile(bytes, "untouched");
  const auto stamp = std::filesystem::last_write_time(path);
  FileRef ref = 0;
  ASSERT_EQ(ResOpenFile(path.c_str(), &ref), kResOK);
  Handle kept = ResGetIndexed(kPropType, 0);
  Handle released = ResGetIndexed(kPropType, 1);
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(released, nullptr);
  (*kept)[0] = 0xFF;  // the caller's changes stay in memory
  EXPECT_EQ(ResRelease(released), kResOK);
  EXPECT_EQ(ResCloseFile(ref), kResOK);
  EXPECT_EQ(ResCurrentFile(), 0);
  EXPECT_EQ(FileTableCount(), tableBase_);
  EXPECT_EQ(restest::readFileBytes(path), bytes);
  EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
}

}  // namespace
