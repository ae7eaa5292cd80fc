#pragma once
// pure-ftpd, the second real FTP server the updater is tried against: started in the foreground on
// a free port of 127.0.0.1, with one virtual user (from pure-pw) whose home is a fresh folder. The
// constructor waits (at most 10 s) until it accepts connections and throws std::runtime_error when
// it does not; the destructor stops it and removes the folder. Not copyable.

#include <sys/types.h>

#include <string>

#include "Settings.h"
#include "SyncTestFiles.h"

class PureFtpdServer {
 public:
  PureFtpdServer();
  ~PureFtpdServer();
  PureFtpdServer(const PureFtpdServer&) = delete;
  PureFtpdServer& operator=(const PureFtpdServer&) = delete;

  ServerSettings settings() const;
  // Stores the bytes unchanged under the name in the user's home.
  void WriteFile(const std::string& name, const std::string& bytes) const;

 private:
  TempFolder folder_{"vimo-pure-ftpd"};
  int port_ = 0;
  pid_t pid_ = -1;
};
