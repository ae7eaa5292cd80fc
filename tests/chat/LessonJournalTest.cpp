// The lesson journal: what survives a crash in the middle of a write, what leaves it, and how its
// lessons land on a brain that other copies have changed meanwhile.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "BrainRecords.h"
#include "BrainStore.h"
#include "LessonJournal.h"
#include "TextFile.h"

namespace {

class LessonJournalTest : public ::testing::Test {
 protected:
  LessonJournalTest() { std::filesystem::create_directories(folder_); }
  ~LessonJournalTest() override { std::filesystem::remove_all(folder_); }

  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() /
      ("vimo_journal_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  const LessonJournal journal_{folder_ / "Data" / "lessons.vimo"};
  const Lesson taught_{Lesson::Kind::Taught, "q", "a"};
  const Lesson corrected_{Lesson::Kind::Corrected, "r", "b|c", "förr"};
};

TEST_F(LessonJournalTest, EntriesSurviveTornWritesAndLeaveOnlyOnceForgotten) {
  ASSERT_TRUE(journal_.Record(taught_));
  // A crash in the middle of the next write left half a line, and a power cut some garbage.
  const std::string half = LessonJournal::Line(corrected_).substr(0, 7);
  ASSERT_TRUE(AppendToFile(journal_.File(), half));
  ASSERT_TRUE(journal_.Record(corrected_));
  ASSERT_TRUE(AppendToFile(journal_.File(), std::string("T,x,y,00000000\r\n") + '\0' + "\r\n"));
  const Lesson third{Lesson::Kind::Taught, "s", ""};
  ASSERT_TRUE(journal_.Record(third));
  // A journal written before corrections carried the replaced answer is still read.
  const Lesson old{Lesson::Kind::Corrected, "o", "n"};
  const std::string oldLine = LessonJournal::Line(old);
  ASSERT_EQ(oldLine.substr(0, 6), "C,o,n,");
  ASSERT_EQ(std::count(oldLine.begin(), oldLine.end(), ','), 3);
  ASSERT_TRUE(AppendToFile(journal_.File(), oldLine));
  EXPECT_EQ(journal_.Read(), (std::vector<Lesson>{taught_, corrected_, third, old}));
  ASSERT_TRUE(journal_.Withdraw(old));

  // What cannot be stored in the brain is not journalled either.
  EXPECT_FALSE(journal_.Record({Lesson::Kind::Taught, "a,b", "c"}));
  EXPECT_FALSE(journal_.Record({Lesson::Kind::Taught, "a", "b\r\nc"}));

  // The server now holds the first two; a lesson recorded meanwhile stays with the third.
  const Lesson fourth{Lesson::Kind::Taught, "t", "d"};
  ASSERT_TRUE(journal_.Record(fourth));
  ASSERT_TRUE(journal_.Forget(2));
  EXPECT_EQ(journal_.Read(), (std::vector<Lesson>{third, fourth}));
  ASSERT_TRUE(journal_.Withdraw(fourth));
  ASSERT_TRUE(journal_.Forget(1));
  EXPECT_FALSE(std::filesystem::exists(journal_.File()));
  EXPECT_TRUE(journal_.Read().empty());
}

TEST_F(LessonJournalTest, LessonsReplayOntoABrainOthersChanged) {
  const auto brainFile = folder_ / "brain.txt";
  // Another copy taught "q" first with another answer and then this one, gave "p" another answer
  // since, and corrected "s" after this copy did.
  ASSERT_TRUE(WriteFileAtomically(brainFile,
                                  "\r\n*\r\np\r\nannat\r\n\r\n*\r\nq\r\nförst\r\n\r\n*\r\nq\r\na\r\n"
                                  "\r\n*\r\ns\r\nsenare\r\n"));
  const std::vector<Lesson> lessons{taught_,
                                    {Lesson::Kind::Taught, "ny", "fråga"},
                                    {Lesson::Kind::Corrected, "p", "rättat", "annat"},
                                    {Lesson::Kind::Corrected, "s", "tidigare", "original"},
                                    {Lesson::Kind::Corrected, "borta", "kvar", "förr"}};
  ASSERT_TRUE(ApplyLessons(brainFile, lessons));
  const BrainStore brain(brainFile);
  EXPECT_EQ(brain.CountBrainCells(), 6u);
  EXPECT_EQ(brain.FindAnswer("q"), "först");
  EXPECT_EQ(brain.FindAnswer("ny"), "fråga");
  EXPECT_EQ(brain.FindAnswer("p"), "rättat");
  // The other copy's later correction wins.
  EXPECT_EQ(brain.FindAnswer("s"), "senare");
  // A correction whose question is gone from the server is kept as a record of its own.
  EXPECT_EQ(brain.FindAnswer("borta"), "kvar");

  // Replaying the same lessons again (a journal that could not forget) changes nothing.
  const auto before = ReadFileBytes(brainFile);
  ASSERT_TRUE(ApplyLessons(brainFile, lessons));
  EXPECT_EQ(ReadFileBytes(brainFile), before);
}

TEST_F(LessonJournalTest, MergingAJournalTwiceGivesTheBrainMergingItOnceGives) {
  // Few questions and answers, so that lessons meet each other and the brain's records often.
  std::mt19937 random(20261209);
  const auto pick = [&](const char* prefix, int choices) {
    return prefix + std::to_string(std::uniform_int_distribution<int>(0, choices - 1)(random));
  };
  const auto brainFile = folder_ / "brain.txt";
  // The same records in the same order; a correction's rewrite drops the empty lines between them.
  const auto records = [&] {
    std::string lines = ReadFileBytes(brainFile).value_or("");
    for (std::size_t at; (at = lines.find("\r\n\r\n")) != std::string::npos;) lines.erase(at, 2);
    return lines.starts_with("\r\n") ? lines.substr(2) : lines;
  };
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::string brain;
    for (int records = std::uniform_int_distribution<int>(0, 6)(random); records > 0; --records)
      brain += "\r\n*\r\n" + pick("q", 4) + "\r\n" + pick("a", 4) + "\r\n";
    std::vector<Lesson> lessons;
    for (int count = std::uniform_int_distribution<int>(1, 6)(random); count > 0; --count) {
      if (random() % 2 == 0) {
        lessons.push_back({Lesson::Kind::Taught, pick("q", 4), pick("a", 4)});
      } else {
        lessons.push_back({Lesson::Kind::Corrected, pick("q", 4), pick("a", 4), pick("a", 4)});
      }
    }
    ASSERT_TRUE(WriteFileAtomically(brainFile, brain));
    ASSERT_TRUE(ApplyLessons(brainFile, lessons));
    const std::string once = records();
    ASSERT_TRUE(ApplyLessons(brainFile, lessons));
    std::string journal;
    for (const Lesson& lesson : lessons) journal += LessonJournal::Line(lesson);
    ASSERT_EQ(records(), once) << brain << "\n" << journal;
  }
}

TEST(BrainRecordsTest, OnlyWellFormedRecordsCountHoweverManyStarsThereAre) {
  const std::string whole = "\r\n*\r\nfråga\r\nsvar\r\n*\r\nandra\r\n\r\n";
  const BrainRecords counted = CountBrainRecordsIn(whole);
  EXPECT_EQ(counted.records, 2u);
  EXPECT_EQ(counted.wholeBytesCrLf, whole.size());
  EXPECT_EQ(counted.wholeBytesLf, whole.size() - counted.lineEnds);
  // Stars padded with junk, a record cut short, stacked stars and items holding commas.
  const std::string padded = "*\r\n*\r\nxxxxxxxxxxxxxxxx,yy\r\nzz\r\n*\r\nq\r\n*\r\nq\r\na";
  const BrainRecords junk = CountBrainRecordsIn(padded);
  EXPECT_EQ(junk.records, 0u);
  EXPECT_EQ(junk.wholeBytesCrLf, 0u);
  EXPECT_EQ(junk.fileBytes, padded.size());
}

}  // namespace
