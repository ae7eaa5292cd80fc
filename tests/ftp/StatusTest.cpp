#include <gtest/gtest.h>

#include <algorithm>

#include "FtpTestHelpers.h"
#include "ftp/InetCodes.h"

namespace {

bool Has(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

class Status : public testing::Test {
 protected:
  void SetUp() override { ftp.SetListener(&listener); }
  void Notify(int32_t code, int32_t count) { ftp.CallbackFunc(code, &count, sizeof count); }
  void Notify(int32_t code, const std::string& text) {
    ftp.CallbackFunc(code, text.c_str(), static_cast<int32_t>(text.size() + 1));
  }

  RecordingListener listener;
  CFtp ftp;
};

TEST_F(Status, LoginWithoutAllMessagesReportsOnlyTheConnection) {
  FtpTestServer server;
  ASSERT_TRUE(ConnectTo(ftp, server));
  EXPECT_EQ(listener.statuses,
            (std::vector<std::string>{"Resolving address for '127.0.0.1'", "Address resolved: '127.0.0.1'",
                                      "Connecting to '127.0.0.1'", "Connected to '127.0.0.1'"}));
  ftp.CloseConnection();
  EXPECT_EQ(listener.statuses.back(), "Connection closed");
  EXPECT_EQ(listener.statuses[listener.statuses.size() - 2], "Closing connection...");
}

TEST_F(Status, LoginWithAllMessagesAddsRequestsResponsesAndHandles) {
  FtpTestServer server;
  ftp.ShowAllMessages(true);
  ASSERT_TRUE(ConnectTo(ftp, server));
  // "USER vimo\r\n" is 11 bytes.
  EXPECT_TRUE(Has(listener.statuses, "Sending request: 11 bytes"));
  EXPECT_TRUE(Has(listener.statuses, "Request sent: 11 bytes"));
  EXPECT_TRUE(Has(listener.statuses, "Waiting for response..."));
  EXPECT_TRUE(Has(listener.statuses, "Response received: "));
  EXPECT_TRUE(Has(listener.statuses, "Handle created: "));
  ftp.CloseConnection();
  EXPECT_EQ(listener.statuses.back(), "Handle closed");
}

TEST_F(Status, TextsOfTheRemainingCodes) {
  Notify(inet::kStatusRedirect, std::string("elsewhere"));
  Notify(inet::kStatusDetectingProxy, 0);
  Notify(inet::kStatusRequestComplete, 0);
  Notify(inet::kStatusIntermediateResponse, 0);
  Notify(inet::kStatusStateChange, 1);
  Notify(inet::kStatusStateChange, 0x300);
  Notify(inet::kStatusStateChange, 512);
  Notify(inet::kStatusSendingRequest, 5);  // chatty, and no transfer is marked
  Notify(999, 5);
  EXPECT_EQ(listener.statuses,
            (std::vector<std::string>{"Request redirected to elsewhere", "Detecting proxy",
                                      "Request completed", "Receiving intermediate status message",
                                      "Connected state moved between secure and nonsecure site",
                                      "Network requests are being made (by Wininet)"}));
  EXPECT_TRUE(listener.progress.empty());
  EXPECT_EQ(listener.completions, 0);
}

TEST_F(Status, DownloadProgressCountsResponsesQuietlyAndCompletesOnce) {
  FtpTestServer server;
  server.WriteFile("data.bin", PatternBytes(300000));
  ftp.ShowAllMessages(true);
  ASSERT_TRUE(ConnectTo(ftp, server));
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.ListDir());
  listener.Clear();
  TempFolder local;
  ASSERT_TRUE(ftp.GetFile("data.bin", local / "data.bin"));
  auto completed = std::find(listener.events.begin(), listener.events.end(), "completed");
  ASSERT_NE(completed, listener.events.end());
  for (auto it = listener.events.begin(); it != completed; ++it) {
    EXPECT_EQ(it->find("Response received"), std::string::npos) << *it;
  }
  EXPECT_EQ(listener.completions, 1);
  ASSERT_FALSE(listener.progress.empty());
  double last = 0;
  for (const auto& step : listener.progress) {
    EXPECT_GE(step.received, last);
    EXPECT_EQ(step.size, 300000.0);
    EXPECT_EQ(step.percent, CFtp::ProgressPercent(step.received, step.size));
    last = step.received;
  }
  EXPECT_GE(last, 300000.0);
  EXPECT_EQ(listener.progress.back().percent, 100);
}

TEST_F(Status, UnknownSizeGivesZeroPercent) {
  FtpTestServer server;
  server.WriteFile("data.bin", PatternBytes(5000));
  ASSERT_TRUE(ConnectTo(ftp, server));
  TempFolder local;
  ASSERT_TRUE(ftp.GetFile("data.bin", local / "data.bin"));  // no listing: the size stays unknown
  ASSERT_FALSE(listener.progress.empty());
  for (const auto& step : listener.progress) EXPECT_EQ(step.percent, 0);
}

}  // namespace
