#include "QuestionMatch.h"

#include <libstemmer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>

#include "Windows1252.h"

namespace {

constexpr double kContentWeight = 1.0;
constexpr double kLightWeight = 0.25;
constexpr double kSameTextCredit = 1.0;
constexpr double kSameKeyCredit = 0.9;
constexpr double kCorrectedCredit = 0.75;
// Shorter words are left as typed: one edit turns too many of them into other words.
constexpr std::size_t kShortestCorrectedWord = 5;
// Longer words are no typing slips, and every letter would cost dozens of lookups.
constexpr std::size_t kLongestCorrectedWord = 30;
// Content words of one question tried with a correction at most, for the same reason.
constexpr std::size_t kMostCorrectedWords = 8;
// Repeated stemming settles within a few rounds; the bound only guards against a cycle.
constexpr int kMostStemRounds = 4;
// Enough for the words a brain keeps repeating, and small enough to stay in the processor's cache.
// A word held by at most one question in this many weighs fully; commoner ones weigh less, but
// never below kLeastRarity of their kind's weight.
constexpr double kRareShare = 50;
constexpr double kLeastRarity = 0.2;
constexpr std::size_t kWordCacheSize = 8192;

// Each byte's lower-case form when it belongs to a word, 0 when it separates words.
const std::array<unsigned char, 256>& WordBytes() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> bytes{};
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      const auto lower = static_cast<unsigned char>(LowerWindows1252(std::string_view(&c, 1))[0]);
      const bool letter = (lower >= 'a' && lower <= 'z') || (lower >= 0xDF && lower != 0xF7) ||
                          lower == 0x9A || lower == 0x9C || lower == 0x9E;
      const bool digit = lower >= '0' && lower <= '9';
      bytes[static_cast<std::size_t>(b)] = letter || digit ? lower : 0;
    }
    return bytes;
  }();
  return table;
}

// The bytes that only punctuate: they part words in the normalised form too.
bool IsPunctuation(unsigned char b) {
  switch (b) {
    case '?':
    case '!':
    case '.':
    case ',':
    case '|':
    case ';':
    case ':':
    case '"':
    case '\'':
    case '`':
    case 0x82:  // ‚
    case 0x84:  // „
    case 0x91:  // ‘
    case 0x92:  // ’
    case 0x93:  // “
    case 0x94:  // ”
    case 0xAB:  // «
    case 0xB4:  // ´
    case 0xBB:  // »
      return true;
    default:
      return false;
  }
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  x ^= x >> 31;
  return x;
}

// Bytes are gathered eight at a time and mixed once per eight: the index hashes every word of
// every question at start, and a multiply per byte would make that the slowest part.
class ByteHash {
 public:
  void Add(unsigned char byte) {
    gathered_ = gathered_ << 8 | byte;
    if ((++count_ & 7) == 0) {
      hash_ = Mix(hash_ ^ gathered_);
      gathered_ = 0;
    }
  }
  bool Empty() const { return count_ == 0; }
  std::uint64_t Finish() const { return Mix(hash_ ^ gathered_ ^ (count_ << 56)); }

 private:
  std::uint64_t hash_ = 0x9e3779b97f4a7c15ull;
  std::uint64_t gathered_ = 0;
  std::uint64_t count_ = 0;
};

std::uint64_t HashBytes(std::string_view text) {
  ByteHash hash;
  for (const char c : text) hash.Add(static_cast<unsigned char>(c));
  return hash.Finish();
}

// å, ä and the other accented vowels as their plain letter: a word typed without them keeps its key.
std::string Fold(std::string_view word) {
  std::string folded(word);
  for (char& c : folded) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0xE0 && b <= 0xE5) {
      c = 'a';
    } else if (b >= 0xE8 && b <= 0xEB) {
      c = 'e';
    } else if (b >= 0xEC && b <= 0xEF) {
      c = 'i';
    } else if ((b >= 0xF2 && b <= 0xF6) || b == 0xF8) {
      c = 'o';
    } else if (b >= 0xF9 && b <= 0xFC) {
      c = 'u';
    }
  }
  return folded;
}

// Calls word(std::string_view) for every word of the text, lower-cased into `buffer`.
template <typename Visit>
void ForEachWord(std::string_view text, std::string& buffer, Visit word) {
  const auto& bytes = WordBytes();
  buffer.clear();
  for (const char c : text) {
    const unsigned char lower = bytes[static_cast<unsigned char>(c)];
    if (lower != 0) {
      buffer += static_cast<char>(lower);
    } else if (!buffer.empty()) {
      word(std::string_view(buffer));
      buffer.clear();
    }
  }
  if (!buffer.empty()) word(std::string_view(buffer));
}

