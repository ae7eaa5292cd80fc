#pragma once
// How a typed question meets a stored one when the two are not the same text.
//
// Normalised form: lower case, the punctuation ? ! . , ; : (a stored comma is "|") and quotes as
// blanks, runs of blanks as one, no blank at either edge. "Vad heter du!" and "vad heter  du" are
// both "vad heter du".
//
// Words: the runs of letters and digits of the lower-cased text. Each word has a key, the Swedish
// Snowball stem of the word stemmed again until it no longer changes, with å and ä written as a,
// ö as o and é as e, so that "hundar" meets "hund", "städerna" "stad", "Norges" "norge" and
// "huvudstaden" "huvudstad". A word is one of:
// - light: a Swedish word that carries little in a question (question words, articles, most
//   prepositions, fillers such as "då", "egentligen", "typ"), also when typed without its å/ä/ö;
// - the bot's name, "vimo", which carries nothing;
// - content: every other word; a word of digits only is a number.
// The kinds say which words may be missing on one side (light ones and the name); how much a word
// weighs follows how often it occurs in the brain (below). The list cannot be replaced by the
// counts: a record's signature is made while the brain is read, before the counts are known.
//
// Signature: the set of content keys of a question (when it has none, the set of its light and
// name keys; when it has no words at all, its normalised text), as one 64-bit value. Two questions
// can only be the same question when their signatures are equal, or equal once one word of five
// letters or more of the typed one is corrected by one edit. A content word the brain has never
// seen therefore never maps onto a look-alike question: no stored signature holds it.
//
// Score of a stored question with the typed one's signature (Similarity): weighted Dice over the
// words, 2 x matched / (typed weight + stored weight). A word's weight is its kind's (content 1,
// light 0.25, the name 0) times its rarity among the brain's questions: 1 for a word held by at
// most one question in 50 (or by none), ln((N + 1) / (n + 1)) / ln(50) for one held by n of N
// questions, never below 0.2; numbers keep their full weight. In the starter brain "vad" weighs
// 0.05, "i" 0.09, "du" 0.55, "huvudstaden" 0.73 and "norge" 1. A matched word counts 1 when typed as
// stored, 0.9 when only its key is the same (an inflection, a missing å/ä/ö) and 0.75 when it
// needed the one edit. Numbers must stand in the same order on both sides ("7 minus 10" is not
// "10 minus 7"). A near answer needs kNearThreshold.
//
// Not thread-safe: WordKeys holds a stemmer and a cache. Text is Windows-1252 throughout.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The least score at which a stored question counts as the typed one. With the weights above, in
// the starter brain a question keeps it with fillers added or dropped, an inflected or misspelt
// content word beside others that agree, or its question words dropped ("huvudstad norge" for
// "vad är huvudstaden i norge", 0.9); the lowest of the evaluated rephrasings scores 0.87. It is
// not reached by a lone word that needed the edit (0.75: "packar" is not "tackar") or a single
// content word buried among light ones ("vad är det i norge då" for "norge", 0.74).
inline constexpr double kNearThreshold = 0.8;

std::string NormaliseQuestion(std::string_view stored);

struct QuestionWord {
  enum class Kind { Content, Light, Name };
  std::string text;  // lower case, as typed
  std::uint64_t key = 0;
  Kind kind = Kind::Content;
  bool number = false;
};

// Keys of words, with a cache of recent words: the index computes one signature per record.
class WordKeys {
 public:
  WordKeys();
  ~WordKeys();
  WordKeys(const WordKeys&) = delete;
  WordKeys& operator=(const WordKeys&) = delete;

  // `word`: one lower-case word as SplitQuestion gives it.
  QuestionWord Word(std::string_view word);

  // The signature of a stored question, without keeping its words. `counted`: the question is one
  // of the brain's, and its words count towards how often each occurs (Weight).
  std::uint64_t SignatureOf(std::string_view stored, bool counted = false);

  // What the word weighs in a score: its kind's weight, less the more of the counted questions
  // hold it; with no questions counted, its kind's weight alone.
  double Weight(const QuestionWord& word) const;
  // Memory held by the counts.
  std::size_t CountBytes() const;

 private:
  struct Cached {
    std::uint64_t wordHash = 0;
    std::uint64_t key = 0;
    QuestionWord::Kind kind = QuestionWord::Kind::Content;
    std::uint32_t* questions = nullptr;  // the key's count, once it has been counted
  };
  const Cached& Lookup(std::string_view word, std::uint64_t wordHash);
  std::uint64_t KeyOf(std::string_view word);

  struct Stemmer;
  std::unique_ptr<Stemmer> stemmer_;
  std::vector<Cached> cache_;
  std::string buffer_;
  // For each key but numbers' (which must match anyway): how many counted questions hold it.
  std::unordered_map<std::uint64_t, std::uint32_t> questionsWith_;
  std::size_t questions_ = 0;
};

std::vector<QuestionWord> SplitQuestion(std::string_view stored, WordKeys& keys);
std::uint64_t SignatureOf(const std::vector<QuestionWord>& words, std::string_view stored);

// A typed question with one word corrected by one edit.
struct CorrectedSignature {
  std::uint64_t signature = 0;
  std::size_t word = 0;      // which typed word
  QuestionWord replacement;  // what it became
};
// Every signature the typed question gets when one of its content words of five letters or more
// (numbers aside) is changed by one deletion, insertion, substitution or swap of neighbours; a
// word that becomes a light word or the name drops out of the signature.
std::vector<CorrectedSignature> CorrectedSignatures(const std::vector<QuestionWord>& words, WordKeys& keys);

// The score above; `corrected` (may be null) names the typed word that needed the edit and what
// it became; `weights` (may be null: the kinds' weights) the keys whose counts weigh the words.
double Similarity(const std::vector<QuestionWord>& typed, const std::vector<QuestionWord>& stored,
                  const CorrectedSignature* corrected = nullptr, const WordKeys* weights = nullptr);
