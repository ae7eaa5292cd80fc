#pragma once
// Everything Vimo and vimo_updater have compiled in: the FTP account, the web addresses and the
// names of the two programs. The FTP values come from the CMake cache (VIMO_FTP_HOST, ...); an
// environment variable of the same name overrides each one at run time.

#include <cstdint>
#include <string>

// Whether the FTP client may log in without TLS. Required: the server must complete AUTH TLS before the
// login and PROT P after it, or the session is refused. Optional: a server that refuses TLS is spoken to in
// clear, unless this copy once completed TLS with it.
enum class FtpTls { Required, Optional };

// The servers this copy once spoke TLS with, so that it never logs in to them in clear again;
// relative to the program folder.
inline constexpr const char* kTlsMemoryFile = "Data/tls-servers.txt";

struct ServerSettings {
  std::string host;
  std::int16_t port = 21;
  std::string user;
  std::string password;
  FtpTls tls = FtpTls::Required;
};

// The one place both programs read the account from.
ServerSettings ReadServerSettings();
// VIMO_FTP_TLS alone (compiled in, or from the environment): "optional" or anything else, which is
// taken as required, so that a mistyped value never turns TLS off.
FtpTls ReadFtpTls();

// The product's web page shown in the main window: a host name without a scheme (a port may
// follow). VIMO_WEB_ADDRESS in the environment overrides it, as the demo does for its local page.
std::string ProductWebAddress();

// The error-report page opened after a failed restore of the brain.
std::string ErrorReportAddress();

// The program's own version, compared with the server's version record. A release is built with
// its number set through the CMake setting VIMO_PROGRAM_VERSION.
extern const int kProgramVersion;

// File names of the two programs in the program folder, and the remote build this platform
// downloads (a server holds one build per platform).
#ifdef _WIN32
inline constexpr const char* kMainProgramFile = "Vimo.exe";
inline constexpr const char* kUpdaterProgramFile = "vimo_updater.exe";
inline constexpr const char* kRemoteMainProgram = "/Vimo.exe";
#else
inline constexpr const char* kMainProgramFile = "Vimo";
inline constexpr const char* kUpdaterProgramFile = "vimo_updater";
inline constexpr const char* kRemoteMainProgram = "/Vimo";
#endif
