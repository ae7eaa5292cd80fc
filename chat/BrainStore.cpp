#include "BrainStore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <system_error>

#include "ItemReader.h"
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

std::size_t ItemEnd(std::string_view text, std::size_t at) {
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

// Looks for the answer item of the first complete record with this question, starting at `from`.
// The same walk as reading item by item (a "*" opens a record, the next item is its question, and
// the search for the next "*" goes on right after the question, over the answer), but it jumps
// from "*" to "*" with memchr and never copies, so that a lookup costs little more than reading
// the file. `complete` says whether the text is the whole file or only the part read so far; in
// the latter case the scan stops where the rest of the file could change the outcome.
AnswerScan ScanForAnswer(std::string_view text, std::size_t from, std::string_view question, bool complete) {
  const AnswerScan missing{AnswerScan::kMissing, {}, 0};
  // An item never holds a delimiter, so such a question matches nothing.
  if (question.find_first_of(",\r\n") != std::string_view::npos) return missing;
  while (true) {
    const void* hit = from < text.size() ? std::memchr(text.data() + from, '*', text.size() - from) : nullptr;
    if (hit == nullptr) {
      if (complete) return missing;
      // A "*" in the next part opens a record only if blanks alone stand between it and a
      // delimiter here, so the last byte that is not a blank is the context to keep.
      std::size_t keep = text.size();
      while (keep > 0 && text[keep - 1] == ' ') --keep;
      return {AnswerScan::kNeedMore, {}, keep > 0 ? keep - 1 : 0};
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
    const AnswerScan needMore{AnswerScan::kNeedMore, {}, itemStart > 0 ? itemStart - 1 : 0};
    const auto atOpenEnd = [&](std::size_t at) {
      // True when `at` is the end of the text, or a CR that more text could turn into CR LF.
      return !complete && (at >= text.size() || (text[at] == '\r' && at + 1 == text.size()));
    };
    if (atOpenEnd(star + 1)) return needMore;
    if (star + 1 == text.size()) return missing;
    if (!IsItemDelimiter(text[star + 1])) {
      from = star + 1;
      continue;
    }

    const std::size_t questionBegin = SkipBlanks(text, AfterDelimiter(text, star + 1));
    const std::size_t compared = std::min(text.size() - questionBegin, question.size());
    const std::size_t questionEnd = questionBegin + question.size();
    if (text.compare(questionBegin, compared, question.substr(0, compared)) == 0) {
      if (atOpenEnd(questionEnd) || (compared < question.size() && !complete)) return needMore;
      if (questionEnd < text.size() && IsItemDelimiter(text[questionEnd])) {
        const std::size_t answerStart = AfterDelimiter(text, questionEnd);
        if (answerStart == text.size()) return complete ? missing : needMore;
        const std::size_t answerBegin = SkipBlanks(text, answerStart);
        const std::size_t answerEnd = ItemEnd(text, answerBegin);
        if (answerEnd == text.size() && !complete) return needMore;
        return {AnswerScan::kFound, {answerStart, answerBegin, answerEnd}, 0};
      }
      // A question with no answer after it ends the file: no complete record.
      if (questionEnd >= text.size()) return missing;
    }
    // The question item is used up, even when it is itself "*"; no "*" inside it can open a
    // record, so the search may resume one byte into it.
    from = questionBegin + 1;
  }
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

BrainStore::BrainStore(fs::path brainFile)
    : file_(std::move(brainFile)), temporary_(file_.parent_path() / "temp_brain.txt") {}

std::size_t BrainStore::CountBrainCells() const {
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
  return AppendToFile(file_, record);
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
  return WriteThenRename(temporary_, file_, rewritten);
}

std::optional<std::string> BrainStore::PickRandomLine(RandomSource& random) const {
  if (!AppendToFile(file_, {})) return std::nullopt;
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
