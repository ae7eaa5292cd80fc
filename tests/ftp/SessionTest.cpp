#include <gtest/gtest.h>

#include "FtpTestHelpers.h"

namespace {

TEST(Session, ConnectsWithTheServerAccountAndCloses) {
  FtpTestServer server;
  CFtp ftp;
  RecordingListener listener;
  ftp.SetListener(&listener);
  ASSERT_TRUE(ConnectTo(ftp, server)) << testing::PrintToString(listener.errors) << server.log();
  EXPECT_TRUE(ftp.IsConnected());
  EXPECT_TRUE(listener.errors.empty());
  ftp.CloseConnection();
  EXPECT_FALSE(ftp.IsConnected());
  for (auto& e : listener.events) std::printf("%s\n", e.c_str());
}

}  // namespace
