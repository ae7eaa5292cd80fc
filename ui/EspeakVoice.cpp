#include "EspeakVoice.h"

#include <QStandardPaths>
#include <algorithm>
#include <cmath>

#include "Windows1252.h"

int EspeakWordsPerMinute(int rate) {
  constexpr int kSlowest = 80;  // espeak-ng's own limits
  constexpr int kFastest = 450;
  // The middle position (rate 2) speaks at espeak-ng's own pace, which its Swedish voice is tuned
  // for; each rate step is 6.5 % faster. The slow position (-4) gives 120, the fast one (6) 225.
  constexpr double kNormal = 175.0;
  constexpr int kNormalRate = 2;
  constexpr double kStep = 1.065;
  const double wordsPerMinute = kNormal * std::pow(kStep, rate - kNormalRate);
  return std::clamp(static_cast<int>(std::lround(wordsPerMinute)), kSlowest, kFastest);
}

std::unique_ptr<EspeakVoice> EspeakVoice::Start(const QString& program) {
  const QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) return nullptr;
  return std::unique_ptr<EspeakVoice>(new EspeakVoice(path));
}

EspeakVoice::EspeakVoice(QString programPath)
    : programPath_(std::move(programPath)), wordsPerMinute_(EspeakWordsPerMinute(0)) {}

EspeakVoice::~EspeakVoice() {
  // Reaping a child after SIGKILL is immediate; the bound only guards against a child the kernel
  // cannot kill (stuck in a device driver), which QProcess would otherwise wait 30 s for.
  constexpr int kReapMs = 1000;
  for (QProcess* process : children_.findChildren<QProcess*>()) {
    process->disconnect();
    if (process->state() == QProcess::NotRunning) continue;
    process->kill();
    // Left to the operating system rather than holding up the shutdown for it.
    if (!process->waitForFinished(kReapMs)) process->setParent(nullptr);
  }
}

void EspeakVoice::SetRate(int rate) {
  wordsPerMinute_ = EspeakWordsPerMinute(rate);
}

void EspeakVoice::Speak(const std::string& text, int flags) {
  if ((flags & kPurgeBeforeSpeak) != 0) Purge();
  if (text.empty()) return;
  const std::string utf8 = Windows1252ToUtf8(text);
  queue_.push_back({QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size())), wordsPerMinute_});
  StartNext();
}

void EspeakVoice::Purge() {
  queue_.clear();
  if (speaking_ == nullptr) return;
  QProcess* process = std::exchange(speaking_, nullptr);
  // The window must not wait for the child to go: it is reaped whenever it reports its end.
  process->disconnect();
  QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
  process->kill();
}

void EspeakVoice::StartNext() {
  if (speaking_ != nullptr || queue_.empty()) return;
  const Sentence sentence = std::move(queue_.front());
  queue_.pop_front();

  auto* process = new QProcess(&children_);
  speaking_ = process;
  // Nothing reads the child's output; a full pipe must never stall it.
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::finished, process, [this, process] { RunEnded(process); });
  QObject::connect(process, &QProcess::errorOccurred, process, [this, process](QProcess::ProcessError error) {
    // Every other error is followed by finished.
    if (error == QProcess::FailedToStart) RunEnded(process);
  });
  // The text goes through stdin: as an argument a sentence starting with "-" would be read as an
  // option, and a long one would exceed the argument size limit.
  process->start(programPath_, {QStringLiteral("-v"), QStringLiteral("sv"), QStringLiteral("-s"),
                                QString::number(sentence.wordsPerMinute), QStringLiteral("-b"),
                                QStringLiteral("1"), QStringLiteral("--stdin")});
  if (speaking_ != process) return;  // failed to start and already handed on
  process->write(sentence.utf8);
  process->closeWriteChannel();
}

void EspeakVoice::RunEnded(QProcess* process) {
  if (process != speaking_) return;
  speaking_ = nullptr;
  process->disconnect();
  process->deleteLater();
  // The next run starts from the event loop, not from inside the signal of the one that ended.
  QMetaObject::invokeMethod(
      &children_, [this] { StartNext(); }, Qt::QueuedConnection);
}
