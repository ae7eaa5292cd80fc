// The window Vupdater_start offscreen: its controls, the "HÄR" colours, the whole update with a
// real server and a real program start, and server text shown as text in labels and dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "QtPlatform.h"
#include "QtTestApplication.h"
#include "ReleaseTestFiles.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
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
    UpdateSafeguards safeguards;
    safeguards.releasePublicKey = key_.pair.publicKey;
    safeguards.pollInterval = std::chrono::milliseconds(10);
    window_.emplace(dialogs_, pump_, desktop, std::move(server), folder_.path(), safeguards);
  }

  TestReleaseKey key_;

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

// Clicking "HÄR" downloads the signed new build from the server, puts it in place of the old one and
// really starts it from the program folder; the stand-in build leaves a marker when it runs and
// confirms its start before the window closes.
TEST_F(VupdaterStartWindowTest, ClickDownloadsReplacesAndStartsTheNewBuild) {
  const fs::path previousFolder = fs::current_path();
  fs::current_path(folder_.path());
  struct RestoreFolder {
    fs::path folder;
    ~RestoreFolder() { fs::current_path(folder); }
  } restore{previousFolder};

  FtpTestServer server;
  key_.Publish(server, HealthyBuild(), 10.0f);
  WriteBytes(folder_ / "Vimo", "old build");
  WriteBytes(folder_ / "version.txt", W("10,Nytt|bättre,0,100\r\n"));
  QtDesktop desktop;
  MakeWindow(desktop, SettingsFor(server));
  window_->Form_Load();
  window_->show();

  QLabel* here = Label("Label3");
  SendMouse(here, QEvent::MouseButtonPress, here->rect().center());
  SendMouse(here, QEvent::MouseButtonRelease, here->rect().center());

  EXPECT_TRUE(window_->finished());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(dialogs_.shown().empty()) << server.log();
  EXPECT_EQ(ReadBytes(folder_ / "new-build-ran.txt"), "ran\n");
  EXPECT_EQ(ReadBytes(folder_ / "Vimo"), HealthyBuild());
}

TEST_F(VupdaterStartWindowTest, ServerTextIsPlainTextAndDialogsSpeakSwedish) {
  WriteBytes(folder_ / "version.txt", W("10,<b>fet</b> <img src=x>|<a href='http://x'>länk</a>,0,100\r\n"));
  MakeWindow(recordingDesktop_);
  window_->Form_Load();
  QLabel* news = Label("Nyheter");
  EXPECT_EQ(news->textFormat(), Qt::PlainText);
  EXPECT_EQ(news->text(), QString("<b>fet</b> <img src=x>,<a href='http://x'>länk</a>"));
  EXPECT_EQ(Label("Label1")->textFormat(), Qt::PlainText);

  QMessageBox yesNo;
  PrepareMessageBox(yesNo, "Vimo uppdatering - Fel!", "Orsak: !550 <b>nej</b>", DialogButtons::YesNo);
  EXPECT_EQ(yesNo.textFormat(), Qt::PlainText);
  EXPECT_EQ(yesNo.text(), QString("Orsak: !550 <b>nej</b>"));
  EXPECT_EQ(yesNo.icon(), QMessageBox::NoIcon);
  EXPECT_EQ(yesNo.button(QMessageBox::Yes)->text(), QString("Ja"));
  EXPECT_EQ(yesNo.button(QMessageBox::No)->text(), QString("Nej"));
  EXPECT_EQ(yesNo.buttons().size(), 2);
  QMessageBox ok;
  PrepareMessageBox(ok, "Fel!", "text", DialogButtons::Ok);
  EXPECT_EQ(ok.button(QMessageBox::Ok)->text(), QString("OK"));
  EXPECT_EQ(ok.buttons().size(), 1);
  QInputDialog input;
  PrepareInputDialog(input, "Flagga", W("Skriv ditt meddelande:"), "<i>hej</i>");
  EXPECT_EQ(input.okButtonText(), QString("OK"));
  EXPECT_EQ(input.cancelButtonText(), QString("Avbryt"));
  EXPECT_EQ(input.textValue(), QString("<i>hej</i>"));
}

}  // namespace
