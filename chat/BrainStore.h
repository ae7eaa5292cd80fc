#pragma once
// The brain file "brain.txt": an ordered list of records, each an item "*", a question and an
// answer, read with the comma-separated item reader (common/ItemReader.h) and written as
// Windows-1252 lines ended by CR LF. The store keeps nothing in memory: every operation opens the
// file, does its whole work and closes it before returning, so a change is seen by the next call.
//
// The file stays the one source of truth, but lookups and counts answer from an index of it: for
// each question, where the answer of its first record lies, and the count of "*". The index is
// built by reading the file once, kept right by this store's own appends and rewrites, and
// checked against the file's size, modification time and first and last bytes before each use;
// a file changed in any other way is read again before it is answered from. One index per file
// is shared by every store of that file in the process, so that the count at start builds the
// index the chat then uses.
//
// Questions and answers are in stored form (lower case, every comma as "|"). The first record in
// file order with a given question wins for lookup and correction.
//
// Not re-entrant in any interesting sense: every call runs to completion without calling out.
// No operation throws; failures come back as false or nothing.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Environment.h"

class BrainStore {
 public:
  // brainFile: the brain ("brain.txt" in the program folder). Corrections are written through
  // "temp_brain.txt" in the same folder.
  explicit BrainStore(std::filesystem::path brainFile);

  // Lookups and counts read the file in pieces of this size, large enough for few reads and small
  // enough to stay in the cache.
  static constexpr std::size_t kReadPieceBytes = 1 << 18;

  const std::filesystem::path& File() const { return file_; }

  // The number of "*" bytes in the file: the bot's brain cells, and a whole brain's measure.
  // A missing file has none.
  std::size_t CountBrainCells() const;

  // The answer of the first complete record whose question is exactly `question`. A record cut
  // short by the end of the file (a "*" or a question as the last item) is no record.
  std::optional<std::string> FindAnswer(std::string_view question) const;

  // The answer to a question that is not stored as typed but is clearly a stored one (see
  // QuestionMatch.h): the first record whose question has the typed one's normalised form, else
  // the record with the best score of at least kNearThreshold, the first in file order among
  // equals. Nothing when no record comes close enough.
  struct NearAnswer {
    std::string question;  // the record's own question
    std::string answer;
    double score = 0;
    bool normalised = false;  // the same question once normalised
  };
  std::optional<NearAnswer> FindNearAnswer(std::string_view typed) const;

  // Whether the text can be one item of the file: a comma or a line end inside it would split it.
  static bool CanStore(std::string_view item);

  // Appends an empty line, "*", the question and the answer, each ended by CR LF; creates the file
  // when it is missing. False when the file cannot be written, or when the question or the answer
  // cannot be stored (CanStore); nothing is written then.
  bool AppendRecord(std::string_view question, std::string_view answer) const;

  // Gives the first record with this question the new answer and drops every empty item of the
  // file; every other record keeps its place and its text. The new file is written to
  // "temp_brain.txt" and renamed over the brain, so a crash leaves the old or the new brain.
  // False, with the brain byte for byte unchanged, when no complete record has this question, the
  // new answer cannot be stored (CanStore), or the file cannot be read or written.
  bool ReplaceAnswer(std::string_view question, std::string_view newAnswer) const;

  // A random line of the file (question or answer, stored form). From the index: a record drawn
  // uniformly, then its question or its answer, so that nothing is read but that record. Without
  // it, or when the draws keep meeting empty items: uniform among the lines that are neither empty
  // nor "*", the text after the last line end never chosen. Creates an empty file when it is
  // missing. Nothing when there is no usable line; never draws forever.
  std::optional<std::string> PickRandomLine(RandomSource& random) const;

  // Near matches need a second table, of every question's signature (QuestionMatch.h), which costs
  // more than the rest of the index together. It is not built with the index but in slices, each
  // call taking the next kIdleSliceRecords records, while the window has nothing else to do; a
  // near match before it is done builds the rest itself. True while some of it is left; false
  // also when no index is held for the file as it is now (building one is not idle work).
  bool IndexInIdleTime() const;
  static constexpr std::size_t kIdleSliceRecords = 16384;

  // Whether lookups and counts may use the index (the default). Without it every call reads the
  // whole file, as measurements of the reading itself need.
  void SetIndexUsed(bool used) { indexUsed_ = used; }
  // Memory held by this file's index, 0 when none is held.
  std::size_t IndexBytes() const;

  // The index of one file; opaque outside the store.
  class Index;

  // Typed text to stored form: every "," becomes "|".
  static std::string ToStored(std::string_view typed);
  // Stored text to shown form: every "|" becomes ",".
  static std::string ToShown(std::string_view stored);

 private:
  // The file's index, checked against the file or rebuilt; nullptr when the file cannot be read
  // or indexed (the caller then reads the file itself).
  Index* CurrentIndex() const;
  // CurrentIndex with its near table finished; nullptr (and no index held) when that fails.
  Index* IndexWithNearTable() const;
  // The index only if it still matches the file as it is now; it is never rebuilt here.
  Index* IndexMatchingFile() const;
  // Brings an index that matched the file before this store appended to it up to date, or drops
  // it.
  void IndexAppended(Index* before, bool appended) const;
  // After the store rewrote the file: a held index is built again from the new file.
  void IndexRewritten() const;

  std::filesystem::path file_;
  std::filesystem::path temporary_;
  std::string indexKey_;
  bool indexUsed_ = true;
};
