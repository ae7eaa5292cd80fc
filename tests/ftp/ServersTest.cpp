#include <gtest/gtest.h>

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
  ScratchFolder local;
  RecordingListener listener;
  CFtp ftp;
};

TEST_P(BothServers, TextAndWindows1252NamesTravelAsTheProgramSendsThem) {
  const std::string name = Utf8ToWindows1252("användare.txt");
  const std::string text =
      "rad ett\r\nr\xE4"
      "d tv\xE5\r\n";
  server().WriteText("användare.txt", "gammal\r\n");
  WriteLocal(local / "up.txt", text);
  ftp.TransferType(1);
  ASSERT_TRUE(ftp.PutFile(local / "up.txt", name)) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server().ReadText("användare.txt"), text);
  ASSERT_TRUE(ftp.GetFile(name, local / "down.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadLocal(local / "down.txt"), text);
  ASSERT_TRUE(ftp.ListDir());
  ASSERT_EQ(ftp.Files().Count(), 1);
  EXPECT_EQ(ftp.Files().Item(1).FileName(), name);
}

TEST_P(BothServers, BinaryFilesAreByteExactBothWays) {
  const std::string bytes = PatternBytes(70000);
  server().WriteFile("sub/in.bin", bytes);
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.GetFile("sub/in.bin", local / "in.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadLocal(local / "in.bin"), bytes);
  ASSERT_TRUE(ftp.PutFile(local / "in.bin", "sub/out.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server().ReadFile("sub/out.bin"), bytes);
}

INSTANTIATE_TEST_SUITE_P(Servers, BothServers, testing::ValuesIn(kTestServerKinds), TestServerKindName);

}  // namespace