const std::unordered_set<std::string>& LightWords() {
  static const std::unordered_set<std::string> words = [] {
    std::unordered_set<std::string> set;
    for (const char* utf8 :
         {"vad", "vilken", "vilket", "vilka", "är", "e", "en", "ett", "den", "det", "i", "på", "till", "om",
          "av", "för", "med", "då", "nu", "egentligen", "typ", "liksom", "ju", "väl", "alltså", "asså",
          "eller", "snälla", "men", "och", "så", "nog", "hmm", "mm", "ba",
          // the same typed without å/ä: few enough not to meet other words
          "ar", "pa", "da", "sa"}) {
      set.insert(W(utf8));
    }
    return set;
  }();
  return words;
}

constexpr std::string_view kBotName = "vimo";

// The sets a signature is made of. A question has few words, so a short list finds repeats; the
// index makes one per record, so it lives on the stack.
class SignatureBuilder {
 public:
  // True when the question did not hold the key yet.
  bool Add(std::uint64_t key, QuestionWord::Kind kind) {
    return kind == QuestionWord::Kind::Content ? content_.Add(key) : light_.Add(key);
  }
  std::uint64_t Finish(std::string_view stored) const {
    if (content_.count > 0) return Mix(content_.sum ^ 0x6a09e667f3bcc908ull);
    if (light_.count > 0) return Mix(light_.sum ^ 0xbb67ae8584caa73bull);
    return Mix(HashBytes(NormaliseQuestion(stored)) ^ 0x3c6ef372fe94f82bull);
  }

 private:
  struct KeySet {
    // Repeats beyond the first words are rare enough to be told apart by the sum alone.
    static constexpr std::size_t kRemembered = 24;
    std::array<std::uint64_t, kRemembered> keys;  // only the first `count` are set
    std::size_t count = 0;
    std::uint64_t sum = 0;
    bool Add(std::uint64_t key) {
      const std::size_t known = std::min(count, kRemembered);
      for (std::size_t i = 0; i < known; ++i) {
        if (keys[i] == key) return false;
      }
      if (count < kRemembered) keys[count] = key;
      ++count;
      sum += Mix(key);
      return true;
    }
  };
  KeySet content_, light_;
};

bool IsNumber(std::string_view word) {
  return std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

double WeightOf(QuestionWord::Kind kind) {
  switch (kind) {
    case QuestionWord::Kind::Content:
      return kContentWeight;
    case QuestionWord::Kind::Light:
      return kLightWeight;
    case QuestionWord::Kind::Name:
      break;
  }
  return 0.0;
}

}  // namespace

std::string NormaliseQuestion(std::string_view stored) {
  const std::string lower = LowerWindows1252(stored);
  std::string normal;
  normal.reserve(lower.size());
  bool blank = false;
  for (const char c : lower) {
    const auto b = static_cast<unsigned char>(c);
    if (b == ' ' || IsPunctuation(b)) {
      blank = !normal.empty();
      continue;
    }
    if (blank) normal += ' ';
    blank = false;
    normal += c;
  }
  return normal;
}

struct WordKeys::Stemmer {
  sb_stemmer* stemmer = sb_stemmer_new("swedish", "ISO_8859_1");
  ~Stemmer() {
    if (stemmer != nullptr) sb_stemmer_delete(stemmer);
  }
  std::string Stem(const std::string& word) const {
    if (stemmer == nullptr) return word;
    const sb_symbol* stem = sb_stemmer_stem(stemmer, reinterpret_cast<const sb_symbol*>(word.data()),
                                            static_cast<int>(word.size()));
    if (stem == nullptr) return word;
    return std::string(reinterpret_cast<const char*>(stem),
                       static_cast<std::size_t>(sb_stemmer_length(stemmer)));
  }
};

WordKeys::WordKeys() : stemmer_(std::make_unique<Stemmer>()), cache_(kWordCacheSize) {}
WordKeys::~WordKeys() = default;

std::uint64_t WordKeys::KeyOf(std::string_view word) {
  if (IsNumber(word)) return HashBytes(word);
  std::string stem(word);
  for (int round = 0; round < kMostStemRounds; ++round) {
    std::string next = stemmer_->Stem(stem);
    if (next == stem) break;
    stem = std::move(next);
  }
  return HashBytes(Fold(stem));
}

