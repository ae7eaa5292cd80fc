#include "BrainStore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "ItemReader.h"
#include "QuestionMatch.h"
#include "TextFile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Draws that may miss (an empty or "*" line) before the choice is made among the usable lines
// directly; the distribution is the same, but a brain of nearly nothing but "*" cannot keep the
// window busy.
constexpr int kMaxRandomLineDraws = 64;

bool IsItemDelimiter(char c) {
  return c == ',' || c == '\r' || c == '\n';
}

// Position after the delimiter at `at`; CR LF counts as one.
std::size_t AfterDelimiter(std::string_view text, std::size_t at) {
  if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') return at + 2;
  return at + 1;
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// Eight bytes at a time while none of them is a delimiter: items are looked for all over the
// file when the index is built.
std::size_t ItemEnd(std::string_view text, std::size_t at) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  const auto hasByte = [](std::uint64_t word, char c) {
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return ((x - kOnes) & ~x & kHighs) != 0;
  };
  while (at + 8 <= text.size()) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    if (hasByte(word, ',') || hasByte(word, '\r') || hasByte(word, '\n')) break;
    at += 8;
  }
  while (at < text.size() && !IsItemDelimiter(text[at])) ++at;
  return at;
}

struct AnswerItem {
  std::size_t start;  // where the item starts, blanks included
  std::size_t begin;  // where its text begins
  std::size_t end;    // the delimiter after it, or the end of the text
};

struct AnswerScan {
  enum Status { kFound, kMissing, kNeedMore } status;
  AnswerItem answer;
  // kNeedMore: the text before this position is settled. The byte here is context only (what
  // precedes the next item); the scan resumes right after it once more text has been added.
  std::size_t keepFrom;
};

// Where the items of one complete record lie in the text.
struct RecordItems {
  std::size_t questionBegin;
  std::size_t questionEnd;
  AnswerItem answer;
};

struct WalkEnd {
  enum Status { kStopped, kDone, kNeedMore } status;
  // kNeedMore: as AnswerScan::keepFrom.
  std::size_t keepFrom;
};

// Visits the complete records in file order, starting at `from`, until visit(RecordItems) returns
// true. Records whose question item starts at a position p for which mayBe(p) is false are passed
// over without reading further into them. The same walk as reading item by item (a "*" opens a record, the
// next item is its question, and the search for the next "*" goes on right after the question, over the
// answer), but it jumps from "*" to "*" with memchr and never copies, so that a walk costs little more than
// reading the file. `complete` says whether the text is the whole file or only the part read so far; in the
// latter case the walk stops where the rest of the file could change the outcome.
template <typename MayBe, typename Visit>
WalkEnd WalkRecords(std::string_view text, std::size_t from, bool complete, MayBe mayBe, Visit visit) {
  const WalkEnd done{WalkEnd::kDone, 0};
  while (true) {
    const void* hit = from < text.size() ? std::memchr(text.data() + from, '*', text.size() - from) : nullptr;
    if (hit == nullptr) {
      if (complete) return done;
      // A "*" in the next part opens a record only if blanks alone stand between it and a
      // delimiter here, so the last byte that is not a blank is the context to keep.
      std::size_t keep = text.size();
      while (keep > 0 && text[keep - 1] == ' ') --keep;
      return {WalkEnd::kNeedMore, keep > 0 ? keep - 1 : 0};
    }
    const std::size_t star = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    std::size_t itemStart = star;
    while (itemStart > 0 && text[itemStart - 1] == ' ') --itemStart;
    if (itemStart > 0 && !IsItemDelimiter(text[itemStart - 1])) {
      from = star + 1;
      continue;
    }
    // From here on, running into the end of a partial text means reading on and coming back to
    // this "*"; the delimiter before it is its context.
    const WalkEnd needMore{WalkEnd::kNeedMore, itemStart > 0 ? itemStart - 1 : 0};
    const auto atOpenEnd = [&](std::size_t at) {
      // True when `at` is the end of the text, or a CR that more text could turn into CR LF.
      return !complete && (at >= text.size() || (text[at] == '\r' && at + 1 == text.size()));
    };
    if (atOpenEnd(star + 1)) return needMore;
    if (star + 1 == text.size()) return done;
    if (!IsItemDelimiter(text[star + 1])) {
      from = star + 1;
      continue;
    }

    const std::size_t questionBegin = SkipBlanks(text, AfterDelimiter(text, star + 1));
    if (!mayBe(questionBegin)) {
      from = questionBegin + 1;
      continue;
    }
    const std::size_t questionEnd = ItemEnd(text, questionBegin);
    if (atOpenEnd(questionEnd)) return needMore;
    // A question with no answer after it ends the file: no complete record, and no "*" inside
    // the question item can open one.
    if (questionEnd == text.size()) return done;
    const std::size_t answerStart = AfterDelimiter(text, questionEnd);
    if (answerStart == text.size()) return complete ? done : needMore;
    const std::size_t answerBegin = SkipBlanks(text, answerStart);
    const std::size_t answerEnd = ItemEnd(text, answerBegin);
    if (answerEnd == text.size() && !complete) return needMore;
    if (visit(RecordItems{questionBegin, questionEnd, {answerStart, answerBegin, answerEnd}})) {
      return {WalkEnd::kStopped, 0};
    }
    // The question item is used up, even when it is itself "*"; no "*" inside it can open a
    // record, so the walk may resume one byte into it.
    from = questionBegin + 1;
  }
}

