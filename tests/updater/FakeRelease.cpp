// A stand-in for a new build of Vimo, started by the updater in the program folder. It leaves
// "new-build-ran.txt" so that tests see it ran, then behaves as VIMO_FAKE_RELEASE says: a healthy
// build confirms its start as the real main window does; a dying one ends without confirming.

#include <filesystem>
#include <fstream>

#include "UpdateTrial.h"

int main() {
  std::ofstream("new-build-ran.txt") << "ran\n";
#if VIMO_FAKE_RELEASE_HEALTHY
  ConfirmHealthyStart(std::filesystem::path());
  return 0;
#else
  return 3;
#endif
}
