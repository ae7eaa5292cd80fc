#include "ClickableLabel.h"

#include <QMouseEvent>

ClickableLabel::ClickableLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAutoFillBackground(true);
  setAlignment(Qt::AlignCenter);
  setCursor(Qt::PointingHandCursor);
}

void ClickableLabel::SetBackground(const QColor& colour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, colour);
  setPalette(palette);
}

QColor ClickableLabel::Background() const {
  return palette().color(QPalette::Window);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  // A press that was dragged off the label is not a click.
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}
