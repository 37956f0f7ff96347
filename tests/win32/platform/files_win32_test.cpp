// The file adapter on a real disk, in a folder of its own under the temporary folder, named
// in scripts outside the system's single-byte code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"

namespace sonavi {
namespace {

class FilesWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    dir_ = temp + (L"Програми_Ελλάδα_" + std::to_wstring(GetCurrentProcessId()));
    // Left behind by an earlier run that ended early, it is reused.
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    path_ = dir_ + L"\\listcham.dat";
  }
  void TearDown() override {
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
    RemoveDirectoryW((path_ + L".tmp").c_str());
    DeleteFileW((path_ + L".tmp").c_str());
    RemoveDirectoryW(dir_.c_str());
  }
  std::string Read() {
    std::string contents;
    const Status status = files_.ReadAll(path_, &contents);
    EXPECT_TRUE(status.ok()) << status.message();
    return contents;
  }

  FileSystem& files_ = SystemFileSystem();
  FilePath dir_;
  FilePath path_;
};

TEST_F(FilesWin32Test, AppendCreatesThenExtends) {
  EXPECT_FALSE(files_.Exists(path_));
  ASSERT_TRUE(files_.Append(path_, "a;b\r\n").ok());
  ASSERT_TRUE(files_.Append(path_, "Jo\xE3o\r\n").ok());
  EXPECT_TRUE(files_.Exists(path_));
  EXPECT_EQ(Read(), "a;b\r\nJo\xE3o\r\n");
  EXPECT_FALSE(files_.Exists(dir_));  // a folder is not a file
  EXPECT_TRUE(files_.Remove(path_));
  EXPECT_FALSE(files_.Exists(path_));
  EXPECT_FALSE(files_.Remove(path_));
}

TEST_F(FilesWin32Test, ReplaceAllSwapsTheContentsWhole) {
  ASSERT_TRUE(files_.Append(path_, std::string(100000, 'o')).ok());
  ASSERT_TRUE(files_.ReplaceAll(path_, "new").ok());
  EXPECT_EQ(Read(), "new");
  EXPECT_EQ(GetFileAttributesW((path_ + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(files_.ReplaceAll(path_, "").ok());
  EXPECT_EQ(Read(), "");
}

TEST_F(FilesWin32Test, ReplaceAllKeepsTheOldFileWhenTheTemporaryCannotBeWritten) {
  ASSERT_TRUE(files_.Append(path_, "old\r\n").ok());
  // A folder where the temporary file would go.
  ASSERT_TRUE(CreateDirectoryW((path_ + L".tmp").c_str(), nullptr));
  const Status status = files_.ReplaceAll(path_, "new\r\n");
  EXPECT_FALSE(status.ok());
  EXPECT_FALSE(status.message().empty());
  EXPECT_NE(status.message().back(), '\n');
  EXPECT_EQ(Read(), "old\r\n");
}

TEST_F(FilesWin32Test, ReplaceAllKeepsAReadOnlyFile) {
  ASSERT_TRUE(files_.Append(path_, "old\r\n").ok());
  ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(files_.ReplaceAll(path_, "new\r\n").ok());
  EXPECT_EQ(Read(), "old\r\n");
  EXPECT_EQ(GetFileAttributesW((path_ + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesWin32Test, ErrorsCarryTheSystemsTextWithoutTheLineBreak) {
  std::string contents = "kept";
  const Status status = files_.ReadAll(dir_ + L"\\missing.dat", &contents);
  ASSERT_FALSE(status.ok());
  EXPECT_FALSE(status.message().empty());
  EXPECT_NE(status.message().back(), '\n');
  EXPECT_NE(status.message().back(), '\r');
  EXPECT_EQ(contents, "kept");
  EXPECT_FALSE(files_.Append(dir_ + L"\\no\\such\\folder.dat", "x").ok());
}

}  // namespace
}  // namespace sonavi