// Looks for the answer item of the first complete record with this question, starting at `from`.
AnswerScan ScanForAnswer(std::string_view text, std::size_t from, std::string_view question, bool complete) {
  const AnswerScan missing{AnswerScan::kMissing, {}, 0};
  // An item never holds a delimiter, so such a question matches nothing.
  if (question.find_first_of(",\r\n") != std::string_view::npos) return missing;
  AnswerItem answer{};
  // Only a question item that can still turn out to be `question` is read to its end.
  const auto mayBe = [&](std::size_t at) {
    const std::size_t available = std::min(text.size() - at, question.size());
    if (text.compare(at, available, question.substr(0, available)) != 0) return false;
    const std::size_t after = at + question.size();
    return after >= text.size() || IsItemDelimiter(text[after]);
  };
  const WalkEnd end = WalkRecords(text, from, complete, mayBe, [&](const RecordItems& record) {
    if (text.substr(record.questionBegin, record.questionEnd - record.questionBegin) != question)
      return false;
    answer = record.answer;
    return true;
  });
  switch (end.status) {
    case WalkEnd::kStopped:
      return {AnswerScan::kFound, answer, 0};
    case WalkEnd::kNeedMore:
      return {AnswerScan::kNeedMore, {}, end.keepFrom};
    case WalkEnd::kDone:
      break;
  }
  return missing;
}

std::optional<AnswerItem> LocateAnswer(std::string_view text, std::string_view question) {
  const AnswerScan scan = ScanForAnswer(text, 0, question, true);
  if (scan.status != AnswerScan::kFound) return std::nullopt;
  return scan.answer;
}

// What an item is in the walk that defines the records.
enum class ItemRole { kBetweenRecords, kQuestion, kAnswer };

// Copies the items as lines of their own and leaves out the empty items between records; an empty
// question or answer is part of its record and stays. `role` is the role of the first item, and
// on return that of the item that would follow.
void CopyItemsAsLines(std::string_view text, ItemRole& role, std::string& out) {
  ItemReader reader(text);
  while (!reader.AtEnd()) {
    const std::string_view item = reader.Next();
    if (!item.empty() || role != ItemRole::kBetweenRecords) {
      out += item;
      out += kLineEnd;
    }
    if (role == ItemRole::kQuestion) {
      role = ItemRole::kAnswer;
    } else {
      role = item == "*" ? ItemRole::kQuestion : ItemRole::kBetweenRecords;
    }
  }
}

// The rewrite lands in "temp_brain.txt" first, which is itself written safely, and only then
// replaces the brain.
bool WriteThenRename(const fs::path& temporary, const fs::path& target, std::string_view bytes) {
  if (!WriteFileAtomically(temporary, bytes)) return false;
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    RemoveFile(temporary);
    return false;
  }
  return true;
}

// Calls visit(line) for every line that a line end (CR LF, LF or a lone CR) closes, in order,
// until it returns true.
template <typename Visit>
void ForEachClosedLine(std::string_view text, Visit visit) {
  std::size_t begin = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c != '\r' && c != '\n') continue;
    if (visit(text.substr(begin, at - begin))) return;
    if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    begin = at + 1;
  }
}

bool IsUsableLine(std::string_view line) {
  return !line.empty() && line != "*";
}

// floor(r * count), kept inside [0, count) whatever the source returns.
std::size_t ScaleDraw(double r, std::size_t count) {
  if (!(r > 0.0)) return 0;
  const double scaled = std::floor(r * static_cast<double>(count));
  if (scaled >= static_cast<double>(count)) return count - 1;
  return static_cast<std::size_t>(scaled);
}

// Byte-wide tallies over blocks short enough not to overflow them let the compiler compare and
// add a whole vector of bytes per instruction; a plain count widens every byte first.
std::size_t CountStars(std::string_view text) {
  constexpr std::size_t kLanes = 32;
  constexpr std::size_t kBlock = kLanes * 255;
  std::size_t stars = 0;
  while (!text.empty()) {
    const std::size_t block = std::min(text.size(), kBlock);
    unsigned char tally[kLanes] = {};
    std::size_t at = 0;
    for (; at + kLanes <= block; at += kLanes) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) tally[lane] += text[at + lane] == '*' ? 1 : 0;
    }
    for (const unsigned char count : tally) stars += count;
    for (; at < block; ++at) stars += text[at] == '*' ? 1 : 0;
    text.remove_prefix(block);
  }
  return stars;
}

std::string ReplaceByte(std::string_view text, char from, char to) {
  std::string out(text);
  std::replace(out.begin(), out.end(), from, to);
  return out;
}

}  // namespace

// The index: an open-addressing table from a question's hash to where the question of its first
// record starts in the file. It holds no text; a lookup reads the record at that place, which
// also rules out a question that merely shares the hash.

