#include <algorithm>
#include <fstream>
#include <random>

#include "ChatFakes.h"
#include "ItemReader.h"

namespace {

using namespace std::string_literals;

class BrainStoreTest : public ChatTest {
 protected:
  BrainStoreTest() { scan_.SetIndexUsed(false); }

  BrainStore& store_ = engine_.Brain();
  // The same file read from start to end on every call.
  BrainStore scan_{Brain()};
};

std::size_t StarsIn(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '*'));
}

TEST_F(BrainStoreTest, FindAnswerMatchesWholeQuestionsOnlyAndTheFirstRecordWins) {
  WriteBrain("\r\n*\r\nhej\r\nhallå\r\n\r\n*\r\nhej då\r\nadjö\r\n\r\n*\r\nhej\r\nandra\r\n");
  EXPECT_EQ(store_.FindAnswer("hej"), "hallå");
  EXPECT_EQ(store_.FindAnswer("hej då"), "adjö");
  EXPECT_EQ(store_.FindAnswer("he"), std::nullopt);
  EXPECT_EQ(store_.FindAnswer("hej då då"), std::nullopt);
  EXPECT_EQ(store_.FindAnswer("hallå"), std::nullopt) << "an answer is not a question";
  EXPECT_EQ(store_.CountBrainCells(), 3u);
}

TEST_F(BrainStoreTest, FindAnswerReadsItemsLikeTheItemReader) {
  // LF and lone CR line ends, blanks dropped before an item but kept after it, quotes kept,
  // a comma ending an item, "*" inside text opening nothing, NUL bytes carried through.
  WriteBrain("*\nett\n  \"svar\" \r*\rtv\0a\r\nb*c\r\n*\r\nq,x,y\r\n"s);
  EXPECT_EQ(store_.FindAnswer("ett"), "\"svar\" ");
  EXPECT_EQ(store_.FindAnswer("tv\0a"s), "b*c");
  EXPECT_EQ(store_.FindAnswer("q"), "x");
  EXPECT_EQ(store_.FindAnswer("b*c"), std::nullopt);
}

TEST_F(BrainStoreTest, RecordsCutShortOrStackedStarsFollowTheItemWalk) {
  WriteBrain("*\r\n*\r\nq\r\na\r\n*\r\nsist");
  EXPECT_EQ(store_.FindAnswer("*"), "q") << "the second star is the first record's question";
  EXPECT_EQ(store_.FindAnswer("q"), std::nullopt);
  EXPECT_EQ(store_.FindAnswer("sist"), std::nullopt) << "a question without an answer";
  WriteBrain("*\r\nq\r\n\r\n*");
  EXPECT_EQ(store_.FindAnswer("q"), "") << "an empty answer line is still an answer";
  EXPECT_EQ(store_.FindAnswer("x"), std::nullopt) << "a star as the last item";
  WriteBrain("");
  EXPECT_EQ(store_.FindAnswer(""), std::nullopt);
  EXPECT_EQ(store_.CountBrainCells(), 0u);
  std::filesystem::remove(Brain());
  EXPECT_EQ(store_.FindAnswer("q"), std::nullopt);
  EXPECT_EQ(store_.CountBrainCells(), 0u);
  EXPECT_FALSE(store_.ReplaceAnswer("q", "a"));
  EXPECT_FALSE(std::filesystem::exists(Brain()));
}

// A lookup read item by item, the way the format defines it.
std::optional<std::string> LookUpItemByItem(std::string_view text, std::string_view question) {
  ItemReader reader(text);
  while (true) {
    do {
      if (reader.AtEnd()) return std::nullopt;
    } while (reader.Next() != "*");
    if (reader.AtEnd()) return std::nullopt;
    if (reader.Next() != question) continue;
    if (reader.AtEnd()) return std::nullopt;
    return std::string(reader.Next());
  }
}

