// The administrator's tool for the shared brain's history, against the account the programs use
// (the compiled-in settings, or VIMO_FTP_HOST and the others from the environment):
//
//   vimo_brain_history list                 the generations on the server, newest first
//   vimo_brain_history restore <name>       puts that generation back as /brain.txt, under the lock

#include <cstdio>
#include <filesystem>
#include <string>

#include "ServerLayout.h"
#include "Settings.h"
#include "SharedBrain.h"
#include "SharedFiles.h"
#include "ftp/CFtp.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vimo_brain_history list | restore <brain-yyyymmdd-records.txt>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (!(command == "list" && argc == 2) && !(command == "restore" && argc == 3)) return Usage();

  const ServerSettings settings = ReadServerSettings();
  CFtp ftp;
  ftp.Port(settings.port);
  ftp.SetTls(settings.tls);
  if (!ftp.Connect(settings.host, settings.user, settings.password, "")) {
    std::fprintf(stderr, "Cannot log in to %s:%d.\n", settings.host.c_str(), settings.port);
    return 1;
  }
  ftp.TransferType(1);
  int status = 0;
  if (command == "list") {
    const auto listing = ListRoot(ftp);
    if (!listing) {
      std::fprintf(stderr, "Cannot list the login folder.\n");
      status = 1;
    } else {
      for (const Generation& generation : GenerationsIn(*listing))
        std::printf("%s\t%d\t%llu records\n", generation.name.c_str(), generation.day,
                    static_cast<unsigned long long>(generation.records));
    }
  } else {
    SleepingWaiter waiter;
    std::string failure;
    const auto scratch =
        std::filesystem::temp_directory_path() / ("vimo-restore-" + RandomHexName() + ".txt");
    if (RestoreGeneration(ftp, waiter, argv[2], scratch, failure)) {
      std::printf("%s is /brain.txt again.\n", argv[2]);
    } else {
      std::fprintf(stderr, "Not restored: %s\n", failure.c_str());
      status = 1;
    }
  }
  ftp.CloseConnection();
  return status;
}
