// The holiday animation as the main window shows it: set-up at load, ticks into Picture1, the
// check box, and days without a holiday or without a usable image.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMetaObject>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "ChatDoubles.h"
#include "FakePlatform.h"
#include "GifStreams.h"
#include "ProgramValues.h"
#include "Scene.h"
#include "SyncTestFiles.h"
#include "VimoWindow.h"

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBlack = qRgb(0, 0, 0);

// "" when the two pictures hold the same pixels, else where they first differ.
std::string FirstDifference(const QImage& shown, const QImage& expected) {
  if (shown.size() != expected.size()) return "size differs";
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if ((shown.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF))
        return "pixel " + std::to_string(x) + "," + std::to_string(y);
  return "";
}

class VimoWindowAnimationTest : public ::testing::Test {
 protected:
  void WriteHolidayImage(const vimo::test::Bytes& bytes) {
    std::filesystem::create_directories(folder_.path() / "Data");
    vimo::test::WriteFile(folder_.path() / "Data" / "vimo_special.gif", bytes);
  }

  void Open(bool holiday, float interval = 100.5f) {
    values_.HolidayToday = holiday;
    values_.HolidayAnimationInterval = interval;
    window_ = std::make_unique<VimoWindow>(VimoWindowServices{
        values_, folder_.path(), &waiter_, &pump_, &random_, &clock_,
        [this]() -> std::unique_ptr<SpeechVoice> { return std::make_unique<RecordingVoice>(speech_); }});
  }

  QLabel* Picture() const { return window_->findChild<QLabel*>(QStringLiteral("Picture1")); }
  QTimer* Timer() const { return window_->findChild<QTimer*>(QStringLiteral("AnimationTimer")); }
  QCheckBox* Check() const { return window_->findChild<QCheckBox*>(QStringLiteral("Chk_animation")); }
  QImage Shown() const { return Picture()->pixmap().toImage(); }

  void Tick() { ASSERT_TRUE(QMetaObject::invokeMethod(Timer(), "timeout")); }

  // The whole box as frame `frame` (1..3) of the three-frame animation leaves it: its own colour wherever the
  // frame is transparent or has no pixels.
  QImage Expected(int frame) const {
    QImage box(Picture()->size(), QImage::Format_RGB32);
    box.fill(Picture()->palette().color(QPalette::Window));
    for (int y = 0; y < 4; ++y)
      for (int x = 1; x < 6; ++x) box.setPixel(x, y, kRed);
    if (frame >= 2) box.setPixel(2, 1, kGreen);
    if (frame == 3) box.setPixel(3, 2, kBlack);
    return box;
  }

  TempFolder folder_{"vimo_ui"};
  ProgramValues values_;
  SpeechLog speech_;
  RecordingWaiter waiter_;
  RecordingPump pump_;
  ScriptedRandom random_;
  FixedClock clock_;
  std::unique_ptr<VimoWindow> window_;
};

TEST_F(VimoWindowAnimationTest, HolidayStartsTheTimerChecksTheBoxAndShowsTheFirstFrame) {
  WriteHolidayImage(vimo::test::ThreeFrameAnimation());
  Open(true, 100.5f);

  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 100);
  EXPECT_TRUE(Check()->isEnabled());
  EXPECT_EQ(Check()->checkState(), Qt::Checked);
  // Set up, the box toggles between on and off only.
  EXPECT_FALSE(Check()->isTristate());
  EXPECT_EQ(FirstDifference(Shown(), Expected(1)), "");
  EXPECT_NE(Picture()->palette().color(QPalette::Window).rgb() & 0xFFFFFF, kBlue & 0xFFFFFF)
      << "the box's colour must differ from the key colour for these checks to mean anything";
}

TEST_F(VimoWindowAnimationTest, TicksShowTheFramesInTurnUnderTheTextsAndButtons) {
  WriteHolidayImage(vimo::test::ThreeFrameAnimation());
  Open(true);

  for (const int frame : {1, 2, 3, 1}) {
    SCOPED_TRACE(frame);
    Tick();
    EXPECT_EQ(FirstDifference(Shown(), Expected(frame)), "");
  }
  EXPECT_EQ(window_->Animation().FrameIndex(), 1);

  const QObjectList& siblings = window_->children();
  for (const char* name : {"Svar", "Medd", "Ändra", "Ändraflagga", "Cmd_Uppdatera", "Cmd_inställningar"}) {
    SCOPED_TRACE(name);
    EXPECT_GT(siblings.indexOf(window_->findChild<QWidget*>(QString::fromUtf8(name))),
              siblings.indexOf(Picture()));
  }
}

TEST_F(VimoWindowAnimationTest, UncheckingStopsTheTimerAndCheckingResumesWithTheNextFrame) {
  WriteHolidayImage(vimo::test::ThreeFrameAnimation());
  Open(true);
  Tick();
  Tick();

  Check()->click();
  EXPECT_EQ(Check()->checkState(), Qt::Unchecked);
  EXPECT_FALSE(Timer()->isActive());
  // Stopping draws nothing more: frame 2 stays.
  EXPECT_EQ(FirstDifference(Shown(), Expected(2)), "");

  Check()->click();
  EXPECT_EQ(Check()->checkState(), Qt::Checked);
  EXPECT_TRUE(Timer()->isActive());
  Tick();
  EXPECT_EQ(FirstDifference(Shown(), Expected(3)), "");
}

TEST_F(VimoWindowAnimationTest, WithoutAHolidayTheSceneStaysAndTheAnimationIsOff) {
  WriteHolidayImage(vimo::test::ThreeFrameAnimation());
  Open(false);

  EXPECT_FALSE(Timer()->isActive());
  EXPECT_FALSE(Check()->isEnabled());
  EXPECT_TRUE(Check()->isTristate());
  EXPECT_EQ(Check()->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(FirstDifference(Shown(), BuiltInScene()), "");
}

TEST_F(VimoWindowAnimationTest, AMissingOrBrokenImageOnAHolidayDrawsNothing) {
  const vimo::test::Bytes whole = vimo::test::ThreeFrameAnimation();
  struct Case {
    const char* name;
    std::optional<vimo::test::Bytes> bytes;
  };
  const Case cases[] = {
      {"missing", std::nullopt},
      {"not a gif", vimo::test::Bytes{'h', 'e', 'l', 'l', 'o'}},
      {"cut in the first frame", vimo::test::Bytes(whole.begin(), whole.begin() + 30)},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::filesystem::remove_all(folder_.path() / "Data");
    if (test.bytes) WriteHolidayImage(*test.bytes);
    Open(true);
    EXPECT_TRUE(Timer()->isActive());
    // No still could be made, so the scene stays until the first tick empties the box.
    EXPECT_EQ(FirstDifference(Shown(), BuiltInScene()), "");
    Tick();
    Tick();
    EXPECT_TRUE(Picture()->pixmap().isNull());
    EXPECT_EQ(window_->Animation().FrameIndex(), 0);
  }
}

}  // namespace
