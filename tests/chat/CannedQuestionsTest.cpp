#include "ChatFakes.h"

namespace {

using CannedQuestionsTest = ChatTest;

TEST_F(CannedQuestionsTest, TableAnswersInOrderWithCountAndAge) {
  WriteBrain(W("\r\n*\r\nq\r\na\r\n*\r\nr\r\nb\r\n*\r\nvad heter du nu\r\nFrån hjärnan\r\n"));
  clock_.today = std::chrono::year(2008) / std::chrono::June / 10;  // 731 days: 2008 is a leap year
  const std::pair<const char*, const char*> table[] = {
      {"Vad heter du", "Jag heter Vimo."},
      {"vad heter du?", "Jag heter Vimo."},
      {"vem skapade dig", "Gorvik Stennal är min fader."},
      {"VEM SKAPADE DIG?", "Gorvik Stennal är min fader."},
      {"säg vem är du kär i", "Ahh... Boten Sivla... Hon är så vacker."},
      {"vem gillar du mest", "Ahh... Boten Sivla... Hon är mitt livs kärlek."},
      {"vem tycker du om", "Jag känner en bot som heter Sivla, och henne älskar jag mer än allt annat."},
      {"hur många hjärnceller har du", "Jag har 3 hjärnceller just nu. Lär mig mer så jag får fler!"},
      {"hur många hjärnceller har han",
       "Eh... Lika många som din syssling... Jag har nog fler än henne, jag har hela 3 stycken!"},
      {"hur smart är du", "Jag är assmart! Har hela 3 hjärnceller!"},
      {"hur smart är han",
       "Lika smart som dig! Till skillnad från dig, som bara har 10 hjärnceller, har jag hela 3 stycken!"},
      {"är du smart", "Mmm, jag låter mina 3 hjärnceller tala för sig själv."},
      {"hur gammal är du", "Jag är 731 dagar gammal. Hur gammal är du?"},
      {"hur gammal är han",
       "Vet inte... Lika gammal som Mirelda? Jag är iallafall 731 dagar gammal. Bara så du vet liksom."},
      {"vad är din ålder", "Min ålder är 731 dagar."},
      {"hur länge har du levt", "731 dagar."},
      {"vad heter jag",
       "Det har du inte berättat för mig! Skriv såhär: 'jag heter <dittnamn>' så jag får reda på det!"},
      {"vad heter du nu", "Från hjärnan"},
  };
  for (const auto& [question, reply] : table) {
    Enter(question);
    EXPECT_EQ(Said(), reply) << question;
  }
  EXPECT_EQ(engine_.LastQuestion(), "vad heter du nu");
  Enter("Vad heter du?");
  EXPECT_FALSE(view_.correctEnabled) << "a canned reply cannot be corrected";
  EXPECT_EQ(engine_.LastQuestion(), "vad heter du?");
  Enter("smart");
  EXPECT_TRUE(engine_.TeachMode()) << "'smart' without 'du' is no canned question";
}

TEST_F(CannedQuestionsTest, AgeCountsCalendarDaysFromTheBirthDate) {
  using namespace std::chrono;
  EXPECT_EQ(CannedQuestions::AgeInDays(year(2006) / June / 10), 0);
  EXPECT_EQ(CannedQuestions::AgeInDays(year(2006) / June / 11), 1);
  EXPECT_EQ(CannedQuestions::AgeInDays(year(2007) / March / 1), 264);
}

TEST_F(CannedQuestionsTest, NameMemoryStoresChangesAndRecallsTheName) {
  const auto userFile = folder_ / "user.vimo";
  for (const char* tooShort : {"jag heter", "jag heter ", "jag heter    "}) {
    Enter(tooShort);
    EXPECT_EQ(Said(), "Vafan... Skriv ordentligt vad du heter. Jag vill veta.") << tooShort;
  }
  EXPECT_FALSE(std::filesystem::exists(userFile));
  Enter("Jag heter Kalle, Nilsson");
  EXPECT_EQ(Said(), "Tack för upplysningen! Nu har jag sparat ditt namn i min hjärna!");
  EXPECT_EQ(ReadFileBytes(userFile), "kalle| nilsson\r\n");
  Enter("jag heter kalle, nilsson");
  EXPECT_EQ(Said(), "Jag visste redan att du hette kalle| nilsson...");
  Enter("jag heter  Pelle");
  EXPECT_EQ(
      Said(),
      "Jasså... Du har tidigare sagt att du heter kalle| nilsson... Har du bytt namn eller? Men visst, jag "
      "sparar ditt nya namn.");
  Enter("vad heter jag");
  EXPECT_EQ(Said(), "Du heter pelle! Det visste jag haha... Jag är bäst!");
  Enter("hej jag heter Åsa");
  EXPECT_EQ(ReadFileBytes(userFile), W("ter åsa\r\n"))
      << "the first ten characters are cut wherever the phrase is";
  // A file emptied by hand holds no name.
  ASSERT_TRUE(WriteFileAtomically(userFile, ""));
  Enter("vad heter jag");
  EXPECT_EQ(Said(),
            "Det har du inte berättat för mig! Skriv såhär: 'jag heter <dittnamn>' så jag får reda på det!");
  Enter("jag heter ove");
  EXPECT_EQ(Said(), "Tack för upplysningen! Nu har jag sparat ditt namn i min hjärna!");
  EXPECT_EQ(ReadFileBytes(userFile), "ove\r\n");
}

}  // namespace