namespace {

// Size, modification time and a hash of the first and last bytes: file systems that stamp times
// coarsely would otherwise let a same-sized rewrite within one tick pass for the file indexed.
struct FileStamp {
  std::uintmax_t size = 0;
  fs::file_time_type written{};
  std::size_t edges = 0;
  bool operator==(const FileStamp&) const = default;
};

constexpr std::size_t kStampEdgeBytes = 4096;

// Up to `count` bytes from `offset`; fewer at the end of the file. Nothing when reading fails.
std::optional<std::string> ReadAt(std::ifstream& in, std::uintmax_t offset, std::size_t count) {
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::optional<FileStamp> ReadStamp(const fs::path& file) {
  std::error_code ec;
  FileStamp stamp;
  stamp.size = fs::file_size(file, ec);
  if (ec) return std::nullopt;
  stamp.written = fs::last_write_time(file, ec);
  if (ec) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  const std::size_t edge = static_cast<std::size_t>(std::min<std::uintmax_t>(stamp.size, kStampEdgeBytes));
  const auto head = ReadAt(in, 0, edge);
  const auto tail = ReadAt(in, stamp.size - edge, edge);
  if (!head || !tail) return std::nullopt;
  const std::hash<std::string_view> hash;
  stamp.edges = hash(*head) * 31 + hash(*tail);
  return stamp;
}

std::uint64_t HashOf(std::string_view question) {
  return std::hash<std::string_view>{}(question);
}

}  // namespace

// The index's table lives in memory that the kernel may back with huge pages where it offers
// them: inserts and lookups land at random places, and with small pages nearly each one would
// also miss the address cache.
template <typename Slot>
class SlotTable {
 public:
  SlotTable() = default;
  explicit SlotTable(std::size_t count) : size_(count) {
    bytes_ = count * sizeof(Slot);
#if defined(__linux__)
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (bytes_ >= kHugePage) {
      bytes_ = (bytes_ + kHugePage - 1) / kHugePage * kHugePage;
      void* memory = std::aligned_alloc(kHugePage, bytes_);
      if (memory == nullptr) throw std::bad_alloc();
      ::madvise(memory, bytes_, MADV_HUGEPAGE);
      slots_.reset(static_cast<Slot*>(memory));
    }
#endif
    if (!slots_) {
      void* memory = std::malloc(bytes_);
      if (memory == nullptr) throw std::bad_alloc();
      slots_.reset(static_cast<Slot*>(memory));
    }
    std::uninitialized_fill_n(slots_.get(), size_, Slot{});
  }

  bool empty() const {
    return size_ == 0;
  }
  std::size_t size() const {
    return size_;
  }
  std::size_t Bytes() const {
    return bytes_;
  }
  Slot& operator[](std::size_t at) {
    return slots_[at];
  }
  const Slot& operator[](std::size_t at) const {
    return slots_[at];
  }
  const Slot* begin() const {
    return slots_.get();
  }
  const Slot* end() const {
    return slots_.get() + size_;
  }

 private:
  struct Free {
    void operator()(Slot* slots) const { std::free(slots); }
  };
  std::unique_ptr<Slot[], Free> slots_;
  std::size_t size_ = 0;
  std::size_t bytes_ = 0;
};

class BrainStore::Index {
 public:
  // Reads the whole file. Nothing when it cannot be read, or changed while it was read.
  static std::unique_ptr<Index> Build(const fs::path& file) {
    auto index = std::make_unique<Index>();
    const auto before = ReadStamp(file);
    if (!before || !index->Read(file, kFromFileStart, 0)) return nullptr;
    if (ReadStamp(file) != before) return nullptr;
    index->stamp_ = *before;
    return index;
  }

  const FileStamp& Stamp() const { return stamp_; }
  std::size_t Stars() const { return stars_; }
  std::size_t Bytes() const {
    return slots_.Bytes() + near_.Bytes() + records_.capacity() * sizeof(std::uint64_t) + keys_.CountBytes();
  }

  // The keys of the indexed questions, with how often each occurs among them.
  const WordKeys& Keys() const { return keys_; }

  // Every complete record, in file order: where its question starts.
  std::size_t RecordCount() const { return records_.size(); }
  std::uint64_t RecordOffset(std::size_t record) const { return records_[record]; }

  // Where the questions with this signature start, at most `most` of them; a few may turn out to
  // have another signature (the table keeps part of it).
  std::vector<std::uint64_t> OffsetsWithSignature(std::uint64_t signature, std::size_t most) const {
    std::vector<std::uint64_t> offsets;
    if (near_.empty()) return offsets;
    const std::uint64_t print = PrintOf(signature);
    for (std::size_t at = NearHome(signature); offsets.size() < most; at = (at + 1) & (near_.size() - 1)) {
      const std::uint64_t slot = near_[at];
      if (slot == 0) break;
      if ((slot & kPrintMask) == print) offsets.push_back(slot >> kPrintBits);
    }
    return offsets;
  }

  // The question and answer of records at these offsets; nothing when the file cannot be read.
  static std::optional<std::vector<std::pair<std::string, std::string>>> RecordsAt(
      const fs::path& file, const std::vector<std::uint64_t>& offsets) {
    RecordReader reader(file);
    std::vector<std::pair<std::string, std::string>> records;
    records.reserve(offsets.size());
    for (const std::uint64_t offset : offsets) {
      auto record = reader.RecordAt(offset);
      if (!record) return std::nullopt;
      records.push_back(std::move(*record));
    }
    return records;
  }

  // Takes in what was appended to the file since it was indexed. False when that cannot be read;
  // the index is then unusable.
  bool CatchUp(const fs::path& file) {
    const auto now = ReadStamp(file);
    // Appended records join a finished near table at once, and wait for the rest otherwise.
    const bool nearWasDone = NearDone();
    if (!now || now->size < stamp_.size || !Read(file, tailContext_, stamp_.size)) return false;
    if (ReadStamp(file) != now) return false;
    stamp_ = *now;
    return !nearWasDone || IndexNear(file, records_.size());
  }

  // Whether every record is in the near table and its words counted.
  bool NearDone() const { return nearDone_ == records_.size(); }

