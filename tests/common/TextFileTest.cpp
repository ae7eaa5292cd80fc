#include <gtest/gtest.h>

#include <filesystem>

#include "TextFile.h"

namespace fs = std::filesystem;

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vimo_textfile_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(TextFileTest, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
  const fs::path file = dir_ / PathFromUtf8("användare.txt");
  ASSERT_TRUE(WriteFileAtomically(file, "first\r\n"));
  ASSERT_TRUE(WriteFileAtomically(file, std::string("s\0cond", 6)));
  EXPECT_EQ(ReadFileBytes(file), std::string("s\0cond", 6));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TextFileTest, FailedWriteKeepsTheOldFile) {
  const fs::path file = dir_ / "brain.txt";
  ASSERT_TRUE(WriteFileAtomically(file, "old"));
  EXPECT_FALSE(WriteFileAtomically(dir_ / "missing-folder" / "brain.txt", "new"));
  EXPECT_EQ(ReadFileBytes(file), "old");
}

TEST_F(TextFileTest, AppendCreatesAndExtends) {
  const fs::path file = dir_ / "brain.txt";
  EXPECT_FALSE(ReadFileBytes(file).has_value());
  ASSERT_TRUE(AppendToFile(file, "a"));
  ASSERT_TRUE(AppendToFile(file, "b"));
  EXPECT_EQ(ReadFileBytes(file), "ab");
  ASSERT_TRUE(CopyFileAtomically(file, dir_ / "copy.txt"));
  EXPECT_EQ(ReadFileBytes(dir_ / "copy.txt"), "ab");
  EXPECT_TRUE(RemoveFile(file));
  EXPECT_TRUE(RemoveFile(file));
  EXPECT_FALSE(FileExists(file));
}

TEST_F(TextFileTest, ALineIsAddedOnceAndFoundWhateverTheLineEnds) {
  const fs::path file = dir_ / "Data" / "tls-servers.txt";
  EXPECT_FALSE(FileHasLine(file, "127.0.0.1:21"));
  ASSERT_TRUE(AddLineToFile(file, "127.0.0.1:21"));
  ASSERT_TRUE(AddLineToFile(file, "127.0.0.1:21"));
  ASSERT_TRUE(AddLineToFile(file, "ftp.example.org:990"));
  EXPECT_EQ(ReadFileBytes(file), "127.0.0.1:21\r\nftp.example.org:990\r\n");
  ASSERT_TRUE(WriteFileAtomically(file, "a:1\nb:2\rc:3"));
  for (const char* line : {"a:1", "b:2", "c:3"}) EXPECT_TRUE(FileHasLine(file, line)) << line;
  EXPECT_FALSE(FileHasLine(file, "a:"));
}
