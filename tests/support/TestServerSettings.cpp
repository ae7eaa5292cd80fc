#include "TestServerSettings.h"

#include <cstdint>

ServerSettings SettingsFor(const RealFtpServer& server) {
  ServerSettings settings;
  settings.host = "127.0.0.1";
  settings.port = static_cast<std::int16_t>(server.port());
  settings.user = server.user();
  settings.password = server.password();
  settings.tls = FtpTls::Optional;  // the test servers speak plain FTP
  return settings;
}
