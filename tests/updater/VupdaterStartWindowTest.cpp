// The window Vupdater_start offscreen: its controls, the "HÄR" colours, and the whole update with a
// real server and a real program start.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "QtPlatform.h"
#include "QtTestApplication.h"
#include "SyncTestFiles.h"
#include "VupdaterStartWindow.h"
#include "Windows1252.h"

namespace fs = std::filesystem;

namespace {

class VupdaterStartWindowTest : public ::testing::Test {
 protected:
  QLabel* Label(const char* name) const {
    auto* label = window_->findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name;
    return label;
  }

  static QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }
  static QColor Background(const QLabel* label) { return label->palette().color(QPalette::Window); }

  // A left-button press or release at a point of the widget's own coordinates.
  static void SendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }

  void MakeWindow(Desktop& desktop, ServerSettings server = {}) {
    window_.emplace(dialogs_, pump_, desktop, std::move(server), folder_.path());
  }

  TempFolder folder_{"vimo-updater-window"};
  ScriptedDialogs dialogs_;
  QtEventPump pump_;
  RecordingDesktop recordingDesktop_;
  std::optional<VupdaterStartWindow> window_;
};

TEST_F(VupdaterStartWindowTest, ShowsEveryControlWithItsTextsAndColours) {
  WriteBytes(folder_ / "version.txt", W("10,Nytt|bättre,0,100\r\n"));
  MakeWindow(recordingDesktop_);
  window_->Form_Load();
  window_->show();

  EXPECT_EQ(window_->objectName(), "Vupdater_start");
  EXPECT_EQ(window_->windowTitle(), QString("Det finns en ny Vimo!"));
  EXPECT_EQ(Label("Label1")->text(), QString("Version 10 av Vimo har släppts!"));
  EXPECT_EQ(Label("Nyheter")->text(), QString("Nytt,bättre"));
  EXPECT_EQ(Label("Label2")->text(), QString("Tryck:"));
  EXPECT_EQ(Label("Label3")->text(), QString("HÄR"));
  EXPECT_EQ(Label("Label4")->text(), QString("för att starta automatisk uppdatering!"));
  EXPECT_EQ(Label("Label5")->text(), QString("Om knappen inte fungerar, ladda ner manuellt via:"));
  EXPECT_EQ(Label("Label6")->text(), ToQString(ProductWebAddress()));
  EXPECT_EQ(Label("Label19")->text(), QString("Nyheter i den nya versionen:"));
  EXPECT_NE(window_->findChild<QFrame*>("Line2"), nullptr);
  EXPECT_FALSE(Label("Image1")->pixmap().isNull());

  const QColor orange(255, 128, 0);
  for (const char* name : {"Label2", "Label4", "Label19"}) EXPECT_EQ(TextColour(Label(name)), orange) << name;
  EXPECT_EQ(TextColour(Label("Label6")), QColor(0, 0, 255));
  EXPECT_EQ(TextColour(Label("Label1")).green(), 128);

  QLabel* here = Label("Label3");
  EXPECT_EQ(TextColour(here), QColor(0, 0, 255));
  EXPECT_EQ(Background(here), QColor(0, 255, 0));
  EXPECT_TRUE(here->autoFillBackground());
  SendMouse(here, QEvent::MouseButtonPress, here->rect().center());
  EXPECT_EQ(Background(here), QColor(0, 0, 255));
  // Released away from the label: green again, and no click (no download started).
  SendMouse(here, QEvent::MouseButtonRelease, QPoint(-20, -20));
  EXPECT_EQ(Background(here), QColor(0, 255, 0));
  EXPECT_TRUE(here->isEnabled());
  EXPECT_EQ(Label("Label1")->text(), QString("Version 10 av Vimo har släppts!"));
  EXPECT_FALSE(window_->finished());
}

TEST_F(VupdaterStartWindowTest, WithoutVersionRecordTheWindowEndsBeforeItIsShown) {
  MakeWindow(recordingDesktop_);
  dialogs_.AnswerNext(DialogAnswer::Yes);
  window_->Form_Load();
  EXPECT_TRUE(window_->finished());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(recordingDesktop_.startedPrograms, std::vector<fs::path>{folder_ / "Vimo"});
}

// Clicking "HÄR" downloads the new build from the server, puts it in place of the old one and
// really starts it from the program folder; the stand-in build leaves a marker when it runs.
TEST_F(VupdaterStartWindowTest, ClickDownloadsReplacesAndStartsTheNewBuild) {
  const fs::path previousFolder = fs::current_path();
  fs::current_path(folder_.path());
  struct RestoreFolder {
    fs::path folder;
    ~RestoreFolder() { fs::current_path(folder); }
  } restore{previousFolder};

  FtpTestServer server;
  server.WriteFile("Vimo", "#!/bin/sh\necho ran > new-build-ran.txt\n");
  WriteBytes(folder_ / "Vimo", "old build");
  WriteBytes(folder_ / "version.txt", W("10,Nytt|bättre,0,100\r\n"));
  QtDesktop desktop;
  MakeWindow(desktop,
             {"127.0.0.1", static_cast<std::int16_t>(server.port()), server.user(), server.password()});
  window_->Form_Load();
  window_->show();

  QLabel* here = Label("Label3");
  SendMouse(here, QEvent::MouseButtonPress, here->rect().center());
  SendMouse(here, QEvent::MouseButtonRelease, here->rect().center());

  EXPECT_TRUE(window_->finished());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(dialogs_.shown().empty()) << server.log();
  const fs::path marker = folder_ / "new-build-ran.txt";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(fs::exists(marker)) << "the new build did not run";
  // The marker is written by a separate process: wait for its line to be complete.
  while (ReadBytes(marker) != "ran\n" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(ReadBytes(marker), "ran\n");
  EXPECT_EQ(ReadBytes(folder_ / "Vimo"), "#!/bin/sh\necho ran > new-build-ran.txt\n");
}

}  // namespace
