#pragma once

#include <cstdint>

// Receiver of the FTP backend's numbered status notifications (codes in InetCodes.h). `lpvStatusInfo`
// points at `dwStatusInfoLength` bytes: a NUL-terminated text or a 32-bit count, depending on the code,
// and is only valid during the call. Called synchronously on the thread of the request in progress.
class IInetStatus {
 public:
  virtual ~IInetStatus() = default;
  virtual void CallbackFunc(int32_t dwInternetStatus, const void* lpvStatusInfo,
                            int32_t dwStatusInfoLength) = 0;
};
