#include "ChatFakes.h"

namespace {

using ReplyEngineTest = ChatTest;

const char* const kTeachingPromptStart =
    "Jag vet inte vad man svarar på det...\rHur tycker du att jag ska svara på: '";

TEST_F(ReplyEngineTest, InputRulesAnswerWithoutChangingAnything) {
  WriteBrain("\r\n*\r\nq\r\na\r\n");
  view_.correctEnabled = true;
  Enter("");
  EXPECT_EQ(
      Said(),
      "Bara för att jag är smart och har 1 hjärnceller kan jag inte läsa dina tankar. Du måste skriva nåt!");
  EXPECT_FALSE(view_.correctEnabled);
  const std::pair<const char*, const char*> refused[] = {
      {"a*b|c",
       "Eftersom jag är från Kolahalvön fattar inte jag '*'-tecknet. Du får alltså inte använda det."},
      {"a|b",
       "Vad menar du med '|'? Jag har aldrig sett det tecknet förut, är det virus?! Det får du inte "
       "använda!"},
      {" hej", "Du får inte börja texten med ett mellanslag, börja med ett tecken!"},
      {"   ", "Du får inte börja texten med ett mellanslag, börja med ett tecken!"}};
  for (const auto& [typed, complaint] : refused) {
    Enter(typed);
    EXPECT_EQ(Said(), complaint);
    EXPECT_EQ(view_.input, W(typed)) << "the refused text stays for mending";
  }
  EXPECT_EQ(engine_.LastQuestion(), "");
  EXPECT_FALSE(engine_.TeachMode());
  EXPECT_EQ(BrainBytes(), "\r\n*\r\nq\r\na\r\n");
}

TEST_F(ReplyEngineTest, MissingQuestionIsTaughtThenAnsweredFromTheBrain) {
  // No brain.txt at all: an empty brain, and the lesson creates the file.
  Enter("Vem är bäst, egentligen");
  EXPECT_EQ(engine_.LastQuestion(), W("vem är bäst| egentligen"));
  EXPECT_EQ(Said(), std::string(kTeachingPromptStart) + "vem är bäst, egentligen'?");
  EXPECT_TRUE(engine_.TeachMode());
  EXPECT_EQ(view_.input, "");
  Enter("");
  EXPECT_TRUE(engine_.TeachMode()) << "an empty Enter does not end the lesson";
  Enter("Jag, såklart");
  EXPECT_EQ(Said(), "Tack så mycket! Nu vet jag det.");
  EXPECT_FALSE(engine_.TeachMode());
  EXPECT_EQ(BrainBytes(), W("\r\n*\r\nvem är bäst| egentligen\r\njag| såklart\r\n"));

  Enter("VEM ÄR BÄST, EGENTLIGEN");
  EXPECT_EQ(Said(), "jag, såklart");
  EXPECT_TRUE(view_.correctEnabled);
  // A canned question typed while teaching is just the answer.
  Enter("ÅSKA");
  Enter("vad heter du");
  EXPECT_EQ(engine_.Brain().FindAnswer(W("åska")), "vad heter du");
  EXPECT_FALSE(view_.correctEnabled);
}

TEST_F(ReplyEngineTest, CorrectionReplacesTheLastAnswerInPlace) {
  WriteBrain(W("\r\n*\r\nhej| du\r\nhallå\r\n\r\n*\r\nannat\r\nsvar\r\n"));
  Enter("Hej, du");
  ASSERT_TRUE(view_.correctEnabled);
  engine_.Ändra_Click();
  EXPECT_FALSE(view_.correctEnabled);
  EXPECT_TRUE(engine_.CorrectMode());
  EXPECT_EQ(Said(), "Vad ska jag istället svara på: 'hej, du' ?");
  Enter("Tjena, kompis");
  EXPECT_EQ(Said(), "Tack så mycket, svaret är ändrat.");
  EXPECT_FALSE(engine_.CorrectMode());
  EXPECT_FALSE(view_.correctEnabled);
  EXPECT_EQ(BrainBytes(), W("*\r\nhej| du\r\ntjena| kompis\r\n*\r\nannat\r\nsvar\r\n"));
  EXPECT_EQ(engine_.Brain().CountBrainCells(), 2u);
}

TEST_F(ReplyEngineTest, FailedWritesAreSaidAsFailures) {
  WriteBrain("*\r\nq\r\na\r\n");
  Enter("q");
  engine_.Ändra_Click();
  WriteBrain("*\r\nannat\r\na\r\n");
  Enter("nytt");
  EXPECT_EQ(Said(), "Hoppsan, jag kunde inte ändra svaret. Frågan finns inte längre i min hjärna.");
  EXPECT_EQ(BrainBytes(), "*\r\nannat\r\na\r\n");

  std::filesystem::remove(Brain());
  std::filesystem::create_directory(Brain());
  Enter("okänt");
  Enter("svar");
  EXPECT_EQ(Said(), "Hoppsan, jag kunde inte skriva i min hjärna. Svaret är inte sparat.");
  EXPECT_FALSE(engine_.TeachMode());
  // What the user was told is not kept does not reach the server either.
  EXPECT_TRUE(engine_.Journal().Read().empty());
}

TEST_F(ReplyEngineTest, LessonsGoToTheJournalAndPastedLineBreaksNeverReachTheFiles) {
  // A pasted line break at the start is a blank like any other: the rule refuses it.
  Enter("\nhej");
  EXPECT_EQ(Said(), "Du får inte börja texten med ett mellanslag, börja med ett tecken!");
  EXPECT_EQ(view_.input, " hej");

  Enter("Två\r\nrader?");
  Enter("ja\rnej\tkanske");
  EXPECT_EQ(Said(), "Tack så mycket! Nu vet jag det.");
  EXPECT_EQ(BrainBytes(), W("\r\n*\r\ntvå  rader?\r\nja nej kanske\r\n"));
  Enter("två  rader?");
  engine_.Ändra_Click();
  Enter("bara\none");
  EXPECT_EQ(engine_.Journal().Read(),
            (std::vector<Lesson>{{Lesson::Kind::Taught, W("två  rader?"), "ja nej kanske"},
                                 {Lesson::Kind::Corrected, W("två  rader?"), "bara one", "ja nej kanske"}}));
  // The name memory too keeps one line.
  Enter("jag heter kalle\r\nanka");
  EXPECT_EQ(ReadFileBytes(folder_ / "user.vimo"), "kalle  anka\r\n");
}

TEST_F(ReplyEngineTest, TheCorrectButtonWaitsForTheAnswerToStand) {
  WriteBrain("\r\n*\r\nq\r\nett svar\r\n");
  std::vector<bool> enabledWhileTyping;
  pump_.hook = [&] { enabledWhileTyping.push_back(view_.correctEnabled); };
  Enter("q");
  EXPECT_TRUE(view_.correctEnabled);
  EXPECT_EQ(enabledWhileTyping, std::vector<bool>(enabledWhileTyping.size(), false));

  // Another Enter inside the typing moves on; its reply (a canned one) keeps the button off.
  bool entered = false;
  pump_.hook = [&] {
    if (!entered) {
      entered = true;
      Enter("vad heter du");
    }
  };
  Enter("q");
  EXPECT_FALSE(view_.correctEnabled);
}

TEST_F(ReplyEngineTest, VeryLongAndUnusualInputIsLearntAndFound) {
  std::string longText(100000, 'a');
  longText[500] = ',';
  Enter(longText);
  EXPECT_TRUE(engine_.TeachMode());
  Enter("?? \"citat\" ");
  Enter(longText);
  EXPECT_EQ(Said(), "?? \"citat\" ");
}

TEST_F(ReplyEngineTest, SayTypesCharacterByCharacterAndNestedSayTakesOver) {
  view_.keepCaptions = true;
  engine_.Say("abc");
  EXPECT_EQ(view_.captions, (std::vector<std::string>{"a", "ab", "abc"}));
  EXPECT_EQ(waiter_.waits, (std::vector<int>{10, 10, 10}));
  EXPECT_EQ(pump_.calls, 3);
  engine_.Say("");
  EXPECT_EQ(view_.caption, "abc");

  view_.captions.clear();
  pump_.calls = 0;
  pump_.hook = [this] {
    const int call = pump_.calls;
    if (call == 2) engine_.Say("XY");
  };
  engine_.Say("abcd");
  EXPECT_EQ(view_.captions, (std::vector<std::string>{"a", "ab", "X", "XY", "abc", "abcd"}));
}

TEST_F(ReplyEngineTest, LongSentencesTypeSeveralCharactersPerWaitWithinTheLimit) {
  constexpr std::size_t limit = ChatEngine::kLongestTypedPerCharacter;
  view_.keepCaptions = true;
  const auto sentenceOf = [](std::size_t length) {
    std::string text(length, 'a');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
    return text;
  };
  // Checks that every caption is a longer start of the text, the last the whole text, and that
  // each one had its wait and its events.
  const auto expectTypedOut = [this](const std::string& text, std::size_t expectedSteps) {
    ASSERT_EQ(view_.captions.size(), expectedSteps);
    for (std::size_t i = 0; i < view_.captions.size(); ++i) {
      ASSERT_EQ(text.compare(0, view_.captions[i].size(), view_.captions[i]), 0) << "caption " << i;
      if (i > 0) {
        ASSERT_GT(view_.captions[i].size(), view_.captions[i - 1].size()) << "caption " << i;
      }
    }
    EXPECT_EQ(view_.captions.back(), text);
    EXPECT_EQ(waiter_.waits, std::vector<int>(expectedSteps, 10));
    EXPECT_EQ(pump_.calls, static_cast<int>(expectedSteps));
  };
  const std::pair<std::size_t, std::size_t> lengthsAndSteps[] = {
      {limit, limit},                // the longest text still typed one character at a time
      {limit + 1, (limit + 2) / 2},  // two at a time
      {100000, limit},               // an echoed 100 000-character input
      {100 * limit + 1, 100 * limit / 101 + 1},
  };
  for (const auto& [length, steps] : lengthsAndSteps) {
    SCOPED_TRACE(length);
    view_.captions.clear();
    waiter_.waits.clear();
    pump_.calls = 0;
    const std::string text = sentenceOf(length);
    engine_.Say(text);
    expectTypedOut(text, steps);
    EXPECT_EQ(voice_.spoken.back().first, text) << "the whole sentence is spoken, not a step of it";
    if (length == limit) {
      for (std::size_t i = 0; i < steps; ++i) ASSERT_EQ(view_.captions[i].size(), i + 1);
    }
  }

  // A nested sentence still takes over and the long one then goes on to its end.
  view_.captions.clear();
  pump_.calls = 0;
  pump_.hook = [this] {
    const int call = pump_.calls;
    if (call == 3) engine_.Say("XY");
  };
  const std::string text = sentenceOf(4 * limit);
  engine_.Say(text);
  ASSERT_GE(view_.captions.size(), 6u);
  EXPECT_EQ(view_.captions[2], text.substr(0, 12));
  EXPECT_EQ(view_.captions[3], "X");
  EXPECT_EQ(view_.captions[4], "XY");
  EXPECT_EQ(view_.captions[5], text.substr(0, 16));
  EXPECT_EQ(view_.caption, text);
}

TEST_F(ReplyEngineTest, EnterDuringTheTeachingPromptIsTakenAsTheAnswer) {
  pump_.hook = [this] {
    const int call = pump_.calls;
    if (call != 1) return;
    view_.input = "svaret";
    engine_.meddelande_KeyPress(13);
  };
  Enter("okänd");
  EXPECT_FALSE(engine_.TeachMode());
  EXPECT_EQ(BrainBytes(), W("\r\n*\r\nokänd\r\nsvaret\r\n"));
  engine_.meddelande_KeyPress('a');
  EXPECT_EQ(view_.input, "") << "only Enter does anything";
}

TEST_F(ReplyEngineTest, SpeechFollowsTheSwitchesAndTheRateSlider) {
  const std::pair<int, int> rates[] = {{1, -4}, {2, 2}, {3, 6}};
  for (const auto& [position, rate] : rates) {
    view_.speechRate = position;
    engine_.Say("x");
    EXPECT_EQ(voice_.rates.back(), rate);
  }
  view_.speechRate = 0;
  engine_.Say("y");
  EXPECT_EQ(voice_.rates.size(), 3u) << "an unknown position leaves the rate";
  EXPECT_EQ(voice_.spoken.back(), std::make_pair(std::string("y"), 1));

  // Switching speech off in the middle of a sentence silences the voice; the typing goes on.
  pump_.calls = 0;
  pump_.hook = [this] {
    const int call = pump_.calls;
    if (call != 2) return;
    view_.speechCheck = 0;
    engine_.Chk_tal_Click();
  };
  engine_.Say("abcd");
  EXPECT_EQ(view_.caption, "abcd");
  EXPECT_EQ(voice_.spoken.back(), std::make_pair(std::string(), 2));
  EXPECT_FALSE(view_.speechRateEnabled);
  engine_.Say("tyst");
  EXPECT_EQ(voice_.spoken.size(), 6u);
  view_.speechCheck = 1;
  engine_.Chk_tal_Click();
  EXPECT_TRUE(view_.speechRateEnabled);
  EXPECT_EQ(voice_.spoken.size(), 6u);

  engine_.SetVoice(nullptr);
  engine_.Chk_tal_Click();
  engine_.Say("ingen röst");
  EXPECT_EQ(view_.caption, "ingen röst");
}

}  // namespace
