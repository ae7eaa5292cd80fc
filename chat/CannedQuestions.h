#pragma once
// The fixed table of questions about the bot itself, tried in order before the brain, in normal
// mode only. The first entry that applies gives the reply; no later entry is tried.
//
// Borrows the brain, the name memory and the clock, which must outlive it. Holds no state of the
// conversation. Replies are Windows-1252.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BrainStore.h"
#include "Environment.h"
#include "NameMemory.h"

class CannedQuestions {
 public:
  CannedQuestions(const BrainStore& brain, const NameMemory& names, Clock& clock);
  CannedQuestions(const CannedQuestions&) = delete;
  CannedQuestions& operator=(const CannedQuestions&) = delete;

  // The reply to a normalised input (lower case, commas as "|"), or nothing when no entry
  // applies. The name entries may write "user.vimo".
  std::optional<std::string> ReplyTo(std::string_view text) const;

  // The bot's age: calendar days from its birth on 2006-06-10 to `today`.
  static long long AgeInDays(std::chrono::year_month_day today);

 private:
  enum class Match { Equal, Contains, ContainsBoth };
  struct Entry {
    Match match;
    std::string key;
    std::string secondKey;
    std::function<std::string(std::string_view text)> reply;
  };

  std::string BrainCells() const;
  std::string Age() const;

  const BrainStore& brain_;
  const NameMemory& names_;
  Clock& clock_;
  std::vector<Entry> entries_;
};