TEST_F(BrainStoreTest, LookupAgreesWithAnItemByItemReadWhereverAReadPieceEnds) {
  std::mt19937 random(20060610);
  const std::string questions[] = {"q", "", "*", "q a", "qq", "a", "q,a"};
  for (int round = 0; round < 160; ++round) {
    std::string tail;
    for (unsigned length = random() % 40; tail.size() < length;) tail += "*qa ,\r\n"[random() % 7];
    // A first line that ends the first read piece somewhere inside the random tail; being one item
    // between records, it changes no lookup.
    const std::size_t firstLine = BrainStore::kReadPieceBytes - random() % (tail.size() + 1);
    const std::string brain = round % 4 == 0 ? tail : std::string(firstLine - 2, 'x') + "\r\n" + tail;
    WriteBrain(brain);
    ASSERT_EQ(store_.CountBrainCells(), StarsIn(brain));
    ASSERT_EQ(scan_.CountBrainCells(), StarsIn(brain));
    for (const std::string& question : questions) {
      const auto expected = LookUpItemByItem(tail, question);
      ASSERT_EQ(store_.FindAnswer(question), expected) << testing::PrintToString(tail) << " / " << question;
      ASSERT_EQ(scan_.FindAnswer(question), expected) << testing::PrintToString(tail) << " / " << question;
      if (round % 4 != 0) continue;
      // A correction changes that one answer and no other record.
      ASSERT_EQ(store_.ReplaceAnswer(question, "ny"), expected.has_value());
      for (const std::string& other : questions) {
        const auto answer =
            other == question && expected ? std::optional<std::string>("ny") : LookUpItemByItem(tail, other);
        EXPECT_EQ(store_.FindAnswer(other), answer)
            << testing::PrintToString(tail) << " / " << question << " / " << other;
      }
      if (expected) WriteBrain(brain);
    }
  }
}

TEST_F(BrainStoreTest, AppendsKeepTheIndexRightWhateverTheFileEndedWith) {
  std::mt19937 random(20261209);
  const std::string questions[] = {"q", "", "*", "a", "ny", "q a"};
  for (int round = 0; round < 200; ++round) {
    std::string brain;
    for (unsigned length = random() % 30; brain.size() < length;) brain += "*qa \r\n"[random() % 6];
    WriteBrain(brain);
    ASSERT_EQ(store_.FindAnswer("q"), LookUpItemByItem(brain, "q")) << testing::PrintToString(brain);
    const std::string question = round % 3 == 0 ? "q" : "ny";
    ASSERT_TRUE(store_.AppendRecord(question, "svar"));
    EXPECT_GT(store_.IndexBytes(), 0u) << "the append was taken in, not thrown away";
    brain += "\r\n*\r\n" + question + "\r\nsvar\r\n";
    ASSERT_EQ(BrainBytes(), brain);
    EXPECT_EQ(store_.CountBrainCells(), StarsIn(brain));
    for (const std::string& asked : questions) {
      EXPECT_EQ(store_.FindAnswer(asked), LookUpItemByItem(brain, asked))
          << testing::PrintToString(brain) << " / " << asked;
    }
  }
}

TEST_F(BrainStoreTest, EditsMadeElsewhereAreNeverAnsweredFromAStaleIndex) {
  WriteBrain("\r\n*\r\nhej\r\nhallå\r\n");
  ASSERT_EQ(store_.FindAnswer("hej"), "hallå");
  // Rewritten in place at once: the same size, and on most file systems the same time stamp.
  std::ofstream(Brain(), std::ios::binary | std::ios::trunc) << "\r\n*\r\nhej\r\nhallö\r\n";
  EXPECT_EQ(store_.FindAnswer("hej"), "hallö");
  std::ofstream(Brain(), std::ios::binary | std::ios::app) << "*\r\nmer\r\nsvar\r\n";
  EXPECT_EQ(store_.FindAnswer("mer"), "svar");
  EXPECT_EQ(store_.CountBrainCells(), 2u);
  // Another store of the same file shares the index and sees this store's changes.
  const BrainStore other(folder_ / "." / "brain.txt");
  ASSERT_TRUE(store_.AppendRecord("ny", "fråga"));
  EXPECT_EQ(other.FindAnswer("ny"), "fråga");
  ASSERT_TRUE(store_.ReplaceAnswer("hej", "tjena"));
  EXPECT_EQ(other.FindAnswer("hej"), "tjena");
  EXPECT_EQ(other.CountBrainCells(), 3u);
  std::filesystem::remove(Brain());
  EXPECT_EQ(other.FindAnswer("hej"), std::nullopt);
  EXPECT_EQ(other.CountBrainCells(), 0u);
  EXPECT_EQ(other.IndexBytes(), 0u);
}

