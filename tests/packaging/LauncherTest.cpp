// Vimo as a desktop user gets it: `cmake --install` into a temporary prefix, the menu entry and
// the AppStream data checked by their validators, and the launcher bin/vimo run with a home of its
// own. The launcher fills the user's program folder from the install, keeps a newer program the
// updater installed, reverts a trial that nobody watches, and starts Vimo there.

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
#include <iterator>
#include <string>
#include <thread>

#include "FtpTestServer.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "TextFile.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kAppId = "example.vimo.Vimo";
const std::string kPackagedVersion = std::string(VIMO_PACKAGED_VERSION) + "\r\n";

// Its exit status and what it printed on both outputs.
std::pair<int, std::string> RunShell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  while (size_t n = pipe ? fread(buffer, 1, sizeof buffer, pipe) : 0) output.append(buffer, n);
  const int status = pipe ? pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// True once the file holds `bytes`, within a bound.
bool WaitForBytes(const fs::path& file, const std::string& bytes) {
  for (auto until = std::chrono::steady_clock::now() + 120s; std::chrono::steady_clock::now() < until;) {
    if (fs::exists(file) && ReadBytes(file) == bytes) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

// The launcher with Vimo running in a process group of their own, all stopped with the object.
class RunningLauncher {
 public:
  explicit RunningLauncher(const fs::path& launcher) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    std::string program = launcher.string();
    char* argv[] = {program.data(), nullptr};
    EXPECT_EQ(posix_spawn(&pid_, argv[0], nullptr, &attributes, argv, environ), 0);
    posix_spawnattr_destroy(&attributes);
  }
  ~RunningLauncher() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  RunningLauncher(const RunningLauncher&) = delete;
  RunningLauncher& operator=(const RunningLauncher&) = delete;

 private:
  pid_t pid_ = -1;
};

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto [status, output] = RunShell(
        "'" VIMO_CMAKE_COMMAND "' --install '" VIMO_BUILD_DIR "' --prefix '" + prefix_.path().string() + "'");
    ASSERT_EQ(status, 0) << output;
    // A user who has never run Vimo; Vimo is stopped from outside, so what it holds then is no leak.
    setenv("HOME", home_.path().c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    setenv("ASAN_OPTIONS", "detect_leaks=0:new_delete_type_mismatch=0", 1);
  }

  // Runs the launcher until the fake program it starts has ended; what that program said.
  std::string RunToFakeProgram() {
    RemoveFile(folder_ / "started");
    const auto [status, output] = RunShell("timeout -s KILL 60 '" + (prefix_ / "bin/vimo").string() + "'");
    EXPECT_EQ(status, 0) << output;
    return ReadBytes(folder_ / "started");
  }
  std::string Ran(const std::string& name) const {
    return name + " " + fs::canonical(folder_).string() + "\n";
  }
  // A program for the user's folder that says where it ran and whether the updater it might start
  // could take the watch lock.
  static void WriteFakeProgram(const fs::path& file, const std::string& name) {
    WriteBytes(file, "#!/bin/sh\necho \"" + name + " $(pwd -P)\" > started\n" +
                         "if flock -n Vimo.watch true; then touch watch-was-free; fi\n");
    fs::permissions(file, fs::perms::owner_all);
  }

  TempFolder prefix_{"vimo-prefix"};
  TempFolder home_{"vimo-home"};
  fs::path folder_ = home_ / ".local/share/vimo";
};

TEST_F(LauncherTest, InstallsAValidMenuEntryAndMetainfoAndTheIcons) {
  const fs::path share = prefix_ / "share";
  for (const std::string& validate :
       {"desktop-file-validate '" + (share / "applications" / (kAppId + ".desktop")).string() + "'",
        "appstreamcli validate --no-net '" + (share / "metainfo" / (kAppId + ".metainfo.xml")).string() +
            "'"}) {
    const auto [status, output] = RunShell(validate);
    EXPECT_EQ(status, 0) << validate << "\n" << output;
  }
  for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
    EXPECT_TRUE(fs::is_regular_file(share / "icons/hicolor" / size / "apps" / (kAppId + ".png"))) << size;
  }
}

