#include "ChatEngine.h"

#include "QuestionMatch.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace {

constexpr int kEnterKey = 13;
// The pace of the typing effect, one character per pause.
constexpr int kTypingPauseMs = 10;

// Tal_hastighet's positions on the voice's rate scale; nothing for any other position.
std::optional<int> SpeechRateFor(int position) {
  switch (position) {
    case 1:
      return -4;
    case 2:
      return 2;
    case 3:
      return 6;
    default:
      return std::nullopt;
  }
}

}  // namespace

ChatEngine::ChatEngine(ChatView& view, Waiter& waiter, EventPump& pump, RandomSource& random, Clock& clock,
                       std::filesystem::path folder)
    : view_(view),
      waiter_(waiter),
      pump_(pump),
      brain_(folder / "brain.txt"),
      journal_(folder / PathFromUtf8(kLessonJournalFile)),
      names_(folder / "user.vimo"),
      canned_(brain_, names_, clock),
      randomTalk_(view, brain_, random) {}

void ChatEngine::SetVoice(SpeechVoice* voice) {
  voice_ = voice;
}

void ChatEngine::meddelande_KeyPress(int KeyAscii) {
  if (KeyAscii == kEnterKey) HandleEnter();
}

void ChatEngine::HandleEnter() {
  ++enterCount_;
  view_.SetCorrectButtonEnabled(false);
  // The box keeps pasted line breaks; as blanks they can neither split a record nor slip past
  // the rules (a pasted line break at the start meets the blank rule).
  const std::string typed = BlankControlCharacters(view_.InputText());
  if (RejectInput(typed)) {
    if (!typed.empty()) view_.SetInputText(typed);
    return;
  }

  const std::string text = BrainStore::ToStored(LowerWindows1252(typed));
  view_.SetInputText(text);
  if (correctMode_) {
    Ändra_Click();
  } else if (teachMode_) {
    Teach(text);
  } else {
    Answer(text);
  }
  view_.SetInputText({});
}

bool ChatEngine::RejectInput(const std::string& typed) {
  if (typed.empty()) {
    Say(W("Bara för att jag är smart och har ") + std::to_string(brain_.CountBrainCells()) +
        W(" hjärnceller kan jag inte läsa dina tankar. Du måste skriva nåt!"));
    view_.SetInputText({});
    return true;
  }
  // The refused text stays in the box so that the user can mend it.
  if (typed.find('*') != std::string::npos) {
    Say(W("Eftersom jag är från Kolahalvön fattar inte jag '*'-tecknet. Du får alltså inte använda det."));
    return true;
  }
  if (typed.find('|') != std::string::npos) {
    Say(
        W("Vad menar du med '|'? Jag har aldrig sett det tecknet förut, är det virus?! Det får du inte "
          "använda!"));
    return true;
  }
  if (typed.front() == ' ') {
    Say(W("Du får inte börja texten med ett mellanslag, börja med ett tecken!"));
    return true;
  }
  return false;
}

// Each state change comes before the sentence that announces it: an Enter or a click that runs
// inside the typing must already see the new mode.
// The exact text first, so that every record keeps its meaning ("hej" and "hej!" may differ); then
// the same text normalised, for the canned table and the brain; then the nearest stored question.
void ChatEngine::Answer(const std::string& question) {
  lastQuestion_ = question;
  answeredNear_ = false;
  if (const auto reply = canned_.ReplyTo(question)) {
    Say(*reply);
    return;
  }
  if (const auto answer = brain_.FindAnswer(question)) {
    SayBrainAnswer(*answer);
    return;
  }
  if (const std::string normal = NormaliseQuestion(question); normal != question) {
    if (const auto reply = canned_.ReplyTo(normal)) {
      Say(*reply);
      return;
    }
  }
  if (const auto near = brain_.FindNearAnswer(question)) {
    answeredNear_ = true;
    SayBrainAnswer(near->answer);
    return;
  }
  teachMode_ = true;
  Say(W("Jag vet inte vad man svarar på det...") + '\r' + W("Hur tycker du att jag ska svara på: '") +
      BrainStore::ToShown(question) + "'?");
}

