// Renders the main window to PNG files for a look by eye, folded in after one exchange, folded
// out, and on a holiday after a few ticks of the demo animation:
// vimo_window_snapshot [output folder, default the system's temporary folder].

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "ChatDoubles.h"
#include "FakePlatform.h"
#include "ProgramValues.h"
#include "SyncTestFiles.h"
#include "VimoWindow.h"
#include "Windows1252.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();

  TempFolder folder{"vimo_ui"};
  WriteBytes(folder / "medd.txt", W("Hej alla!\r\nVälkommen till Vimo| din kompis på nätet!\r\n"));
  WriteBytes(folder / "brain.txt", W("\r\n*\r\nhej\r\nhej på dig! hur mår du idag?\r\n"));
  ProgramValues values;
  SpeechLog speech;
  RecordingWaiter waiter;
  RecordingPump pump;
  ScriptedRandom random;
  FixedClock clock;
  VimoWindow window(VimoWindowServices{values, folder.path(), &waiter, &pump, &random, &clock,
                                       [&speech] { return std::make_unique<RecordingVoice>(speech); }});
  window.show();
  QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("meddelande")),
                   QStringLiteral("Vad gor du, Vimo?"));
  QTest::keyClick(window.findChild<QLineEdit*>(QStringLiteral("meddelande")), Qt::Key_Return);
  QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("meddelande")),
                   QStringLiteral("Vad heter du?"));

  const bool folded = window.grab().save(QDir(output).filePath(QStringLiteral("vimo.png")));
  window.Cmd_inställningar_Click();
  const bool unfolded = window.grab().save(QDir(output).filePath(QStringLiteral("vimo_panel.png")));

  std::filesystem::create_directories(folder.path() / "Data");
  std::filesystem::copy_file(std::filesystem::path(VIMO_SOURCE_DIR) / "data/server/vimo_special.gif",
                             folder.path() / "Data/vimo_special.gif");
  values.HolidayToday = true;
  values.HolidayAnimationInterval = 100;
  VimoWindow holiday(VimoWindowServices{values, folder.path(), &waiter, &pump, &random, &clock,
                                        [&speech] { return std::make_unique<RecordingVoice>(speech); }});
  holiday.show();
  holiday.findChild<QTimer*>(QStringLiteral("AnimationTimer"))->stop();
  bool animated = holiday.grab().save(QDir(output).filePath(QStringLiteral("vimo_holiday_still.png")));
  for (int tick = 1; tick <= 8; ++tick) {
    QMetaObject::invokeMethod(holiday.findChild<QTimer*>(QStringLiteral("AnimationTimer")), "timeout");
    if (tick == 3 || tick == 6)
      animated =
          holiday.grab().save(QDir(output).filePath(QStringLiteral("vimo_holiday_%1.png").arg(tick))) &&
          animated;
  }
  holiday.Cmd_inställningar_Click();
  animated = holiday.grab().save(QDir(output).filePath(QStringLiteral("vimo_holiday_panel.png"))) && animated;
  return folded && unfolded && animated ? 0 : 1;
}
