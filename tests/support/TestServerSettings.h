#pragma once
// The program's server settings pointed at a test server, so a client under test logs in to the
// server the fixture started instead of the compiled-in account.

#include "FtpTestServer.h"
#include "Settings.h"

// The account of the test server as the program's settings carry it. The server may be stopped
// afterwards; the settings keep its address.
ServerSettings SettingsFor(const RealFtpServer& server);
