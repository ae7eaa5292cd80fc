#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <memory>

#include "ChatDoubles.h"
#include "ChatEngine.h"
#include "ClickableLabel.h"
#include "FakePlatform.h"
#include "ProgramValues.h"
#include "QtPlatform.h"
#include "QtTestApplication.h"
#include "Settings.h"
#include "SyncTestFiles.h"
#include "VimoWindow.h"
#include "WebPageStrip.h"
#include "Windows1252.h"

#ifdef VIMO_TEST_WITH_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>
#endif

namespace {

// The lone carriage return of the prompt is shown as a line break.
const std::string kTeachingPromptStart =
    W("Jag vet inte vad man svarar på det...") + "\n" + W("Hur tycker du att jag ska svara på: '");

class VimoWindowTest : public ::testing::Test {
 protected:
  void Open() {
    window_ =
        std::make_unique<VimoWindow>(VimoWindowServices{values_, folder_.path(), &waiter_, &pump_, &random_,
                                                        &clock_, [this]() -> std::unique_ptr<SpeechVoice> {
                                                          if (!voiceAvailable_) return nullptr;
                                                          return std::make_unique<RecordingVoice>(speech_);
                                                        }});
  }

  template <class Control = QWidget>
  Control* Find(const char* name) const {
    return window_->findChild<Control*>(QString::fromUtf8(name));
  }

  QLineEdit* Input() const { return Find<QLineEdit>("meddelande"); }
  QString Reply() const { return Find<QLabel>("Svar")->text(); }
  QString FlagText() const { return Find<QLabel>("Medd")->text(); }
  QPushButton* SettingsButton() const { return Find<QPushButton>("Cmd_inställningar"); }

  // Types each character as a key press carrying it, as a keyboard layout with the letter does;
  // QTest's own helpers know only ASCII.
  void Type(const QString& text) {
    for (const QChar character : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QApplication::sendEvent(Input(), &press);
    }
  }

  void TypeLine(const QString& text) {
    Type(text);
    QTest::keyClick(Input(), Qt::Key_Return);
  }

  void TickRandomTalk() {
    ASSERT_TRUE(QMetaObject::invokeMethod(Find<QTimer>("Timer_Vimopratslump"), "timeout"));
  }

