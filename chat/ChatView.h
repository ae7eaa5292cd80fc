#pragma once
// What the conversation engine needs of the main window: its controls as plain values. The
// window implements this; tests implement it with plain fields. Texts are Windows-1252.

#include <string>

class ChatView {
 public:
  virtual ~ChatView() = default;

  // meddelande: the input box.
  virtual std::string InputText() const = 0;
  virtual void SetInputText(const std::string& text) = 0;

  // Svar: the bot's sentence.
  virtual void SetReplyCaption(const std::string& text) = 0;

  // Ändra: "Ändra detta svar!".
  virtual void SetCorrectButtonEnabled(bool enabled) = 0;

  // Chk_tal (0 or 1) and Tal_hastighet (1 to 3).
  virtual int SpeechCheckValue() const = 0;
  virtual int SpeechRateValue() const = 0;
  virtual void SetSpeechRateEnabled(bool enabled) = 0;

  // Chk_slumpprat (0 or 1) and Slumpprat_Frekvens (1 to 3).
  virtual int RandomTalkCheckValue() const = 0;
  virtual int RandomTalkFrequencyValue() const = 0;
  virtual void SetRandomTalkFrequencyEnabled(bool enabled) = 0;

  // Timer_Vimopratslump: the time to its next tick.
  virtual void SetRandomTalkInterval(int milliseconds) = 0;
};
