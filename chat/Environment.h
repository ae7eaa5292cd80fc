#pragma once
// The engine's sources of chance and time, injectable so that tests can script them.

#include <chrono>

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A fresh uniform draw from [0, 1).
  virtual double NextUniform() = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Today's date in local time.
  virtual std::chrono::year_month_day LocalToday() = 0;
};
