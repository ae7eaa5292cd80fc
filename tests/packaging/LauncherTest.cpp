// Vimo as a desktop user gets it: `cmake --install` into a temporary prefix, the menu entry and
// the AppStream data checked by their validators, and the launcher bin/vimo run with a home of its
// own. The launcher fills the user's program folder from the read-only install, keeps a newer
// program the updater installed, reverts a trial that nobody watches, and starts Vimo there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FtpTestServer.h"
#include "SyncTestFiles.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kAppId = "example.vimo.Vimo";
const std::string kPackagedVersion = VIMO_PACKAGED_VERSION;

bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds bound) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// Runs a shell command; its exit status and what it printed on both outputs.
std::pair<int, std::string> RunShell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, "cannot run " + command};
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::set<fs::path> FilesUnder(const fs::path& folder) {
  std::set<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) files.insert(entry.path());
  return files;
}

// The launcher in a process group of its own, so that Vimo and whatever it starts end with it.
class Launch {
 public:
  Launch(const fs::path& launcher, const std::vector<std::string>& settings) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string entry = *variable;
      const std::string name = entry.substr(0, entry.find('='));
      if (name != "HOME" && name != "XDG_DATA_HOME" && name != "ASAN_OPTIONS" && !name.starts_with("VIMO_")) {
        environment.push_back(entry);
      }
    }
    // Vimo is stopped from outside here; what it still held then is no leak.
    environment.push_back("ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0");
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    environment.insert(environment.end(), settings.begin(), settings.end());
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = launcher.string();
    char* argv[] = {program.data(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    if (posix_spawn(&pid_, argv[0], nullptr, &attributes, argv, envp.data()) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
  }
  ~Launch() { Stop(); }
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  bool started() const { return pid_ > 0; }
  // The exit status once the launched program has ended within the bound; -1 if it has not.
  int Wait(std::chrono::seconds bound) {
    int status = 0;
    if (pid_ <= 0 || !WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, bound)) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool running() {
    siginfo_t info{};
    return pid_ > 0 && waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
  }
  void Stop() {
    if (pid_ <= 0) return;
    const pid_t group = pid_;
    kill(-group, SIGTERM);
    if (Wait(10s) == -1) {
      kill(-group, SIGKILL);
      waitpid(group, nullptr, 0);
    }
    // Whatever Vimo started lives on in the group.
    kill(-group, SIGKILL);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto [status, output] =
        RunShell(std::string("'") + VIMO_CMAKE_COMMAND + "' --install '" VIMO_BUILD_DIR + "' --prefix '" +
                 prefix_.path().string() + "'");
    ASSERT_EQ(status, 0) << output;
  }

  fs::path launcher() const { return prefix_ / "bin/vimo"; }
  fs::path packaged(const std::string& name) const { return prefix_ / ("lib/vimo/" + name); }
  fs::path folder() const { return home_ / ".local/share/vimo"; }

  std::unique_ptr<Launch> Start(std::vector<std::string> settings = {}) {
    settings.push_back("HOME=" + home_.path().string());
    auto launch = std::make_unique<Launch>(launcher(), settings);
    EXPECT_TRUE(launch->started());
    return launch;
  }

  // A stand-in for a program in the user's folder that says where it ran and whether the watch
  // lock was free for the updater it might start.
  void WriteFakeProgram(const fs::path& file, const std::string& name) {
    WriteBytes(file,
               "#!/bin/sh\necho \"" + name +
                   " $(pwd -P)\" > started\nif flock -n Vimo.watch true; then touch watch-was-free; fi\n");
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }
  // Runs the launcher until the fake program it started has ended; what it said.
  std::string RunToFakeProgram(std::vector<std::string> settings = {}, const fs::path& programFolder = {}) {
    auto launch = Start(std::move(settings));
    EXPECT_EQ(launch->Wait(30s), 0);
    return ReadBytes((programFolder.empty() ? folder() : programFolder) / "started");
  }

  TempFolder prefix_{"vimo-prefix"};
  TempFolder home_{"vimo-home"};
};

TEST_F(LauncherTest, InstallsTheProgramsMenuEntryIconsAndMetainfo) {
  for (const char* program : {"bin/vimo", "lib/vimo/Vimo", "lib/vimo/vimo_updater"}) {
    EXPECT_EQ(access((prefix_ / program).c_str(), X_OK), 0) << program << " is missing or not executable";
  }
  for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
    EXPECT_TRUE(
        fs::is_regular_file(prefix_ / "share/icons/hicolor" / size / "apps" / (kAppId + std::string(".png"))))
        << size;
  }
  const fs::path entry = prefix_ / "share/applications" / (kAppId + std::string(".desktop"));
  const fs::path metainfo = prefix_ / "share/metainfo" / (kAppId + std::string(".metainfo.xml"));
  const auto [entryStatus, entryOutput] = RunShell("desktop-file-validate '" + entry.string() + "'");
  EXPECT_EQ(entryStatus, 0) << entryOutput;
  EXPECT_EQ(entryOutput, "");
  const auto [metainfoStatus, metainfoOutput] =
      RunShell("appstreamcli validate --no-net '" + metainfo.string() + "'");
  EXPECT_EQ(metainfoStatus, 0) << metainfoOutput;
  // The entry starts the launcher by the name it is installed under, with the installed icon.
  const std::string entryText = ReadBytes(entry);
  EXPECT_NE(entryText.find("\nExec=vimo\n"), std::string::npos) << entryText;
  EXPECT_NE(entryText.find("\nIcon=" + std::string(kAppId) + "\n"), std::string::npos) << entryText;
}

