#pragma once
// Stand-ins for the start-up window and the chat controls that show nothing, for tests and the copy
// program that drive the whole program's logic without looking at its windows.

#include <string>

#include "ChatView.h"
#include "StartupSequence.h"

class QuietStartupView : public StartupView {
 public:
  void StopTimer() override {}
  void MoveCar(int) override {}
  void Check(StartupCheck) override {}
  void ShowNotice(StartupNotice, bool) override {}
  void SetUserCountText(const std::string&) override {}
  void PrintLine(const std::string&) override {}
  void HandOver() override {}
  void EndProgram() override {}
};

// Speech and random talk off; the box and the bubble are plain texts.
class PlainChatView final : public ChatView {
 public:
  std::string InputText() const override { return input; }
  void SetInputText(const std::string& text) override { input = text; }
  void SetReplyCaption(const std::string& text) override { reply = text; }
  void SetCorrectButtonEnabled(bool) override {}
  int SpeechCheckValue() const override { return 0; }
  int SpeechRateValue() const override { return 2; }
  void SetSpeechRateEnabled(bool) override {}
  int RandomTalkCheckValue() const override { return 0; }
  int RandomTalkFrequencyValue() const override { return 2; }
  void SetRandomTalkFrequencyEnabled(bool) override {}
  void SetRandomTalkInterval(int) override {}
  std::string input;
  std::string reply;
};