  // Puts the next `most` records (in file order) into the near table, reading their questions in
  // pieces from where the last call stopped. False when the file cannot be read; the index is
  // then unusable. Until every record is in, the words' counts are partial, and near matches
  // (which finish the table first) are not answered from it.
  bool IndexNear(const fs::path& file, std::size_t most) {
    if (NearDone()) return true;
    if (near_.empty()) {
      // Sized for the whole brain at once: growing means reading every question again.
      int bits = 10;
      while ((std::size_t{1} << bits) * 3 < records_.size() * 4) ++bits;
      nearBits_ = bits;
      near_ = SlotTable<std::uint64_t>(std::size_t{1} << nearBits_);
    }
    FileWalk walk(*this, file);
    if (!walk.in) return false;
    std::ifstream& in = walk.in;
    const std::size_t end = std::min(records_.size(), nearDone_ + most);
    // As in Read: signatures in small batches whose slots are fetched ahead of the inserts.
    std::array<std::uint64_t, kInsertBatch> batch;
    std::size_t batched = 0;
    const auto insertBatch = [&] {
      for (std::size_t i = 0; i < batched; ++i) InsertNear(batch[i], records_[nearDone_ + i]);
      nearDone_ += batched;
      batched = 0;
    };
    std::string piece;
    std::uint64_t pieceStart = 0;
    std::size_t pieceSize = kReadPieceBytes;
    while (nearDone_ + batched < end) {
      const std::uint64_t offset = records_[nearDone_ + batched];
      const bool inPiece = offset >= pieceStart && offset - pieceStart < piece.size();
      std::size_t at = inPiece ? static_cast<std::size_t>(offset - pieceStart) : 0;
      std::size_t questionEnd = inPiece ? ItemEnd(piece, at) : piece.size();
      if (questionEnd == piece.size()) {
        // A question longer than a piece gets a piece twice the size.
        if (offset == pieceStart && !piece.empty()) pieceSize *= 2;
        const auto read = ReadAt(in, offset, pieceSize);
        if (!read || read->empty()) return false;
        piece = std::move(*read);
        pieceStart = offset;
        at = 0;
        questionEnd = ItemEnd(piece, 0);
        // The answer after it is known to be there: a question the piece cuts off is read again.
        if (questionEnd == piece.size() && piece.size() == pieceSize) continue;
      }
      const std::string_view question(piece.data() + at, questionEnd - at);
      const std::uint64_t signature = keys_.SignatureOf(question, true);
      Prefetch(&near_[NearHome(signature)]);
      batch[batched++] = signature;
      if (batched == batch.size()) insertBatch();
    }
    insertBatch();
    return true;
  }

  // The answer of the first record with this question, or no answer when none has it; nothing
  // when the file cannot be read.
  std::optional<std::optional<std::string>> Find(const fs::path& file, std::string_view question) const {
    const std::optional<std::string> none;
    if (slots_.empty() || question.find_first_of(",\r\n") != std::string_view::npos) return none;
    RecordReader reader(file);
    const std::uint64_t hash = HashOf(question);
    const std::uint64_t print = PrintOf(hash);
    for (std::size_t at = Home(hash);; at = (at + 1) & (slots_.size() - 1)) {
      const std::uint64_t slot = slots_[at];
      if (slot == 0) return none;
      if ((slot & kPrintMask) != print) continue;
      const auto record = reader.RecordAt(slot >> kPrintBits);
      if (!record) return std::nullopt;
      if (record->first == question) return record->second;
    }
  }

 private:
  struct PendingRecord {
    std::uint64_t hash;
    std::uint64_t question;
    std::string_view text;
    bool isNew;  // not walked before (a walk that resumes after an append meets the last records again)
  };
  // Both tables' slots hold a question's offset above the top bits of its hash (or signature);
  // other bits of it chose the slot, so a slot whose bits agree is nearly always the one sought.
  // 0 marks a free slot, as no question starts at 0 (a "*" and a delimiter come first).
  static constexpr int kPrintBits = 24;
  static constexpr std::uint64_t kPrintMask = (std::uint64_t{1} << kPrintBits) - 1;
  static constexpr std::uint64_t kLargestOffset = (std::uint64_t{1} << (64 - kPrintBits)) - 1;
  static std::uint64_t PrintOf(std::uint64_t hash) { return hash >> (64 - kPrintBits); }
  static constexpr std::size_t kInsertBatch = 16;

  static void Prefetch(const void* slot) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(slot);
#else
    (void)slot;
#endif
  }

  // The file offset of the byte that gives the first item its context; before the file's start
  // stands an imagined line end.
  static constexpr std::int64_t kFromFileStart = -1;

  // Reads records at given offsets, for lookups and for telling apart questions of equal hash.
  class RecordReader {
   public:
    explicit RecordReader(const fs::path& file) : in_(file, std::ios::binary) {}

    // The question and the answer of the record whose question starts at `offset`, read the way
    // the walk reads them.
    std::optional<std::pair<std::string, std::string>> RecordAt(std::uint64_t offset) {
      for (std::size_t window = 512;; window *= 2) {
        const auto bytes = ReadAt(in_, offset, window);
        if (!bytes) return std::nullopt;
        const bool toEnd = bytes->size() < window;
        const std::string_view text = *bytes;
        const std::size_t questionEnd = ItemEnd(text, 0);
        // A CR at the window's end may be the first half of CR LF.
        if (!toEnd && questionEnd + 1 >= text.size()) continue;
        std::string question(text.substr(0, questionEnd));
        // A question that ends the file has no record: a text no question can equal.
        if (questionEnd == text.size()) return std::pair(std::string(1, '\n'), std::string());
        const std::size_t answerBegin = SkipBlanks(text, AfterDelimiter(text, questionEnd));
        const std::size_t answerEnd = ItemEnd(text, answerBegin);
        if (!toEnd && answerEnd == text.size()) continue;
        return std::pair(std::move(question), std::string(text.substr(answerBegin, answerEnd - answerBegin)));
      }
    }

