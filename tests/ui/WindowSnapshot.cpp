// Renders the main window to PNG files for a look by eye, folded in after one exchange and folded
// out: vimo_window_snapshot [output folder, default the system's temporary folder].

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include "ProgramValues.h"
#include "UiTestDoubles.h"
#include "VimoWindow.h"
#include "Windows1252.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();

  TemporaryFolder folder;
  folder.Write("medd.txt", W("Hej alla!\r\nVälkommen till Vimo| din kompis på nätet!\r\n"));
  folder.Write("brain.txt", W("\r\n*\r\nhej\r\nhej på dig! hur mår du idag?\r\n"));
  ProgramValues values;
  SpeechLog speech;
  CountingWaiter waiter;
  IdlePump pump;
  ScriptedRandom random;
  FixedClock clock;
  VimoWindow window(VimoWindowServices{values, folder.Path(), &waiter, &pump, &random, &clock,
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
  return folded && unfolded ? 0 : 1;
}
