#pragma once
// The program's server settings pointed at a test server, so a client under test logs in to the
// server the fixture started instead of the compiled-in account.

#include "FtpTestServer.h"
#include "Settings.h"

// The account of the test server as the program's settings carry it. The server may be stopped
// afterwards; the settings keep its address.
ServerSettings SettingsFor(const RealFtpServer& server);

// What a start finds on a healthy account; each field is the text of one file (an empty
// `manualBackup` is left out).
struct AccountFiles {
  std::string brain = {};
  std::string backup = {};
  std::string manualBackup = {};
  std::string version = "9,Inget nytt,0,0\r\n";
  std::string flagMessages = "Hej\r\nAdmin\r\n";
  std::string users = "alfa\r\n";
};
// Writes the probe page and the files as a client's ASCII uploads would leave them; a brain and a
// backup left empty get 1500 records.
void SeedAccount(const RealFtpServer& server, AccountFiles files = {});