TEST_F(LauncherTest, FirstStartFillsTheUsersFolderAndVimoFetchesTheBrainThere) {
  FtpTestServer server;
  server.WriteText("index.html", "<html></html>\r\n");
  server.WriteText("brain.txt", BrainText(1500));
  server.WriteText("brain2.txt", BrainText(1500));
  server.WriteText("version.txt", "9,Inget nytt,0,0\r\n");
  server.WriteText("medd.txt", "Hej\r\nAdmin\r\n");
  server.WriteText("användare.txt", "alfa\r\n");
  const auto installed = FilesUnder(prefix_.path());

  auto vimo = Start({"VIMO_FTP_HOST=127.0.0.1", "VIMO_FTP_PORT=" + std::to_string(server.port()),
                     "VIMO_FTP_USER=" + server.user(), "VIMO_FTP_PASSWORD=" + server.password(),
                     "VIMO_FTP_TLS=optional", "VIMO_WEB_ADDRESS=127.0.0.1:9"});
  const fs::path brain = folder() / "brain.txt";
  const std::string wholeBrain = BrainText(1500);
  const bool fetched = WaitFor([&] { return fs::exists(brain) && ReadBytes(brain) == wholeBrain; }, 120s);
  EXPECT_TRUE(fetched) << "Vimo did not fetch the brain into " << folder() << "\n" << server.log();
  EXPECT_TRUE(vimo->running());
  vimo->Stop();

  EXPECT_EQ(ReadBytes(folder() / "Vimo"), ReadBytes(packaged("Vimo")));
  EXPECT_EQ(ReadBytes(folder() / "vimo_updater"), ReadBytes(packaged("vimo_updater")));
  EXPECT_EQ(ReadBytes(folder() / "Vimo.version"), kPackagedVersion + "\r\n");
  EXPECT_EQ(fs::status(folder()).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
  EXPECT_EQ(FilesUnder(prefix_.path()), installed) << "the install location was written";
}

TEST_F(LauncherTest, PackageUpgradeReplacesAnOlderProgramInTheFolder) {
  WriteFakeProgram(folder() / "Vimo", "old");
  WriteBytes(folder() / "Vimo.version", "8\r\n");
  // No server: the real Vimo that starts then waits in its start-up, which is far enough.
  auto vimo = Start({"VIMO_FTP_HOST=127.0.0.1", "VIMO_FTP_PORT=9", "VIMO_FTP_TLS=optional"});
  const fs::path version = folder() / "Vimo.version";
  EXPECT_TRUE(
      WaitFor([&] { return fs::exists(version) && ReadBytes(version) == kPackagedVersion + "\r\n"; }, 30s));
  EXPECT_EQ(ReadBytes(folder() / "Vimo"), ReadBytes(packaged("Vimo")));
  vimo->Stop();
  EXPECT_FALSE(fs::exists(folder() / "started")) << "the old program was started";
}

TEST_F(LauncherTest, NewerProgramFromTheUpdaterIsKept) {
  // Versions compare as numbers: 10 is newer than 9 although "10" sorts before "9".
  for (const std::string version : {"10", "9.5"}) {
    SCOPED_TRACE(version);
    const fs::path dataHome = home_ / ("data-" + version);
    const fs::path programFolder = dataHome / "vimo";
    WriteFakeProgram(programFolder / "Vimo", "newer");
    WriteBytes(programFolder / "Vimo.version", version + "\r\n");
    EXPECT_EQ(RunToFakeProgram({"XDG_DATA_HOME=" + dataHome.string()}, programFolder),
              "newer " + fs::canonical(programFolder).string() + "\n");
    EXPECT_EQ(ReadBytes(programFolder / "Vimo.version"), version + "\r\n");
    EXPECT_TRUE(fs::exists(programFolder / "watch-was-free")) << "Vimo inherited the launcher's lock";
    EXPECT_EQ(ReadBytes(programFolder / "vimo_updater"), ReadBytes(packaged("vimo_updater")));
  }
}

TEST_F(LauncherTest, TrialThatNobodyWatchesIsRevertedAndAWatchedOneIsLeftAlone) {
  WriteFakeProgram(folder() / "Vimo", "trial");
  WriteFakeProgram(folder() / "Vimo.previous", "previous");
  WriteBytes(folder() / "Vimo.version", "10\r\n");
  WriteBytes(folder() / "Vimo.trial", "11\r\n");
  {
    // An updater still watching its trial holds the lock: nothing of the trial is touched.
    const int watch = open((folder() / "Vimo.watch").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(flock(watch, LOCK_EX), 0);
    EXPECT_EQ(RunToFakeProgram(), "trial " + fs::canonical(folder()).string() + "\n");
    close(watch);
    EXPECT_TRUE(fs::exists(folder() / "Vimo.trial"));
    EXPECT_TRUE(fs::exists(folder() / "Vimo.previous"));
  }
  // The updater is gone (killed, power cut): the previous program comes back and is started.
  EXPECT_EQ(RunToFakeProgram(), "previous " + fs::canonical(folder()).string() + "\n");
  EXPECT_FALSE(fs::exists(folder() / "Vimo.trial"));
  EXPECT_FALSE(fs::exists(folder() / "Vimo.previous"));
  EXPECT_EQ(ReadBytes(folder() / "Vimo.failed"), "11\r\n");
  EXPECT_TRUE(fs::exists(folder() / "Vimo.watch"));

  // Without a previous program nothing goes back, but the trial still ends as failed.
  WriteBytes(folder() / "Vimo.trial", "12\r\n");
  EXPECT_EQ(RunToFakeProgram(), "previous " + fs::canonical(folder()).string() + "\n");
  EXPECT_FALSE(fs::exists(folder() / "Vimo.trial"));
  EXPECT_EQ(ReadBytes(folder() / "Vimo.failed"), "12\r\n");
}

}  // namespace
