#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "EspeakVoice.h"
#include "Windows1252.h"

namespace {

// A stand-in for the speaker program: logs its arguments and the text it was given, one run per
// line, notes when two runs overlap, and sleeps on any text containing "sov" so that it can be
// killed while it speaks. The pid is written last, so that once the test sees it nothing else of the
// run is still touching the folder.
constexpr const char* kStandIn = R"(#!/bin/sh
dir=$(dirname "$0")
if [ -e "$dir/busy" ]; then echo overlap >> "$dir/overlaps"; fi
touch "$dir/busy"
text=$(cat)
printf '%s|%s\n' "$*" "$text" >> "$dir/log"
case "$text" in
  *sov*) rm -f "$dir/busy"; echo $$ > "$dir/pid"; exec sleep 60 ;;
esac
sleep 0.05
rm -f "$dir/busy"
)";

class EspeakVoiceTest : public ::testing::Test {
 protected:
  EspeakVoiceTest() {
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "vimo_voice_tests";
      static char* argv[] = {name, nullptr};
      application_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              (std::string("vimo_voice_") + test->name() + "_" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(folder_);
    WriteStandIn();
  }
  ~EspeakVoiceTest() override {
    std::error_code ignored;  // a throw here would end the whole test program
    std::filesystem::remove_all(folder_, ignored);
  }

  void WriteStandIn() {
    std::ofstream(folder_ / "espeak") << kStandIn;
    std::filesystem::permissions(folder_ / "espeak", std::filesystem::perms::owner_all);
  }
  QString StandInPath() const { return QString::fromStdString((folder_ / "espeak").string()); }

  std::vector<std::string> Log() const {
    std::ifstream in(folder_ / "log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Runs the event loop until the condition holds; false if it still does not after a generous
  // while (a liveness bound, not a speed target).
  static bool ProcessEventsUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(std::chrono::seconds(20));
    while (!condition()) {
      if (deadline.hasExpired()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  // Lets the voice handle events for a while, for checks that something does not happen.
  static void ProcessEventsFor(std::chrono::milliseconds duration) {
    QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  pid_t SleepingPid() const {
    std::ifstream in(folder_ / "pid");
    pid_t pid = 0;
    in >> pid;
    return pid;
  }
  static bool Alive(pid_t pid) { return ::kill(pid, 0) == 0; }
  // This process's children running the named program, including those not yet reaped.
  static std::vector<pid_t> ChildrenNamed(const std::string& name) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream stat(entry.path() / "stat");
      std::string pid, comm, state, parent;  // comm holds no blanks for the names asked for
      if (!(stat >> pid >> comm >> state >> parent)) continue;
      if (parent == std::to_string(::getpid()) && comm == "(" + name + ")") {
        children.push_back(std::stoi(pid));
      }
    }
    return children;
  }

  std::unique_ptr<QCoreApplication> application_;
  std::filesystem::path folder_;
};

TEST_F(EspeakVoiceTest, SentencesAreSpokenOneAtATimeInOrderWithTheirRate) {
  const auto voice = EspeakVoice::Start(StandInPath());
  ASSERT_NE(voice, nullptr);
  voice->SetRate(-4);
  voice->Speak(W("hej på dig"), SpeechVoice::kSpeakAsync);
  voice->SetRate(6);
  voice->Speak("-h", SpeechVoice::kSpeakAsync);  // would be an option if given as an argument
  voice->Speak(W("Jag vet inte...\rHur 'x'?"), SpeechVoice::kSpeakAsync);
  voice->Speak("", SpeechVoice::kSpeakAsync);  // nothing to say: no run at all
  ASSERT_TRUE(ProcessEventsUntil([this] { return Log().size() >= 3; }));
  ProcessEventsFor(std::chrono::milliseconds(300));

  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "-v sv -s 120 -b 1 --stdin|hej på dig",
                       "-v sv -s 225 -b 1 --stdin|-h",
                       "-v sv -s 225 -b 1 --stdin|Jag vet inte...\rHur 'x'?",
                   }));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "overlaps")) << "two sentences were spoken at once";
}

