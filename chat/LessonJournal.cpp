#include "LessonJournal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "BrainStore.h"
#include "TextFile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::uint32_t Fnv1a(std::string_view bytes) {
  std::uint32_t hash = 2166136261u;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08" PRIx32, value);
  return text;
}

char KindLetter(Lesson::Kind kind) {
  return kind == Lesson::Kind::Taught ? 'T' : 'C';
}

// Calls visit(line) for every line that CR LF or LF closes; a last line without its line end is
// a write that never finished and is left out.
template <typename Visit>
void ForEachCompleteLine(std::string_view text, Visit visit) {
  std::size_t begin = 0;
  for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', begin)) {
    std::string_view line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    visit(line);
    begin = end + 1;
  }
}

}  // namespace

LessonJournal::LessonJournal(fs::path file) : file_(std::move(file)) {}

std::string LessonJournal::Line(const Lesson& lesson) {
  std::string body;
  body += KindLetter(lesson.kind);
  body += ',';
  body += lesson.question;
  body += ',';
  body += lesson.answer;
  if (lesson.kind == Lesson::Kind::Corrected && lesson.replaced) {
    body += ',';
    body += *lesson.replaced;
  }
  return body + ',' + Hex(Fnv1a(body)) + std::string(kLineEnd);
}

bool LessonJournal::Parse(std::string_view line, Lesson& lesson) {
  const std::size_t checksumComma = line.rfind(',');
  if (checksumComma == std::string_view::npos) return false;
  const std::string_view body = line.substr(0, checksumComma);
  if (line.substr(checksumComma + 1) != Hex(Fnv1a(body))) return false;
  const std::size_t first = body.find(',');
  if (first != 1) return false;
  const std::size_t second = body.find(',', first + 1);
  if (second == std::string_view::npos) return false;
  const std::size_t third = body.find(',', second + 1);
  if (body[0] != 'T' && body[0] != 'C') return false;
  lesson.kind = body[0] == 'T' ? Lesson::Kind::Taught : Lesson::Kind::Corrected;
  if (third != std::string_view::npos &&
      (lesson.kind == Lesson::Kind::Taught || body.find(',', third + 1) != std::string_view::npos))
    return false;
  lesson.question = std::string(body.substr(first + 1, second - first - 1));
  lesson.answer =
      std::string(body.substr(second + 1, third == std::string_view::npos ? third : third - second - 1));
  lesson.replaced.reset();
  if (third != std::string_view::npos) lesson.replaced = std::string(body.substr(third + 1));
  return true;
}

bool LessonJournal::Record(const Lesson& lesson) const {
  if (!BrainStore::CanStore(lesson.question) || !BrainStore::CanStore(lesson.answer)) return false;
  std::error_code ec;
  if (file_.has_parent_path()) fs::create_directories(file_.parent_path(), ec);
  std::string bytes;
  // A line cut short by a crash gets its own line end first, so it cannot swallow this entry; it
  // then fails its checksum.
  const auto size = fs::file_size(file_, ec);
  if (!ec && size > 0) {
    const auto existing = ReadFileBytes(file_);
    if (existing && existing->back() != '\n') bytes += kLineEnd;
  }
  bytes += Line(lesson);
  return AppendToFileDurably(file_, bytes);
}

std::vector<Lesson> LessonJournal::Read() const {
  std::vector<Lesson> lessons;
  const auto text = ReadFileBytes(file_);
  if (!text) return lessons;
  ForEachCompleteLine(*text, [&](std::string_view line) {
    Lesson lesson;
    if (Parse(line, lesson)) lessons.push_back(std::move(lesson));
  });
  return lessons;
}

bool LessonJournal::Forget(std::size_t count) const {
  const auto text = ReadFileBytes(file_);
  if (!text) return true;
  std::string kept;
  std::size_t complete = 0;
  ForEachCompleteLine(*text, [&](std::string_view line) {
    Lesson lesson;
    if (!Parse(line, lesson)) return;
    if (++complete > count) kept += Line(lesson);
  });
  if (kept.empty()) return RemoveFile(file_);
  return WriteFileDurably(file_, kept);
}

