#pragma once
// The lesson journal "Data/lessons.vimo": every lesson this copy has taught its brain (a new record
// or a corrected answer), kept on the local disk until the shared brain on the server holds it. The
// shutdown replays it onto the server's brain as it is then, so a lesson survives a crash, a power
// cut, a failed upload and other copies closing at the same moment.
//
// One entry per line, Windows-1252 text ended by CR LF:
//   T,<question>,<answer>,<checksum>     a taught record
//   C,<question>,<answer>,<replaced>,<checksum>     a corrected answer, with the answer it replaced
// (journals written before corrections carried the replaced answer have C lines without it; they
// are still read).
// Question and answer are in stored form, which never holds a comma or a line end. The checksum is
// the FNV-1a hash of everything before its comma, as eight lower-case hex digits: a line cut short
// by a crash, or garbage a power cut left behind, fails it and is skipped when reading.
//
// Every call opens, works on and closes the file before it returns. Not thread-safe.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Where the journal lives, relative to the program folder (UTF-8).
inline constexpr std::string_view kLessonJournalFile = "Data/lessons.vimo";

struct Lesson {
  enum class Kind { Taught, Corrected };
  Lesson() = default;
  Lesson(Kind kind, std::string question, std::string answer,
         std::optional<std::string> replaced = std::nullopt)
      : kind(kind), question(std::move(question)), answer(std::move(answer)), replaced(std::move(replaced)) {}

  Kind kind = Kind::Taught;
  std::string question;
  std::string answer;
  // A correction's answer before it: the correction holds only while the brain still gives it.
  std::optional<std::string> replaced;

  bool operator==(const Lesson&) const = default;
};

class LessonJournal {
 public:
  // file: the journal (production: "Data/lessons.vimo" in the program folder).
  explicit LessonJournal(std::filesystem::path file);

  const std::filesystem::path& File() const { return file_; }

  // Appends the lesson and forces it to the disk before returning, creating the file and its
  // folder when missing. False (nothing recorded) when the lesson cannot be stored in the brain's
  // format or the disk refuses.
  bool Record(const Lesson& lesson) const;

  // The complete entries, oldest first; a missing file has none.
  std::vector<Lesson> Read() const;

  // Drops the first `count` complete entries (those the server now holds), keeping any later ones
  // and nothing that failed its checksum. The file is rewritten atomically; a journal left empty is
  // removed. False when the file cannot be rewritten; the entries then stay and go up again.
  bool Forget(std::size_t count) const;

  // Takes back the last entry equal to the lesson (its brain could not be written after all).
  bool Withdraw(const Lesson& lesson) const;

  // The entry's line, CR LF included.
  static std::string Line(const Lesson& lesson);
  // The lesson of one line without its line end; false when it is not a complete entry.
  static bool Parse(std::string_view line, Lesson& lesson);

 private:
  std::filesystem::path file_;
};

// Replays lessons onto a brain file, so that replaying them twice gives the brain that replaying them
// once gives: a taught record is appended unless any record with its question already has that
// answer; a correction replaces the answer of the first record with its question while that record
// still gives the replaced answer (a later correction by another copy wins), and is appended as a
// new record when the question is not there. A correction without its replaced answer (an old
// journal's) replaces whatever the first record gives. Returns false when the brain could not be
// written; lessons before the failure may have been applied.
bool ApplyLessons(const std::filesystem::path& brainFile, const std::vector<Lesson>& lessons);
