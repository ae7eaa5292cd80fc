#include "TestServerSettings.h"

#include <cstdint>

#include "SyncTestFiles.h"

ServerSettings SettingsFor(const RealFtpServer& server) {
  ServerSettings settings;
  settings.host = "127.0.0.1";
  settings.port = static_cast<std::int16_t>(server.port());
  settings.user = server.user();
  settings.password = server.password();
  settings.tls = FtpTls::Optional;  // the test servers speak plain FTP
  return settings;
}

void SeedAccount(const RealFtpServer& server, AccountFiles files) {
  if (files.brain.empty()) files.brain = BrainText(1500);
  if (files.backup.empty()) files.backup = BrainText(1500);
  server.WriteText("index.html", "<html></html>\r\n");
  server.WriteText("brain.txt", files.brain);
  server.WriteText("brain2.txt", files.backup);
  if (!files.manualBackup.empty()) server.WriteText("brain_manuellbackup.txt", files.manualBackup);
  server.WriteText("version.txt", files.version);
  server.WriteText("medd.txt", files.flagMessages);
  server.WriteText("användare.txt", files.users);
}