TEST_F(EspeakVoiceTest, PurgeKillsTheSentenceBeingSpokenAndDropsTheQueue) {
  const auto voice = EspeakVoice::Start(StandInPath());
  ASSERT_NE(voice, nullptr);
  voice->Speak("sov nu", SpeechVoice::kSpeakAsync);
  voice->Speak("i kön", SpeechVoice::kSpeakAsync);
  ASSERT_TRUE(ProcessEventsUntil([this] { return SleepingPid() != 0; }));
  const pid_t sleeping = SleepingPid();
  ASSERT_TRUE(Alive(sleeping));

  voice->Speak("", SpeechVoice::kPurgeBeforeSpeak);
  // The child only goes once the event loop reaps it; a purge that waited for it would have done
  // that already.
  EXPECT_TRUE(ProcessEventsUntil([&] { return !Alive(sleeping); })) << "the sleeping sentence was not killed";

  voice->Speak("efter", SpeechVoice::kSpeakAsync);
  ASSERT_TRUE(ProcessEventsUntil([this] { return Log().size() >= 2; }));
  ProcessEventsFor(std::chrono::milliseconds(300));
  EXPECT_EQ(Log(), (std::vector<std::string>{"-v sv -s 154 -b 1 --stdin|sov nu",
                                             "-v sv -s 154 -b 1 --stdin|efter"}));

  // Purge and a new sentence in one call: the new one is spoken.
  voice->Speak("sov igen", SpeechVoice::kSpeakAsync);
  voice->Speak("nytt", SpeechVoice::kPurgeBeforeSpeak | SpeechVoice::kSpeakAsync);
  EXPECT_TRUE(ProcessEventsUntil([this] { return Log().back() == "-v sv -s 154 -b 1 --stdin|nytt"; }));
}

TEST_F(EspeakVoiceTest, ClosingTheVoiceEndsWhatItIsSaying) {
  auto voice = EspeakVoice::Start(StandInPath());
  ASSERT_NE(voice, nullptr);
  voice->Speak("sov", SpeechVoice::kSpeakAsync);
  ASSERT_TRUE(ProcessEventsUntil([this] { return SleepingPid() != 0; }));
  voice.reset();
  EXPECT_FALSE(Alive(SleepingPid()));
}

TEST_F(EspeakVoiceTest, AMissingProgramMeansNoVoiceAndAVanishedOneSaysNothing) {
  EXPECT_EQ(EspeakVoice::Start(QString::fromStdString((folder_ / "saknas").string())), nullptr);

  const auto voice = EspeakVoice::Start(StandInPath());
  ASSERT_NE(voice, nullptr);
  std::filesystem::remove(folder_ / "espeak");
  voice->Speak("ett", SpeechVoice::kSpeakAsync);
  voice->Speak("två", SpeechVoice::kSpeakAsync);
  ProcessEventsFor(std::chrono::milliseconds(300));
  // The failed runs do not hold up the queue: the program back, the next sentence is spoken.
  WriteStandIn();
  voice->Speak("tre", SpeechVoice::kSpeakAsync);
  ASSERT_TRUE(ProcessEventsUntil([this] { return !Log().empty(); }));
  ProcessEventsFor(std::chrono::milliseconds(200));
  EXPECT_EQ(Log(), (std::vector<std::string>{"-v sv -s 154 -b 1 --stdin|tre"}));
}

// The sequence that deadlocked the espeak-ng library; through the program it cannot, with or
// without a sound device.
TEST_F(EspeakVoiceTest, TheRealProgramSurvivesSpeakPurgeSpeak) {
  if (QStandardPaths::findExecutable(QString::fromLatin1(EspeakVoice::kSpeakerProgram)).isEmpty()) {
    GTEST_SKIP() << "espeak-ng is not installed";
  }
  auto voice = EspeakVoice::Start();
  ASSERT_NE(voice, nullptr);
  for (int round = 0; round < 20; ++round) {
    voice->SetRate(round % 2 == 0 ? 2 : 6);
    voice->Speak(W("Hej, hur mår du?"), SpeechVoice::kSpeakAsync);
    voice->Speak(W("Jag mår bra."), SpeechVoice::kSpeakAsync);
    QCoreApplication::processEvents();
    voice->Speak("", SpeechVoice::kPurgeBeforeSpeak);
  }
  voice->Speak(W("Hej då."), SpeechVoice::kSpeakAsync);
  voice.reset();
  EXPECT_EQ(ChildrenNamed("espeak-ng"), std::vector<pid_t>{}) << "a closed voice leaves no speaker behind";
}

}  // namespace
