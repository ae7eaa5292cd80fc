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
    const long port = std::stol(text);
    if (port > 0 && port <= 32767) return static_cast<std::int16_t>(port);
  } catch (...) {
  }
  return 21;
}

}  // namespace

ServerSettings ReadServerSettings() {
  ServerSettings settings;
  settings.host = FromEnvironment("VIMO_FTP_HOST", VIMO_FTP_HOST);
  settings.port = PortFrom(FromEnvironment("VIMO_FTP_PORT", VIMO_FTP_PORT));
  settings.user = FromEnvironment("VIMO_FTP_USER", VIMO_FTP_USER);
  settings.password = FromEnvironment("VIMO_FTP_PASSWORD", VIMO_FTP_PASSWORD);
  return settings;
}

std::string ProductWebAddress() {
  return VIMO_WEB_ADDRESS;
}

std::string ErrorReportAddress() {
  return VIMO_ERROR_REPORT_URL;
}
