#include "RandomTalk.h"

#include <algorithm>
#include <cmath>

std::optional<int> NextRandomTalkInterval(int frequency, double r) {
  int range = 0;
  switch (frequency) {
    case 1:
      range = 90000;
      break;
    case 2:
      range = 30000;
      break;
    case 3:
      range = 15000;
      break;
    default:
      return std::nullopt;
  }
  // A source that strays outside [0, 1) still gives an interval inside the range.
  const double drawn = r > 0.0 ? std::min(std::floor(r * range), range - 1.0) : 0.0;
  return std::max(static_cast<int>(drawn), kMinimumRandomTalkIntervalMs);
}

RandomTalk::RandomTalk(ChatView& view, const BrainStore& brain, RandomSource& random)
    : view_(view), brain_(brain), random_(random) {}

std::optional<std::string> RandomTalk::Tick() {
  if (view_.RandomTalkCheckValue() != 1) return std::nullopt;
  const auto line = brain_.PickRandomLine(random_);
  if (!line) return std::nullopt;
  const int frequency = view_.RandomTalkFrequencyValue();
  if (const auto interval = NextRandomTalkInterval(frequency, random_.NextUniform())) {
    view_.SetRandomTalkInterval(*interval);
  }
  return BrainStore::ToShown(*line);
}
