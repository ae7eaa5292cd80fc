#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A real FTP server for tests: scripts/ftp_server.py (pyftpdlib under /usr/bin/python3) serving a fresh
// temporary folder on 127.0.0.1 at an ephemeral port, with one account that may do everything.
//
// The constructor starts the server and waits (at most 20 s) for it to announce its port; it throws
// std::runtime_error if the server does not come up. The destructor stops the server and removes the
// folder. Not copyable. `switches` are passed to the script as they are, e.g. {"--fail-name", "x.txt"},
// {"--refuse-login"}, {"--drop-after-bytes", "1500"}, {"--stall-name", "slow.bin"}.
//
// The disk helpers take names relative to the served folder, in UTF-8 (the server keeps names on disk
// in UTF-8 and speaks Windows-1252 on the wire). The server converts line ends in ASCII mode and keeps LF
// on its disk, so the text helpers do what a client's ASCII transfer would: WriteText stores CR LF as LF,
// ReadText gives LF back as CR LF. The file helpers store and return bytes unchanged.
class FtpTestServer {
 public:
  explicit FtpTestServer(std::vector<std::string> switches = {}, std::string user = "vimo",
                         std::string password = "hemligt");
  ~FtpTestServer();
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  int port() const { return port_; }
  const std::filesystem::path& root() const { return root_; }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // The server's log (its stderr), for failure messages.
  std::string log() const;

  // Stops the server now, e.g. to test a client whose server has gone away. Idempotent.
  void Stop();

  void WriteFile(const std::string& name, const std::string& bytes) const;
  void WriteText(const std::string& name, const std::string& crlfText) const;
  std::string ReadFile(const std::string& name) const;
  std::string ReadText(const std::string& name) const;
  bool Exists(const std::string& name) const;
  std::filesystem::path PathOf(const std::string& name) const;

 private:
  std::filesystem::path folder_;  // holds root_ and the log
  std::filesystem::path root_;
  std::string user_;
  std::string password_;
  int port_ = 0;
  int pid_ = -1;
};
