#pragma once
// Releases for the updater tests: real builds that the updater can start, signed by a key made for
// the test, and put on a test server the way the release tool publishes them.

#include <string>

#include "FtpTestServer.h"
#include "Release.h"
#include "SyncTestFiles.h"

// A real program of this platform that confirms its start, and one that dies before it does.
inline std::string HealthyBuild() {
  return ReadBytes(VIMO_HEALTHY_RELEASE);
}
inline std::string DyingBuild() {
  return ReadBytes(VIMO_DYING_RELEASE);
}

struct TestReleaseKey {
  ReleaseKeyPair pair = GenerateReleaseKeyPair();

  std::string Sign(const std::string& program, float version) const {
    return SignRelease(pair.secretKey, version, program).value();
  }
  // "/Vimo" and its signature for `version` on the server.
  void Publish(const RealFtpServer& server, const std::string& program, float version) const {
    server.WriteFile("Vimo", program);
    server.WriteFile("Vimo.sig", Sign(program, version));
  }
};
