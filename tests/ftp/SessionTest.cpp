#include <gtest/gtest.h>

#include "FtpTestHelpers.h"

namespace {

class Session : public testing::Test {
 protected:
  void SetUp() override {
    ftp.SetListener(&listener);
    ftp.SetLimits(ShortLimits());
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
  ScratchFolder local;
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
