#include "ProgramRunner.h"

#include <cerrno>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32

class WindowsProcess final : public RunningProgram {
 public:
  explicit WindowsProcess(HANDLE process) : process_(process) {}
  ~WindowsProcess() override { CloseHandle(process_); }
  bool HasEnded() override { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
  void Terminate() override {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }

 private:
  HANDLE process_;
};

#else

class PosixProcess final : public RunningProgram {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid) {}
  bool HasEnded() override {
    if (!ended_) {
      int status = 0;
      const pid_t result = waitpid(pid_, &status, WNOHANG);
      ended_ = result == pid_ || (result < 0 && errno != EINTR);
    }
    return ended_;
  }
  void Terminate() override {
    if (HasEnded()) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!HasEnded() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!HasEnded()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      ended_ = true;
    }
  }

 private:
  pid_t pid_;
  bool ended_ = false;
};

#endif

}  // namespace

std::unique_ptr<RunningProgram> ChildProcessRunner::Start(const fs::path& program,
                                                          const fs::path& workingFolder) {
  std::error_code error;
  const fs::path folder =
      workingFolder.empty() ? fs::current_path(error) : fs::absolute(workingFolder, error);
  const fs::path executable = fs::absolute(program, error);
  if (error) return nullptr;
#ifdef _WIN32
  std::wstring commandLine = L"\"" + executable.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return std::make_unique<WindowsProcess>(info.hProcess);
#else
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  const std::string path = executable.string();
  const std::string directory = folder.string();
  char* const arguments[] = {const_cast<char*>(path.c_str()), nullptr};
  int ready[2];
  if (pipe(ready) != 0) return nullptr;
  fcntl(ready[1], F_SETFD, FD_CLOEXEC);
  const pid_t pid = fork();
  if (pid < 0) {
    close(ready[0]);
    close(ready[1]);
    return nullptr;
  }
  if (pid == 0) {
    close(ready[0]);
    if (chdir(directory.c_str()) == 0) execv(path.c_str(), arguments);
    // Tells the parent that nothing started.
    const char failed = 1;
    [[maybe_unused]] const auto written = write(ready[1], &failed, 1);
    _exit(127);
  }
  close(ready[1]);
  // The pipe closes without a byte when exec succeeded (close-on-exec), or carries one when it failed.
  char failed = 0;
  ssize_t got;
  do got = read(ready[0], &failed, 1);
  while (got < 0 && errno == EINTR);
  close(ready[0]);
  if (got == 1) {
    waitpid(pid, nullptr, 0);
    return nullptr;
  }
  return std::make_unique<PosixProcess>(pid);
#endif
}
