#include "Platform.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

void SleepingWaiter::Wait(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string ComputerName() {
  char buffer[256] = {};
#ifdef _WIN32
  DWORD size = 255;
  if (!GetComputerNameA(buffer, &size)) return {};
#else
  if (gethostname(buffer, 255) != 0) return {};
#endif
  buffer[255] = '\0';
  return std::string(buffer);
}
