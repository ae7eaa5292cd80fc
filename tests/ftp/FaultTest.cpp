#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "FtpTestHelpers.h"

namespace {

using Clock = std::chrono::steady_clock;

class Faults : public testing::Test {
 protected:
  void SetUp() override { ftp.SetListener(&listener); }

  // After any fault, a new session against a healthy server must work.
  void ExpectUsableAgain() {
    FtpTestServer healthy;
    healthy.WriteFile("ok.txt", "ok");
    listener.Clear();
    ASSERT_TRUE(ConnectTo(ftp, healthy)) << testing::PrintToString(listener.errors);
    ASSERT_TRUE(ftp.GetFile("ok.txt", local / "ok.txt"));
    EXPECT_EQ(ReadBytes(local / "ok.txt"), "ok");
  }

  TempFolder local;
  RecordingListener listener;
  CFtp ftp;
};

TEST_F(Faults, RefusedLoginAndWrongPasswordCarryTheServersReply) {
  {
    FtpTestServer refusing({"--refuse-login"});
    EXPECT_FALSE(ConnectTo(ftp, refusing));
    EXPECT_EQ(listener.errors, std::vector<std::string>{"!530 Login refused.\r\n"});
    EXPECT_FALSE(ftp.IsConnected());
  }
  listener.Clear();
  FtpTestServer server;
  ftp.Port(static_cast<int16_t>(server.port()));
  EXPECT_FALSE(ftp.Connect("127.0.0.1", server.user(), "wrong"));
  ASSERT_EQ(listener.errors.size(), 1u);
  EXPECT_EQ(listener.errors[0].rfind("!530 ", 0), 0u) << listener.errors[0];
  ExpectUsableAgain();
}

TEST_F(Faults, UnknownHostAndRefusedPort) {
  ftp.SetLimits(ShortLimits());
  EXPECT_FALSE(ftp.Connect("no-such-host.invalid", "u", "p"));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Server name could not be resolved"});
  EXPECT_EQ(ftp.Port(), 21);
  listener.Clear();
  // A port bound but never listened on refuses connections, and holding it keeps another test's
  // server from taking it meanwhile.
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(probe, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ftp.Port(static_cast<int16_t>(ntohs(address.sin_port)));
  EXPECT_FALSE(ftp.Connect("127.0.0.1"));
  close(probe);
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Connection attempt failed"});
  ExpectUsableAgain();
}

TEST_F(Faults, AServerThatNeverGreetsTimesOut) {
  int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(silent, 4), 0);  // the kernel accepts, nobody ever answers
  getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
  ftp.SetLimits(ShortLimits());
  ftp.Port(static_cast<int16_t>(ntohs(address.sin_port)));
  auto start = Clock::now();
  EXPECT_FALSE(ftp.Connect("127.0.0.1", "u", "p"));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
  close(silent);
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Request timed out"});
}

TEST_F(Faults, MissingFileGives550WithoutCompletionOrLocalFile) {
  FtpTestServer server({"--fail-name", "refused.txt"});
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.GetFile("/brain.txt", local / "brain.txt"));
  server.WriteFile("refused.txt", "x");
  EXPECT_FALSE(ftp.GetFile("refused.txt", local / "refused.txt"));
  EXPECT_FALSE(ftp.FileExist("refused.txt"));
  ASSERT_EQ(listener.errors.size(), 2u);
  EXPECT_EQ(listener.errors[0].rfind("!550 ", 0), 0u) << listener.errors[0];
  EXPECT_EQ(listener.errors[1], "!550 refused.txt: refused by the test server.\r\n");
  EXPECT_EQ(listener.completions, 0);
  EXPECT_TRUE(std::filesystem::is_empty(local.path()));
}

TEST_F(Faults, AReplyTooLongToRetrieveGivesTheGeneralText) {
  std::string longName(300, 'n');
  FtpTestServer server({"--fail-name", longName});
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.DeleteFile(longName));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Extended error returned from server"});
  EXPECT_GT(ftp.LastResponseInfo().size(), 300u);
}

TEST_F(Faults, DroppedDownloadKeepsTheOldLocalFileOrThePartialChunks) {
  FtpTestServer server({"--drop-after-bytes", "3000"});
  server.WriteFile("brain.txt", PatternBytes(100000));
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.TransferType(2);
  WriteBytes(local / "brain.txt", "previous brain");
  EXPECT_FALSE(ftp.GetFile("brain.txt", local / "brain.txt"));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Connection has been terminated"});
  EXPECT_EQ(ReadBytes(local / "brain.txt"), "previous brain");

  listener.Clear();
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.DownloadFile("brain.txt", local / "partial.txt"));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Connection has been terminated"});
  EXPECT_EQ(ReadBytes(local / "partial.txt"), PatternBytes(3000));
  EXPECT_EQ(listener.completions, 1);

  // The same break when the acceptance, the bytes and the drop are all waiting by the time the client
  // first looks at the connection, as on a busy machine: the client dawdles after each command it sends.
  listener.Clear();
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.ShowAllMessages(true);
  listener.onStatus = [](const std::string& status) {
    if (status.rfind("Request sent", 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(150));
  };
  EXPECT_FALSE(ftp.DownloadFile("brain.txt", local / "late.txt"));
  listener.onStatus = nullptr;
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Connection has been terminated"});
  EXPECT_EQ(ReadBytes(local / "late.txt"), PatternBytes(3000));
  EXPECT_EQ(listener.completions, 1);
  ftp.ShowAllMessages(false);
  ExpectUsableAgain();
}

