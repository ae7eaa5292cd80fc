#pragma once
// Starting the freshly installed program so that the updater can watch it: unlike the desktop's
// detached start, the updater learns whether the program has ended, and can stop it. The program
// runs on after the updater itself ends.

#include <filesystem>
#include <memory>

class RunningProgram {
 public:
  virtual ~RunningProgram() = default;
  // True once the program has ended, however it ended.
  virtual bool HasEnded() = 0;
  // Ends the program (asks first, then forces) and returns when it has ended.
  virtual void Terminate() = 0;
};

class ProgramRunner {
 public:
  virtual ~ProgramRunner() = default;
  // Starts the program without arguments in `workingFolder` (empty: the current folder). Nothing
  // when it could not be started.
  virtual std::unique_ptr<RunningProgram> Start(const std::filesystem::path& program,
                                                const std::filesystem::path& workingFolder) = 0;
};

// Real child processes of the operating system.
class ChildProcessRunner final : public ProgramRunner {
 public:
  std::unique_ptr<RunningProgram> Start(const std::filesystem::path& program,
                                        const std::filesystem::path& workingFolder) override;
};
