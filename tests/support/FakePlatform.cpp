#include "FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "Windows1252.h"

int ScriptedDialogs::CountTitled(const std::string& title) const {
  return static_cast<int>(std::count_if(shown_.begin(), shown_.end(),
                                        [&](const Shown& dialog) { return dialog.title == title; }));
}

void ScriptedDialogs::AnswerAllAndReport() {
  defaultForAll_ = true;
  onShow = [](const Shown& dialog) {
    std::fprintf(stderr, "dialog: %s: %s\n", dialog.title.c_str(), dialog.text.c_str());
  };
}

DialogAnswer ScriptedDialogs::Show(const std::string& title, const std::string& text, DialogButtons buttons) {
  shown_.push_back({title, text, buttons});
  if (onShow) onShow(shown_.back());
  const DialogAnswer harmless = buttons == DialogButtons::YesNo ? DialogAnswer::No : DialogAnswer::Ok;
  if (answers_.empty()) {
    if (!defaultForAll_) {
      ADD_FAILURE() << "Unexpected dialog \"" << Windows1252ToUtf8(title)
                    << "\": " << Windows1252ToUtf8(text);
    }
    return harmless;
  }
  const DialogAnswer answer = answers_.front();
  answers_.pop_front();
  if (buttons == DialogButtons::Ok && answer != DialogAnswer::Ok) {
    ADD_FAILURE() << "A Yes/No answer was scripted for the OK box \"" << Windows1252ToUtf8(title) << "\"";
    return DialogAnswer::Ok;
  }
  if (buttons == DialogButtons::YesNo && answer == DialogAnswer::Ok) {
    ADD_FAILURE() << "An OK answer was scripted for the Yes/No box \"" << Windows1252ToUtf8(title) << "\"";
    return DialogAnswer::No;
  }
  return answer;
}

std::string ScriptedDialogs::AskText(const std::string& title, const std::string& prompt,
                                     const std::string& defaultText) {
  asked_.push_back({title, prompt, defaultText});
  if (texts_.empty()) {
    ADD_FAILURE() << "Unexpected input dialog \"" << Windows1252ToUtf8(title) << "\"";
    return {};
  }
  std::string text = std::move(texts_.front());
  texts_.pop_front();
  return text;
}

void RecordingWaiter::Wait(int milliseconds) {
  waits.push_back(milliseconds);
  if (hook) hook(milliseconds);
}

int RecordingWaiter::CountOf(int milliseconds) const {
  return static_cast<int>(std::count(waits.begin(), waits.end(), milliseconds));
}

long long RecordingWaiter::Total() const {
  return std::accumulate(waits.begin(), waits.end(), 0LL);
}

void RecordingPump::ProcessEvents() {
  ++calls;
  if (hook) hook();
}

bool RecordingDesktop::StartProgram(const std::filesystem::path& program) {
  startedPrograms.push_back(program);
  if (onStart) onStart(program);
  return startSucceeds;
}
