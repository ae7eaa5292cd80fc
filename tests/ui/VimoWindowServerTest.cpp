// The main window's flag tabs, flag buttons and close request, wired to the server handlers and
// run offscreen against a real FTP server.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ChatDoubles.h"
#include "ClickableLabel.h"
#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "LessonJournal.h"
#include "ProgramValues.h"
#include "SyncTestFiles.h"
#include "VimoCloseWindow.h"
#include "VimoWindow.h"
#include "Windows1252.h"

namespace {

const std::string kFlags = W("Hej| alla\r\nAdmin säger hej\r\n");

class VimoWindowServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.WriteText("medd.txt", W("Nytt| från servern\r\nAdmin säger hej\r\n"));
    server_.WriteText("brain.txt", BrainText(1600));
    WriteBytes(folder_ / "medd.txt", kFlags);
    WriteBytes(folder_ / "version.txt", "9,Inget,0,0\r\n");
  }

  void Open() {
    ServerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = static_cast<std::int16_t>(server_.port());
    settings.user = server_.user();
    settings.password = server_.password();
    settings.tls = FtpTls::Optional;
    VimoWindowServices services{
        values_,
        folder_.path(),
        &waiter_,
        &pump_,
        &random_,
        &clock_,
        [this]() -> std::unique_ptr<SpeechVoice> { return std::make_unique<RecordingVoice>(speech_); }};
    services.dialogs = &dialogs_;
    services.settings = settings;
    window_ = std::make_unique<VimoWindow>(std::move(services));
    window_->show();
  }

  template <class Control = QWidget>
  Control* Find(const char* name) const {
    return window_->findChild<Control*>(QString::fromUtf8(name));
  }
  QString FlagText() const { return Find<QLabel>("Medd")->text(); }
  void Click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }

  FtpTestServer server_;
  TempFolder folder_{"vimo_ui"};
  ProgramValues values_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  ScriptedRandom random_;
  FixedClock clock_;
  SpeechLog speech_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<VimoWindow> window_;
};

TEST_F(VimoWindowServerTest, TabsColourTheSelectedLabelAndEnableTheButtons) {
  Open();
  auto* usersTab = Find<ClickableLabel>("Flaggmeddelande_Knapp");
  auto* adminTab = Find<ClickableLabel>("Adminmeddelande_Knapp");
  auto* edit = Find<QPushButton>("Ändraflagga");
  auto* refresh = Find<QPushButton>("Cmd_Uppdatera");

  Click(usersTab);
  EXPECT_EQ(FlagText(), QString::fromUtf8("Hej, alla"));
  EXPECT_EQ(usersTab->Background(), QColor(255, 0, 0));
  EXPECT_EQ(adminTab->Background(), QColor(255, 255, 255));
  EXPECT_TRUE(edit->isEnabled());
  EXPECT_TRUE(refresh->isEnabled());

  Click(refresh);
  EXPECT_EQ(FlagText(), QString::fromUtf8("Nytt, från servern"));

  Click(adminTab);
  EXPECT_EQ(FlagText(), QString::fromUtf8("Admin säger hej"));
  EXPECT_EQ(usersTab->Background(), QColor(255, 255, 255));
  EXPECT_EQ(adminTab->Background(), QColor(255, 0, 0));
  EXPECT_FALSE(edit->isEnabled());
  EXPECT_FALSE(refresh->isEnabled());
}

TEST_F(VimoWindowServerTest, CloseUploadsTheLessonAndLetsTheWindowGo) {
  const Lesson lesson{Lesson::Kind::Taught, "vem vann", "vi"};
  WriteBytes(folder_ / "brain.txt", BrainText(1500) + "\r\n*\r\nvem vann\r\nvi\r\n");
  WriteBytes(folder_ / "Data/lessons.vimo", LessonJournal::Line(lesson));
  server_.WriteText("brain.txt", BrainText(1501));
  Open();

  EXPECT_TRUE(window_->close());

  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(server_.ReadText("brain.txt") == BrainText(1501) + "\r\n*\r\nvem vann\r\nvi\r\n");
  EXPECT_FALSE(window_->CloseWindow().isVisible());
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(VimoWindowServerTest, FailedUploadWithYesKeepsTheWindowOpenWithItsBrain) {
  WriteBytes(folder_ / "brain.txt", BrainText(1500));
  WriteBytes(folder_ / "Data/lessons.vimo", LessonJournal::Line({Lesson::Kind::Taught, "q", "a"}));
  server_.Stop();
  dialogs_.AnswerNext(DialogAnswer::Yes);
  Open();

  EXPECT_FALSE(window_->close());

  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(ReadBytes(folder_ / "brain.txt") == BrainText(1500));
  EXPECT_FALSE(window_->CloseWindow().isVisible());
  EXPECT_FALSE(window_->CloseWindow().PrintedLines().isEmpty());
  ASSERT_EQ(dialogs_.shown().size(), 1u);
  EXPECT_EQ(dialogs_.shown()[0].title, W("Vimo - Fel!"));
}

}  // namespace
