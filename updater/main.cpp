#include <QApplication>
#include <filesystem>

#include "QtPlatform.h"
#include "Settings.h"
#include "VupdaterStartWindow.h"
#include "ftp/CFtp.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InstallSwedishTranslation(application);
  MessageBoxDialogs dialogs;
  QtEventPump pump;
  // Every FTP wait lets the windows repaint and answer the window manager.
  CFtp::SetDefaultEventPump([&pump] { pump.ProcessEvents(); });
  QtDesktop desktop;
  VupdaterStartWindow window(dialogs, pump, desktop, ReadServerSettings(), std::filesystem::path());
  dialogs.SetParent(&window);
  window.Form_Load();
  if (window.finished()) return 0;
  window.show();
  return application.exec();
}
