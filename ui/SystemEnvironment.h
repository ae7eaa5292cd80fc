#pragma once
// The real sources of chance and time behind the conversation engine.

#include <cstdint>
#include <random>

#include "Environment.h"

// Uniform draws from a 64-bit Mersenne twister. Until seeded it repeats the same sequence on
// every run, which is why the main window seeds it from the clock when it loads.
class ClockSeededRandom final : public RandomSource {
 public:
  void Seed(std::uint64_t seed) { generator_.seed(seed); }
  // Seeds from the wall clock and the steady clock together, so two starts in the same second
  // still differ.
  void SeedFromClock();
  double NextUniform() override;

 private:
  std::mt19937_64 generator_;
};

// Today's date from the operating system's local time zone.
class LocalClock final : public Clock {
 public:
  std::chrono::year_month_day LocalToday() override;
};
