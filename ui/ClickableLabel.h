#pragma once
// A label that reports a mouse click, for the flag's two tabs.

#include <QColor>
#include <QLabel>

class ClickableLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit ClickableLabel(const QString& text, QWidget* parent = nullptr);

  // The tab's background: red for the selected message, white for the other.
  void SetBackground(const QColor& colour);
  QColor Background() const;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};
