#include "ChatFakes.h"

namespace {

using RandomTalkTest = ChatTest;

TEST_F(RandomTalkTest, TickSaysARandomLineAndDrawsTheNextInterval) {
  // One record: a draw below 0.5 says its question, else its answer; the line is drawn first, then
  // the interval.
  WriteBrain(W("\r\n*\r\nhej| du\r\nhallå\r\n"));
  const std::tuple<int, double, int> cases[] = {{1, 0.5, 45000}, {2, 0.5, 15000}, {3, 0.999999, 14999}};
  for (const auto& [frequency, r, interval] : cases) {
    view_.frequency = frequency;
    random_.next = {0.25, r};
    engine_.Timer_Vimopratslump_Timer();
    EXPECT_EQ(Said(), "hej, du");
    EXPECT_EQ(view_.interval, interval);
  }
  // A draw of 0 neither stops the timer nor lets it fire without pause.
  random_.next = {0.25, 0.0};
  engine_.Timer_Vimopratslump_Timer();
  EXPECT_EQ(view_.interval, kMinimumRandomTalkIntervalMs);
  view_.frequency = 0;
  random_.next = {0.8, 0.5};
  engine_.Timer_Vimopratslump_Timer();
  EXPECT_EQ(Said(), "hallå");
  EXPECT_EQ(view_.interval, kMinimumRandomTalkIntervalMs) << "an unknown position keeps the interval";
}

TEST_F(RandomTalkTest, SwitchedOffOrEmptyBrainSaysNothingAndKeepsTheInterval) {
  WriteBrain("*\r\nq\r\na\r\n");
  view_.randomTalkCheck = 0;
  engine_.Chk_slumpprat_Click();
  EXPECT_FALSE(view_.frequencyEnabled);
  engine_.Timer_Vimopratslump_Timer();
  EXPECT_TRUE(voice_.spoken.empty());
  EXPECT_EQ(random_.draws, 0);
  view_.randomTalkCheck = 1;
  engine_.Chk_slumpprat_Click();
  EXPECT_TRUE(view_.frequencyEnabled);
  random_.next = {0.25, 0.5};
  engine_.Timer_Vimopratslump_Timer();
  EXPECT_EQ(Said(), "q") << "checking the box again resumes at the next tick";

  WriteBrain("\r\n*\r\n");
  view_.interval = 20000;
  engine_.Timer_Vimopratslump_Timer();
  EXPECT_EQ(voice_.spoken.size(), 1u);
  EXPECT_EQ(view_.interval, 20000);
}

TEST_F(RandomTalkTest, RandomTalkLeavesTheConversationAlone) {
  Enter("okänd");
  view_.input = "halvskrivet";
  WriteBrain("*\r\nq\r\nslumpat\r\n");
  random_.next = {0.9, 0.5};
  engine_.Timer_Vimopratslump_Timer();
  EXPECT_EQ(view_.caption, "slumpat");
  EXPECT_EQ(view_.input, "halvskrivet");
  EXPECT_TRUE(engine_.TeachMode());
  EXPECT_EQ(engine_.LastQuestion(), W("okänd"));
  Enter("svar");
  EXPECT_EQ(engine_.Brain().FindAnswer(W("okänd")), "svar");
}

}  // namespace
