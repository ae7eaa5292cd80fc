#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "FtpTestHelpers.h"
#include "PureFtpTestServer.h"

// Explicit TLS against our server and pure-ftpd, each offering it with a self-signed certificate. A relay
// between client and server records what the client puts on the control connection.
namespace {

// Forwards connections, one after the other, from an ephemeral port of 127.0.0.1 to `port`, keeping a
// copy of the bytes that go towards the server. Told to strip TLS, it plays the man in the middle that
// answers AUTH itself with "500", as a server without TLS would.
class RecordingRelay {
 public:
  explicit RecordingRelay(int port) : target_(port) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("relay cannot listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~RecordingRelay() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  int port() const { return port_; }
  std::string toServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    return toServer_;
  }
  void StripTls() {
    std::lock_guard<std::mutex> lock(mutex_);
    stripTls_ = true;
    toServer_.clear();
  }

 private:
  void Run() {
    pollfd waiting{listener_, POLLIN, 0};
    while (!stop_) {
      if (poll(&waiting, 1, 50) > 0) Forward(accept(listener_, nullptr, nullptr));
    }
  }

  // Whether the client's bytes were an AUTH command that the relay answered itself.
  bool AnsweredAuth(int client, std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    toServer_.append(bytes);
    if (!stripTls_ || bytes.substr(0, 5) != "AUTH ") return false;
    std::string_view refusal = "500 AUTH not understood.\r\n";
    return write(client, refusal.data(), refusal.size()) == static_cast<ssize_t>(refusal.size());
  }

  void Forward(int client) {
    int server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(target_));
    if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      char buffer[4096];
      while (!stop_) {
        if (poll(ends, 2, 50) <= 0) continue;
        ssize_t got = 0;
        if (ends[0].revents != 0) {
          got = read(client, buffer, sizeof buffer);
          if (got <= 0) break;
          if (AnsweredAuth(client, std::string_view(buffer, static_cast<size_t>(got)))) continue;
          if (write(server, buffer, static_cast<size_t>(got)) != got) break;
        }
        if (ends[1].revents != 0) {
          got = read(server, buffer, sizeof buffer);
          if (got <= 0 || write(client, buffer, static_cast<size_t>(got)) != got) break;
        }
      }
    }
    close(server);
    close(client);
  }

  int target_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string toServer_;
  bool stripTls_ = false;
  std::thread thread_;
};

class Tls : public testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    certificates_ = std::make_unique<TempFolder>();
    serverCertificate_ = MakeTestCertificate(certificates_->path(), "server");
    otherCertificate_ = MakeTestCertificate(certificates_->path(), "other");
  }
  static void TearDownTestSuite() {
    server_.reset();
    certificates_.reset();
  }
  void SetUp() override {
    if (server_ == nullptr || server_->kind() != GetParam()) {
      server_.reset();
      if (GetParam() == "pure-ftpd") {
        PureFtpOptions options;
        options.tlsCertificate = serverCertificate_.combined;
        server_ = std::make_unique<PureFtpTestServer>(options);
      } else {
        server_ = std::make_unique<FtpTestServer>(
            std::vector<std::string>{"--tls-cert", serverCertificate_.combined.string()});
      }
    }
    ftp.SetListener(&listener);
    ftp.SetTlsMemory(local / "tls-servers.txt");
  }

  bool ConnectThrough(RecordingRelay& relay, const std::filesystem::path& caFile) {
    ftp.SetLimits(ShortLimits());
    ftp.SetTlsAuthorities(caFile);
    ftp.Port(static_cast<int16_t>(relay.port()));
    return ftp.Connect("127.0.0.1", server_->user(), server_->password());
  }

  static inline std::unique_ptr<TempFolder> certificates_;
  static inline TestCertificate serverCertificate_;
  static inline TestCertificate otherCertificate_;
  static inline std::unique_ptr<RealFtpServer> server_;
  TempFolder local;
  RecordingListener listener;
  CFtp ftp;
};

TEST_P(Tls, TheLoginAndTheDataTravelEncryptedToAServerOfferingTls) {
  server_->WriteText("medd.txt", "hemligt meddelande\r\n");
  RecordingRelay relay(server_->port());
  ASSERT_TRUE(ConnectThrough(relay, serverCertificate_.certificate))
      << testing::PrintToString(listener.errors);
  ftp.TransferType(1);
  ASSERT_TRUE(ftp.GetFile("medd.txt", local / "medd.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "medd.txt"), "hemligt meddelande\r\n");
  ASSERT_TRUE(ftp.PutFile(local / "medd.txt", "tillbaka.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server_->ReadText("tillbaka.txt"), "hemligt meddelande\r\n");
  ftp.CloseConnection();
  std::string wire = relay.toServer();
  EXPECT_EQ(wire.rfind("AUTH TLS\r\n", 0), 0u) << wire.substr(0, 40);
  EXPECT_EQ(wire.find(server_->password()), std::string::npos);
  EXPECT_EQ(wire.find("PASS"), std::string::npos);
  EXPECT_EQ(wire.find("RETR"), std::string::npos);
}

TEST_P(Tls, ACertificateNotFromTheTrustedAuthorityIsRefusedBeforeTheLogin) {
  for (const auto& authorities : {otherCertificate_.certificate, std::filesystem::path()}) {
    RecordingRelay relay(server_->port());
    listener.Clear();
    EXPECT_FALSE(ConnectThrough(relay, authorities));
    EXPECT_EQ(listener.errors, std::vector<std::string>{"!The server's certificate could not be verified"});
    EXPECT_FALSE(ftp.IsConnected());
    std::string wire = relay.toServer();
    EXPECT_EQ(wire.find(server_->password()), std::string::npos);
    EXPECT_EQ(wire.find("USER"), std::string::npos) << "no plain login after a failed verification";
  }
}

TEST_P(Tls, AServerThatOnceCompletedTlsIsNeverLoggedInToInClearAgain) {
  RecordingRelay relay(server_->port());
  ftp.SetTls(FtpTls::Optional);
  ASSERT_TRUE(ConnectThrough(relay, serverCertificate_.certificate))
      << testing::PrintToString(listener.errors);
  ftp.CloseConnection();
  relay.StripTls();
  listener.Clear();
  EXPECT_FALSE(ConnectThrough(relay, serverCertificate_.certificate));
  EXPECT_EQ(listener.errors,
            std::vector<std::string>{"!The secure channel to the server could not be set up"});
  EXPECT_NE(relay.toServer().find("AUTH"), std::string::npos);
  EXPECT_EQ(relay.toServer().find("USER"), std::string::npos) << relay.toServer();

  // A copy that never spoke TLS with the server takes the stripped session for a plain server; one that
  // must have TLS refuses it as well.
  CFtp stranger;
  stranger.SetTls(FtpTls::Optional);
  stranger.SetTlsMemory(local / "stranger.txt");
  stranger.Port(static_cast<int16_t>(relay.port()));
  EXPECT_TRUE(stranger.Connect("127.0.0.1", server_->user(), server_->password()));
  stranger.CloseConnection();
  relay.StripTls();
  ftp.SetTls(FtpTls::Required);
  ftp.SetTlsMemory(local / "nothing-remembered.txt");
  EXPECT_FALSE(ConnectThrough(relay, serverCertificate_.certificate));
  EXPECT_EQ(relay.toServer().find("USER"), std::string::npos) << relay.toServer();
}

INSTANTIATE_TEST_SUITE_P(Servers, Tls, testing::ValuesIn(kTestServerKinds), TestServerKindName);

}  // namespace
