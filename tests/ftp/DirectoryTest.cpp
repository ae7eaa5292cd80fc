#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>
#include <fstream>

#include "FtpTestHelpers.h"

namespace {

class Directory : public ConnectedClientTest {};

TEST_F(Directory, EmptyDirectoryListsNothingWithoutEvents) {
  ASSERT_TRUE(ftp.ListDir());
  EXPECT_EQ(ftp.Files().Count(), 0);
  EXPECT_TRUE(listener.errors.empty());
}

TEST_F(Directory, ListingKeysNamesAndReadsTheEntryFields) {
  server.WriteFile("my file.txt", std::string(532, 'a'));
  server.WriteFile("my_file.txt", "b");
  server.WriteFile("användare.txt", "c");
  std::filesystem::create_directories(server.root() / "Data");
  // A date long past is listed with its year and no time of day.
  std::tm march2020{};
  march2020.tm_year = 120;
  march2020.tm_mon = 2;
  march2020.tm_mday = 4;
  march2020.tm_hour = 5;
  timeval times[2] = {{timegm(&march2020), 0}, {timegm(&march2020), 0}};
  ASSERT_EQ(utimes(server.PathOf("my file.txt").c_str(), times), 0);
  ASSERT_TRUE(ftp.ListDir()) << testing::PrintToString(listener.errors);
  CFtpFiles& files = ftp.Files();
  ASSERT_EQ(files.Count(), 4);
  CFtpFile& blank = files.Item("my_file.txt");
  EXPECT_EQ(blank.FileName(), "my file.txt");  // listed first by the server
  EXPECT_EQ(files.Item("my_file.txt000001").FileName(), "my_file.txt");
  EXPECT_EQ(blank.FileSizeStr(), "532 b");
  EXPECT_EQ(blank.FileSize(), 532.0);
  EXPECT_DOUBLE_EQ(blank.FileDate(), MakeFileDate(2020, 3, 4, 0, 0, 0));
  EXPECT_TRUE(files.Item("DATA").IsDirectory());
  EXPECT_EQ(files.Item("ANV\xC4NDARE.TXT").FileName(), "anv\xE4ndare.txt");
  for (CFtpFile& entry : files) EXPECT_EQ(entry.Path(), "");
  // A new listing starts the keys afresh.
  ASSERT_TRUE(ftp.ListDir("my_file.txt"));
  ASSERT_EQ(files.Count(), 1);
  EXPECT_EQ(files.Item(1).FileName(), "my_file.txt");
  EXPECT_EQ(files.Item("my_file.txt").FileName(), "my_file.txt");
}

TEST_F(Directory, SizesAbove4GiBComeFromBothHalves) {
  { std::ofstream create(server.PathOf("huge.bin")); }
  std::filesystem::resize_file(server.PathOf("huge.bin"), 5368709120ull);  // sparse: no disk space used
  ASSERT_TRUE(ftp.ListDir());
  CFtpFile& huge = ftp.Files().Item("huge.bin");
  EXPECT_EQ(huge.FileSizeHigh(), 1u);
  EXPECT_EQ(huge.FileSizeLow(), 0x40000000u);
  EXPECT_EQ(huge.FileSize(), 5368709120.0);
}

TEST_F(Directory, ListingSuppliesTheExpectedSizeForProgress) {
  server.WriteFile("sized.bin", PatternBytes(10000));
  ASSERT_TRUE(ftp.ListDir());
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.GetFile("sized.bin", local / "sized.bin"));
  ASSERT_FALSE(listener.progress.empty());
  EXPECT_EQ(listener.progress.back().size, 10000.0);
}

TEST_F(Directory, RenameDeleteAndDirectories) {
  server.WriteFile("brain2.txt", "backup");
  EXPECT_TRUE(ftp.RenFile("/brain2.txt", "/brain_manuellbackup.txt"));
  EXPECT_EQ(server.ReadFile("brain_manuellbackup.txt"), "backup");
  EXPECT_FALSE(server.Exists("brain2.txt"));
  EXPECT_TRUE(ftp.DeleteFile("/brain_manuellbackup.txt"));
  EXPECT_FALSE(server.Exists("brain_manuellbackup.txt"));
  EXPECT_TRUE(listener.errors.empty()) << testing::PrintToString(listener.errors);

  EXPECT_EQ(ftp.GetCurrDir(), "/");
  EXPECT_TRUE(ftp.MakeDir("Data"));
  EXPECT_TRUE(std::filesystem::is_directory(server.root() / "Data"));
  server.WriteFile("Data/inner.txt", "inside");
  EXPECT_TRUE(ftp.ChangeDir("Data"));
  EXPECT_EQ(ftp.GetCurrDir(), "/Data");
  // Relative names now mean the new current directory.
  ASSERT_TRUE(ftp.GetFile("inner.txt", local / "inner.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "inner.txt"), "inside");
  EXPECT_TRUE(ftp.DeleteFile("inner.txt"));
  EXPECT_TRUE(ftp.ChangeDir("/"));
  EXPECT_TRUE(ftp.DeleteDir("Data"));
  EXPECT_FALSE(std::filesystem::exists(server.root() / "Data"));
  EXPECT_TRUE(listener.errors.empty()) << testing::PrintToString(listener.errors);
}

TEST_F(Directory, FailedCommandsReportTheServersReplyAndGiveItAsTheirOutcome) {
  std::vector<FtpOutcome> outcomes{ftp.DeleteFile("/missing.txt"), ftp.RenFile("/missing.txt", "/other.txt"),
                                   ftp.ChangeDir("nowhere"), ftp.DeleteDir("nowhere")};
  ASSERT_EQ(listener.errors.size(), 4u);
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const auto& error = listener.errors[i];
    EXPECT_FALSE(outcomes[i]);
    EXPECT_EQ(outcomes[i].code, 12003);
    EXPECT_EQ(outcomes[i].text, error);
    EXPECT_EQ(error.rfind("!550 ", 0), 0u) << error;
    EXPECT_EQ(error.substr(error.size() - 2), "\r\n") << error;
  }
  EXPECT_EQ(ftp.GetCurrDir(), "/");
  EXPECT_TRUE(ftp.LastOutcome());
  FtpOutcome made = ftp.MakeDir("fine");  // the session is still good
  EXPECT_TRUE(made);
  EXPECT_EQ(made.code, 0);
  EXPECT_EQ(made.text, "");
  // Outcomes without an event: a name that is not there, and a cancelled chunked download.
  EXPECT_FALSE(ftp.FileExist("missing.txt"));
  EXPECT_TRUE(ftp.LastOutcome());
  server.WriteFile("big.bin", PatternBytes(5000));
  ftp.CancelTransfer(true);
  FtpOutcome cancelled = ftp.DownloadFile("big.bin", local / "big.bin");
  EXPECT_EQ(cancelled.code, 12017);
  EXPECT_EQ(cancelled.text, "!Operation cancelled");
  ftp.CloseConnection();
  FtpOutcome none = ftp.DeleteFile("fine");
  EXPECT_EQ(none.text, "!No session");
  EXPECT_EQ(listener.errors.size(), 5u);
  EXPECT_EQ(listener.errors.back(), "!No session");
}

}  // namespace
