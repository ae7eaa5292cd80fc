#include <QApplication>
#include <filesystem>

#include "QtPlatform.h"
#include "Settings.h"
#include "VupdaterStartWindow.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InstallSwedishTranslation(application);
  MessageBoxDialogs dialogs;
  QtEventPump pump;
  QtDesktop desktop;
  VupdaterStartWindow window(dialogs, pump, desktop, ReadServerSettings(), std::filesystem::path());
  dialogs.SetParent(&window);
  window.Form_Load();
  if (window.finished()) return 0;
  window.show();
  return application.exec();
}