TEST_F(BrainStoreTest, LargeBrainWithRepeatedQuestionsAnswersFromTheFirstRecord) {
  // A long first line without records gives the index no hint of the file's size, so its table
  // grows many times while the records come; every question is taught twice.
  constexpr int kQuestions = 60000;
  std::string brain(BrainStore::kReadPieceBytes + 1000, 'x');
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kQuestions; ++i) {
      brain += "\r\n*\r\nfråga " + std::to_string(i) + "\r\nsvar " + std::to_string(round * kQuestions + i);
    }
  }
  WriteBrain(brain);
  EXPECT_EQ(store_.CountBrainCells(), 2u * kQuestions);
  EXPECT_GT(store_.IndexBytes(), 16u * kQuestions);
  for (int i = 0; i < kQuestions; i += 997) {
    ASSERT_EQ(store_.FindAnswer("fråga " + std::to_string(i)), "svar " + std::to_string(i));
  }
  EXPECT_EQ(store_.FindAnswer("fråga " + std::to_string(kQuestions)), std::nullopt);
  EXPECT_EQ(store_.FindAnswer("fråga"), std::nullopt);
  // The last answer ended the file without a line end; the append closes it and is found.
  ASSERT_TRUE(store_.AppendRecord("ny", "sist"));
  EXPECT_EQ(store_.FindAnswer("fråga " + std::to_string(kQuestions - 1)),
            "svar " + std::to_string(kQuestions - 1));
  EXPECT_EQ(store_.FindAnswer("ny"), "sist");
  EXPECT_EQ(store_.CountBrainCells(), 2u * kQuestions + 1);
}

TEST_F(BrainStoreTest, HugeLineDoesNotHideTheRecordsAroundIt) {
  const std::string huge(10 * 1024 * 1024, 'x');
  WriteBrain("*\r\nfore\r\nett\r\n" + huge + "\r\n*\r\nefter\r\ntvå\r\n");
  EXPECT_EQ(store_.FindAnswer("efter"), "två");
  EXPECT_EQ(store_.CountBrainCells(), 2u);
  ASSERT_TRUE(store_.ReplaceAnswer("efter", "tre"));
  EXPECT_EQ(BrainBytes(), "*\r\nfore\r\nett\r\n" + huge + "\r\n*\r\nefter\r\ntre\r\n");
}

TEST_F(BrainStoreTest, AppendRecordWritesFourLinesAndClosesAnOpenLastLine) {
  ASSERT_TRUE(store_.AppendRecord("vem är bäst", "jag| såklart"));
  EXPECT_EQ(BrainBytes(), "\r\n*\r\nvem är bäst\r\njag| såklart\r\n");
  WriteBrain("*\r\nq\r\na");
  ASSERT_TRUE(store_.AppendRecord("r", "b"));
  EXPECT_EQ(store_.FindAnswer("q"), "a");
  EXPECT_EQ(store_.FindAnswer("r"), "b");
  EXPECT_EQ(store_.CountBrainCells(), 2u);
  // Items that would split into several are refused, and nothing is written.
  for (const auto& [question, answer] : {std::pair{"två\r\nrader", "a"}, {"q", "a\nb"}, {"q", "a,b"}}) {
    EXPECT_FALSE(store_.AppendRecord(question, answer)) << question << answer;
  }
  EXPECT_EQ(store_.CountBrainCells(), 2u);
}

