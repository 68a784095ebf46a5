// The resource library on Windows: a generated file opens, its resources are fetched,
// described and released. On 64-bit Windows loaded Handles live beside the reference
// list, because an 8-byte Handle cannot sit in an entry's 4-byte field; on 32-bit
// Windows they live in that field.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "pictures/picture_files.h"
#include "resfile/resfile.h"
#include "resfile/resfile_internal.h"
#include "support/resfile_builder.h"

TEST(WindowsResFile, OpensFetchesDescribesAndCloses) {
  static_assert(kHandleFitsInRefEntry == (sizeof(void*) == 4), "where a loaded Handle is kept");
  restest::Builder b;
  b.addType(resTypeCode('E', 'm', 'p', 't'));
  restest::Type& prop = b.addType(kPropType);
  prop.add(516, {4, 0, 1, 0}, std::string("first"));
  prop.add(1000, {9, 9, 9}).dataHandle = 0xFFFFFFFFu;
  const std::vector<uint8_t> bytes = b.build();
  const std::string path = restest::writeTempFile(bytes, "win");
  ASSERT_FALSE(path.empty());

  FileRef ref = 0;
  ASSERT_EQ(ResOpenFile(path.c_str(), &ref), kResOK);
  ASSERT_NE(ref, 0);
  ASSERT_EQ(ResCountOfType(kPropType), 2);
  ASSERT_EQ(resCurrentFile->loaded != nullptr, !kHandleFitsInRefEntry);

  const uint32_t ids[] = {516, 1000};
  for (int32_t i = 0; i < 2; ++i) {
    Handle h = ResGetIndexed(kPropType, i);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ResRefLoadedHandle(resCurrentFile, i), h);
    if (!kHandleFitsInRefEntry) {
      EXPECT_EQ(resCurrentFile->loaded[i], h);
    }
    uint32_t type = 0, id = 0;
    uint8_t name[32] = {};
    ASSERT_EQ(ResGetInfo(h, &type, &id, name), kResOK);
    EXPECT_EQ(type, kPropType) << "the empty entry before 'Prop' owns nothing";
    EXPECT_EQ(id, ids[i]);
    EXPECT_EQ(name[0], i == 0 ? 5 : 0);
  }
  Handle first = ResGetIndexed(kPropType, 0);
  EXPECT_EQ(HandleGetSize(first), 4u);
  EXPECT_EQ((*first)[0], 4);
  EXPECT_EQ(ResRelease(first), kResOK);
  EXPECT_EQ(ResRefLoadedHandle(resCurrentFile, 0), nullptr);
  EXPECT_EQ(ResCloseFile(ref), kResOK);
  EXPECT_EQ(ResCurrentFile(), 0);
  EXPECT_EQ(FileTableCount(), 0);
  EXPECT_EQ(restest::readFileBytes(path), bytes);
  DeleteFileA(path.c_str());
}

// Names are UTF-8: a folder and a file outside any code page open, and bytes that are not
// UTF-8 open nothing.
TEST(WindowsResFile, NamesAreUtf8) {
  restest::Builder b;
  b.addType(kPropType).add(600, {1, 0, 1, 0});
  const std::vector<uint8_t> bytes = b.build();
  const std::wstring folder = L"C:\\users\\Public\\\x00C9t\x00E9 \x65E5\x672C";
  const std::wstring file = folder + L"\\\x0394 props.prp";
  CreateDirectoryW(folder.c_str(), nullptr);
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr));
  CloseHandle(out);

  const std::string utf8 = "C:\\users\\Public\\\xC3\x89t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\\\xCE\x94 props.prp";
  FileRef ref = 0;
  EXPECT_EQ(ResOpenFile(utf8.c_str(), &ref), kResOK);
  EXPECT_EQ(ResCountOfType(kPropType), 1);
  EXPECT_EQ(ResCloseFile(ref), kResOK);
  ref = 0;
  EXPECT_NE(ResOpenFile("C:\\users\\Public\\\xC9t\xE9\\x.prp", &ref), kResOK);  // code-page bytes
  EXPECT_EQ(ref, 0);
  DeleteFileW(file.c_str());
  RemoveDirectoryW(folder.c_str());
}

// Readers of prop files (the saver's atlas through the resource library, the dialog and
// proptool through the picture library) hold the user's file open while it is saved: the
// save replaces it at once, they go on reading the old bytes, and a save that may replace
// nothing fails while a file is there.
TEST(WindowsResFile, AReaderHoldingTheFileNeverMakesTheSaveFail) {
  const std::vector<uint8_t> before = restest::Builder().build(), after(300, 7);
  const std::string path = restest::writeTempFile(before, "held");
  const pictures::Path wide = pictures::Path(std::wstring(path.begin(), path.end()));
  FileRef ref = 0;
  ASSERT_EQ(ResOpenFile(path.c_str(), &ref), kResOK);
  std::FILE* other = pictures::openFile(wide, "rb");
  pictures::FileProblem problem;
  const DWORD start = GetTickCount();
  EXPECT_TRUE(pictures::replaceFile(wide, after, &problem)) << problem.reason;
  EXPECT_LT(GetTickCount() - start, 1000u) << "no waiting for the readers";
  EXPECT_FALSE(pictures::replaceFile(wide, before, &problem, pictures::Replacing::kNoReplace));
  EXPECT_EQ(restest::readFileBytes(path), after);
  uint8_t first = 0;
  EXPECT_TRUE(other && std::fread(&first, 1, 1, other) == 1 && first == before[0]) << "the reader reads the old file";
  if (other) std::fclose(other);
  EXPECT_EQ(ResCloseFile(ref), kResOK);
  DeleteFileA(path.c_str());
}
