#pragma once
// A test fixture over the resource library's process-wide state: every test starts
// with no resource file open and leaves none open behind it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resfile/resfile.h"
#include "resfile/resfile_internal.h"
#include "support/resfile_builder.h"

class ResLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(resFileList, nullptr);
    ASSERT_EQ(ResCurrentFile(), 0);
    tableBase_ = FileTableCount();
  }
  void TearDown() override {
    while (resFileList != nullptr) {
      ResUseFile(resFileList->fileRef);
      ResCloseFile(resFileList->fileRef);
    }
  }

  // Writes the bytes to a file and opens it; the result code must be `expected`.
  FileRef openBytes(const std::vector<uint8_t>& bytes, ResCode expected = kResOK) {
    const std::string path = restest::writeTempFile(bytes);
    EXPECT_FALSE(path.empty());
    FileRef ref = 0;
    EXPECT_EQ(ResOpenFile(path.c_str(), &ref), expected);
    EXPECT_EQ(resLastError, expected);
    return ref;
  }

  static std::vector<uint8_t> dataOf(Handle h) {
    if (h == nullptr) return {};
    return std::vector<uint8_t>(*h, *h + HandleGetSize(h));
  }

  int32_t tableBase_ = 0;
};
