#include "Settings.h"

#include <cstdlib>
#include <string>

namespace {

std::string FromEnvironment(const char* name, const char* compiledIn) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? std::string(value) : std::string(compiledIn);
}

std::int16_t PortFrom(const std::string& text) {
  try {
    // The FTP client keeps the port as a 16-bit signed value, as the Windows build did; ports above
    // 32767 travel in it as their two's complement and come out unchanged.
    std::size_t used = 0;
    const long port = std::stol(text, &used);
    if (used == text.size() && port > 0 && port <= 65535) {
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(port));
    }
  } catch (...) {
  }
  return 21;
}

}  // namespace

const int kProgramVersion = VIMO_PROGRAM_VERSION;

ServerSettings ReadServerSettings() {
  ServerSettings settings;
  settings.host = FromEnvironment("VIMO_FTP_HOST", VIMO_FTP_HOST);
  settings.port = PortFrom(FromEnvironment("VIMO_FTP_PORT", VIMO_FTP_PORT));
  settings.user = FromEnvironment("VIMO_FTP_USER", VIMO_FTP_USER);
  settings.password = FromEnvironment("VIMO_FTP_PASSWORD", VIMO_FTP_PASSWORD);
  settings.tls = ReadFtpTls();
  return settings;
}

FtpTls ReadFtpTls() {
  return FromEnvironment("VIMO_FTP_TLS", VIMO_FTP_TLS) == "optional" ? FtpTls::Optional : FtpTls::Required;
}

std::string ProductWebAddress() {
  return FromEnvironment("VIMO_WEB_ADDRESS", VIMO_WEB_ADDRESS);
}

std::string ErrorReportAddress() {
  return VIMO_ERROR_REPORT_URL;
}
