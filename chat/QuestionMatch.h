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
//
// Signature: the set of content keys of a question (when it has none, the set of its light and
// name keys; when it has no words at all, its normalised text), as one 64-bit value. Two questions
// can only be the same question when their signatures are equal, or equal once one word of five
// letters or more of the typed one is corrected by one edit. A content word the brain has never
// seen therefore never maps onto a look-alike question: no stored signature holds it.
//
// Score of a stored question with the typed one's signature (Similarity): weighted Dice over the
// words, 2 x matched / (typed weight + stored weight), with weights content 1, light 0.25 and the
// name 0; a matched word counts 1 when typed as stored, 0.9 when only its key is the same (an
// inflection, a missing å/ä/ö) and 0.75 when it needed the one edit. Numbers must stand in the same
// order on both sides ("7 minus 10" is not "10 minus 7"). A near answer needs kNearThreshold.
//
// Not thread-safe: WordKeys holds a stemmer and a cache. Text is Windows-1252 throughout.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The least score at which a stored question counts as the typed one. With the weights above, a
// question keeps it with two or three fillers added or dropped, an inflected or misspelt content
// word, or its question words dropped ("huvudstad norge" for "vad är huvudstaden i norge", 0.8),
// but not a single content word buried among light ones ("vad är det i norge då" for "norge",
// 0.62).
inline constexpr double kNearThreshold = 0.7;

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

  // The signature of a stored question, without keeping its words.
  std::uint64_t SignatureOf(std::string_view stored);

 private:
  struct Cached {
    std::uint64_t wordHash = 0;
    std::uint64_t key = 0;
    QuestionWord::Kind kind = QuestionWord::Kind::Content;
  };
  const Cached& Lookup(std::string_view word, std::uint64_t wordHash);
  std::uint64_t KeyOf(std::string_view word);

  struct Stemmer;
  std::unique_ptr<Stemmer> stemmer_;
  std::vector<Cached> cache_;
  std::string buffer_;
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
// it became.
double Similarity(const std::vector<QuestionWord>& typed, const std::vector<QuestionWord>& stored,
                  const CorrectedSignature* corrected = nullptr);
