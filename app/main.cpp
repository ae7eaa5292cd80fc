// The Vimo program: the start-up window `Vimo_load` fetches the shared brain and hands over to the
// main window `Vimo`; the program ends when the last window closes, or at once when the start-up
// says so (an update was started, or the brain could not be restored).

#include <QApplication>
#include <memory>

#include "ProgramValues.h"
#include "QtPlatform.h"
#include "Settings.h"
#include "UpdateTrial.h"
#include "VimoLoadWindow.h"
#include "VimoWindow.h"
#include "ftp/CFtp.h"

// The module `Vimo_module`: lives for the whole run, handed by reference to the windows.
ProgramValues Vimo_module;

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InstallSwedishTranslation(application);
  SleepingWaiter waiter;
  QtEventPump pump;
  // Every FTP wait lets the windows repaint and answer the window manager.
  CFtp::SetDefaultEventPump([&pump] { pump.ProcessEvents(); });
  QtDesktop desktop;
  MessageBoxDialogs dialogs;
  VimoLoadWindow startWindow(Vimo_module, StartupServices{dialogs, waiter, pump, desktop},
                             ReadServerSettings());
  dialogs.SetParent(&startWindow);

  std::unique_ptr<VimoWindow> mainWindow;
  QObject::connect(&startWindow, &VimoLoadWindow::handOverRequested, [&] {
    mainWindow = std::make_unique<VimoWindow>(VimoWindowServices{.values = Vimo_module});
    mainWindow->show();
    // An update on trial has now started well; the updater keeps it.
    ConfirmHealthyStart(std::filesystem::path());
  });
  QObject::connect(&startWindow, &VimoLoadWindow::endRequested, [] { QCoreApplication::exit(0); });

  startWindow.show();
  return application.exec();
}
