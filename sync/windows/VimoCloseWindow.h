#pragma once
// The upload window `Vimo_close`, shown while the brain is uploaded at shutdown. It only draws: the
// sequence lives in MainWindowServer, which shows it, prints on it and closes it. Its close request
// is refused unless ProgramValues::CloseWindowMayClose is set, so the user cannot close it.
//
// `values` is not owned and must outlive the window. Printed texts are Windows-1252.

#include <QStringList>
#include <QWidget>

#include "MainWindowServer.h"
#include "ProgramValues.h"

class QLabel;

class VimoCloseWindow final : public QWidget, public UploadWindow {
 public:
  explicit VimoCloseWindow(ProgramValues& values, QWidget* parent = nullptr);
  VimoCloseWindow(const VimoCloseWindow&) = delete;
  VimoCloseWindow& operator=(const VimoCloseWindow&) = delete;

  void Show() override;
  void PrintLine(const std::string& text) override;
  void Close() override;

  // The lines printed since the window was last shown.
  const QStringList& PrintedLines() const { return printed_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Draws the window at once: the upload blocks the event loop right after each change.
  void DrawNow();

  ProgramValues& values_;
  QStringList printed_;
};
