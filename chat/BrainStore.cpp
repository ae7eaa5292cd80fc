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

// True when the item whose text begins at `begin` is exactly `expected` (it ends right after it).
bool ItemEquals(std::string_view text, std::size_t begin, std::string_view expected) {
  if (text.size() - begin < expected.size()) return false;
  if (text.compare(begin, expected.size(), expected) != 0) return false;
  const std::size_t end = begin + expected.size();
  return end == text.size() || IsItemDelimiter(text[end]);
}

struct AnswerItem {
  std::size_t start;  // where the item starts, blanks included
  std::size_t begin;  // where its text begins
  std::size_t end;    // the delimiter after it, or the end of the text
};

// Finds the answer item of the first complete record with this question. The same walk as reading
// item by item (a "*" opens a record, the next item is its question, and the search for the next
// "*" goes on right after the question, over the answer), but it jumps from "*" to "*" with memchr
// and never copies, so that a lookup costs little more than reading the file.
std::optional<AnswerItem> LocateAnswer(std::string_view text, std::string_view question) {
  std::size_t from = 0;
  while (from < text.size()) {
    const void* hit = std::memchr(text.data() + from, '*', text.size() - from);
    if (hit == nullptr) return std::nullopt;
    const std::size_t star = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    std::size_t itemStart = star;
    while (itemStart > 0 && text[itemStart - 1] == ' ') --itemStart;
    const bool opensRecord = (itemStart == 0 || IsItemDelimiter(text[itemStart - 1])) &&
                             (star + 1 == text.size() || IsItemDelimiter(text[star + 1]));
    if (!opensRecord) {
      from = star + 1;
      continue;
    }
    if (star + 1 == text.size()) return std::nullopt;
    const std::size_t questionBegin = SkipBlanks(text, AfterDelimiter(text, star + 1));
    if (ItemEquals(text, questionBegin, question)) {
      const std::size_t questionEnd = questionBegin + question.size();
      if (questionEnd == text.size()) return std::nullopt;
      const std::size_t answerStart = AfterDelimiter(text, questionEnd);
      if (answerStart == text.size()) return std::nullopt;
      const std::size_t answerBegin = SkipBlanks(text, answerStart);
      return AnswerItem{answerStart, answerBegin, ItemEnd(text, answerBegin)};
    }
    // The question item is used up, even when it is itself "*"; no "*" inside it can open a
    // record, so the search may resume one byte into it.
    from = questionBegin + 1;
  }
  return std::nullopt;
}

// Every non-empty item of the text as a line of its own.
void AppendItemsAsLines(std::string_view text, std::string& out) {
  ItemReader reader(text);
  while (!reader.AtEnd()) {
    const std::string_view item = reader.Next();
    if (item.empty()) continue;
    out += item;
    out += kLineEnd;
  }
}

bool WriteThenRename(const fs::path& temporary, const fs::path& target, std::string_view bytes) {
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.flush();
    }
    if (!out) {
      out.close();
      RemoveFile(temporary);
      return false;
    }
  }
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
  static constexpr std::size_t kPiece = 1 << 18;
  std::string piece(kPiece, '\0');
  std::size_t stars = 0;
  while (in.read(piece.data(), kPiece) || in.gcount() > 0) {
    stars += static_cast<std::size_t>(std::count(piece.data(), piece.data() + in.gcount(), '*'));
  }
  return stars;
}

std::optional<std::string> BrainStore::FindAnswer(std::string_view question) const {
  const auto bytes = ReadFileBytes(file_);
  if (!bytes) return std::nullopt;
  const std::string_view text = *bytes;
  const auto answer = LocateAnswer(text, question);
  if (!answer) return std::nullopt;
  return std::string(text.substr(answer->begin, answer->end - answer->begin));
}

bool BrainStore::AppendRecord(std::string_view question, std::string_view answer) const {
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
  const auto bytes = ReadFileBytes(file_);
  if (!bytes) return false;
  const std::string_view text = *bytes;
  const auto answer = LocateAnswer(text, question);
  if (!answer) return false;

  std::string rewritten;
  rewritten.reserve(text.size() + newAnswer.size() + kLineEnd.size());
  AppendItemsAsLines(text.substr(0, answer->start), rewritten);
  rewritten += newAnswer;
  rewritten += kLineEnd;
  if (answer->end < text.size())
    AppendItemsAsLines(text.substr(AfterDelimiter(text, answer->end)), rewritten);
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
