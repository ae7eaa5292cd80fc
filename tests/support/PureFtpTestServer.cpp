#include "PureFtpTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "Windows1252.h"

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr int kPortAttempts = 5;

// A port nobody listens on right now. The server binds it a moment later; if someone else was quicker,
// the server exits and the caller tries another.
int FreePort() {
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  if (probe < 0) throw std::runtime_error("cannot create a socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bool ok = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(probe);
  if (!ok) throw std::runtime_error("cannot find a free port");
  return ntohs(address.sin_port);
}

// Whether something listens on 127.0.0.1:port. Read from the kernel's table rather than by connecting,
// so that the check never takes the one connection a `-C 1` server allows.
bool Listening(int port) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (local == wanted && state == "0A") return true;
  }
  return false;
}

// Runs a shell command to its end, `input` going to its stdin. Returns its exit status.
int RunProgram(const std::string& command, const std::string& input) {
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return -1;
  std::fwrite(input.data(), 1, input.size(), pipe);
  return pclose(pipe);
}

std::string Quoted(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

std::string QuickPasswordHash(const std::string& password) {
  FILE* hasher = popen(("/usr/bin/openssl passwd -6 -salt vimotest '" + password + "'").c_str(), "r");
  if (hasher == nullptr) throw std::runtime_error("cannot run openssl");
  char hash[256] = "";
  bool read = std::fgets(hash, sizeof hash, hasher) != nullptr;
  if (pclose(hasher) != 0 || !read) throw std::runtime_error("openssl could not hash the password");
  std::string quick(hash);
  while (!quick.empty() && (quick.back() == '\n' || quick.back() == '\r')) quick.pop_back();
  return quick;
}

}  // namespace

PureFtpTestServer::PureFtpTestServer(PureFtpOptions options, std::string user, std::string password)
    : RealFtpServer(std::move(user), std::move(password)) {
  // Started by another account, pure-ftpd turns every virtual user away ("421 Sorry, but I can't trust
  // you"); say so at once instead.
  if (getuid() != 0) FailStart("pure-ftpd serves its virtual users only when started as root");
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) FailStart("no account \"nobody\" for the virtual user");
  ownerUid_ = nobody->pw_uid;
  ownerGid_ = nobody->pw_gid;
  std::string owner = std::to_string(ownerUid_) + ":" + std::to_string(ownerGid_);
  HandOver(root_);
  std::filesystem::permissions(folder_, std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add);
  auto passwordFile = folder_ / "pureftpd.passwd";
  auto database = folder_ / "pureftpd.pdb";
  // The account line pure-pw itself would write ("/./" marks the chroot), with a quick hash: pure-pw
  // hashes with argon2id at a cost that makes every login take seconds, longer than the short reply
  // bounds the tests use, while pure-ftpd checks a SHA-512 crypt hash in milliseconds.
  std::ofstream(passwordFile, std::ios::trunc) << user_ << ":" << QuickPasswordHash(password_) << ":" << owner
                                               << "::" << root_.string() << "/./::::::::::::\n";
  std::string makeDatabase = "/usr/bin/pure-pw mkdb " + Quoted(database) + " -f " + Quoted(passwordFile) +
                             " >> " + Quoted(folder_ / "server.log") + " 2>&1";
  if (RunProgram(makeDatabase, "") != 0) FailStart("pure-pw mkdb failed");

  for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
    int port = FreePort();
    std::vector<std::string> arguments = {"/usr/sbin/pure-ftpd",
                                          "--bind=127.0.0.1," + std::to_string(port),
                                          "--login=puredb:" + database.string(),
                                          "--noanonymous",
                                          "--dontresolve",
                                          "--syslogfacility=none"};
    arguments.push_back("--chrooteveryone");
    if (options.maxConnectionsPerAddress > 0) {
      arguments.push_back("--maxclientsperip=" + std::to_string(options.maxConnectionsPerAddress));
    }
    if (!options.tlsCertificate.empty()) {
      arguments.push_back(options.requireTls ? "--tls=2" : "--tls=1");
      arguments.push_back("--certfile=" + options.tlsCertificate.string());
    }
    Spawn(arguments, -1);
    auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    bool exited = false;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Listening(port)) {
        port_ = port;
        return;
      }
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        exited = true;
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!exited) FailStart("pure-ftpd did not start listening");
  }
  FailStart("pure-ftpd found no free port");
}

std::filesystem::path PureFtpTestServer::PathOf(const std::string& name) const {
  return root_ / std::filesystem::path(Utf8ToWindows1252(name));
}

TestCertificate MakeTestCertificate(const std::filesystem::path& folder, const std::string& name) {
  TestCertificate made{folder / (name + ".crt"), folder / (name + ".key"), folder / (name + ".pem")};
  std::string command =
      "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout " +
      Quoted(made.key) + " -out " + Quoted(made.certificate) + " > /dev/null 2>&1";
  if (RunProgram(command, "") != 0) throw std::runtime_error("openssl could not make a test certificate");
  std::ofstream combined(made.combined, std::ios::binary | std::ios::trunc);
  combined << std::ifstream(made.certificate, std::ios::binary).rdbuf()
           << std::ifstream(made.key, std::ios::binary).rdbuf();
  if (!combined) throw std::runtime_error("cannot write " + made.combined.string());
  return made;
}

std::unique_ptr<RealFtpServer> StartTestServer(const std::string& kind) {
  if (kind == "pure-ftpd") {
    PureFtpOptions options;
    options.maxConnectionsPerAddress = 1;
    return std::make_unique<PureFtpTestServer>(options);
  }
  if (kind == "pyftpdlib") return std::make_unique<FtpTestServer>();
  throw std::invalid_argument("no test server of the kind " + kind);
}
