#pragma once
// Random talk: on every tick of Timer_Vimopratslump the bot may say a random line of its brain,
// and the tick sets the time to the next one from Slumpprat_Frekvens (1 rarely .. 3 often).
//
// Borrows the view, the brain and the random source, which must outlive it. Holds no state of its
// own: the interval lives in the window's timer.

#include <optional>
#include <string>

#include "BrainStore.h"
#include "ChatView.h"
#include "Environment.h"

// No tick comes sooner than this after the one before: a draw of nearly 0 would otherwise make
// the timer fire without pause (or, at 0, stop it).
inline constexpr int kMinimumRandomTalkIntervalMs = 1000;

// The next interval for a frequency position and a draw r from [0, 1): floor(r x 90000),
// floor(r x 30000) or floor(r x 15000) ms for positions 1, 2, 3, never below the minimum.
// Nothing for any other position (the interval stays as it is).
std::optional<int> NextRandomTalkInterval(int frequency, double r);

class RandomTalk {
 public:
  RandomTalk(ChatView& view, const BrainStore& brain, RandomSource& random);
  RandomTalk(const RandomTalk&) = delete;
  RandomTalk& operator=(const RandomTalk&) = delete;

  // One tick: nothing when random talk is switched off or the brain has no usable line (the
  // interval then stays); otherwise sets the next interval and gives the line in shown form.
  std::optional<std::string> Tick();

 private:
  ChatView& view_;
  const BrainStore& brain_;
  RandomSource& random_;
};
