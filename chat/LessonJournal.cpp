#include "LessonJournal.h"

#include <cinttypes>
#include <cstdio>
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
  if (second == std::string_view::npos || body.find(',', second + 1) != std::string_view::npos) return false;
  if (body[0] != 'T' && body[0] != 'C') return false;
  lesson.kind = body[0] == 'T' ? Lesson::Kind::Taught : Lesson::Kind::Corrected;
  lesson.question = std::string(body.substr(first + 1, second - first - 1));
  lesson.answer = std::string(body.substr(second + 1));
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

bool ApplyLessons(const fs::path& brainFile, const std::vector<Lesson>& lessons) {
  const BrainStore brain(brainFile);
  for (const Lesson& lesson : lessons) {
    const auto current = brain.FindAnswer(lesson.question);
    if (current && *current == lesson.answer) continue;
    const bool replaced = lesson.kind == Lesson::Kind::Corrected && current &&
                          brain.ReplaceAnswer(lesson.question, lesson.answer);
    if (!replaced && !brain.AppendRecord(lesson.question, lesson.answer)) return false;
  }
  return true;
}