const WordKeys::Cached& WordKeys::Lookup(std::string_view word, std::uint64_t wordHash) {
  Cached& slot = cache_[wordHash & (kWordCacheSize - 1)];
  // 0 marks an empty slot; a word whose hash is 0 is simply never cached.
  if (slot.wordHash == wordHash && wordHash != 0) return slot;
  slot.wordHash = wordHash;
  slot.key = KeyOf(word);
  slot.questions = nullptr;
  if (IsNumber(word)) {
    slot.kind = QuestionWord::Kind::Content;
  } else if (word == kBotName) {
    slot.kind = QuestionWord::Kind::Name;
  } else if (LightWords().count(std::string(word)) != 0) {
    slot.kind = QuestionWord::Kind::Light;
  } else {
    slot.kind = QuestionWord::Kind::Content;
  }
  return slot;
}

QuestionWord WordKeys::Word(std::string_view word) {
  const Cached& cached = Lookup(word, HashBytes(word));
  return QuestionWord{std::string(word), cached.key, cached.kind, IsNumber(word)};
}

// The index computes one signature per record: the words are hashed as they are read, and a word
// is only copied and lower-cased when the cache does not know it.
std::uint64_t WordKeys::SignatureOf(std::string_view stored, bool counted) {
  const auto& bytes = WordBytes();
  SignatureBuilder builder;
  ByteHash word;
  std::size_t begin = 0;
  bool digits = true;
  const auto endWord = [&](std::size_t end) {
    const std::uint64_t hash = word.Finish();
    word = ByteHash();
    // A number's key is the hash of its digits: numbers are mostly distinct, so they would only
    // push the words out of the cache.
    if (digits) {
      builder.Add(hash, QuestionWord::Kind::Content);
      return;
    }
    Cached& slot = cache_[hash & (kWordCacheSize - 1)];
    if (slot.wordHash != hash || hash == 0) {
      buffer_.clear();
      for (std::size_t i = begin; i < end; ++i)
        buffer_ += static_cast<char>(bytes[static_cast<unsigned char>(stored[i])]);
      Lookup(buffer_, hash);
    }
    if (builder.Add(slot.key, slot.kind) && counted) {
      if (slot.questions == nullptr) slot.questions = &questionsWith_[slot.key];
      ++*slot.questions;
    }
  };
  for (std::size_t at = 0; at < stored.size(); ++at) {
    const unsigned char lower = bytes[static_cast<unsigned char>(stored[at])];
    if (lower != 0) {
      if (word.Empty()) {
        begin = at;
        digits = true;
      }
      digits = digits && static_cast<unsigned char>(lower - '0') < 10;
      word.Add(lower);
    } else if (!word.Empty()) {
      endWord(at);
    }
  }
  if (!word.Empty()) endWord(stored.size());
  if (counted) ++questions_;
  return builder.Finish(stored);
}

double WordKeys::Weight(const QuestionWord& word) const {
  const double weight = WeightOf(word.kind);
  if (word.number || weight == 0.0 || questions_ < 2) return weight;
  const auto found = questionsWith_.find(word.key);
  const double holding = found == questionsWith_.end() ? 0.0 : found->second;
  const double questions = static_cast<double>(questions_);
  // 1 for a word in at most one question of kRareShare (or in none), falling to 0 for a word in
  // every question; a small brain has no such rare words, so there the scale is the brain itself.
  const double rarity =
      std::log((questions + 1) / (holding + 1)) / std::log(std::min(questions + 1, kRareShare));
  return weight * std::clamp(rarity, kLeastRarity, 1.0);
}

std::size_t WordKeys::CountBytes() const {
  // A node holds its key, its count and the link to the next; a bucket one pointer.
  return questionsWith_.size() * (sizeof(void*) + sizeof(std::uint64_t) * 2) +
         questionsWith_.bucket_count() * sizeof(void*);
}

std::vector<QuestionWord> SplitQuestion(std::string_view stored, WordKeys& keys) {
  std::vector<QuestionWord> words;
  std::string buffer;
  ForEachWord(stored, buffer, [&](std::string_view word) { words.push_back(keys.Word(word)); });
  return words;
}

std::uint64_t SignatureOf(const std::vector<QuestionWord>& words, std::string_view stored) {
  SignatureBuilder builder;
  for (const QuestionWord& word : words) builder.Add(word.key, word.kind);
  return builder.Finish(stored);
}

