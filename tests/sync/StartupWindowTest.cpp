// The window Vimo_load offscreen: its controls as they start, and a whole start-up driven by its
// own timer against the real FTP server.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <memory>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "PrintedUnderControlsWindowCheck.h"
#include "QtTestApplication.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "VimoLoadWindow.h"
#include "Windows1252.h"

namespace {

class StartupWindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<VimoLoadWindow> MakeWindow(ServerSettings settings = {}) {
    return std::make_unique<VimoLoadWindow>(values_, StartupServices{dialogs_, waiter_, pump_, desktop_},
                                            std::move(settings), program_.path());
  }

  template <typename T>
  static T* Control(QWidget& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  // Lets the window's events run until the sequence is no longer running (at most 30 s).
  static void RunUntilDone(VimoLoadWindow& window) {
    QElapsedTimer clock;
    clock.start();
    while (window.Sequence().outcome() == StartupSequence::Outcome::Running && clock.elapsed() < 30000) {
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
  }

  TempFolder program_{"vimo-startup-window"};
  ProgramValues values_;
  ScriptedDialogs dialogs_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  RecordingDesktop desktop_;
};

TEST_F(StartupWindowTest, StartsWithEveryControlInPlace) {
  auto window = MakeWindow();
  EXPECT_EQ(window->objectName(), "Vimo_load");
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Laddar ner Vimos hjärna..."));

  struct Expected {
    const char* name;
    const char* text;
  };
  const Expected labels[] = {
      {"Steg1_beskrivning", "Hjärnan laddas ner..."},
      {"Label3", "Säkerhetskopierar hjärnan..."},
      {"Steg2_beskrivning", "Versionsinformation uppdateras..."},
      {"Steg3_beskrivning", "Flaggmeddelandet läses in..."},
      {"Label2", "Laddar Vimo version:"},
      {"daversion", "9"},
      {"Varning", "VARNING!"},
  };
  for (const Expected& expected : labels) {
    if (auto* label = Control<QLabel>(*window, expected.name)) {
      EXPECT_EQ(label->text(), QString::fromUtf8(expected.text)) << expected.name;
      EXPECT_FALSE(label->isHidden()) << expected.name;
    }
  }
  const Expected notices[] = {
      {"Speciellbild_info", "Det är en högtid idag! Var god vänta medan Vimo tar på sig sina festkläder..."},
      {"Användarnummer_info", "Nu har vi *vänta* användare..."},
      {"Inet_information",
       "Vimo har upptäckt att det är första gången han körs, informerar Molvarstedik om att Vimo fått en ny "
       "användare! :D"},
      {"Hjärnaförstörd_lbl1", "Vimos hjärna har blivit förstörd!"},
      {"Hjärnaförstörd_lbl2", "Återställer..."},
  };
  for (const Expected& expected : notices) {
    if (auto* label = Control<QLabel>(*window, expected.name)) {
      EXPECT_EQ(label->text(), QString::fromUtf8(expected.text)) << expected.name;
      EXPECT_TRUE(label->isHidden()) << expected.name;
      EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << expected.name;
    }
  }
  for (const char* name : {"Steg1_chk", "Steg1_Del2_chk", "Steg2_chk", "Steg3_chk"}) {
    if (auto* box = Control<QCheckBox>(*window, name)) {
      EXPECT_FALSE(box->isChecked()) << name;
    }
  }

  if (auto* disclaimer = Control<QLabel>(*window, "Label1")) {
    const QString text = disclaimer->text();
    EXPECT_TRUE(disclaimer->wordWrap());
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Eftersom detta program helt baseras på tankar")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("ansvarig för vad som skrivs i detta program.") +
                              QString(22, ' ') + "Rasistiska, "));
    EXPECT_TRUE(text.contains(QString::fromUtf8("på den enskilde användaren.") + QString(84, ' ') +
                              QString::fromUtf8("Vi på Molvarstedik")));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8("radera dessa svar så fort som möjligt.")));
  }

  auto* car = Control<QLabel>(*window, "Bil");
  auto* house = Control<QLabel>(*window, "Hus");
  ASSERT_TRUE(car && house);
  EXPECT_EQ(car->x(), 120 / 15);
  EXPECT_EQ(house->x(), 3720 / 15);
  EXPECT_FALSE(car->pixmap().isNull());
  EXPECT_FALSE(house->pixmap().isNull());

  auto* timer = Control<QTimer>(*window, "Timer_laddanerbrain");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 10);
  EXPECT_FALSE(timer->isActive());
}

