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

FtpTestServer::FtpTestServer(std::vector<std::string> switches, std::string user, std::string password)
    : folder_(MakeTemporaryFolder()),
      root_(folder_ / "root"),
      user_(std::move(user)),
      password_(std::move(password)) {
  std::filesystem::create_directories(root_);
  std::vector<std::string> arguments = {"/usr/bin/python3", VIMO_FTP_SERVER_SCRIPT,
                                        "--root",           root_.string(),
                                        "--host",           "127.0.0.1",
                                        "--port",           "0",
                                        "--user",           user_,
                                        "--password",       password_};
  arguments.insert(arguments.end(), switches.begin(), switches.end());
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int output[2];
  if (pipe(output) != 0) throw std::runtime_error("cannot create a pipe");
  std::string logPath = (folder_ / "server.log").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  if (spawned != 0) {
    close(output[0]);
    throw std::runtime_error("cannot start the FTP server script");
  }
  pid_ = pid;

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
  if (line.rfind("PORT ", 0) != 0) {
    std::string message = "the FTP server did not start: " + log();
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    throw std::runtime_error(message);
  }
  port_ = std::atoi(line.c_str() + 5);
}

FtpTestServer::~FtpTestServer() {
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void FtpTestServer::Stop() {
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

std::string FtpTestServer::log() const {
  return ReadWhole(folder_ / "server.log");
}

std::filesystem::path FtpTestServer::PathOf(const std::string& name) const {
  return root_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
}

void FtpTestServer::WriteFile(const std::string& name, const std::string& bytes) const {
  auto path = PathOf(name);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void FtpTestServer::WriteText(const std::string& name, const std::string& crlfText) const {
  std::string stored;
  for (size_t i = 0; i < crlfText.size(); ++i) {
    if (crlfText[i] == '\r' && i + 1 < crlfText.size() && crlfText[i + 1] == '\n') continue;
    stored += crlfText[i];
  }
  WriteFile(name, stored);
}

std::string FtpTestServer::ReadFile(const std::string& name) const {
  return ReadWhole(PathOf(name));
}

std::string FtpTestServer::ReadText(const std::string& name) const {
  std::string sent;
  for (char c : ReadFile(name)) {
    if (c == '\n') sent += '\r';
    sent += c;
  }
  return sent;
}

bool FtpTestServer::Exists(const std::string& name) const {
  return std::filesystem::exists(PathOf(name));
}
