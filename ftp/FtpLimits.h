#pragma once

#include <chrono>
#include <cstdint>

// Every wait of the FTP client is bounded by one of these values, so that no call can hang on a dead or
// silent server. A stall (no reply, no data) ends with the "!Request timed out" error.
struct FtpLimits {
  // Resolving the host, opening the control connection and reading the greeting.
  std::chrono::milliseconds connectTimeout{std::chrono::seconds(30)};
  // Longest silence tolerated while waiting for a reply, for the server to open a data connection or for
  // the next byte of a transfer. Whole seconds are used for transfers.
  std::chrono::milliseconds stallTimeout{std::chrono::seconds(60)};

  // Most bytes a listing (existence checks included) may bring; past it the call fails.
  uint64_t maxListingBytes = 4u << 20;
  // Most bytes one download may bring, past which it fails and keeps nothing. Generous by default, for
  // the brain and the program; a caller fetching a small file lowers it for that call (SetLimits).
  uint64_t maxDownloadBytes = 256u << 20;

  // The values that new CFtp objects start with. Tests lower them once so that a stalled server is given
  // up quickly; programs never change them.
  static FtpLimits Default();
  static void SetDefault(const FtpLimits& limits);
};
