// The upload window `Vimo_close` itself, offscreen: its texts and its refusal to be closed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPalette>

#include "PrintedUnderControlsWindowCheck.h"
#include "ProgramValues.h"
#include "QtTestApplication.h"
#include "VimoCloseWindow.h"
#include "Windows1252.h"

namespace {

class VimoCloseWindowTest : public ::testing::Test {
 protected:
  QLabel* Label(const char* name) { return window.findChild<QLabel*>(QString::fromUtf8(name)); }

  ProgramValues values;
  VimoCloseWindow window{values};
};

TEST_F(VimoCloseWindowTest, CarriesItsCaptionAndLabels) {
  EXPECT_EQ(window.objectName(), "Vimo_close");
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Laddar upp Vimos hjärna..."));

  ASSERT_NE(Label("Label1"), nullptr);
  ASSERT_NE(Label("Label3"), nullptr);
  ASSERT_NE(Label("Label4"), nullptr);
  EXPECT_EQ(Label("Label1")->text(), QString::fromUtf8("Vimo laddar upp allt nytt han lärt sig!"));
  EXPECT_EQ(Label("Label3")->text(), QString::fromUtf8("VAR GOD VÄNTA!"));
  EXPECT_EQ(Label("Label4")->text(), QString::fromUtf8("TRYCK INGENSTANS!"));

  const QColor darkGreen = Label("Label1")->palette().color(QPalette::WindowText);
  EXPECT_EQ(darkGreen.red(), 0);
  EXPECT_GT(darkGreen.green(), 0);
  EXPECT_LT(darkGreen.green(), 160);
  EXPECT_EQ(Label("Label3")->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_EQ(Label("Label4")->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_GT(Label("Label3")->font().pointSize(), Label("Label4")->font().pointSize());

  ASSERT_NE(Label("Image1"), nullptr);
  EXPECT_FALSE(Label("Image1")->pixmap().isNull());
  EXPECT_NE(window.findChild<QWidget*>("Line1"), nullptr);
}

TEST_F(VimoCloseWindowTest, RefusesToCloseUntilItMay) {
  window.Show();
  ASSERT_TRUE(window.isVisible());

  window.Close();
  EXPECT_TRUE(window.isVisible());
  window.close();  // the user's close button takes the same road
  EXPECT_TRUE(window.isVisible());

  values.CloseWindowMayClose = true;
  window.Close();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(VimoCloseWindowTest, PrintsLinesBelowEachOtherAndStartsEmptyWhenShownAgain) {
  window.Show();
  window.PrintLine("Connecting...");
  window.PrintLine(W("Error: !Något gick fel"));
  ASSERT_EQ(window.PrintedLines().size(), 2);
  EXPECT_EQ(window.PrintedLines()[0], "Connecting...");
  EXPECT_EQ(window.PrintedLines()[1], QString::fromUtf8("Error: !Något gick fel"));

  // The lines are drawn on the surface: the printed band is no longer plain background.
  const QImage drawn = window.grab().toImage();
  const QColor background = window.palette().color(QPalette::Window);
  bool inked = false;
  for (int y = 0; y < 40 && !inked; ++y) {
    for (int x = 0; x < 200 && !inked; ++x) inked = drawn.pixelColor(x, y) != background;
  }
  EXPECT_TRUE(inked);

  values.CloseWindowMayClose = true;
  window.Close();
  window.Show();
  EXPECT_TRUE(window.PrintedLines().isEmpty());
}

TEST_F(VimoCloseWindowTest, PrintedLinesRunOnBeneathTheControls) {
  window.Show();
  const QStringList printedOver = vimo_test::ControlsPrintedOver(window, [this] {
    for (int line = 0; line < 30; ++line) window.PrintLine(std::string(120, 'W'));
  });
  EXPECT_TRUE(printedOver.isEmpty()) << printedOver.join(' ').toStdString();
}

}  // namespace