   private:
    std::ifstream in_;
  };

  // The file opened for a walk, with the reader that a table growing meanwhile reads its
  // questions again with.
  struct FileWalk {
    FileWalk(Index& walked, const fs::path& file) : index(walked), in(file, std::ios::binary), reader(file) {
      index.rehashReader_ = &reader;
    }
    ~FileWalk() { index.rehashReader_ = nullptr; }
    FileWalk(const FileWalk&) = delete;
    FileWalk& operator=(const FileWalk&) = delete;
    Index& index;
    std::ifstream in;
    RecordReader reader;
  };

  std::size_t Home(std::uint64_t hash) const {
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
  }
  std::size_t NearHome(std::uint64_t signature) const {
    return static_cast<std::size_t>(signature & (near_.size() - 1));
  }

  // Every record goes in, repeated questions too: a near match weighs them all.
  void InsertNear(std::uint64_t signature, std::uint64_t question) {
    if (question > kLargestOffset) return;
    if ((nearUsed_ + 1) * 4 > near_.size() * 3) RehashNear(near_.empty() ? 10 : nearBits_ + 1);
    std::size_t at = NearHome(signature);
    while (near_[at] != 0) at = (at + 1) & (near_.size() - 1);
    near_[at] = question << kPrintBits | PrintOf(signature);
    ++nearUsed_;
  }

  void RehashNear(int bits) {
    SlotTable<std::uint64_t> old = std::move(near_);
    nearBits_ = bits;
    near_ = SlotTable<std::uint64_t>(std::size_t{1} << nearBits_);
    for (const std::uint64_t slot : old) {
      if (slot == 0) continue;
      const std::uint64_t signature = SignatureOfSlot(slot);
      std::size_t at = NearHome(signature);
      while (near_[at] != 0) at = (at + 1) & (near_.size() - 1);
      near_[at] = slot;
    }
  }

  // A slot keeps only part of its signature, so moving it means reading its question again.
  std::uint64_t SignatureOfSlot(std::uint64_t slot) {
    if (!rehashReader_) return 0;
    const auto record = rehashReader_->RecordAt(slot >> kPrintBits);
    return record ? keys_.SignatureOf(record->first) : 0;
  }

  // Keeps the first record of each question: a later one with the same question is left out.
  // A question beyond the offsets a slot can hold (a brain of a terabyte) makes the index unusable.
  bool Insert(std::uint64_t hash, std::uint64_t question, std::string_view text, RecordReader& reader) {
    if (question > kLargestOffset) return false;
    // At most three quarters full, so that probe runs stay short.
    if ((used_ + 1) * 4 > slots_.size() * 3 && !Grow()) return false;
    const std::uint64_t print = PrintOf(hash);
    for (std::size_t at = Home(hash);; at = (at + 1) & (slots_.size() - 1)) {
      std::uint64_t& slot = slots_[at];
      if (slot == 0) {
        slot = question << kPrintBits | print;
        ++used_;
        return true;
      }
      if ((slot & kPrintMask) != print) continue;
      const auto earlier = reader.RecordAt(slot >> kPrintBits);
      if (!earlier) return false;
      if (earlier->first == text) return true;
    }
  }

  bool Grow() {
    return Rehash(slots_.empty() ? 10 : bits_ + 1);
  }

  // Room for `records` without growing.
  bool Reserve(std::size_t records) {
    int bits = std::max(bits_, 10);
    while ((std::size_t{1} << bits) * 3 < records * 4) ++bits;
    if (bits != bits_ && !Rehash(bits)) return false;
    records_.reserve(records);
    return true;
  }

