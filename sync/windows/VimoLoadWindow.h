#pragma once
// The start-up window `Vimo_load`, the program's start object. It only draws: the steps live in
// StartupSequence, which this window owns and forwards its timer tick to. Showing the window starts
// `Timer_laddanerbrain` (10 ms); its first tick runs the whole sequence, nested inside the FTP calls.
//
// The sequence ends in one of three ways, each announced by a signal: handOverRequested (the
// receiver loads and shows the main window; this window then closes itself), or endRequested (the
// receiver ends the program at once; this window hides). Closing the window while the sequence is
// still running abandons it.
//
// `values` and the services are borrowed and must outlive the window. Positions are the layout's
// twips divided by 15. Printed texts are Windows-1252.

#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <map>
#include <memory>

#include "StartupSequence.h"

class QCheckBox;
class QLabel;
class QTimer;

class VimoLoadWindow final : public QWidget, public StartupView {
  Q_OBJECT

 public:
  static constexpr int kTwipsPerPixel = 15;

  VimoLoadWindow(ProgramValues& values, StartupServices services, ServerSettings settings,
                 std::filesystem::path folder = {}, QWidget* parent = nullptr);
  ~VimoLoadWindow() override;
  VimoLoadWindow(const VimoLoadWindow&) = delete;
  VimoLoadWindow& operator=(const VimoLoadWindow&) = delete;

  StartupSequence& Sequence() { return *sequence_; }
  // The lines printed on the surface so far.
  const QStringList& PrintedLines() const { return printed_; }

  // StartupView
  void StopTimer() override;
  void MoveCar(int leftTwips) override;
  void Check(StartupCheck box) override;
  void ShowNotice(StartupNotice notice, bool visible) override;
  void SetUserCountText(const std::string& text) override;
  void PrintLine(const std::string& text) override;
  void HandOver() override;
  void EndProgram() override;

 signals:
  void handOverRequested();
  void endRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Timer_laddanerbrain_Timer();
  QLabel* AddLabel(const char* name, const QString& text, int left, int top, int width, int height);

  std::unique_ptr<StartupSequence> sequence_;
  QTimer* Timer_laddanerbrain;
  QLabel* Bil;
  std::map<StartupCheck, QCheckBox*> checks_;
  std::map<StartupNotice, QLabel*> notices_;
  QStringList printed_;
  bool timerStarted_ = false;
};
