#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "FtpTestHelpers.h"
#include "PureFtpTestServer.h"

// The load guard: 100 sessions log in, ten at a time, while every core is kept busy. A session that
// stalls (a command the server left unread, a reply the client missed) runs into its stall bound and
// fails, so every one of them must come through.
namespace {

constexpr int kSessions = 100;
constexpr int kAtATime = 10;

// Keeps every core busy for as long as it lives.
class BusyMachine {
 public:
  BusyMachine() {
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
      spinners_.emplace_back([this] {
        unsigned long spin = 0;
        while (!stop_.load(std::memory_order_relaxed)) spin = spin * 31 + 1;
        spins_ += spin;  // keeps the loop from being optimised away
      });
    }
  }
  ~BusyMachine() {
    stop_ = true;
    for (auto& spinner : spinners_) spinner.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<unsigned long> spins_{0};
  std::vector<std::thread> spinners_;
};

class Load : public testing::TestWithParam<std::string> {
 protected:
  // One session: log in, ask something that needs the server's answer, say goodbye.
  void OneSession() {
    RecordingListener listener;
    CFtp ftp;
    ftp.SetListener(&listener);
    FtpLimits limits;
    limits.connectTimeout = std::chrono::seconds(10);
    limits.stallTimeout = std::chrono::seconds(10);
    ftp.SetLimits(limits);
    ftp.SetTls(FtpTls::Optional);
    ftp.Port(static_cast<int16_t>(server_->port()));
    bool ok = ftp.Connect("127.0.0.1", server_->user(), server_->password()) && ftp.GetCurrDir() == "/" &&
              ftp.LastOutcome() && ftp.FileExist("brain.txt") && ftp.CloseConnection();
    std::lock_guard<std::mutex> lock(mutex_);
    if (ok) ++completed_;
    for (const auto& error : listener.errors) errors_.push_back(error);
  }

  std::unique_ptr<RealFtpServer> server_;
  std::mutex mutex_;
  int completed_ = 0;
  std::vector<std::string> errors_;
};

TEST_P(Load, AHundredSessionsTenAtATimeOnABusyMachineAllComeThrough) {
  if (GetParam() == "pure-ftpd") {
    server_ = std::make_unique<PureFtpTestServer>();  // no limit per address here
  } else {
    server_ = std::make_unique<FtpTestServer>();
  }
  server_->WriteText("brain.txt", "hej,hej\r\n");
  BusyMachine busy;
  std::atomic<int> next{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kAtATime; ++i) {
    clients.emplace_back([&] {
      while (next.fetch_add(1) < kSessions) OneSession();
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(completed_, kSessions) << testing::PrintToString(errors_) << server_->log();
  EXPECT_TRUE(errors_.empty()) << testing::PrintToString(errors_);
}

INSTANTIATE_TEST_SUITE_P(Servers, Load, testing::ValuesIn(kTestServerKinds), TestServerKindName);

}  // namespace