TEST_F(BrainStoreTest, ReplaceAnswerChangesTheFirstRecordAndDropsEmptyLines) {
  WriteBrain("\r\n*\r\nq\r\nett\r\n\r\n*\r\nhej\r\nq\r\n\r\n*\r\nq\r\ntvå\r\nlös rad\n*\nr\nx\n");
  ASSERT_TRUE(store_.ReplaceAnswer("q", "nytt"));
  EXPECT_EQ(BrainBytes(), "*\r\nq\r\nnytt\r\n*\r\nhej\r\nq\r\n*\r\nq\r\ntvå\r\nlös rad\r\n*\r\nr\r\nx\r\n");
  // An answer that equals the question, followed by an empty line, is not taken for it.
  WriteBrain("\r\n*\r\na\r\nq\r\n\r\n*\r\nq\r\ngammalt\r\n");
  ASSERT_TRUE(store_.ReplaceAnswer("q", "nytt"));
  EXPECT_EQ(BrainBytes(), "*\r\na\r\nq\r\n*\r\nq\r\nnytt\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "temp_brain.txt"));
}

TEST_F(BrainStoreTest, ReplaceAnswerLeavesTheBrainUntouchedWhenItCannotApply) {
  const std::pair<std::string, std::string> cases[] = {{"\r\n*\r\nq\r\na\r\n", "saknas"},
                                                       {"\r\n*\r\nq\r\na\r\n*", "saknas"},
                                                       {"*\r\nutan svar\r\n", "utan svar"}};
  for (const auto& [brain, question] : cases) {
    WriteBrain(brain);
    EXPECT_FALSE(store_.ReplaceAnswer(question, "x")) << question;
    EXPECT_EQ(BrainBytes(), brain);
  }
  WriteBrain("*\r\nq\r\na\r\n");
  EXPECT_FALSE(store_.ReplaceAnswer("q", "ny\r\nrad"));
  EXPECT_EQ(BrainBytes(), "*\r\nq\r\na\r\n");
  // A stale temporary file from an earlier crash is overwritten, and the brain is replaced.
  ASSERT_TRUE(WriteFileAtomically(folder_ / "temp_brain.txt", "skräp"));
  WriteBrain("*\r\nq\r\na\r\n");
  ASSERT_TRUE(store_.ReplaceAnswer("q", "b"));
  EXPECT_EQ(BrainBytes(), "*\r\nq\r\nb\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "temp_brain.txt"));
}

TEST_F(BrainStoreTest, PickRandomLineDrawsUntilAUsableLine) {
  // Without the index, lines: "", "*", "q|x", "a", "" (U = 5; the text after the last line end is
  // never drawn).
  WriteBrain("\r\n*\r\nq|x\r\na\r\n\r\nnever");
  random_.next = {0.0, 0.25, 0.5};
  EXPECT_EQ(scan_.PickRandomLine(random_), "q|x");
  EXPECT_EQ(random_.draws, 3);
  random_.next = {0.99};
  random_.whenEmpty = 0.6;
  EXPECT_EQ(scan_.PickRandomLine(random_), "a");
  WriteBrain("*\nett\ntvå\n");
  random_.next = {0.5};
  EXPECT_EQ(scan_.PickRandomLine(random_), "ett") << "LF line ends count as line ends";

  // From the index: a record, then its question (lower half) or its answer; one draw each, and
  // an empty question is drawn again.
  WriteBrain("\r\n*\r\nq1\r\na1\r\n\r\n*\r\n\r\na2\r\n\r\n*\r\nq3\r\na3\r\n\r\nnever");
  random_.draws = 0;
  const std::pair<double, const char*> draws[] = {{0.0, "q1"}, {0.2, "a1"}, {0.7, "q3"}, {0.99, "a3"}};
  for (const auto& [r, line] : draws) {
    random_.next = {r};
    EXPECT_EQ(store_.PickRandomLine(random_), line) << r;
  }
  EXPECT_EQ(random_.draws, 4);
  random_.next = {0.4, 0.5};
  EXPECT_EQ(store_.PickRandomLine(random_), "a2");
  EXPECT_EQ(random_.draws, 6);
}

TEST_F(BrainStoreTest, PickRandomLineGivesUpOrFallsBackInsteadOfDrawingForever) {
  std::filesystem::remove(Brain());
  EXPECT_EQ(store_.PickRandomLine(random_), std::nullopt);
  EXPECT_EQ(BrainBytes(), "") << "the missing brain is created empty";
  for (const char* brain : {"\r\n*\r\n\r\n*\r\n", "only text, no line end", "*"}) {
    WriteBrain(brain);
    EXPECT_EQ(scan_.PickRandomLine(random_), std::nullopt) << brain;
    EXPECT_EQ(store_.PickRandomLine(random_), std::nullopt) << brain;
  }
  // One usable line among many that always miss: the draws stop and the usable line is chosen.
  WriteBrain(std::string(10000, '\n') + "ensam\r\n");
  random_.whenEmpty = 0.0;
  random_.draws = 0;
  EXPECT_EQ(store_.PickRandomLine(random_), "ensam");
  EXPECT_LT(random_.draws, 1000);
}

TEST(BrainTextForm, StoredAndShownSwapCommasAndBars) {
  EXPECT_EQ(BrainStore::ToStored("hej, hur mår du,"), "hej| hur mår du|");
  EXPECT_EQ(BrainStore::ToShown("jag| såklart|"), "jag, såklart,");
}

}  // namespace
