#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "FtpTestHelpers.h"
#include "PureFtpTestServer.h"
#include "Windows1252.h"

// The same dialogue against our own server and against pure-ftpd (one connection per address), each
// started at most once for the suite.
namespace {

class BothServers : public testing::TestWithParam<std::string> {
 protected:
  static void TearDownTestSuite() { servers_.clear(); }

  void SetUp() override {
    auto& started = servers_[GetParam()];
    if (started == nullptr) started = StartTestServer(GetParam());
    server().ClearRoot();
    ftp.SetListener(&listener);
    ASSERT_TRUE(ConnectTo(ftp, server())) << testing::PrintToString(listener.errors) << server().log();
    listener.Clear();
  }
  void TearDown() override { ftp.CloseConnection(); }

  RealFtpServer& server() { return *servers_.at(GetParam()); }

  static inline std::map<std::string, std::unique_ptr<RealFtpServer>> servers_;
  TempFolder local;
  RecordingListener listener;
  CFtp ftp;
};

TEST_P(BothServers, TextAndWindows1252NamesTravelAsTheProgramSendsThem) {
  const std::string name = Utf8ToWindows1252("användare.txt");
  const std::string text =
      "rad ett\r\nr\xE4"
      "d tv\xE5\r\n";
  server().WriteText("användare.txt", "gammal\r\n");
  WriteBytes(local / "up.txt", text);
  ftp.TransferType(1);
  ASSERT_TRUE(ftp.PutFile(local / "up.txt", name)) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server().ReadText("användare.txt"), text);
  ASSERT_TRUE(ftp.GetFile(name, local / "down.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "down.txt"), text);
  ASSERT_TRUE(ftp.ListDir());
  ASSERT_EQ(ftp.Files().Count(), 1);
  EXPECT_EQ(ftp.Files().Item(1).FileName(), name);
}

TEST_P(BothServers, BinaryFilesAreByteExactBothWays) {
  const std::string bytes = PatternBytes(70000);
  server().WriteFile("sub/in.bin", bytes);
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.GetFile("sub/in.bin", local / "in.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "in.bin"), bytes);
  ASSERT_TRUE(ftp.PutFile(local / "in.bin", "sub/out.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server().ReadFile("sub/out.bin"), bytes);
}

TEST_P(BothServers, AFailedCommandLeavesTheSessionInItsFolder) {
  server().WriteFile("in.txt", "login folder\n");
  server().WriteFile("sub/in.txt", "sub folder\n");
  server().WriteFile("sub/keep/k.txt", "k");
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.ChangeDir("sub")) << testing::PrintToString(listener.errors);
  EXPECT_FALSE(ftp.DeleteFile("missing.txt"));
  EXPECT_FALSE(ftp.RenFile("missing.txt", "other.txt"));
  EXPECT_FALSE(ftp.MakeDir("keep"));  // exists: the lock others rely on
  EXPECT_FALSE(ftp.DeleteDir("missing"));
  EXPECT_FALSE(ftp.ChangeDir("missing"));
  ASSERT_EQ(listener.errors.size(), 5u);
  for (const auto& error : listener.errors) {
    EXPECT_TRUE(error.rfind("!5", 0) == 0 || error.rfind("!4", 0) == 0) << error;  // the server's own reply
  }
  EXPECT_EQ(ftp.GetCurrDir(), "/sub");
  ASSERT_TRUE(ftp.GetFile("in.txt", local / "in.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "in.txt"), "sub folder\n");
  // The same session goes on renaming, deleting and listing.
  ASSERT_TRUE(ftp.RenFile("in.txt", "renamed.txt"));
  ASSERT_TRUE(ftp.DeleteFile("renamed.txt"));
  ASSERT_TRUE(ftp.ListDir());
  ASSERT_EQ(ftp.Files().Count(), 1);
  EXPECT_EQ(ftp.Files().Item(1).FileName(), "keep");
  EXPECT_EQ(listener.errors.size(), 5u);
  EXPECT_TRUE(std::none_of(listener.statuses.begin(), listener.statuses.end(), [](const std::string& s) {
    return s.rfind("Connecting", 0) == 0;
  })) << "no second login";
}

TEST_P(BothServers, PiecewiseOperationsUseTheSessionAndItsFolder) {
  server().WriteFile("sub/a.bin", PatternBytes(2500));
  server().WriteText("sub/t.txt", "ett\r\ntv\xE5\r\n");
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.ChangeDir("sub"));
  ASSERT_TRUE(ftp.DownloadFile("a.bin", local / "a.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "a.bin"), PatternBytes(2500));
  ASSERT_TRUE(ftp.UploadFile(local / "a.bin", "b.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server().ReadFile("sub/b.bin"), PatternBytes(2500));
  std::string text;
  ASSERT_TRUE(ftp.ReadAsciiFile("t.txt", text)) << testing::PrintToString(listener.errors);
  EXPECT_EQ(text, "ett\r\ntv\xE5\r\n");
  ASSERT_TRUE(ftp.WriteAsciiFile("w.txt", "hej\r\n")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server().ReadText("sub/w.txt"), "hej\r\n");
  EXPECT_TRUE(ftp.FileExist("w.txt"));
  EXPECT_FALSE(ftp.FileExist("nothing.txt"));
  // Closing after calls made without the object's context still says so.
  listener.Clear();
  ftp.CloseConnection();
  EXPECT_EQ(listener.statuses, (std::vector<std::string>{"Closing connection...", "Connection closed"}));
}

TEST_P(BothServers, ActiveTransfersRaiseNoConnectionLines) {
  server().WriteFile("a.bin", PatternBytes(3000));
  ftp.PassiveSementic(false);
  ASSERT_TRUE(ConnectTo(ftp, server())) << testing::PrintToString(listener.errors);
  listener.Clear();
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.GetFile("a.bin", local / "a.bin")) << testing::PrintToString(listener.errors);
  ASSERT_TRUE(ftp.ListDir());
  EXPECT_EQ(listener.statuses, std::vector<std::string>{});
}

TEST_P(BothServers, OversizedListingsAndDownloadsFailClearly) {
  for (int i = 0; i < 200; ++i) server().WriteFile("f" + std::to_string(i) + ".txt", "x");
  server().WriteFile("version.txt", std::string(5000, 'v'));
  FtpLimits limits = ShortLimits();
  limits.maxListingBytes = 4096;
  limits.maxDownloadBytes = 4096;
  ftp.SetLimits(limits);
  ftp.TransferType(2);
  EXPECT_FALSE(ftp.ListDir());
  EXPECT_FALSE(ftp.GetFile("version.txt", local / "version.txt"));
  EXPECT_FALSE(std::filesystem::exists(local / "version.txt"));
  ASSERT_EQ(listener.errors.size(), 2u);
  EXPECT_NE(listener.errors[0].find("more than this listing may hold"), std::string::npos)
      << listener.errors[0];
  EXPECT_NE(listener.errors[1].find("more than this download may hold"), std::string::npos)
      << testing::PrintToString(listener.errors) << listener.errors[1];
  // Both were stopped without losing the session.
  EXPECT_TRUE(ftp.FileExist("f1.txt"));
  EXPECT_TRUE(ftp.DeleteFile("f1.txt")) << testing::PrintToString(listener.errors);
}

INSTANTIATE_TEST_SUITE_P(Servers, BothServers, testing::ValuesIn(kTestServerKinds), TestServerKindName);

}  // namespace

namespace {

TEST(OneConnectionPerAddress, ASecondSessionIsTurnedAwayWithTheServersReply) {
  auto server = StartTestServer("pure-ftpd");  // -C 1
  RecordingListener firstListener, secondListener;
  CFtp first, second;
  first.SetListener(&firstListener);
  second.SetListener(&secondListener);
  ASSERT_TRUE(ConnectTo(first, *server)) << testing::PrintToString(firstListener.errors);
  EXPECT_FALSE(ConnectTo(second, *server));
  ASSERT_EQ(secondListener.errors.size(), 1u) << testing::PrintToString(secondListener.errors);
  EXPECT_EQ(secondListener.errors[0].rfind("!421 ", 0), 0u) << secondListener.errors[0];
  // Once the first has closed, the server takes the next session.
  first.CloseConnection();
  EXPECT_TRUE(ConnectTo(second, *server)) << testing::PrintToString(secondListener.errors);
}

}  // namespace
