#include <gtest/gtest.h>

#include "FtpTestHelpers.h"

namespace {

class Session : public testing::Test {
 protected:
  void SetUp() override {
    ftp.SetListener(&listener);
    ftp.SetLimits(ShortLimits());
    ftp.SetTls(FtpTls::Optional);
  }
  RecordingListener listener;
  CFtp ftp;
};

TEST_F(Session, EmptyUserNameLogsInAnonymouslyReplacingTheGivenPassword) {
  FtpTestServer server({}, "anonymous", "guest");
  ftp.Port(static_cast<int16_t>(server.port()));
  ASSERT_TRUE(ftp.Connect("127.0.0.1", "", "not-this-one")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ftp.UserName(), "anonymous");
  EXPECT_EQ(ftp.Password(), "guest");
}

TEST_F(Session, EmptyArgumentsReuseTheStoredHostUserAndPassword) {
  FtpTestServer server;
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.CloseConnection();
  ASSERT_FALSE(ftp.IsConnected());
  listener.Clear();
  ASSERT_TRUE(ftp.Connect()) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ftp.RemoteHost(), "127.0.0.1");
  EXPECT_EQ(ftp.UserName(), server.user());
  // Connecting again while connected first closes the old connection.
  listener.Clear();
  ASSERT_TRUE(ftp.Connect());
  ASSERT_GE(listener.statuses.size(), 2u);
  EXPECT_EQ(listener.statuses[0], "Closing connection...");
  EXPECT_EQ(listener.statuses[1], "Connection closed");
}

TEST_F(Session, PortDefaultsTo21WhenRead) {
  EXPECT_EQ(ftp.Port(), 21);
  ftp.Port(2121);
  EXPECT_EQ(ftp.Port(), 2121);
}

TEST_F(Session, ProxyNameOfBlanksMeansDirectAccess) {
  FtpTestServer server;
  ftp.Port(static_cast<int16_t>(server.port()));
  ASSERT_TRUE(ftp.Connect("127.0.0.1", server.user(), server.password(), "   "));
  EXPECT_EQ(ftp.ProxyName(), "");
}

TEST_F(Session, AProxyNameSendsTheConnectionThroughTheProxy) {
  FtpTestServer server;
  ftp.Port(static_cast<int16_t>(server.port()));
  // The proxy would be 127.0.0.1 at the FTP server's own port, which does not speak the proxy protocol.
  EXPECT_FALSE(ftp.Connect("127.0.0.1", server.user(), server.password(), " 127.0.0.1 "));
  EXPECT_EQ(ftp.ProxyName(), "127.0.0.1");
  EXPECT_FALSE(listener.errors.empty());
  EXPECT_FALSE(ftp.IsConnected());
}

TEST_F(Session, StaysConnectedAfterTheServerDropsUntilClosed) {
  FtpTestServer server;
  ASSERT_TRUE(ConnectTo(ftp, server));
  server.Stop();
  EXPECT_TRUE(ftp.IsConnected());
  ftp.CloseConnection();
  EXPECT_FALSE(ftp.IsConnected());
}

TEST_F(Session, ClosingANeverConnectedObjectRaisesNothing) {
  ftp.CloseConnection();
  EXPECT_TRUE(listener.events.empty());
  EXPECT_FALSE(ftp.IsConnected());
}