  TempFolder folder_{"vimo_ui"};
  ProgramValues values_;
  SpeechLog speech_;
  bool voiceAvailable_ = true;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  ScriptedRandom random_;
  FixedClock clock_;
  std::unique_ptr<VimoWindow> window_;
};

// What each control must look like when the window has just loaded. Positions are twips / 15;
// a size of 0 x 0 means the control was only given a position and sizes itself to its text.
struct ExpectedControl {
  const char* name;
  const char* kind;
  const char* parent;
  QRect geometry;
  const char* text;
  bool enabled;
};

const ExpectedControl kExpectedControls[] = {
    {"Picture1", "QLabel", "Vimo", {0, 0, 603, 202}, "", true},
    {"meddelande", "QLineEdit", "Vimo", {0, 208, 609, 49}, "", true},
    {"Svar", "QLabel", "Vimo", {376, 32, 185, 65}, "", true},
    {"Ändra", "QPushButton", "Vimo", {400, 120, 137, 17}, "Ändra detta svar!", false},
    {"Medd", "QLabel", "Vimo", {27, 10, 153, 113}, "", true},
    {"Label11", "QLabel", "Vimo", {24, 128, 32, 17}, "Tryck:", true},
    {"Flaggmeddelande_Knapp", "ClickableLabel", "Vimo", {56, 128, 65, 17}, "Användare", true},
    {"Adminmeddelande_Knapp", "ClickableLabel", "Vimo", {120, 128, 65, 17}, "Admin", true},
    {"Ändraflagga", "QPushButton", "Vimo", {32, 152, 137, 17}, "Ändra denna text!", false},
    {"Cmd_Uppdatera", "QPushButton", "Vimo", {40, 176, 121, 17}, "Uppdatera meddelande!", false},
    {"WebBrowser1", "QWidget", "Vimo", {0, 256, 633, 129}, nullptr, true},
    {"Cmd_inställningar", "QPushButton", "Vimo", {528, 328, 81, 17}, "Inställningar >>", true},
    {"Label3", "QLabel", "Vimo", {616, 0, 65, 33}, "Vimo", true},
    {"Label4", "QLabel", "Vimo", {640, 32, 73, 25}, "Inställningar", true},
    {"Label5", "QLabel", "Vimo", {616, 64, 0, 0}, "Tal", true},
    {"Label6", "QLabel", "Vimo", {616, 96, 0, 0}, "På/Av:", true},
    {"Chk_tal", "QCheckBox", "Vimo", {656, 96, 17, 17}, "", true},
    {"Label7", "QLabel", "Vimo", {616, 120, 0, 0}, "Hastighet:", true},
    {"Tal_hastighet", "QSlider", "Vimo", {616, 136, 89, 17}, nullptr, true},
    {"Frame1", "QGroupBox", "Vimo", {609, 168, 105, 179}, nullptr, true},
    {"Label8", "QLabel", "Frame1", {8, 8, 0, 0}, "Slumpprat", true},
    {"Label9", "QLabel", "Frame1", {8, 40, 0, 0}, "På/Av:", true},
    {"Chk_slumpprat", "QCheckBox", "Frame1", {48, 40, 17, 17}, "", true},
    {"Label10", "QLabel", "Frame1", {8, 64, 0, 0}, "Frekvens:", true},
    {"Slumpprat_Frekvens", "QSlider", "Frame1", {8, 80, 89, 17}, nullptr, true},
    {"Label2", "QLabel", "Frame1", {8, 96, 0, 0}, "Sällan             Ofta", true},
    {"Bhajs", "QLabel", "Frame1", {8, 128, 0, 0}, "Animation", true},
    {"Label1", "QLabel", "Frame1", {8, 152, 0, 0}, "På/Av:", true},
    {"Chk_animation", "QCheckBox", "Frame1", {48, 152, 17, 17}, "", false},
};

QString TextOf(const QWidget* control) {
  if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (const auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
  return {};
}

TEST_F(VimoWindowTest, EveryControlHasItsNameKindPlaceCaptionAndState) {
  WriteBytes(folder_ / "medd.txt", "\r\n\r\n");
  Open();
  for (const ExpectedControl& expected : kExpectedControls) {
    SCOPED_TRACE(expected.name);
    const QWidget* control = Find(expected.name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->inherits(expected.kind)) << control->metaObject()->className();
    EXPECT_EQ(control->parentWidget()->objectName(), QString::fromUtf8(expected.parent));
    if (expected.geometry.isEmpty()) {
      EXPECT_EQ(control->pos(), expected.geometry.topLeft());
      EXPECT_FALSE(control->size().isEmpty());
    } else {
      EXPECT_EQ(control->geometry(), expected.geometry);
    }
    if (expected.text != nullptr) {
      EXPECT_EQ(TextOf(control), QString::fromUtf8(expected.text));
    }
    EXPECT_EQ(control->isEnabled(), expected.enabled);
  }
  for (const char* line : {"Line1", "Line2", "Line3", "Line4", "Line5"}) {
    EXPECT_NE(Find<QFrame>(line), nullptr) << line;
  }
}

TEST_F(VimoWindowTest, WindowStartsFoldedInWithItsClientArea) {
  Open();
  EXPECT_EQ(window_->objectName(), QStringLiteral("Vimo"));
  EXPECT_EQ(window_->size(), QSize(609, 346));
  EXPECT_EQ(window_->OuterWidthTwips(), VimoWindow::kFoldedInOuterWidth);
  // Folded in, the settings panel lies wholly outside the client area.
  EXPECT_GE(Find("Frame1")->x(), window_->width());
  EXPECT_GE(Find("Label3")->x(), window_->width());
}

TEST_F(VimoWindowTest, SwitchesSlidersAndTimersStartAsDesigned) {
  Open();
  for (const char* name : {"Tal_hastighet", "Slumpprat_Frekvens"}) {
    SCOPED_TRACE(name);
    const auto* slider = Find<QSlider>(name);
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 3);
    EXPECT_EQ(slider->singleStep(), 1);
    EXPECT_EQ(slider->pageStep(), 1);
    EXPECT_EQ(slider->value(), 2);
  }
  EXPECT_TRUE(Find<QCheckBox>("Chk_tal")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("Chk_slumpprat")->isChecked());
  const auto* animation = Find<QCheckBox>("Chk_animation");
  EXPECT_TRUE(animation->isTristate());
  EXPECT_EQ(animation->checkState(), Qt::PartiallyChecked);

  const auto* randomTalk = Find<QTimer>("Timer_Vimopratslump");
  ASSERT_NE(randomTalk, nullptr);
  EXPECT_EQ(randomTalk->interval(), 20000);
  EXPECT_TRUE(randomTalk->isActive());
  const auto* animationTimer = Find<QTimer>("AnimationTimer");
  ASSERT_NE(animationTimer, nullptr);
  EXPECT_FALSE(animationTimer->isActive());
}

TEST_F(VimoWindowTest, TextsAndPictureLookAsDesigned) {
  Open();
  const QFont inputFont = Input()->font();
  EXPECT_EQ(inputFont.family(), QStringLiteral("Arial"));
  EXPECT_EQ(inputFont.pointSize(), 12);

  // Reply and flag text lie transparently on the picture, above it, and wrap.
  for (const char* name : {"Svar", "Medd"}) {
    SCOPED_TRACE(name);
    const auto* label = Find<QLabel>(name);
    EXPECT_FALSE(label->autoFillBackground());
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    const QObjectList& siblings = window_->children();
    EXPECT_GT(siblings.indexOf(label), siblings.indexOf(Find("Picture1")));
  }
  const auto* picture = Find<QLabel>("Picture1");
  EXPECT_EQ(picture->pixmap().size(), QSize(603, 202));

  EXPECT_EQ(Find<ClickableLabel>("Adminmeddelande_Knapp")->Background(), QColor(255, 0, 0));
  EXPECT_EQ(Find<ClickableLabel>("Flaggmeddelande_Knapp")->Background(), QColor(255, 255, 255));

  // "Tryck:" is wholly drawn and ends short of the first tab.
  const auto* tabsCaption = Find<QLabel>("Label11");
  const QRect captionText =
      QFontMetrics(tabsCaption->font())
          .boundingRect(tabsCaption->contentsRect(), tabsCaption->alignment(), tabsCaption->text())
          .translated(tabsCaption->pos());
  EXPECT_TRUE(tabsCaption->geometry().contains(captionText)) << captionText.x() << "," << captionText.width();
  EXPECT_LE(captionText.right() + 3, Find("Flaggmeddelande_Knapp")->x());
}

TEST_F(VimoWindowTest, ProductPageIsShownInTheStripOrAsALinkToIt) {
  const QString address = QString::fromStdString("http://" + ProductWebAddress());
  Open();
  const QWidget* view = Find("WebBrowser1")->findChild<QWidget*>(QStringLiteral("WebBrowser1_view"));
#ifdef VIMO_TEST_WITH_WEBENGINE
  ASSERT_NE(view, nullptr) << "built with Qt WebEngine, but the strip fell back to the link";
  EXPECT_EQ(view->property("url").toUrl().toString(), address);
#else
  EXPECT_EQ(view, nullptr);
#endif

#ifdef VIMO_TEST_WITH_WEBENGINE
  {
    SCOPED_TRACE("the page cannot be loaded");
    auto* strip = Find<WebPageStrip>("WebBrowser1");
    strip->Navigate(QUrl(QStringLiteral("http://127.0.0.1:1")));  // nothing listens there
    ASSERT_TRUE(QTest::qWaitFor([strip] { return !strip->ShowsBrowser(); }, 30000));
    const auto* link = strip->findChild<QLabel*>(QStringLiteral("WebBrowser1_link"));
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->text().contains(QStringLiteral("http://127.0.0.1:1"))) << link->text().toStdString();
  }
  Open();
  {
    SCOPED_TRACE("the page's process dies");
    auto* strip = Find<WebPageStrip>("WebBrowser1");
    auto* browser = strip->findChild<QWebEngineView*>();
    strip->Navigate(QUrl(QStringLiteral("data:text/html,<p>hej</p>")));
    ASSERT_TRUE(QTest::qWaitFor([browser] { return browser->page()->renderProcessPid() > 0; }, 30000));
    ::kill(static_cast<pid_t>(browser->page()->renderProcessPid()), SIGKILL);
    ASSERT_TRUE(QTest::qWaitFor([strip] { return !strip->ShowsBrowser(); }, 30000));
    EXPECT_NE(strip->findChild<QLabel*>(QStringLiteral("WebBrowser1_link")), nullptr);
  }
#endif

