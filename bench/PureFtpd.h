// pure-ftpd as the second real server the benchmarks run against: one virtual user (pure-pw) whose
// home is a fresh folder, on 127.0.0.1 at a free port, in the foreground, stopped and removed with
// the object. Like the project's server it converts line ends in ASCII mode and keeps LF on its
// disk, and it keeps names as raw bytes, so "användare.txt" lies on its disk with the byte 0xE4.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bench {

class PureFtpd {
 public:
  PureFtpd() {
    folder_ = std::filesystem::temp_directory_path() /
              ("vimo-pure-ftpd-" + std::to_string(::getpid()) + "-" + std::to_string(instances_++));
    root_ = folder_ / "root";
    std::filesystem::create_directories(root_);
    // The virtual user's files belong to an unprivileged account; the server will not log in root.
    Run({"chown", "nobody:nogroup", root_.string()});
    const std::string passwd = (folder_ / "pureftpd.passwd").string();
    const std::string database = (folder_ / "pureftpd.pdb").string();
    {
      // pure-pw reads the password twice from its standard input.
      const std::string answers = (folder_ / "answers").string();
      std::ofstream(answers) << password_ << "\n" << password_ << "\n";
      if (!Run({"sh", "-c",
                "pure-pw useradd " + user_ + " -u nobody -g nogroup -d '" + root_.string() + "' -f '" +
                    passwd + "' < '" + answers + "' > /dev/null"}) ||
          !Run({"sh", "-c", CheapPasswordHash(passwd)}) ||
          !Run({"pure-pw", "mkdb", database, "-f", passwd})) {
        throw std::runtime_error("pure-pw could not make the user");
      }
    }
    port_ = FreePort();
    std::vector<std::string> arguments = {"pure-ftpd",
                                          "-S",
                                          "127.0.0.1," + std::to_string(port_),
                                          "-l",
                                          "puredb:" + database,
                                          "-E",
                                          "-H",
                                          "-A",
                                          "-O",
                                          "clf:/dev/null"};
    pid_ = Spawn(arguments, true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Accepts(port_)) {
      if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("pure-ftpd did not start");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~PureFtpd() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  PureFtpd(const PureFtpd&) = delete;
  PureFtpd& operator=(const PureFtpd&) = delete;

  int port() const { return port_; }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  const std::filesystem::path& root() const { return root_; }

  // Bytes as they lie on the server's disk; `name` is the name's bytes.
  void WriteFile(const std::string& name, const std::string& bytes) const {
    const auto path = root_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    Run({"chown", "nobody:nogroup", path.string()});
  }
  // CR LF text as a client's ASCII upload leaves it: with LF line ends.
  void WriteText(const std::string& name, const std::string& crlfText) const {
    std::string lf;
    lf.reserve(crlfText.size());
    for (std::size_t i = 0; i < crlfText.size(); ++i) {
      if (crlfText[i] == '\r' && i + 1 < crlfText.size() && crlfText[i + 1] == '\n') continue;
      lf += crlfText[i];
    }
    WriteFile(name, lf);
  }

 private:
  // pure-pw hashes with argon2id at a cost that makes each log-in take seconds, which would swamp
  // every figure; a SHA-512 crypt hash, as pure-ftpd also accepts, takes milliseconds.
  std::string CheapPasswordHash(const std::string& passwd) const {
    return "hash=$(openssl passwd -6 -salt vimobench '" + password_ +
           "') && awk -F: -v OFS=: -v h=\"$hash\" '$1==\"" + user_ + "\" {$2=h} 1' '" + passwd + "' > '" +
           passwd + ".new' && mv '" + passwd + ".new' '" + passwd + "'";
  }

  static pid_t Spawn(std::vector<std::string> arguments, bool quiet) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed != 0 ? -1 : pid;
  }
  static bool Run(std::vector<std::string> arguments) {
    const pid_t pid = Spawn(std::move(arguments), false);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  static int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
  }
  static bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return accepted;
  }

  static inline int instances_ = 0;
  std::filesystem::path folder_;
  std::filesystem::path root_;
  std::string user_ = "vimo";
  std::string password_ = "hemligt9";
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace bench