TEST_F(Session, EveryOperationWithoutASessionSaysNoSession) {
  TempFolder local;
  std::string buffer = "unchanged";
  EXPECT_FALSE(ftp.FileExist("a"));
  EXPECT_FALSE(ftp.GetFile("a", local / "a"));
  EXPECT_FALSE(ftp.PutFile(local / "a", "a"));
  EXPECT_FALSE(ftp.DownloadFile("a", local / "a"));
  EXPECT_FALSE(ftp.UploadFile(local / "a", "a"));
  EXPECT_FALSE(ftp.ReadAsciiFile("a", buffer));
  EXPECT_FALSE(ftp.WriteAsciiFile("a", "text"));
  EXPECT_FALSE(ftp.ListDir());
  EXPECT_FALSE(ftp.MakeDir("d"));
  EXPECT_FALSE(ftp.ChangeDir("d"));
  EXPECT_EQ(ftp.GetCurrDir(), "");
  EXPECT_FALSE(ftp.DeleteFile("a"));
  EXPECT_FALSE(ftp.DeleteDir("d"));
  EXPECT_FALSE(ftp.RenFile("a", "b"));
  EXPECT_EQ(listener.errors, std::vector<std::string>(14, "!No session"));
  EXPECT_EQ(buffer, "unchanged");
  EXPECT_FALSE(std::filesystem::exists(local / "a"));
}

TEST_F(Session, LastResponseInfoKeepsTheServersReplyAfterClosing) {
  FtpTestServer server;
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.CloseConnection();
  std::string reply = ftp.LastResponseInfo();
  ASSERT_GE(reply.size(), 5u);
  EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
  EXPECT_TRUE(reply[0] >= '1' && reply[0] <= '5') << reply;
}

TEST_F(Session, NoCallWaitsOutTheStallBoundForAServerThatNeverSaysGoodbye) {
  FtpTestServer server({"--silent-quit"});
  server.WriteFile("a.txt", "a");
  TempFolder local;
  FtpLimits patient = ShortLimits();
  patient.stallTimeout = std::chrono::seconds(20);
  for (bool byDestructor : {false, true}) {
    SCOPED_TRACE(byDestructor ? "destructor" : "CloseConnection");
    auto client = std::make_unique<CFtp>();
    client->SetTls(FtpTls::Optional);
    client->Port(static_cast<int16_t>(server.port()));
    client->SetLimits(patient);
    ASSERT_TRUE(client->Connect("127.0.0.1", server.user(), server.password()));
    // A piecewise transfer says goodbye on its own connection when it ends; the session does at closing.
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client->GetFile("a.txt", local / "a.txt"));
    ASSERT_TRUE(client->DownloadFile("a.txt", local / "b.txt"));
    if (byDestructor) {
      client.reset();
    } else {
      client->CloseConnection();
      EXPECT_FALSE(client->IsConnected());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, patient.stallTimeout / 2);
  }
}

TEST_F(Session, DestroyingTheObjectClosesItsConnection) {
  FtpTestServer server;
  {
    CFtp temporary;
    temporary.SetListener(&listener);
    ASSERT_TRUE(ConnectTo(temporary, server));
    listener.Clear();
  }
  EXPECT_EQ(listener.statuses, (std::vector<std::string>{"Closing connection...", "Connection closed"}));
}

}  // namespace

TEST_F(Session, ClosingOneObjectLeavesTheOthersSessionWorkingInEitherOrder) {
  FtpTestServer server;
  server.WriteFile("here.txt", "here");
  TempFolder local;
  for (bool oldestFirst : {true, false}) {
    SCOPED_TRACE(oldestFirst ? "oldest first" : "newest first");
    auto older = std::make_unique<CFtp>();
    auto newer = std::make_unique<CFtp>();
    for (CFtp* each : {older.get(), newer.get()}) {
      ASSERT_TRUE(ConnectTo(*each, server));
      each->SetListener(&listener);
      EXPECT_FALSE(each->GetFile("missing.txt", local / "missing.txt"));
    }
    std::unique_ptr<CFtp>& goesFirst = oldestFirst ? older : newer;
    std::unique_ptr<CFtp>& staysOn = oldestFirst ? newer : older;
    goesFirst.reset();
    listener.Clear();
    EXPECT_TRUE(staysOn->GetFile("here.txt", local / "here.txt")) << testing::PrintToString(listener.errors);
    auto start = std::chrono::steady_clock::now();
    staysOn.reset();
    // The server answers the goodbye at once, so nothing waits for the stall bound of ShortLimits().
    EXPECT_LT(std::chrono::steady_clock::now() - start, ShortLimits().stallTimeout);
  }
}
