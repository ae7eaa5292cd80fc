// The Vimo program: the program-wide values and the main window on the current folder's files.

#include <QApplication>

#include "ProgramValues.h"
#include "VimoWindow.h"

// The module `Vimo_module`: lives for the whole run, handed by reference to the windows.
ProgramValues Vimo_module;

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  VimoWindow window(VimoWindowServices{.values = Vimo_module});
  window.show();
  return application.exec();
}