TEST_F(Faults, DroppedUploadIsReportedAsAFailure) {
  FtpTestServer server({"--drop-after-bytes", "4096", "--drop-name", "brain.txt"});
  WriteBytes(local / "brain.txt", PatternBytes(200000));
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.TransferType(2);
  EXPECT_FALSE(ftp.PutFile(local / "brain.txt", "brain.txt"));
  ASSERT_EQ(listener.errors.size(), 1u);
  EXPECT_EQ(listener.errors[0], "!Connection has been terminated");

  listener.Clear();
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.UploadFile(local / "brain.txt", "brain.txt"));
  EXPECT_FALSE(listener.errors.empty());
  ExpectUsableAgain();
}

TEST_F(Faults, StalledTransfersTimeOut) {
  FtpTestServer server({"--stall-name", "slow.bin"});
  server.WriteFile("slow.bin", PatternBytes(5000));
  WriteBytes(local / "up.bin", PatternBytes(5000));
  ASSERT_TRUE(ConnectTo(ftp, server));
  // While the server is silent the owner's events keep running, and may close the session.
  int pumped = 0;
  ftp.SetEventPump([&] { ++pumped; });
  auto start = Clock::now();
  EXPECT_FALSE(ftp.GetFile("slow.bin", local / "slow.bin"));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Request timed out"});
  EXPECT_GT(pumped, 20);
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.SetEventPump([&] { ftp.CloseConnection(); });
  listener.Clear();
  auto closing = Clock::now();
  EXPECT_FALSE(ftp.GetFile("slow.bin", local / "slow.bin"));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Operation cancelled"});
  EXPECT_LT(Clock::now() - closing, std::chrono::seconds(1));
  ftp.SetEventPump(nullptr);
  listener.Clear();
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.PutFile(local / "up.bin", "slow.bin"));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Request timed out"});
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(40));
  ExpectUsableAgain();
}

TEST_F(Faults, LocalFilesThatCannotBeCreated) {
  FtpTestServer server;
  server.WriteFile("a.txt", "a");
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.GetFile("a.txt", local / "no-folder" / "a.txt"));
  EXPECT_FALSE(ftp.DownloadFile("a.txt", local / "no-folder" / "a.txt"));
  ASSERT_EQ(listener.errors.size(), 2u);
  EXPECT_EQ(listener.errors[0].front(), '!');
  EXPECT_NE(listener.errors[1].front(), '!');  // the file system's own description
  EXPECT_EQ(listener.completions, 0);
  EXPECT_TRUE(ftp.GetFile("a.txt", local / "a.txt"));
}

TEST_F(Faults, NamesWithLineBreaksNeverReachTheServer) {
  FtpTestServer server;
  server.WriteFile("keep.txt", "k");
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_FALSE(ftp.DeleteFile("x\r\nDELE keep.txt"));
  EXPECT_FALSE(ftp.GetFile("x\r\nDELE keep.txt", local / "x"));
  EXPECT_FALSE(ftp.GetFile("", local / "x"));
  EXPECT_TRUE(server.Exists("keep.txt"));
  EXPECT_EQ(listener.errors, std::vector<std::string>(3, "!Invalid request format"));
}

TEST_F(Faults, ListingWithOddNamesAndTheServerGoneMidSession) {
  FtpTestServer server;
  server.WriteFile("  leading and  double blanks.txt", "1");
  server.WriteFile("Åäö ÉŠ.txt", "2");
  ASSERT_TRUE(ConnectTo(ftp, server));
  ASSERT_TRUE(ftp.ListDir()) << testing::PrintToString(listener.errors);
  ASSERT_EQ(ftp.Files().Count(), 2);
  EXPECT_EQ(ftp.Files().Item("__leading_and__double_blanks.txt").FileName(),
            "  leading and  double blanks.txt");
  EXPECT_EQ(ftp.Files().Item("\xC5\xE4\xF6_\xC9\x8A.txt").FileName(), "\xC5\xE4\xF6 \xC9\x8A.txt");
  server.Stop();
  // The lost connection is reported, not quietly made again.
  EXPECT_FALSE(ftp.ListDir());
  EXPECT_EQ(ftp.Files().Count(), 0);
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Connection has been terminated"});
  ExpectUsableAgain();
}

}  // namespace