std::vector<CorrectedSignature> CorrectedSignatures(const std::vector<QuestionWord>& words, WordKeys& keys) {
  static const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz" + W("åäöé");
  const std::uint64_t typed = SignatureOf(words, {});
  std::vector<CorrectedSignature> corrected;
  std::unordered_set<std::uint64_t> seen{typed};
  const auto signatureWith = [&](std::size_t at, const QuestionWord& replacement) {
    SignatureBuilder builder;
    for (std::size_t i = 0; i < words.size(); ++i) {
      const QuestionWord& word = i == at ? replacement : words[i];
      builder.Add(word.key, word.kind);
    }
    return builder.Finish({});
  };
  std::size_t tried = 0;
  for (std::size_t at = 0; at < words.size() && tried < kMostCorrectedWords; ++at) {
    const QuestionWord& word = words[at];
    if (word.kind != QuestionWord::Kind::Content || word.number ||
        word.text.size() < kShortestCorrectedWord || word.text.size() > kLongestCorrectedWord)
      continue;
    ++tried;
    const std::string& text = word.text;
    const auto tryVariant = [&](const std::string& variant) {
      QuestionWord replacement = keys.Word(variant);
      if (replacement.number) return;
      const std::uint64_t signature = signatureWith(at, replacement);
      if (!seen.insert(signature).second) return;
      corrected.push_back({signature, at, std::move(replacement)});
    };
    std::string variant;
    for (std::size_t i = 0; i < text.size(); ++i) {
      variant = text;
      variant.erase(i, 1);
      tryVariant(variant);
      if (i + 1 < text.size()) {
        variant = text;
        std::swap(variant[i], variant[i + 1]);
        tryVariant(variant);
      }
      for (const char c : kAlphabet) {
        if (c == text[i]) continue;
        variant = text;
        variant[i] = c;
        tryVariant(variant);
      }
    }
    for (std::size_t i = 0; i <= text.size(); ++i) {
      for (const char c : kAlphabet) {
        variant = text;
        variant.insert(variant.begin() + static_cast<std::ptrdiff_t>(i), c);
        tryVariant(variant);
      }
    }
  }
  return corrected;
}

double Similarity(const std::vector<QuestionWord>& typed, const std::vector<QuestionWord>& stored,
                  const CorrectedSignature* corrected, const WordKeys* weights) {
  const auto weightOf = [weights](const QuestionWord& word) {
    return weights != nullptr ? weights->Weight(word) : WeightOf(word.kind);
  };
  const auto numbersOf = [](const std::vector<QuestionWord>& words) {
    std::vector<std::string_view> numbers;
    for (const QuestionWord& word : words) {
      if (word.number) numbers.push_back(word.text);
    }
    return numbers;
  };
  if (numbersOf(typed) != numbersOf(stored)) return 0.0;

  std::vector<bool> used(stored.size(), false);
  double typedWeight = 0, storedWeight = 0, matched = 0;
  std::size_t unpaired = 0;
  for (const QuestionWord& word : stored) storedWeight += weightOf(word);
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const bool isCorrected = corrected != nullptr && corrected->word == i;
    const QuestionWord& word = isCorrected ? corrected->replacement : typed[i];
    const double weight = weightOf(word);
    typedWeight += weight;
    // The same text first, so that a word typed twice pairs with its own copy.
    std::size_t best = stored.size();
    for (std::size_t j = 0; j < stored.size(); ++j) {
      if (used[j] || stored[j].key != word.key) continue;
      if (best == stored.size() || stored[j].text == word.text) best = j;
      if (stored[j].text == word.text) break;
    }
    if (best == stored.size()) {
      // Every content word must have its partner; a light one may go missing.
      if (word.kind == QuestionWord::Kind::Content) return 0.0;
      ++unpaired;
      continue;
    }
    used[best] = true;
    const double credit = isCorrected                      ? kCorrectedCredit
                          : stored[best].text == word.text ? kSameTextCredit
                                                           : kSameKeyCredit;
    matched += credit * std::min(weight, weightOf(stored[best]));
  }
  for (std::size_t j = 0; j < stored.size(); ++j) {
    if (used[j]) continue;
    if (stored[j].kind == QuestionWord::Kind::Content) return 0.0;
    ++unpaired;
  }
  const double total = typedWeight + storedWeight;
  // Nothing but the name on either side: the same question only word for word.
  if (total <= 0.0) return unpaired == 0 && !typed.empty() ? 1.0 : 0.0;
  return 2.0 * matched / total;
}
