#include "ftp/FtpLimits.h"

namespace {
FtpLimits& DefaultStorage() {
  static FtpLimits limits;
  return limits;
}
}  // namespace

FtpLimits FtpLimits::Default() {
  return DefaultStorage();
}

void FtpLimits::SetDefault(const FtpLimits& limits) {
  DefaultStorage() = limits;
}