  // Where the browser cannot start, the strip is a link to the page, and says why.
  const QByteArray helper = qgetenv("QTWEBENGINEPROCESS_PATH");
  qputenv("QTWEBENGINEPROCESS_PATH", folder_.path().string().c_str() + QByteArray("/missing"));
  ::testing::internal::CaptureStderr();
  Open();
  const std::string said = ::testing::internal::GetCapturedStderr();
  qunsetenv("QTWEBENGINEPROCESS_PATH");
  if (!helper.isNull()) qputenv("QTWEBENGINEPROCESS_PATH", helper);
  const auto* link = Find("WebBrowser1")->findChild<QLabel*>(QStringLiteral("WebBrowser1_link"));
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->text().contains(address)) << link->text().toStdString();
  EXPECT_TRUE(link->openExternalLinks());
  window_->show();
  EXPECT_EQ(link->geometry(), Find("WebBrowser1")->rect());
#ifdef VIMO_TEST_WITH_WEBENGINE
  EXPECT_NE(said.find("QtWebEngineProcess is missing"), std::string::npos) << said;
#endif
}

TEST_F(VimoWindowTest, EnterAnswersFromTheBrainAndSpeaks) {
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej| vimo\r\nhej på dig!\r\n"));
  Open();
  TypeLine(QStringLiteral("Hej, Vimo"));

  EXPECT_EQ(Reply(), QStringLiteral("hej på dig!"));
  EXPECT_TRUE(Input()->text().isEmpty());
  EXPECT_TRUE(Find<QPushButton>("Ändra")->isEnabled());
  EXPECT_EQ(window_->Engine().LastQuestion(), "hej| vimo");
  ASSERT_EQ(speech_.spoken.size(), 1u);
  EXPECT_EQ(speech_.spoken[0], std::make_pair(W("hej på dig!"), SpeechVoice::kSpeakAsync));
  ASSERT_EQ(speech_.rates.size(), 1u);
  EXPECT_EQ(speech_.rates[0], 2);
  // The typing effect waited 10 ms per character, without a real wait.
  EXPECT_EQ(waiter_.Total(), 10 * static_cast<long long>(W("hej på dig!").size()));
}