void ChatEngine::SayBrainAnswer(const std::string& answer) {
  // Enabled only once the answer stands: a correction started while it is still being typed
  // would have its prompt typed over by the rest of the answer. An Enter inside the typing has
  // moved on to another reply, which decides for itself.
  const unsigned enter = enterCount_;
  Say(BrainStore::ToShown(answer));
  if (enter == enterCount_ && !teachMode_ && !correctMode_) view_.SetCorrectButtonEnabled(true);
}

bool ChatEngine::Learn(Lesson lesson) {
  if (lesson.kind == Lesson::Kind::Corrected) {
    // A correction of a question the brain no longer has would reach the server as a new record.
    lesson.replaced = brain_.FindAnswer(lesson.question);
    if (!lesson.replaced) return false;
  }
  if (!journal_.Record(lesson)) return false;
  const bool written = lesson.kind == Lesson::Kind::Taught
                           ? brain_.AppendRecord(lesson.question, lesson.answer)
                           : brain_.ReplaceAnswer(lesson.question, lesson.answer);
  // The user hears that the lesson was not kept; it must not reach the server either.
  if (!written) journal_.Withdraw(lesson);
  return written;
}

void ChatEngine::Teach(const std::string& answer) {
  teachMode_ = false;
  if (Learn({Lesson::Kind::Taught, lastQuestion_, answer})) {
    Say(W("Tack så mycket! Nu vet jag det."));
  } else {
    Say(W("Hoppsan, jag kunde inte skriva i min hjärna. Svaret är inte sparat."));
  }
}

void ChatEngine::Ändra_Click() {
  if (!correctMode_) {
    view_.SetCorrectButtonEnabled(false);
    teachMode_ = false;
    correctMode_ = true;
    Say(W("Vad ska jag istället svara på: '") + BrainStore::ToShown(lastQuestion_) + "' ?");
    return;
  }
  const std::string newAnswer = view_.InputText();
  correctMode_ = false;
  // A near answer belongs to another question, which keeps it: what the user typed becomes a
  // question of its own, and from now on it is found exactly.
  const Lesson::Kind kind = answeredNear_ ? Lesson::Kind::Taught : Lesson::Kind::Corrected;
  answeredNear_ = false;
  if (Learn({kind, lastQuestion_, newAnswer})) {
    Say(W("Tack så mycket, svaret är ändrat."));
  } else {
    Say(W("Hoppsan, jag kunde inte ändra svaret. Frågan finns inte längre i min hjärna."));
  }
}

void ChatEngine::Timer_Vimopratslump_Timer() {
  if (const auto line = randomTalk_.Tick()) Say(*line);
}

void ChatEngine::Chk_slumpprat_Click() {
  view_.SetRandomTalkFrequencyEnabled(view_.RandomTalkCheckValue() == 1);
}

void ChatEngine::Chk_tal_Click() {
  const bool speechOn = view_.SpeechCheckValue() == 1;
  view_.SetSpeechRateEnabled(speechOn);
  if (!speechOn && voice_ != nullptr) voice_->Speak({}, SpeechVoice::kPurgeBeforeSpeak);
}

void ChatEngine::Say(const std::string& text) {
  // A nested handler may change whatever `text` refers to; the sentence is fixed now.
  const std::string sentence = text;
  Speak(sentence);
  // 1 up to the limit; above it, the smallest step that keeps within the limit's number of waits.
  const std::size_t step = (sentence.size() + kLongestTypedPerCharacter - 1) / kLongestTypedPerCharacter;
  std::string shown;
  shown.reserve(sentence.size());
  while (shown.size() < sentence.size()) {
    shown.append(sentence, shown.size(), step);
    view_.SetReplyCaption(shown);
    waiter_.Wait(kTypingPauseMs);
    pump_.ProcessEvents();
  }
}

void ChatEngine::Speak(const std::string& text) {
  if (voice_ == nullptr || view_.SpeechCheckValue() != 1) return;
  if (const auto rate = SpeechRateFor(view_.SpeechRateValue())) voice_->SetRate(*rate);
  voice_->Speak(text, SpeechVoice::kSpeakAsync);
}