bool LessonJournal::Withdraw(const Lesson& lesson) const {
  std::vector<Lesson> lessons = Read();
  for (auto last = lessons.rbegin(); last != lessons.rend(); ++last) {
    if (*last != lesson) continue;
    lessons.erase(std::next(last).base());
    std::string kept;
    for (const Lesson& entry : lessons) kept += Line(entry);
    return kept.empty() ? RemoveFile(file_) : WriteFileDurably(file_, kept);
  }
  return true;
}

namespace {

// Whether any record of the brain pairs the question with the answer (not only the first one).
bool AnyRecordGives(const fs::path& brainFile, const std::string& question, const std::string& answer) {
  std::ifstream in(brainFile, std::ios::binary);
  std::string line;
  int position = 0;  // 0: between records, 1: question next, 2: answer next
  bool questionMatches = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (position == 0) {
      if (line == "*") position = 1;
    } else if (position == 1) {
      questionMatches = line == question;
      position = line == "*" ? 1 : 2;
    } else {
      if (questionMatches && line == answer) return true;
      position = line == "*" ? 1 : 0;
    }
  }
  return false;
}

// A correction of an answer this copy taught itself is part of that lesson: the server gets the
// record as it stands now, once. (Replayed separately, the taught answer would be added again at
// every replay after its correction had replaced it.)
std::vector<Lesson> Folded(const std::vector<Lesson>& lessons) {
  std::vector<Lesson> folded;
  for (const Lesson& lesson : lessons) {
    if (lesson.kind == Lesson::Kind::Corrected && lesson.replaced) {
      const auto taught = std::find_if(folded.rbegin(), folded.rend(), [&](const Lesson& earlier) {
        return earlier.kind == Lesson::Kind::Taught && earlier.question == lesson.question &&
               earlier.answer == *lesson.replaced;
      });
      if (taught != folded.rend()) {
        taught->answer = lesson.answer;
        continue;
      }
    }
    folded.push_back(lesson);
  }
  return folded;
}

// One replay of the lessons in journal order. `changed`: whether it wrote anything; every write
// changes a record, so a replay that writes nothing leaves the brain as it was.
bool ApplyOnce(const fs::path& brainFile, const std::vector<Lesson>& lessons, bool& changed) {
  const BrainStore brain(brainFile);
  changed = false;
  for (const Lesson& lesson : lessons) {
    const auto current = brain.FindAnswer(lesson.question);
    std::optional<bool> written;
    if (lesson.kind == Lesson::Kind::Taught) {
      if (!AnyRecordGives(brainFile, lesson.question, lesson.answer))
        written = brain.AppendRecord(lesson.question, lesson.answer);
    } else if (!current) {
      written = brain.AppendRecord(lesson.question, lesson.answer);
    } else if (*current != lesson.answer && (!lesson.replaced || *current == *lesson.replaced)) {
      written = brain.ReplaceAnswer(lesson.question, lesson.answer);
    }
    if (written == false) return false;
    changed = changed || written.has_value();
  }
  return true;
}

// A replay can make an earlier correction of the journal hold again (its replaced answer is what a
// later one wrote, e.g. after the journal was replayed locally onto another brain at a start); the
// lessons are replayed until a replay changes nothing, so that a second merge finds nothing to do.
constexpr int kMostReplays = 4;

}  // namespace

bool ApplyLessons(const fs::path& brainFile, const std::vector<Lesson>& lessons) {
  const std::vector<Lesson> folded = Folded(lessons);
  for (int replay = 0; replay < kMostReplays; ++replay) {
    bool changed = false;
    if (!ApplyOnce(brainFile, folded, changed)) return false;
    if (!changed) break;
  }
  return true;
}
