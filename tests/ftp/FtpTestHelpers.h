#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FtpTestServer.h"
#include "SyncTestFiles.h"
#include "ftp/CFtp.h"

// Records every event of a CFtp in order, as readable lines, and lets a test act from inside an event.
class RecordingListener : public CFtpListener {
 public:
  struct Progress {
    int32_t percent;
    double received;
    double size;
  };

  void ErrorMsg(const std::string& sErr) override {
    errors.push_back(sErr);
    events.push_back("error " + sErr);
    if (onError) onError(sErr);
  }
  void StatusMsg(const std::string& Msg) override {
    statuses.push_back(Msg);
    events.push_back("status " + Msg);
    if (onStatus) onStatus(Msg);
  }
  void TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) override {
    progress.push_back({nPercent, fBytesReceived, fFileSize});
    events.push_back("progress");
    if (onProgress) onProgress();
  }
  void TransferCompleted() override {
    ++completions;
    events.push_back("completed");
    if (onCompleted) onCompleted();
  }

  void Clear() {
    errors.clear();
    statuses.clear();
    progress.clear();
    events.clear();
    completions = 0;
  }

  std::vector<std::string> errors;
  std::vector<std::string> statuses;
  std::vector<Progress> progress;
  std::vector<std::string> events;
  int completions = 0;
  std::function<void()> onCompleted;
  std::function<void()> onProgress;
  std::function<void(const std::string&)> onError;
  std::function<void(const std::string&)> onStatus;
};

// Short bounds so that fault tests end in seconds.
inline FtpLimits ShortLimits() {
  FtpLimits limits;
  limits.connectTimeout = std::chrono::seconds(3);
  limits.stallTimeout = std::chrono::seconds(2);
  return limits;
}

// Points `ftp` at `server` and logs in with its account.
inline bool ConnectTo(CFtp& ftp, const RealFtpServer& server) {
  ftp.SetLimits(ShortLimits());
  ftp.SetTls(FtpTls::Optional);
  ftp.Port(static_cast<int16_t>(server.port()));
  return ftp.Connect("127.0.0.1", server.user(), server.password());
}

// `size` bytes of a repeating, position-dependent pattern, so that lost or reordered bytes show.
std::string PatternBytes(size_t size);

// A fixture with a fresh server and a client logged in to it, its events recorded from after the
// login on. The listener is declared before the client, which reports its closing to it.
class ConnectedClientTest : public testing::Test {
 protected:
  void SetUp() override {
    ftp.SetListener(&listener);
    ASSERT_TRUE(ConnectTo(ftp, server)) << server.log();
    listener.Clear();
  }

  FtpTestServer server;
  TempFolder local;
  RecordingListener listener;
  CFtp ftp;
};
