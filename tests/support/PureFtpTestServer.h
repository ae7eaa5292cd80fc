#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FtpTestServer.h"

// pure-ftpd (Debian's /usr/sbin/pure-ftpd) as a second real server for tests: one virtual user in a
// pure-pw database in the server's own temporary folder (with a quick password hash, so logins take
// milliseconds), chrooted to the served folder, listening in the
// foreground on a free ephemeral port of 127.0.0.1. No anonymous logins, no syslog, no host lookups.
//
// The constructor waits (at most 20 s) until the server listens; a port taken by someone else between
// choosing and binding is retried with another. It throws std::runtime_error if the server does not come
// up. Start it once per suite (SetUpTestSuite) and ClearRoot() between tests when starting it is too slow.
//
// pure-ftpd keeps names on its disk as the raw bytes that came on the wire, so PathOf() turns the UTF-8
// name a test gives into the Windows-1252 bytes a client sends. It needs root (as CI runs): started by
// another account it turns virtual users away, so the constructor throws then. The virtual user writes
// as "nobody" (pure-ftpd refuses uid 0), and the disk helpers hand what they write to that account.
//
// Its reply texts are its own ("550 Can't ...", "421 Too many connections ..."); it offers AUTH TLS in
// FEAT even without a certificate and then refuses it with 500.
struct PureFtpOptions {
  // `-C`: connections allowed per client address; 0 = no limit.
  int maxConnectionsPerAddress = 0;
  // A PEM file holding certificate and key: the server then offers explicit TLS (`-Y 1`), or demands it
  // before the login (`-Y 2`) when `requireTls` is set. Empty: no TLS.
  std::filesystem::path tlsCertificate;
  bool requireTls = false;
};

class PureFtpTestServer : public RealFtpServer {
 public:
  explicit PureFtpTestServer(PureFtpOptions options = {}, std::string user = "vimo",
                             std::string password = "hemligt");
  std::string kind() const override { return "pure-ftpd"; }
  std::filesystem::path PathOf(const std::string& name) const override;
};

// A self-signed certificate for 127.0.0.1 (and "localhost"), made with the openssl program into `folder`:
// `certificate` (PEM, also usable as a CA file that trusts exactly this certificate), `key`, and
// `combined` (certificate and key in one file, as pure-ftpd wants it). Throws if openssl fails.
struct TestCertificate {
  std::filesystem::path certificate;
  std::filesystem::path key;
  std::filesystem::path combined;
};
TestCertificate MakeTestCertificate(const std::filesystem::path& folder, const std::string& name = "server");

// One test body against both servers: the kinds by name, and a server of a given kind with its defaults
// (pure-ftpd started with `-C 1`, since the program must live with one connection per address).
// E.g. INSTANTIATE_TEST_SUITE_P(Servers, MyTest, testing::ValuesIn(kTestServerKinds), TestServerKindName).
inline const std::vector<std::string> kTestServerKinds = {"pyftpdlib", "pure-ftpd"};
std::unique_ptr<RealFtpServer> StartTestServer(const std::string& kind);
// A test name for a kind ("pyftpdlib", "pureftpd"): test names allow letters and digits only.
inline std::string TestServerKindName(const testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char c : info.param) {
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  }
  return name;
}
