// Runs the curl command-line client, the baseline the transfer benchmarks are measured against.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace bench {

// Active mode, as CFtp uses by default; the caller adds the rest of the options and the URLs.
inline bool RunCurl(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"curl", "-s", "-S", "-P", "-"});
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bench
