#include "CannedQuestions.h"

#include "Windows1252.h"

namespace {

constexpr std::chrono::year_month_day kBirthDate{std::chrono::year(2006), std::chrono::June,
                                                 std::chrono::day(10)};

bool Contains(std::string_view text, std::string_view key) {
  return text.find(key) != std::string_view::npos;
}

}  // namespace

CannedQuestions::CannedQuestions(const BrainStore& brain, const NameMemory& names, Clock& clock)
    : brain_(brain), names_(names), clock_(clock) {
  const auto fixed = [](std::string_view utf8) {
    return [reply = W(utf8)](std::string_view) { return reply; };
  };
  const auto add = [this](Match match, std::string_view key, auto reply, std::string_view secondKey = {}) {
    entries_.push_back(Entry{match, W(key), W(secondKey), std::move(reply)});
  };

  add(Match::Equal, "vad heter du", fixed("Jag heter Vimo."));
  add(Match::Equal, "vad heter du?", fixed("Jag heter Vimo."));
  add(Match::Equal, "vem skapade dig", fixed("Gorvik Stennal är min fader."));
  add(Match::Equal, "vem skapade dig?", fixed("Gorvik Stennal är min fader."));
  add(Match::Contains, "vem är du kär i", fixed("Ahh... Boten Sivla... Hon är så vacker."));
  add(Match::Contains, "vem gillar du", fixed("Ahh... Boten Sivla... Hon är mitt livs kärlek."));
  add(Match::Contains, "vem tycker du om",
      fixed("Jag känner en bot som heter Sivla, och henne älskar jag mer än allt annat."));
  add(Match::Contains, "hur många hjärnceller har du", [this](std::string_view) {
    return W("Jag har ") + BrainCells() + W(" hjärnceller just nu. Lär mig mer så jag får fler!");
  });
  add(Match::Contains, "hur många hjärnceller har", [this](std::string_view) {
    return W("Eh... Lika många som din syssling... Jag har nog fler än henne, jag har hela ") + BrainCells() +
           W(" stycken!");
  });
  add(Match::Contains, "hur smart är du", [this](std::string_view) {
    return W("Jag är assmart! Har hela ") + BrainCells() + W(" hjärnceller!");
  });
  add(Match::Contains, "hur smart är", [this](std::string_view) {
    return W("Lika smart som dig! Till skillnad från dig, som bara har 10 hjärnceller, har jag hela ") +
           BrainCells() + W(" stycken!");
  });
  add(
      Match::ContainsBoth, "smart",
      [this](std::string_view) {
        return W("Mmm, jag låter mina ") + BrainCells() + W(" hjärnceller tala för sig själv.");
      },
      "du");
  add(Match::Contains, "hur gammal är du",
      [this](std::string_view) { return W("Jag är ") + Age() + W(" dagar gammal. Hur gammal är du?"); });
  add(Match::Contains, "hur gammal är", [this](std::string_view) {
    return W("Vet inte... Lika gammal som Mirelda? Jag är iallafall ") + Age() +
           W(" dagar gammal. Bara så du vet liksom.");
  });
  add(Match::Contains, "ålder",
      [this](std::string_view) { return W("Min ålder är ") + Age() + W(" dagar."); });
  add(Match::Contains, "hur länge har du", [this](std::string_view) { return Age() + W(" dagar."); });
  add(Match::Contains, "jag heter", [this](std::string_view text) { return names_.Tell(text); });
  add(Match::Contains, "vad heter jag", [this](std::string_view) { return names_.Recall(); });
}

std::optional<std::string> CannedQuestions::ReplyTo(std::string_view text) const {
  for (const Entry& entry : entries_) {
    bool applies = false;
    switch (entry.match) {
      case Match::Equal:
        applies = text == entry.key;
        break;
      case Match::Contains:
        applies = Contains(text, entry.key);
        break;
      case Match::ContainsBoth:
        applies = Contains(text, entry.key) && Contains(text, entry.secondKey);
        break;
    }
    if (applies) return entry.reply(text);
  }
  return std::nullopt;
}

long long CannedQuestions::AgeInDays(std::chrono::year_month_day today) {
  return (std::chrono::sys_days(today) - std::chrono::sys_days(kBirthDate)).count();
}

std::string CannedQuestions::BrainCells() const {
  return std::to_string(brain_.CountBrainCells());
}

std::string CannedQuestions::Age() const {
  return std::to_string(AgeInDays(clock_.LocalToday()));
}
