#pragma once
// Checks that a window's printed lines lie beneath its controls: every control shown paints its own
// background over the printed surface, so that neither hides the other's text by mixing with it.

#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace vimo_test {

// Runs `printOverEverything` (which must print lines reaching across the whole window) and returns
// the names of the shown controls whose area it changed.
inline QStringList ControlsPrintedOver(QWidget& window, const std::function<void()>& printOverEverything) {
  const QImage before = window.grab().toImage();
  printOverEverything();
  const QImage after = window.grab().toImage();
  EXPECT_NE(before, after) << "the lines were not drawn at all";
  QStringList printedOver;
  for (QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (control->isHidden()) continue;
    const QRect area = control->geometry() & window.rect();
    if (before.copy(area) != after.copy(area)) printedOver.append(control->objectName());
  }
  printedOver.sort();
  return printedOver;
}

}  // namespace vimo_test
