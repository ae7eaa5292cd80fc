#pragma once
// The updater's only window, Vupdater_start ("Det finns en ny Vimo!"). It shows what UpdaterLogic
// tells it and hands the "HÄR" clicks to it; the logic holds every decision.
//
// The dialogs, pump and desktop are not owned and must outlive the window. The window owns its
// logic. Form_Load is separate from construction so that the caller can tell, before showing the
// window, whether the program already ended (finished()). Not copyable (QWidget).

#include <QLabel>
#include <QWidget>
#include <filesystem>

#include "Platform.h"
#include "Settings.h"
#include "UpdaterLogic.h"

class QMouseEvent;

// A label that behaves like a button: pressed, released and clicked (released over itself).
class ClickableLabel final : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void pressed();
  void released();
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class VupdaterStartWindow final : public QWidget, private UpdaterView {
  Q_OBJECT
 public:
  VupdaterStartWindow(Dialogs& dialogs, EventPump& pump, Desktop& desktop, ServerSettings server,
                      std::filesystem::path programFolder, UpdateSafeguards safeguards = {},
                      QWidget* parent = nullptr);

  void Form_Load() { logic_.Form_Load(); }
  bool finished() const { return logic_.finished(); }

  void Label3_MouseDown();
  void Label3_MouseUp();
  void Label3_Click() { logic_.Label3_Click(); }

 private:
  void SetStatusText(const std::string& text) override;
  void SetNewsText(const std::string& text) override;
  void SetDownloadEnabled(bool enabled) override;
  void CloseWindow() override;

  void SetLabel3Background(const QColor& colour);

  QLabel* label1_;
  ClickableLabel* label3_;
  QLabel* nyheter_;
  UpdaterLogic logic_;
};
