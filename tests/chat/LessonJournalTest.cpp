// The lesson journal: what survives a crash in the middle of a write, what leaves it, and how its
// lessons land on a brain that other copies have changed meanwhile.

#include <gtest/gtest.h>

#include <filesystem>

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
  const Lesson corrected_{Lesson::Kind::Corrected, "r", "b|c"};
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
  EXPECT_EQ(journal_.Read(), (std::vector<Lesson>{taught_, corrected_, third}));

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
  // Another copy taught "q" the same answer, and gave "p" another since.
  ASSERT_TRUE(WriteFileAtomically(brainFile, "\r\n*\r\np\r\nannat\r\n\r\n*\r\nq\r\na\r\n"));
  const std::vector<Lesson> lessons{taught_,
                                    {Lesson::Kind::Taught, "ny", "fråga"},
                                    {Lesson::Kind::Corrected, "p", "rättat"},
                                    {Lesson::Kind::Corrected, "borta", "kvar"}};
  ASSERT_TRUE(ApplyLessons(brainFile, lessons));
  const BrainStore brain(brainFile);
  EXPECT_EQ(brain.CountBrainCells(), 4u);
  EXPECT_EQ(brain.FindAnswer("q"), "a");
  EXPECT_EQ(brain.FindAnswer("ny"), "fråga");
  EXPECT_EQ(brain.FindAnswer("p"), "rättat");
  // A correction whose question is gone from the server is kept as a record of its own.
  EXPECT_EQ(brain.FindAnswer("borta"), "kvar");

  // Replaying the same lessons again (a journal that could not forget) changes nothing.
  const auto before = ReadFileBytes(brainFile);
  ASSERT_TRUE(ApplyLessons(brainFile, lessons));
  EXPECT_EQ(ReadFileBytes(brainFile), before);
}

}  // namespace