TEST_F(VimoWindowTest, OnlyEnterReachesTheEngine) {
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej\r\nhej på dig!\r\n"));
  Open();
  QTest::keyClicks(Input(), QStringLiteral("Hej"));
  QTest::keyClick(Input(), Qt::Key_Backspace);
  QTest::keyClick(Input(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(Input()->text(), QStringLiteral("He"));
  EXPECT_TRUE(Reply().isEmpty());

  QTest::keyClicks(Input(), QStringLiteral("j"));
  QTest::keyClick(Input(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(Reply(), QStringLiteral("hej på dig!"));
}

TEST_F(VimoWindowTest, UnknownLineIsTaughtThroughTheWindow) {
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej\r\nhej på dig!\r\n"));
  Open();
  TypeLine(QStringLiteral("Vem är bäst, då?"));
  EXPECT_EQ(FromQString(Reply()), kTeachingPromptStart + W("vem är bäst, då?'?"));
  EXPECT_TRUE(window_->Engine().TeachMode());
  EXPECT_FALSE(Find<QPushButton>("Ändra")->isEnabled());

  TypeLine(QStringLiteral("Du förstås"));
  EXPECT_EQ(FromQString(Reply()), W("Tack så mycket! Nu vet jag det."));
  EXPECT_EQ(ReadBytes(folder_ / "brain.txt"),
            W("\r\n*\r\nhej\r\nhej på dig!\r\n\r\n*\r\nvem är bäst| då?\r\ndu förstås\r\n"));
}

TEST_F(VimoWindowTest, CharactersOutsideWindows1252ReachTheEngineAsQuestionMarks) {
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej\r\nhej på dig!\r\n"));
  Open();
  TypeLine(QString::fromUtf8("snö\u2603man"));
  EXPECT_EQ(window_->Engine().LastQuestion(), W("snö?man"));
}

TEST_F(VimoWindowTest, TheBrainIsIndexedAtLoadAndItsNearTableWhileIdle) {
  WriteBytes(folder_ / "brain.txt", BrainText(3 * static_cast<int>(BrainStore::kIdleSliceRecords)));
  Open();
  BrainStore& store = window_->Engine().Brain();
  EXPECT_GT(store.IndexBytes(), 0u);
  const auto* timer = Find<QTimer>("brainIndexTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return timer->interval() > 0; }, 10000));
  EXPECT_FALSE(store.IndexInIdleTime()) << "the idle slices finished the table";
}

TEST_F(VimoWindowTest, CorrectButtonReplacesTheLastAnswer) {
  WriteBytes(folder_ / "brain.txt", W("*\r\nhej\r\nhej på dig!\r\n"));
  Open();
  TypeLine(QStringLiteral("hej"));
  QTest::mouseClick(Find<QPushButton>("Ändra"), Qt::LeftButton);
  EXPECT_TRUE(window_->Engine().CorrectMode());
  TypeLine(QStringLiteral("tjena"));
  EXPECT_FALSE(window_->Engine().CorrectMode());
  EXPECT_EQ(ReadBytes(folder_ / "brain.txt"), "*\r\nhej\r\ntjena\r\n");
}

TEST_F(VimoWindowTest, TwoSettingsClicksFoldOutAndBackIn) {
  Open();
  window_->show();
  QTest::mouseClick(SettingsButton(), Qt::LeftButton);
  EXPECT_EQ(window_->OuterWidthTwips(), VimoWindow::kFoldedOutOuterWidth);
  EXPECT_EQ(window_->width(), 716);
  EXPECT_EQ(SettingsButton()->text(), QStringLiteral("Inställningar <<"));
  // Folded out, the whole panel is inside the client area.
  const QWidget* frame = Find("Frame1");
  EXPECT_LE(frame->geometry().right(), window_->width());

  QTest::mouseClick(SettingsButton(), Qt::LeftButton);
  EXPECT_EQ(window_->OuterWidthTwips(), VimoWindow::kFoldedInOuterWidth);
  EXPECT_EQ(window_->width(), 609);
  EXPECT_EQ(SettingsButton()->text(), QStringLiteral("Inställningar >>"));
}

TEST_F(VimoWindowTest, SizeIsFixedByTheFoldStateAlone) {
  Open();
  window_->show();
  for (const bool foldedOut : {false, true}) {
    SCOPED_TRACE(foldedOut ? "folded out" : "folded in");
    const QSize size(foldedOut ? 716 : 609, 346);
    window_->resize(1280, 600);
    EXPECT_EQ(window_->size(), size);
    window_->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->isMaximized(); }, 5000));
    QApplication::processEvents();
    EXPECT_EQ(window_->size(), size);
    EXPECT_EQ(SettingsButton()->text(),
              foldedOut ? QStringLiteral("Inställningar <<") : QStringLiteral("Inställningar >>"));
    EXPECT_FALSE(window_->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QTest::mouseClick(SettingsButton(), Qt::LeftButton);
  }
  // Maximising folded out did not turn the next click into a fold-out.
  EXPECT_EQ(window_->width(), 609);
  EXPECT_EQ(SettingsButton()->text(), QStringLiteral("Inställningar >>"));
}

TEST_F(VimoWindowTest, LongSentencesStayWhollyReadableInTheBubble) {
  Open();
  auto* bubble = Find<QLabel>("Svar");
  const auto fits = [bubble] {
    const QRect needed = QFontMetrics(bubble->font())
                             .boundingRect(bubble->contentsRect(),
                                           Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, bubble->text());
    return bubble->contentsRect().contains(needed);
  };
  const auto prompt = [](const std::string& question) {
    return W("Jag vet inte vad man svarar på det...") + "\r" + W("Hur tycker du att jag ska svara på: '") +
           question + "'?";
  };
  const auto shown = [](const std::string& text) {
    return ToQString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  };

  window_->SetReplyCaption("hej");
  EXPECT_EQ(bubble->text(), QStringLiteral("hej"));
  EXPECT_EQ(bubble->font().pointSize(), window_->font().pointSize());

  // About 160 characters fitted at the normal size: a 150-character question is set smaller, whole.
  std::string question;
  while (question.size() < 150) question += "vad tycker du om " + std::to_string(question.size()) + " ";
  window_->SetReplyCaption(prompt(question));
  EXPECT_EQ(bubble->text(), shown(prompt(question)));
  EXPECT_LT(bubble->font().pointSize(), window_->font().pointSize());
  EXPECT_TRUE(fits());
  EXPECT_EQ(bubble->toolTip(), shown(prompt(question)));

  // Too long even for the smallest type: the middle gives way, the start and the "'?" stay.
  while (question.size() < 600) question += "och sedan " + std::to_string(question.size()) + " ";
  question += "slutet";
  window_->SetReplyCaption(prompt(question));
  EXPECT_TRUE(fits());
  EXPECT_TRUE(bubble->text().startsWith(QStringLiteral("Jag vet inte"))) << bubble->text().toStdString();
  EXPECT_TRUE(bubble->text().endsWith(QStringLiteral("slutet'?"))) << bubble->text().toStdString();
  EXPECT_TRUE(bubble->text().contains(QChar(0x2026)));
  EXPECT_EQ(bubble->toolTip(), shown(prompt(question)));
  EXPECT_EQ(bubble->geometry(), QRect(376, 32, 185, 65));

  window_->SetReplyCaption("kort igen");
  EXPECT_EQ(bubble->font().pointSize(), window_->font().pointSize());
  EXPECT_EQ(bubble->toolTip(), QStringLiteral("kort igen"));
}

TEST_F(VimoWindowTest, FlagShowsTheAdministratorsMessageWithCommas) {
  WriteBytes(folder_ / "medd.txt", W("användarnas text\r\nhej| alla| välkomna!\r\n"));
  Open();
  EXPECT_EQ(FlagText(), QStringLiteral("hej, alla, välkomna!"));
}

TEST_F(VimoWindowTest, FlagIsEmptyWithoutAnAdministratorsMessage) {
  {
    SCOPED_TRACE("no medd.txt");
    Open();
    EXPECT_TRUE(FlagText().isEmpty());
  }
  {
    SCOPED_TRACE("only the users' line");
    WriteBytes(folder_ / "medd.txt", "bara en rad\r\n");
    Open();
    EXPECT_TRUE(FlagText().isEmpty());
  }
  {
    SCOPED_TRACE("markup is shown as text");
    WriteBytes(folder_ / "medd.txt", "x\r\n<b>fet</b>\r\n");
    Open();
    EXPECT_EQ(FlagText(), QStringLiteral("<b>fet</b>"));
    EXPECT_EQ(Find<QLabel>("Medd")->textFormat(), Qt::PlainText);
  }
}

TEST_F(VimoWindowTest, LoadSetsTheVoiceAndResetsTheShutdownFlags) {
  values_.UploadRetry = true;
  values_.CloseWindowMayClose = true;
  values_.UploadErrorShown = true;
  values_.FlagErrorShown = true;
  Open();
  EXPECT_NE(values_.Voice, nullptr);
  EXPECT_FALSE(values_.UploadRetry);
  EXPECT_FALSE(values_.CloseWindowMayClose);
  EXPECT_FALSE(values_.UploadErrorShown);
  EXPECT_TRUE(values_.FlagErrorShown);  // not the load's to reset

  values_.Voice->Speak("x", SpeechVoice::kSpeakAsync);
  EXPECT_EQ(speech_.spoken.size(), 1u);
  window_.reset();
  EXPECT_EQ(values_.Voice, nullptr);  // never left pointing at a destroyed voice
}

TEST_F(VimoWindowTest, WithoutAVoiceTheBotStillTypes) {
  voiceAvailable_ = false;
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej\r\nhej på dig!\r\n"));
  Open();
  EXPECT_EQ(values_.Voice, nullptr);
  TypeLine(QStringLiteral("hej"));
  EXPECT_EQ(Reply(), QStringLiteral("hej på dig!"));
  QTest::mouseClick(Find<QCheckBox>("Chk_tal"), Qt::LeftButton);  // purging nothing is harmless
  EXPECT_FALSE(Find<QSlider>("Tal_hastighet")->isEnabled());
}

TEST_F(VimoWindowTest, SpeechSwitchSilencesAndDisablesItsSlider) {
  Open();
  auto* speech = Find<QCheckBox>("Chk_tal");
  auto* rate = Find<QSlider>("Tal_hastighet");
  QTest::mouseClick(speech, Qt::LeftButton);
  EXPECT_FALSE(speech->isChecked());
  EXPECT_FALSE(rate->isEnabled());
  ASSERT_EQ(speech_.spoken.size(), 1u);
  EXPECT_EQ(speech_.spoken[0], std::make_pair(std::string(), SpeechVoice::kPurgeBeforeSpeak));

  QTest::mouseClick(speech, Qt::LeftButton);
  EXPECT_TRUE(speech->isChecked());
  EXPECT_TRUE(rate->isEnabled());

  rate->setValue(3);
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej\r\nhej på dig!\r\n"));
  TypeLine(QStringLiteral("hej"));
  EXPECT_EQ(speech_.rates.back(), 6);
}

TEST_F(VimoWindowTest, RandomTalkSwitchEnablesItsSliderAndTheTimerKeepsRunning) {
  WriteBytes(folder_ / "brain.txt", W("\r\n*\r\nhej| du\r\nja| visst\r\n"));
  Open();
  auto* randomTalk = Find<QCheckBox>("Chk_slumpprat");
  auto* frequency = Find<QSlider>("Slumpprat_Frekvens");
  auto* timer = Find<QTimer>("Timer_Vimopratslump");

  QTest::mouseClick(randomTalk, Qt::LeftButton);
  EXPECT_FALSE(frequency->isEnabled());
  TickRandomTalk();
  EXPECT_TRUE(Reply().isEmpty());
  EXPECT_EQ(timer->interval(), 20000);
  EXPECT_TRUE(timer->isActive());

  QTest::mouseClick(randomTalk, Qt::LeftButton);
  EXPECT_TRUE(frequency->isEnabled());
  frequency->setValue(3);
  TickRandomTalk();  // every draw is 0.5
  EXPECT_TRUE(Reply() == QStringLiteral("hej, du") || Reply() == QStringLiteral("ja, visst"))
      << Reply().toStdString();
  EXPECT_EQ(timer->interval(), 7500);
  EXPECT_TRUE(timer->isActive());
}

}  // namespace
