// Not a test: takes the screenshots of the three windows as a user sees them, against a real FTP
// server and the product page served over HTTP. scripts/screenshots starts both servers, points
// VIMO_FTP_* and VIMO_WEB_ADDRESS at them and runs this under Xvfb:
// vimo_window_screenshots <output folder> <empty program folder>
//
// vimo_load.png    Vimo_load at the hand-over, its status lines printed beneath the controls
// vimo_main.png    Vimo after one exchange, the product page loaded in the strip (a screen grab)
// vimo_main_panel.png  the same with the settings panel folded out
// vimo_close.png   Vimo_close at the end of the upload, with the upload's status lines

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "FakePlatform.h"
#include "ProgramValues.h"
#include "QtPlatform.h"
#include "Settings.h"
#include "SpeechVoice.h"
#include "VimoCloseWindow.h"
#include "VimoLoadWindow.h"
#include "VimoWindow.h"

#ifdef VIMO_TEST_WITH_WEBENGINE
#include <QWebEngineView>
#endif

namespace {

bool RunUntil(const std::function<bool()>& done, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

void Settle(int milliseconds) {
  RunUntil([] { return false; }, milliseconds);
}

bool Save(const QPixmap& shot, const QString& folder, const char* name) {
  const bool saved = !shot.isNull() && shot.save(QDir(folder).filePath(QString::fromLatin1(name)));
  std::fprintf(stderr, "%s %s\n", saved ? "saved" : "FAILED", name);
  return saved;
}

// Grabs what the closing upload window shows just before it goes.
class CloseWindowGrabber final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close && shot.isNull()) shot = static_cast<QWidget*>(watched)->grab();
    return false;
  }
  QPixmap shot;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: vimo_window_screenshots <output folder> <empty program folder>\n");
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  const std::filesystem::path folder = argv[2];
  ProgramValues values;
  ScriptedDialogs dialogs;
  dialogs.AnswerAllAndReport();
  RecordingWaiter waiter;
  QtEventPump pump;
  RecordingDesktop desktop;
  desktop.startSucceeds = false;
  bool ok = true;

  VimoLoadWindow start(values, StartupServices{dialogs, waiter, pump, desktop}, ReadServerSettings(), folder);
  QPixmap startShot;
  QObject::connect(&start, &VimoLoadWindow::handOverRequested, [&] { startShot = start.grab(); });
  start.show();
  ok = RunUntil([&] { return !startShot.isNull(); }, 60000) && ok;
  ok = Save(startShot, output, "vimo_load.png") && ok;

  VimoWindow window(VimoWindowServices{.values = values,
                                       .folder = folder,
                                       .waiter = &waiter,
                                       .makeVoice = [] { return std::unique_ptr<SpeechVoice>(); },
                                       .dialogs = &dialogs});
  window.show();
  auto* input = window.findChild<QLineEdit*>(QStringLiteral("meddelande"));
  QTest::keyClicks(input, QStringLiteral("hej"));
  QTest::keyClick(input, Qt::Key_Return);
#ifdef VIMO_TEST_WITH_WEBENGINE
  auto* view = window.findChild<QWebEngineView*>();
  bool loaded = false;
  bool loadedWell = false;
  if (view != nullptr) {
    QObject::connect(view, &QWebEngineView::loadFinished, [&](bool well) {
      loaded = true;
      loadedWell = well;
    });
    RunUntil([&] { return loaded; }, 30000);
  }
  std::fprintf(stderr, "product page %s\n", loadedWell ? "loaded" : "NOT loaded");
  ok = loadedWell && ok;
#endif
  Settle(1500);  // the page's first frames
  ok = Save(window.screen()->grabWindow(window.winId()), output, "vimo_main.png") && ok;
  window.Cmd_inställningar_Click();
  Settle(500);
  ok = Save(window.screen()->grabWindow(window.winId()), output, "vimo_main_panel.png") && ok;
  window.Cmd_inställningar_Click();

  CloseWindowGrabber grabber;
  window.CloseWindow().installEventFilter(&grabber);
  window.close();
  ok = Save(grabber.shot, output, "vimo_close.png") && ok;
  if (!dialogs.shown().empty()) ok = false;
  return ok ? 0 : 1;
}
