#include "PureFtpdServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "vimo";
constexpr const char* kPassword = "hemligt";
// pure-ftpd serves no login as root: the virtual user runs as nobody.
constexpr const char* kNobody = "65534";

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  const bool ok = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  close(probe);
  if (!ok) throw std::runtime_error("no free port");
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool ok = connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(client);
  return ok;
}

}  // namespace

PureFtpdServer::PureFtpdServer() {
  const fs::path root = folder_ / "root";
  fs::create_directories(root);
  for (const fs::path& folder : {folder_.path(), root}) {
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
  }
  const std::string database = (folder_ / "pureftpd.pdb").string();
  const std::string addUser = std::string("pure-pw useradd ") + kUser + " -u " + kNobody + " -g " + kNobody +
                              " -d '" + root.string() + "' -f '" + (folder_ / "pureftpd.passwd").string() +
                              "' -m -F '" + database + "' >/dev/null 2>&1";
  FILE* pw = popen(addUser.c_str(), "w");
  if (pw == nullptr) throw std::runtime_error("cannot run pure-pw");
  std::fprintf(pw, "%s\n%s\n", kPassword, kPassword);
  if (pclose(pw) != 0) throw std::runtime_error("pure-pw could not add the user");

  port_ = FreePort();
  const std::string listen = "127.0.0.1," + std::to_string(port_);
  const std::string authentication = "puredb:" + database;
  std::vector<std::string> arguments = {"/usr/sbin/pure-ftpd", "-S", listen, "-l",
                                        authentication,        "-E", "-H",   "-A"};
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start pure-ftpd");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Accepts(port_)) {
    if (std::chrono::steady_clock::now() > deadline || waitpid(pid_, nullptr, WNOHANG) == pid_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      throw std::runtime_error("pure-ftpd did not come up");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

PureFtpdServer::~PureFtpdServer() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

ServerSettings PureFtpdServer::settings() const {
  return {"127.0.0.1", static_cast<std::int16_t>(port_), kUser, kPassword};
}

void PureFtpdServer::WriteFile(const std::string& name, const std::string& bytes) const {
  WriteBytes(folder_ / "root" / name, bytes);
  fs::permissions(folder_ / "root" / name, fs::perms::owner_read | fs::perms::owner_write |
                                               fs::perms::group_read | fs::perms::others_read);
}
