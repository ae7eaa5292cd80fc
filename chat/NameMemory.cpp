#include "NameMemory.h"

#include <algorithm>

#include "BrainStore.h"
#include "ItemReader.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace {

// The length of "jag heter " with its blank.
constexpr std::size_t kPhraseLength = 10;

}  // namespace

NameMemory::NameMemory(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<std::string> NameMemory::StoredName() const {
  const auto bytes = ReadFileBytes(file_);
  if (!bytes) return std::nullopt;
  const std::string_view name = ItemReader(*bytes).Next();
  if (name.empty()) return std::nullopt;
  return std::string(name);
}

std::string NameMemory::Tell(std::string_view text) const {
  // Blanks at the start of the name would be dropped when the file is read back, so the same
  // name told twice would look like a new one; they are not part of the name.
  std::string_view name = text.size() > kPhraseLength ? text.substr(kPhraseLength) : std::string_view();
  name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
  if (name.empty()) return W("Vafan... Skriv ordentligt vad du heter. Jag vill veta.");

  const auto stored = StoredName();
  if (stored && *stored == name) return W("Jag visste redan att du hette ") + *stored + "...";
  if (!Store(name)) return W("Hoppsan, jag kunde inte spara ditt namn. Försök igen lite senare!");
  if (stored) {
    return W("Jasså... Du har tidigare sagt att du heter ") + *stored +
           W("... Har du bytt namn eller? Men visst, jag sparar ditt nya namn.");
  }
  return W("Tack för upplysningen! Nu har jag sparat ditt namn i min hjärna!");
}

std::string NameMemory::Recall() const {
  const auto stored = StoredName();
  if (!stored) {
    return W("Det har du inte berättat för mig! Skriv såhär: 'jag heter <dittnamn>' så jag får reda på det!");
  }
  return W("Du heter ") + *stored + W("! Det visste jag haha... Jag är bäst!");
}

bool NameMemory::Store(std::string_view name) const {
  if (!BrainStore::CanStore(name)) return false;
  std::string line(name);
  line += "\r\n";
  return WriteFileAtomically(file_, line);
}
