#pragma once
// The conversation engine's fixture: a view with plain fields and the shared stand-ins of
// FakePlatform.h and ChatDoubles.h, with a temporary program folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ChatDoubles.h"
#include "ChatEngine.h"
#include "FakePlatform.h"
#include "TextFile.h"
#include "Windows1252.h"

class ChatTest : public ::testing::Test {
 protected:
  struct FakeView : ChatView {
    std::string input, caption;
    std::vector<std::string> captions;  // every caption shown, when keepCaptions is set
    bool keepCaptions = false, correctEnabled = false, speechRateEnabled = true, frequencyEnabled = true;
    int speechCheck = 1, speechRate = 2, randomTalkCheck = 1, frequency = 2, interval = 20000;

    std::string InputText() const override { return input; }
    void SetInputText(const std::string& text) override { input = text; }
    void SetReplyCaption(const std::string& text) override {
      caption = text;
      if (keepCaptions) captions.push_back(text);
    }
    void SetCorrectButtonEnabled(bool enabled) override { correctEnabled = enabled; }
    int SpeechCheckValue() const override { return speechCheck; }
    int SpeechRateValue() const override { return speechRate; }
    void SetSpeechRateEnabled(bool enabled) override { speechRateEnabled = enabled; }
    int RandomTalkCheckValue() const override { return randomTalkCheck; }
    int RandomTalkFrequencyValue() const override { return frequency; }
    void SetRandomTalkFrequencyEnabled(bool enabled) override { frequencyEnabled = enabled; }
    void SetRandomTalkInterval(int milliseconds) override { interval = milliseconds; }
  };
  static std::filesystem::path FreshFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto folder = std::filesystem::temp_directory_path() /
                        (std::string("vimo_chat_") + test->test_suite_name() + "_" + test->name() + "_" +
                         std::to_string(std::random_device()()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
  }
  ChatTest() {
    random_.whenEmpty = 0.0;
    clock_.today = std::chrono::year(2006) / std::chrono::June / 11;
    engine_.SetVoice(&voice_);
  }
  ~ChatTest() override { std::filesystem::remove_all(folder_); }

  // Types UTF-8 text into the box and presses Enter.
  void Enter(std::string_view utf8) {
    view_.input = W(utf8);
    engine_.meddelande_KeyPress(13);
  }
  // The last sentence the bot said, as UTF-8 (every Say speaks it while speech is on).
  std::string Said() const {
    return voice_.spoken.empty() ? "" : Windows1252ToUtf8(voice_.spoken.back().first);
  }
  std::filesystem::path Brain() const { return folder_ / "brain.txt"; }
  void WriteBrain(std::string_view bytes) { ASSERT_TRUE(WriteFileAtomically(Brain(), bytes)); }
  std::string BrainBytes() const { return ReadFileBytes(Brain()).value_or("<missing>"); }

  std::filesystem::path folder_ = FreshFolder();
  FakeView view_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  ScriptedRandom random_;
  FixedClock clock_;
  RecordingVoice voice_;
  ChatEngine engine_{view_, waiter_, pump_, random_, clock_, folder_};
};
