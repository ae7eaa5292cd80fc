#include "FtpTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);

std::filesystem::path MakeTemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vimo-ftp-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  return pattern;
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

RealFtpServer::RealFtpServer(std::string user, std::string password)
    : folder_(MakeTemporaryFolder()),
      root_(folder_ / "root"),
      user_(std::move(user)),
      password_(std::move(password)) {
  std::filesystem::create_directories(root_);
}

RealFtpServer::~RealFtpServer() {
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void RealFtpServer::Spawn(std::vector<std::string> arguments, int stdoutFd) {
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::string logPath = (folder_ / "server.log").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd != -1) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) FailStart("cannot start " + arguments.front());
  pid_ = pid;
}

void RealFtpServer::FailStart(const std::string& what) {
  std::string message = what + ": " + log();
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
  throw std::runtime_error(message);
}

void RealFtpServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    usleep(10000);
  }
  pid_ = -1;
}

std::string RealFtpServer::log() const {
  return ReadWhole(folder_ / "server.log");
}

std::filesystem::path RealFtpServer::PathOf(const std::string& name) const {
  return root_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
}

void RealFtpServer::HandOver(const std::filesystem::path& path) const {
  if (ownerUid_ == static_cast<uid_t>(-1)) return;
  if (lchown(path.c_str(), ownerUid_, ownerGid_) != 0) {
    throw std::runtime_error("cannot hand " + path.string() + " to the server's account");
  }
}

void RealFtpServer::WriteFile(const std::string& name, const std::string& bytes) const {
  auto path = PathOf(name);
  std::vector<std::filesystem::path> missing;
  for (auto folder = path.parent_path(); folder != root_ && !std::filesystem::exists(folder);) {
    missing.push_back(folder);
    folder = folder.parent_path();
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    std::filesystem::create_directory(*folder);
    HandOver(*folder);
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
  }
  HandOver(path);
}

void RealFtpServer::WriteText(const std::string& name, const std::string& crlfText) const {
  std::string stored;
  for (size_t i = 0; i < crlfText.size(); ++i) {
    if (crlfText[i] == '\r' && i + 1 < crlfText.size() && crlfText[i + 1] == '\n') continue;
    stored += crlfText[i];
  }
  WriteFile(name, stored);
}

std::string RealFtpServer::ReadFile(const std::string& name) const {
  return ReadWhole(PathOf(name));
}

std::string RealFtpServer::ReadText(const std::string& name) const {
  std::string sent;
  for (char c : ReadFile(name)) {
    if (c == '\n') sent += '\r';
    sent += c;
  }
  return sent;
}

bool RealFtpServer::Exists(const std::string& name) const {
  return std::filesystem::exists(PathOf(name));
}

void RealFtpServer::ClearRoot() const {
  for (const auto& entry : std::filesystem::directory_iterator(root_)) std::filesystem::remove_all(entry);
}

FtpTestServer::FtpTestServer(std::vector<std::string> switches, std::string user, std::string password)
    : RealFtpServer(std::move(user), std::move(password)) {
  std::vector<std::string> arguments = {"/usr/bin/python3", VIMO_FTP_SERVER_SCRIPT,
                                        "--root",           root_.string(),
                                        "--host",           "127.0.0.1",
                                        "--port",           "0",
                                        "--user",           user_,
                                        "--password",       password_};
  arguments.insert(arguments.end(), switches.begin(), switches.end());

  int output[2];
  if (pipe(output) != 0) FailStart("cannot create a pipe");
  fcntl(output[0], F_SETFD, FD_CLOEXEC);
  try {
    Spawn(arguments, output[1]);
  } catch (...) {
    close(output[0]);
    close(output[1]);
    throw;
  }
  close(output[1]);

  std::string line;
  auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{output[0], POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[64];
    ssize_t got = read(output[0], buffer, sizeof buffer);
    if (got <= 0) break;
    line.append(buffer, static_cast<size_t>(got));
  }
  close(output[0]);
  if (line.rfind("PORT ", 0) != 0) FailStart("the FTP server did not start");
  port_ = std::atoi(line.c_str() + 5);
}
