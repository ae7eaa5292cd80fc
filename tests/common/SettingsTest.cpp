#include <gtest/gtest.h>

#include <cstdlib>

#include "Settings.h"

TEST(Settings, EnvironmentOverridesTheCompiledInAccount) {
  ::setenv("VIMO_FTP_HOST", "ftp.example.org", 1);
  ::setenv("VIMO_FTP_PORT", "2121", 1);
  ::setenv("VIMO_FTP_USER", "vimo@example.org", 1);
  ::setenv("VIMO_FTP_PASSWORD", "12345678", 1);
  ServerSettings s = ReadServerSettings();
  EXPECT_EQ(s.host, "ftp.example.org");
  EXPECT_EQ(s.port, 2121);
  EXPECT_EQ(s.user, "vimo@example.org");
  EXPECT_EQ(s.password, "12345678");
  ::setenv("VIMO_FTP_PORT", "45079", 1);  // an ephemeral port beyond the signed 16-bit range
  EXPECT_EQ(static_cast<std::uint16_t>(ReadServerSettings().port), 45079);
  for (const char* bad : {"not a port", "0", "65536", "21x"}) {
    ::setenv("VIMO_FTP_PORT", bad, 1);
    EXPECT_EQ(ReadServerSettings().port, 21) << bad;
  }
  ::setenv("VIMO_FTP_TLS", "optional", 1);
  EXPECT_EQ(ReadServerSettings().tls, FtpTls::Optional);
  for (const char* mistyped : {"Optional", "no"}) {
    ::setenv("VIMO_FTP_TLS", mistyped, 1);
    EXPECT_EQ(ReadServerSettings().tls, FtpTls::Required) << mistyped;
  }
  for (const char* name :
       {"VIMO_FTP_HOST", "VIMO_FTP_PORT", "VIMO_FTP_USER", "VIMO_FTP_PASSWORD", "VIMO_FTP_TLS"})
    ::unsetenv(name);
  EXPECT_FALSE(ReadServerSettings().host.empty());
}
