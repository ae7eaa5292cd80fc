#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// A real FTP server started for tests, serving a fresh temporary folder on 127.0.0.1. Two kinds exist:
// FtpTestServer (our own scripts/ftp_server.py, with fault switches) and PureFtpTestServer (pure-ftpd,
// a server nobody here wrote). A test body written against this base runs against either.
//
// Constructing one sets VIMO_FTP_TLS=optional for the process: its clients may log in without TLS.
//
// Both start in their constructor, waiting a bounded time, and throw std::runtime_error if the server
// does not come up; the destructor stops the server and removes the folder. Not copyable.
//
// The disk helpers take names relative to the served folder, in UTF-8; each kind stores them on its disk
// the way it stores the Windows-1252 names that arrive on the wire. Both servers convert line ends in
// ASCII mode and keep LF on their disk, so the text helpers do what a client's ASCII transfer would:
// WriteText stores CR LF as LF, ReadText gives LF back as CR LF. The file helpers store and return bytes
// unchanged. Files written by the helpers belong to the account the server writes as.
class RealFtpServer {
 public:
  virtual ~RealFtpServer();
  RealFtpServer(const RealFtpServer&) = delete;
  RealFtpServer& operator=(const RealFtpServer&) = delete;

  // "pyftpdlib" or "pure-ftpd", for test names and messages.
  virtual std::string kind() const = 0;
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
  virtual std::filesystem::path PathOf(const std::string& name) const;
  // Empties the served folder, so that a server started once per suite serves each test afresh.
  void ClearRoot() const;

 protected:
  RealFtpServer(std::string user, std::string password);
  // Starts `arguments` (the program first, by path) with stderr going to the log; stdout goes to
  // `stdoutFd` when it is not -1. Throws if the program cannot be started.
  void Spawn(std::vector<std::string> arguments, int stdoutFd);
  // Gives the server's account the folders and files the helpers create (when the server writes as
  // another account than ours).
  void HandOver(const std::filesystem::path& path) const;
  // Removes the folder after a failed start, then throws with the log.
  [[noreturn]] void FailStart(const std::string& what);

  std::filesystem::path folder_;  // holds root_, the log and the server's own files
  std::filesystem::path root_;
  std::string user_;
  std::string password_;
  int port_ = 0;
  pid_t pid_ = -1;
  uid_t ownerUid_ = static_cast<uid_t>(-1);  // -1: files stay ours
  gid_t ownerGid_ = static_cast<gid_t>(-1);
};

// scripts/ftp_server.py (pyftpdlib under /usr/bin/python3) with one account that may do everything. It
// announces its ephemeral port itself. `switches` are passed to the script as they are, e.g.
// {"--fail-name", "x.txt"}, {"--refuse-login"}, {"--drop-after-bytes", "1500"}, {"--stall-name",
// "slow.bin"}. Names are kept on its disk in UTF-8.
class FtpTestServer : public RealFtpServer {
 public:
  explicit FtpTestServer(std::vector<std::string> switches = {}, std::string user = "vimo",
                         std::string password = "hemligt");
  std::string kind() const override { return "pyftpdlib"; }
};
