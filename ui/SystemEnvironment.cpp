#include "SystemEnvironment.h"

#include <chrono>
#include <ctime>

void ClockSeededRandom::SeedFromClock() {
  const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
  const auto steady = std::chrono::steady_clock::now().time_since_epoch().count();
  Seed(static_cast<std::uint64_t>(wall) ^ (static_cast<std::uint64_t>(steady) << 17));
}

double ClockSeededRandom::NextUniform() {
  // generate_canonical can round up to exactly 1.0 on some standard libraries; the engine needs
  // [0, 1), so a draw of 1.0 is taken again.
  for (;;) {
    const double r = std::generate_canonical<double, 53>(generator_);
    if (r < 1.0) return r;
  }
}

std::chrono::year_month_day LocalClock::LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                     std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                     std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}
