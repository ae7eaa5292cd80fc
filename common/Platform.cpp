#include "Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

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