TEST_F(StartupWindowTest, ShowsWhatTheSequenceTellsIt) {
  auto window = MakeWindow();
  window->MoveCar(3000);
  EXPECT_EQ(window->findChild<QLabel*>("Bil")->x(), 200);
  window->Check(StartupCheck::Steg2_chk);
  EXPECT_TRUE(window->findChild<QCheckBox*>("Steg2_chk")->isChecked());
  EXPECT_FALSE(window->findChild<QCheckBox*>("Steg1_chk")->isChecked());
  window->ShowNotice(StartupNotice::Hjärnaförstörd_lbl1, true);
  EXPECT_FALSE(window->findChild<QLabel*>(QString::fromUtf8("Hjärnaförstörd_lbl1"))->isHidden());
  window->SetUserCountText(W("Vimo har nu 7 användare!"));
  EXPECT_EQ(window->findChild<QLabel*>(QString::fromUtf8("Användarnummer_info"))->text(),
            QString::fromUtf8("Vimo har nu 7 användare!"));
  window->PrintLine("Connecting...");
  window->PrintLine(W("Error: !Åtkomst"));
  EXPECT_EQ(window->PrintedLines(), (QStringList{"Connecting...", QString::fromUtf8("Error: !Åtkomst")}));
}

TEST_F(StartupWindowTest, PrintedLinesLieBeneathTheLabelsAndCheckBoxes) {
  auto window = MakeWindow();
  window->ShowNotice(StartupNotice::Inet_information, true);
  const QStringList printedOver = vimo_test::ControlsPrintedOver(*window, [&window] {
    for (int line = 0; line < 40; ++line) window->PrintLine(std::string(80, 'W'));
  });
  // The car and the house are pictures with transparent parts, not text.
  EXPECT_EQ(printedOver, (QStringList{"Bil", "Hus"}));
}

TEST_F(StartupWindowTest, ItsTimerRunsTheStartAndHandsOverOnce) {
  FtpTestServer server;
  SeedAccount(server, {.version = "9,x,0,0\r\n", .flagMessages = "a\r\nb\r\n", .users = ""});
  auto window = MakeWindow(SettingsFor(server));
  int handOvers = 0;
  QObject::connect(window.get(), &VimoLoadWindow::handOverRequested, [&] {
    ++handOvers;
    EXPECT_TRUE(window->isVisible()) << "the start-up window closes after the main window is shown";
  });

  window->show();
  RunUntilDone(*window);

  EXPECT_EQ(window->Sequence().outcome(), StartupSequence::Outcome::HandedOver)
      << window->PrintedLines().join("\n").toStdString();
  EXPECT_EQ(handOvers, 1);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->findChild<QLabel*>("Bil")->x(), 3800 / 15);
  for (const char* name : {"Steg1_chk", "Steg1_Del2_chk", "Steg2_chk", "Steg3_chk"}) {
    EXPECT_TRUE(window->findChild<QCheckBox*>(name)->isChecked()) << name;
  }
  EXPECT_FALSE(window->findChild<QTimer*>("Timer_laddanerbrain")->isActive());
  EXPECT_EQ(server.ReadText("användare.txt"), window->Sequence().ComputerName() + "\r\n");
}

TEST_F(StartupWindowTest, EndingTheProgramHidesTheWindowAndAsksToQuit) {
  FtpTestServer server;
  server.WriteText("index.html", "x\r\n");
  server.WriteText("brain2.txt", BrainText(3));
  auto window = MakeWindow(SettingsFor(server));
  int ends = 0;
  QObject::connect(window.get(), &VimoLoadWindow::endRequested, [&] { ++ends; });
  dialogs_.AnswerNext(DialogAnswer::No);

  window->show();
  RunUntilDone(*window);

  EXPECT_EQ(window->Sequence().outcome(), StartupSequence::Outcome::Ended);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(StartupWindowTest, ClosingTheWindowAbandonsTheStart) {
  auto window = MakeWindow();
  window->show();
  window->close();
  EXPECT_EQ(window->Sequence().outcome(), StartupSequence::Outcome::Ended);
  // A tick that was already queued finds nothing to do: no connection, no dialog.
  window->Sequence().Timer_laddanerbrain_Timer();
  EXPECT_TRUE(dialogs_.shown().empty());
}

}  // namespace