  // A slot keeps only part of its hash, so moving it means reading its question again; the
  // first piece's estimate makes that rare. False when a question cannot be read.
  bool Rehash(int bits) {
    SlotTable<std::uint64_t> old = std::move(slots_);
    bits_ = bits;
    slots_ = SlotTable<std::uint64_t>(std::size_t{1} << bits_);
    for (const std::uint64_t slot : old) {
      if (slot == 0) continue;
      const auto record = rehashReader_ ? rehashReader_->RecordAt(slot >> kPrintBits) : std::nullopt;
      if (!record) return false;
      std::size_t at = Home(HashOf(record->first));
      while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
    return true;
  }

  // Walks the file from `context` (see kFromFileStart) to its end in pieces, indexing every
  // record and counting the "*" at or after `countFrom`; remembers where the walk has to resume
  // when the file grows.
  bool Read(const fs::path& file, std::int64_t context, std::uint64_t countFrom) {
    FileWalk walk(*this, file);
    if (!walk.in) return false;
    std::ifstream& in = walk.in;
    RecordReader& reader = walk.reader;
    std::string buffer;
    std::size_t length = 0;
    if (context == kFromFileStart) {
      buffer.assign(1, '\n');
      length = 1;
    } else {
      in.seekg(static_cast<std::streamoff>(context));
    }
    // The file offset of buffer[0].
    std::int64_t base = context;
    std::size_t pieceSize = kReadPieceBytes;
    bool ok = true;
    // Records wait in small batches whose slots are fetched into the cache ahead of the inserts:
    // on a large brain nearly every insert would otherwise wait for memory on its own.
    std::vector<PendingRecord> pending;
    pending.reserve(kInsertBatch);
    const auto insertPending = [&] {
      for (const PendingRecord& record : pending) {
        ok = ok && Insert(record.hash, record.question, record.text, reader);
        if (ok && record.isNew) {
          records_.push_back(record.question);
          lastRecord_ = record.question;
        }
      }
      pending.clear();
      return ok;
    };
    const auto indexRecord = [&](std::string_view text) {
      return [&, text](const RecordItems& record) {
        const std::string_view question =
            text.substr(record.questionBegin, record.questionEnd - record.questionBegin);
        const std::uint64_t hash = HashOf(question);
        if (!slots_.empty()) Prefetch(&slots_[Home(hash)]);
        const auto offset =
            static_cast<std::uint64_t>(base + static_cast<std::int64_t>(record.questionBegin));
        pending.push_back({hash, offset, question, offset > lastRecord_});
        return pending.size() == kInsertBatch && !insertPending();
      };
    };
    const auto everyRecord = [](std::size_t) { return true; };
    std::error_code sizeError;
    const std::uintmax_t fileSize = fs::file_size(file, sizeError);
    while (true) {
      if (buffer.size() < length + pieceSize) buffer.resize(length + pieceSize);
      in.read(buffer.data() + length, static_cast<std::streamsize>(pieceSize));
      const auto got = static_cast<std::size_t>(in.gcount());
      if (in.bad()) return false;
      // Only bytes the index has not counted yet.
      const std::uint64_t pieceOffset = static_cast<std::uint64_t>(base + static_cast<std::int64_t>(length));
      const std::size_t skip = static_cast<std::size_t>(
          std::min<std::uint64_t>(got, countFrom > pieceOffset ? countFrom - pieceOffset : 0));
      stars_ += CountStars(std::string_view(buffer.data() + length + skip, got - skip));
      length += got;
      const std::string_view text(buffer.data(), length);
      // The first piece tells about how many records the file holds, so that the table is not
      // rebuilt over and over while it grows.
      if (slots_.empty() && !sizeError && pieceOffset == 0 && got > 0) {
        ok = Reserve(static_cast<std::size_t>(static_cast<double>(stars_) * static_cast<double>(fileSize) /
                                              static_cast<double>(got) * 1.1));
      }
      const WalkEnd end = WalkRecords(text, 1, false, everyRecord, indexRecord(text));
      if (!insertPending()) return false;
      if (in.eof()) {
        tailContext_ = base + static_cast<std::int64_t>(end.keepFrom);
        // Records that end with the file: more bytes could not change them, but they are records
        // only now that the file ends here.
        WalkRecords(text, end.keepFrom + 1, true, everyRecord, indexRecord(text));
        return insertPending();
      }
      length -= end.keepFrom;
      std::memmove(buffer.data(), buffer.data() + end.keepFrom, length);
      base += static_cast<std::int64_t>(end.keepFrom);
      pieceSize = std::max(pieceSize, length);
    }
  }

  SlotTable<std::uint64_t> slots_;
  int bits_ = 0;
  std::size_t used_ = 0;
  SlotTable<std::uint64_t> near_;
  int nearBits_ = 0;
  std::size_t nearUsed_ = 0;
  std::vector<std::uint64_t> records_;
  std::size_t nearDone_ = 0;  // records_ before this one are in near_
  std::uint64_t lastRecord_ = 0;
  WordKeys keys_;
  RecordReader* rehashReader_ = nullptr;
  std::size_t stars_ = 0;
  std::int64_t tailContext_ = kFromFileStart;
  FileStamp stamp_;
};

BrainStore::BrainStore(fs::path brainFile)
    : file_(std::move(brainFile)), temporary_(file_.parent_path() / "temp_brain.txt") {
  std::error_code ec;
  const fs::path absolute = fs::absolute(file_, ec);
  indexKey_ = (ec ? file_ : absolute).lexically_normal().string();
}

std::size_t BrainStore::CountBrainCells() const {
  if (const Index* index = CurrentIndex()) return index->Stars();
  // Counted while reading in pieces: the file may be large and the count needs no copy of it.
  std::ifstream in(file_, std::ios::binary);
  if (!in) return 0;
  std::string piece(kReadPieceBytes, '\0');
  std::size_t stars = 0;
  while (in.read(piece.data(), kReadPieceBytes) || in.gcount() > 0) {
    stars += CountStars(std::string_view(piece.data(), static_cast<std::size_t>(in.gcount())));
  }
  return stars;
}

std::optional<std::string> BrainStore::FindAnswer(std::string_view question) const {
  if (const Index* index = CurrentIndex()) {
    if (auto answer = index->Find(file_, question)) return *answer;
  }
  // Read and scanned in pieces that stay in the cache, instead of one copy of a brain that may
  // be tens of megabytes; a piece grows when a single item outgrows it.
  std::ifstream in(file_, std::ios::binary);
  if (!in) return std::nullopt;
  std::size_t pieceSize = kReadPieceBytes;
  // Filled once and reused, so that no piece pays for clearing memory it is about to overwrite.
  std::string buffer(1 + pieceSize, '\0');
  buffer[0] = '\n';  // a line end before the file's first item gives it its context
  std::size_t length = 1;
  std::size_t from = 1;
  while (true) {
    if (buffer.size() < length + pieceSize) buffer.resize(length + pieceSize);
    in.read(buffer.data() + length, static_cast<std::streamsize>(pieceSize));
    length += static_cast<std::size_t>(in.gcount());
    if (in.bad()) return std::nullopt;
    const std::string_view text(buffer.data(), length);
    const AnswerScan scan = ScanForAnswer(text, from, question, in.eof());
    if (scan.status == AnswerScan::kFound) {
      return std::string(text.substr(scan.answer.begin, scan.answer.end - scan.answer.begin));
    }
    if (scan.status == AnswerScan::kMissing) return std::nullopt;
    length -= scan.keepFrom;
    std::memmove(buffer.data(), buffer.data() + scan.keepFrom, length);
    from = 1;
    pieceSize = std::max(pieceSize, length);
  }
}

bool BrainStore::CanStore(std::string_view item) {
  return item.find_first_of(",\r\n") == std::string_view::npos;
}

bool BrainStore::AppendRecord(std::string_view question, std::string_view answer) const {
  if (!CanStore(question) || !CanStore(answer)) return false;
  std::string record;
  record.reserve(question.size() + answer.size() + 4 * kLineEnd.size() + 1);
  record += kLineEnd;
  record += '*';
  record += kLineEnd;
  record += question;
  record += kLineEnd;
  record += answer;
  record += kLineEnd;
  Index* const index = IndexMatchingFile();
  const bool appended = AppendToFile(file_, record);
  IndexAppended(index, appended);
  return appended;
}

bool BrainStore::ReplaceAnswer(std::string_view question, std::string_view newAnswer) const {
  if (!CanStore(newAnswer)) return false;
  const auto bytes = ReadFileBytes(file_);
  if (!bytes) return false;
  const std::string_view text = *bytes;
  const auto answer = LocateAnswer(text, question);
  if (!answer) return false;

  std::string rewritten;
  rewritten.reserve(text.size() + newAnswer.size() + 2 * kLineEnd.size());
  ItemRole role = ItemRole::kBetweenRecords;
  CopyItemsAsLines(text.substr(0, answer->start), role, rewritten);
  rewritten += newAnswer;
  rewritten += kLineEnd;
  role = newAnswer == "*" ? ItemRole::kQuestion : ItemRole::kBetweenRecords;
  // An old answer "*" also opened the next record; that record must not lose its question.
  if (text.substr(answer->begin, answer->end - answer->begin) == "*" && role != ItemRole::kQuestion) {
    rewritten += "*";
    rewritten += kLineEnd;
    role = ItemRole::kQuestion;
  }
  if (answer->end < text.size())
    CopyItemsAsLines(text.substr(AfterDelimiter(text, answer->end)), role, rewritten);
  const bool written = WriteThenRename(temporary_, file_, rewritten);
  if (written) IndexRewritten();
  return written;
}

namespace {

// The query side's words: one stemmer and cache for the program.
WordKeys& TypedWordKeys() {
  static WordKeys keys;
  return keys;
}

// Records read for a near match of one signature at most: many questions that are the same but
// for light words are weighed, and a brain of thousands of "hej" cannot stall the answer.
constexpr std::size_t kMostNearCandidates = 256;

struct NearCandidate {
  std::uint64_t offset;
  std::uint64_t signature;
  std::string question;
  std::string answer;
};

}  // namespace

std::optional<BrainStore::NearAnswer> BrainStore::FindNearAnswer(std::string_view typed) const {
  WordKeys& keys = TypedWordKeys();
  const std::vector<QuestionWord> words = SplitQuestion(typed, keys);
  const std::uint64_t signature = SignatureOf(words, typed);
  const Index* index = IndexWithNearTable();
  // Without the index, the walk over the file counts the words.
  std::optional<WordKeys> counted;
  if (index == nullptr) counted.emplace();
  const WordKeys* weights = index != nullptr ? &index->Keys() : &*counted;

  // The records with one of these signatures, in file order: from the index, or read from the file.
  const auto candidatesOf = [&](const std::vector<std::uint64_t>& signatures) {
    std::vector<NearCandidate> found;
    if (index != nullptr) {
      for (const std::uint64_t wanted : signatures) {
        const auto offsets = index->OffsetsWithSignature(wanted, kMostNearCandidates);
        const auto records = Index::RecordsAt(file_, offsets);
        if (!records) continue;
        for (std::size_t i = 0; i < offsets.size(); ++i) {
          const auto& [question, answer] = (*records)[i];
          if (keys.SignatureOf(question) != wanted) continue;
          found.push_back({offsets[i], wanted, question, answer});
        }
      }
    } else if (const auto bytes = ReadFileBytes(file_)) {
      const std::string_view text = *bytes;
      const auto everyRecord = [](std::size_t) { return true; };
      WalkRecords(text, 0, true, everyRecord, [&](const RecordItems& record) {
        const std::string_view question =
            text.substr(record.questionBegin, record.questionEnd - record.questionBegin);
        const std::uint64_t has = counted->SignatureOf(question, true);
        if (std::find(signatures.begin(), signatures.end(), has) != signatures.end()) {
          found.push_back(
              {record.questionBegin, has, std::string(question),
               std::string(text.substr(record.answer.begin, record.answer.end - record.answer.begin))});
        }
        return false;
      });
    }
    std::sort(found.begin(), found.end(),
              [](const NearCandidate& a, const NearCandidate& b) { return a.offset < b.offset; });
    return found;
  };
  // The best of the candidates, the first in file order among equals.
  const auto bestOf = [&](const std::vector<NearCandidate>& candidates,
                          const std::vector<CorrectedSignature>& corrections) -> std::optional<NearAnswer> {
    std::optional<NearAnswer> best;
    for (const NearCandidate& candidate : candidates) {
      const CorrectedSignature* corrected = nullptr;
      for (const CorrectedSignature& correction : corrections) {
        if (correction.signature == candidate.signature) corrected = &correction;
      }
      const double score = Similarity(words, SplitQuestion(candidate.question, keys), corrected, weights);
      if (score >= kNearThreshold && (!best || score > best->score)) {
        best = NearAnswer{candidate.question, candidate.answer, score, false};
      }
    }
    return best;
  };

  const std::vector<NearCandidate> same = candidatesOf({signature});
  const std::string normal = NormaliseQuestion(typed);
  for (const NearCandidate& candidate : same) {
    if (NormaliseQuestion(candidate.question) == normal) {
      return NearAnswer{candidate.question, candidate.answer, 1.0, true};
    }
  }
  if (auto best = bestOf(same, {})) return best;

  const std::vector<CorrectedSignature> corrections = CorrectedSignatures(words, keys);
  if (corrections.empty()) return std::nullopt;
  std::vector<std::uint64_t> signatures;
  signatures.reserve(corrections.size());
  for (const CorrectedSignature& correction : corrections) signatures.push_back(correction.signature);
  return bestOf(candidatesOf(signatures), corrections);
}

std::optional<std::string> BrainStore::PickRandomLine(RandomSource& random) const {
  if (!AppendToFile(file_, {})) return std::nullopt;
  if (const Index* index = CurrentIndex(); index != nullptr && index->RecordCount() > 0) {
    const std::size_t items = 2 * index->RecordCount();
    for (int draw = 0; draw < kMaxRandomLineDraws; ++draw) {
      const std::size_t item = ScaleDraw(random.NextUniform(), items);
      const auto record = Index::RecordsAt(file_, {index->RecordOffset(item / 2)});
      if (!record) break;
      const std::string& line = item % 2 == 0 ? record->front().first : record->front().second;
      if (IsUsableLine(line)) return line;
    }
  }
  const auto bytes = ReadFileBytes(file_);
  if (!bytes) return std::nullopt;
  const std::string_view text = *bytes;

  std::size_t lineCount = 0;
  std::size_t usableCount = 0;
  ForEachClosedLine(text, [&](std::string_view line) {
    ++lineCount;
    if (IsUsableLine(line)) ++usableCount;
    return false;
  });
  if (usableCount == 0) return std::nullopt;

  // The n-th closed line, or the n-th usable one.
  const auto lineAt = [&](std::size_t wanted, bool usableOnly) {
    std::string_view found;
    std::size_t index = 0;
    ForEachClosedLine(text, [&](std::string_view line) {
      if (usableOnly && !IsUsableLine(line)) return false;
      if (index++ != wanted) return false;
      found = line;
      return true;
    });
    return found;
  };

  for (int draw = 0; draw < kMaxRandomLineDraws; ++draw) {
    const std::string_view line = lineAt(ScaleDraw(random.NextUniform(), lineCount), false);
    if (IsUsableLine(line)) return std::string(line);
  }
  return std::string(lineAt(ScaleDraw(random.NextUniform(), usableCount), true));
}

std::string BrainStore::ToStored(std::string_view typed) {
  return ReplaceByte(typed, ',', '|');
}

std::string BrainStore::ToShown(std::string_view stored) {
  return ReplaceByte(stored, '|', ',');
}

namespace {

// One index per file, shared by every store of it, for the life of the program.
std::map<std::string, std::unique_ptr<BrainStore::Index>>& HeldIndexes() {
  static std::map<std::string, std::unique_ptr<BrainStore::Index>> indexes;
  return indexes;
}

}  // namespace

BrainStore::Index* BrainStore::CurrentIndex() const {
  if (!indexUsed_) return nullptr;
  auto& held = HeldIndexes()[indexKey_];
  const auto stamp = ReadStamp(file_);
  if (stamp && held && held->Stamp() == *stamp) return held.get();
  held.reset();
  if (!stamp) return nullptr;
  try {
    held = Index::Build(file_);
  } catch (const std::bad_alloc&) {
    held.reset();
  }
  return held.get();
}

BrainStore::Index* BrainStore::IndexMatchingFile() const {
  const auto found = HeldIndexes().find(indexKey_);
  if (found == HeldIndexes().end() || !found->second) return nullptr;
  const auto stamp = ReadStamp(file_);
  return stamp && found->second->Stamp() == *stamp ? found->second.get() : nullptr;
}

BrainStore::Index* BrainStore::IndexWithNearTable() const {
  Index* index = CurrentIndex();
  if (index == nullptr) return nullptr;
  try {
    if (index->IndexNear(file_, index->RecordCount())) return index;
  } catch (const std::bad_alloc&) {
  }
  HeldIndexes().erase(indexKey_);
  return nullptr;
}

bool BrainStore::IndexInIdleTime() const {
  Index* index = IndexMatchingFile();
  if (index == nullptr || index->NearDone()) return false;
  bool read = false;
  try {
    read = index->IndexNear(file_, kIdleSliceRecords);
  } catch (const std::bad_alloc&) {
  }
  if (!read) {
    HeldIndexes().erase(indexKey_);
    return false;
  }
  return !index->NearDone();
}

void BrainStore::IndexAppended(Index* before, bool appended) const {
  if (before == nullptr) return;
  bool current = false;
  try {
    current = appended && before->CatchUp(file_);
  } catch (const std::bad_alloc&) {
  }
  if (!current) HeldIndexes().erase(indexKey_);
}

void BrainStore::IndexRewritten() const {
  const auto found = HeldIndexes().find(indexKey_);
  if (found == HeldIndexes().end() || !found->second) return;
  found->second.reset();
  try {
    found->second = Index::Build(file_);
  } catch (const std::bad_alloc&) {
  }
}

std::size_t BrainStore::IndexBytes() const {
  const auto found = HeldIndexes().find(indexKey_);
  return found == HeldIndexes().end() || !found->second ? 0 : found->second->Bytes();
}