TEST_F(LauncherTest, FirstStartAndPackageUpgradeFillTheUsersFolderAndStartVimoThere) {
  FtpTestServer server;
  SeedAccount(server);
  for (const auto& [name, value] : {std::pair<const char*, std::string>{"VIMO_FTP_HOST", "127.0.0.1"},
                                    {"VIMO_FTP_PORT", std::to_string(server.port())},
                                    {"VIMO_FTP_USER", server.user()},
                                    {"VIMO_FTP_PASSWORD", server.password()},
                                    {"VIMO_FTP_TLS", "optional"},
                                    {"VIMO_WEB_ADDRESS", "127.0.0.1:9"},
                                    {"QT_QPA_PLATFORM", "offscreen"}}) {
    setenv(name, value.c_str(), 1);
  }
  {
    RunningLauncher vimo(prefix_ / "bin/vimo");
    EXPECT_TRUE(WaitForBytes(folder_ / "brain.txt", BrainText(1500)))
        << "no brain in " << folder_ << server.log();
  }
  EXPECT_EQ(ReadBytes(folder_ / "Vimo"), ReadBytes(prefix_ / "lib/vimo/Vimo"));
  EXPECT_EQ(ReadBytes(folder_ / "vimo_updater"), ReadBytes(prefix_ / "lib/vimo/vimo_updater"));
  EXPECT_EQ(ReadBytes(folder_ / "Vimo.version"), kPackagedVersion);
  EXPECT_EQ(fs::status(folder_).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);

  // The package was upgraded since an older program came into the folder.
  WriteFakeProgram(folder_ / "Vimo", "old");
  WriteBytes(folder_ / "Vimo.version", "8\r\n");
  {
    RunningLauncher vimo(prefix_ / "bin/vimo");
    EXPECT_TRUE(WaitForBytes(folder_ / "Vimo.version", kPackagedVersion));
  }
  EXPECT_EQ(ReadBytes(folder_ / "Vimo"), ReadBytes(prefix_ / "lib/vimo/Vimo"));
  EXPECT_FALSE(fs::exists(folder_ / "started")) << "the old program was started";
  // The install location is only read.
  EXPECT_EQ(std::distance(fs::directory_iterator(prefix_ / "lib/vimo"), fs::directory_iterator()), 2);
}

// What the updater did or is doing in the folder is left to it, except a trial it abandoned.
TEST_F(LauncherTest, KeepsANewerProgramAndAWatchedTrialAndRevertsAnAbandonedOne) {
  setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
  folder_ = home_ / "data/vimo";
  // Versions compare as numbers: 10 is newer than 9 although "10" sorts before "9".
  WriteFakeProgram(folder_ / "Vimo", "trial");
  WriteFakeProgram(folder_ / "Vimo.previous", "previous");
  WriteBytes(folder_ / "Vimo.version", "10\r\n");
  EXPECT_EQ(RunToFakeProgram(), Ran("trial"));
  EXPECT_TRUE(fs::exists(folder_ / "watch-was-free")) << "Vimo inherited the launcher's lock";
  EXPECT_EQ(ReadBytes(folder_ / "Vimo.version"), "10\r\n");
  EXPECT_EQ(ReadBytes(folder_ / "vimo_updater"), ReadBytes(prefix_ / "lib/vimo/vimo_updater"));

  WriteBytes(folder_ / "Vimo.trial", "11\r\n");
  const int watch = open((folder_ / "Vimo.watch").c_str(), O_RDWR);
  ASSERT_EQ(flock(watch, LOCK_EX), 0);
  EXPECT_EQ(RunToFakeProgram(), Ran("trial"));
  close(watch);
  EXPECT_TRUE(fs::exists(folder_ / "Vimo.trial") && fs::exists(folder_ / "Vimo.previous"));

  // The updater is gone (killed, power cut): the previous program comes back and is started.
  EXPECT_EQ(RunToFakeProgram(), Ran("previous"));
  EXPECT_FALSE(fs::exists(folder_ / "Vimo.trial") || fs::exists(folder_ / "Vimo.previous"));
  EXPECT_EQ(ReadBytes(folder_ / "Vimo.failed"), "11\r\n");

  // Without a previous program nothing goes back, but the trial still ends as failed.
  WriteBytes(folder_ / "Vimo.trial", "12\r\n");
  EXPECT_EQ(RunToFakeProgram(), Ran("previous"));
  EXPECT_FALSE(fs::exists(folder_ / "Vimo.trial"));
  EXPECT_EQ(ReadBytes(folder_ / "Vimo.failed"), "12\r\n");
}

}  // namespace
