#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "GifStreams.h"
#include "gif/AnimationPlayback.h"

namespace vimo {
namespace {

using test::Bytes;
using test::Rgb;
using test::TestGif;
using test::TestImage;

constexpr std::uint32_t kBoxColor = 0x123456;
const std::vector<Rgb> kPalette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

// The main window's controls as far as the animation sees them.
class FakeView : public AnimationView {
 public:
  int PictureWidth() const override { return 8; }
  int PictureHeight() const override { return 4; }
  std::uint32_t PictureBackColor() const override { return kBoxColor; }
  void SetPictureNone() override {
    ++pictureRemoved;
    still.reset();
  }
  void SetPictureStill(const Raster& picture) override { still = picture; }
  void DrawIntoPicture(const Raster& surface) override { drawn.push_back(surface); }
  void SetAnimationTimerInterval(int milliseconds) override { interval = milliseconds; }
  void SetAnimationTimerEnabled(bool enabled) override { timerEnabled = enabled; }
  int AnimationCheckValue() const override { return checkValue; }
  void SetAnimationCheckValue(int value) override { checkValue = value; }
  void SetAnimationCheckEnabled(bool enabled) override { checkEnabled = enabled; }

  int pictureRemoved = 0;
  std::optional<Raster> still;
  std::vector<Raster> drawn;
  int interval = -1;
  bool timerEnabled = false;
  int checkValue = 2;
  bool checkEnabled = false;
};

class PlaybackTest : public testing::Test {
 protected:
  // Three frames on a 6 × 4 screen: a red frame with a transparent column at x = 0, then a green
  // and a blue dot with transparency, then an opaque black frame.
  void WriteThreeFrames() { test::WriteFile(path, test::ThreeFrameAnimation()); }
  void TearDown() override { std::filesystem::remove(path); }

  // Which frame a drawn box shows, told by the pixels each frame adds.
  static int FrameShown(const Raster& box) {
    if (box.Pixel(3, 2) == 0x000000) return 3;
    if (box.Pixel(2, 1) == 0x00FF00) return 2;
    if (box.Pixel(1, 0) == 0xFF0000) return 1;
    return 0;
  }

  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vimo_playback_" + std::to_string(::getpid()) + ".gif");
  FakeView view;
  AnimationPlayback playback{view};
};

TEST_F(PlaybackTest, HolidaySetUpShowsTheFirstFrameAndStartsTheTimer) {
  WriteThreeFrames();
  playback.SetUpHoliday(100.4f, path);
  ASSERT_NE(playback.AnimatedGIF(), nullptr);
  EXPECT_EQ(playback.AnimatedGIF()->Frames().Count(), 3);
  EXPECT_EQ(playback.AnimatedGIF()->xLeft(), 0);
  EXPECT_EQ(playback.AnimatedGIF()->yTop(), 0);
  EXPECT_TRUE(view.checkEnabled);
  EXPECT_EQ(view.checkValue, 1);
  EXPECT_EQ(view.interval, 100);
  EXPECT_TRUE(view.timerEnabled);
  ASSERT_TRUE(view.still.has_value());
  // The still is frame 1 with the box's colour where the frame is transparent.
  EXPECT_EQ(view.still->Pixel(0, 0), kBoxColor);
  EXPECT_EQ(view.still->Pixel(1, 0), 0xFF0000u);
  EXPECT_EQ(view.still->Pixel(7, 3), kBoxColor);  // beyond the image, inside the box
  EXPECT_TRUE(view.drawn.empty());
}

TEST_F(PlaybackTest, TicksDrawTheFramesInTurnOverAndOver) {
  WriteThreeFrames();
  playback.SetUpHoliday(50, path);
  std::vector<int> shown;
  for (int i = 0; i < 7; ++i) {
    playback.AnimationTimer_Timer();
    shown.push_back(FrameShown(view.drawn.back()));
    EXPECT_EQ(playback.FrameIndex(), shown.back());
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(view.pictureRemoved, 7);
  EXPECT_FALSE(view.still.has_value());

  // Frame 2 pixel by pixel: the box colour where frame 1's key stood, red, the green dot, and
  // the box colour beyond the 6 × 4 screen.
  Raster expected(8, 4, kBoxColor);
  expected.FillRect(1, 0, 6, 4, 0xFF0000);
  expected.SetPixel(2, 1, 0x00FF00);
  EXPECT_EQ(view.drawn[1], expected);
  // Frame 3 has no transparent index, yet the box still shows where no frame covered the screen.
  expected.SetPixel(3, 2, 0x000000);
  EXPECT_EQ(view.drawn[2], expected);
}

TEST_F(PlaybackTest, UncheckingStopsAndCheckingResumesWithTheNextFrame) {
  WriteThreeFrames();
  playback.SetUpHoliday(50, path);
  playback.AnimationTimer_Timer();
  playback.AnimationTimer_Timer();
  ASSERT_EQ(playback.FrameIndex(), 2);

  view.checkValue = 0;
  playback.Chk_animation_Click();
  EXPECT_FALSE(view.timerEnabled);
  EXPECT_EQ(view.drawn.size(), 2u);

  view.checkValue = 1;
  playback.Chk_animation_Click();
  EXPECT_TRUE(view.timerEnabled);
  playback.AnimationTimer_Timer();
  EXPECT_EQ(playback.FrameIndex(), 3);
  EXPECT_EQ(FrameShown(view.drawn.back()), 3);
}

TEST_F(PlaybackTest, AMissingImageGivesTicksThatDrawNothing) {
  playback.SetUpHoliday(80, path.string() + ".missing");
  EXPECT_FALSE(view.still.has_value());
  EXPECT_TRUE(view.timerEnabled);
  playback.AnimationTimer_Timer();
  playback.AnimationTimer_Timer();
  EXPECT_TRUE(view.drawn.empty());
  EXPECT_EQ(playback.FrameIndex(), 0);

  // Before any set-up a tick draws nothing either.
  FakeView other;
  AnimationPlayback idle(other);
  idle.AnimationTimer_Timer();
  EXPECT_TRUE(other.drawn.empty());
}

TEST(TimerIntervalTest, RoundsToWholeMillisecondsHalvesToEven) {
  EXPECT_EQ(AnimationPlayback::TimerInterval(100.4f), 100);
  EXPECT_EQ(AnimationPlayback::TimerInterval(100.5f), 100);
  EXPECT_EQ(AnimationPlayback::TimerInterval(101.5f), 102);
  EXPECT_EQ(AnimationPlayback::TimerInterval(100.6f), 101);
  // Values a timer cannot take are held to its range.
  EXPECT_EQ(AnimationPlayback::TimerInterval(0.0f), 1);
  EXPECT_EQ(AnimationPlayback::TimerInterval(-20.0f), 1);
  EXPECT_EQ(AnimationPlayback::TimerInterval(std::nanf("")), 1);
  EXPECT_EQ(AnimationPlayback::TimerInterval(1e9f), 65535);
  EXPECT_EQ(AnimationPlayback::TimerInterval(std::numeric_limits<float>::infinity()), 65535);
}

TEST(CopyFrameTest, SavesTheBackgroundAndPositionOnceAndClearRestoresIt) {
  TestGif layout;
  layout.width = 2;
  layout.height = 2;
  layout.globalTable = kPalette;
  TestImage image;
  image.width = 2;
  image.height = 2;
  image.indices = {1, 2, 2, 1};
  layout.images = {image};
  clsGIF gif;
  const Bytes stream = test::Encode(layout);
  ASSERT_TRUE(gif.LoadGIF(std::span<const std::uint8_t>(stream)));

  Raster target(5, 5, 0x777777);
  target.SetPixel(1, 1, 0xABCDEF);
  EXPECT_FALSE(gif.CopyFrame(2, target, 0, 0));  // no such frame: nothing drawn or saved
  EXPECT_TRUE(gif.CopyFrame(1, target, 1, 1));
  EXPECT_EQ(gif.xLeft(), 1);
  EXPECT_EQ(gif.yTop(), 1);
  EXPECT_EQ(target.Pixel(1, 1), 0xFF0000u);
  EXPECT_EQ(target.Pixel(2, 1), 0x00FF00u);

  // A second call draws at its own position, but the saved area and position stay.
  EXPECT_TRUE(gif.CopyFrame(1, target, 3, 3));
  EXPECT_EQ(target.Pixel(4, 4), 0xFF0000u);
  EXPECT_EQ(gif.xLeft(), 1);
  gif.Clear(target);
  EXPECT_EQ(target.Pixel(1, 1), 0xABCDEFu);
  EXPECT_EQ(target.Pixel(2, 2), 0x777777u);
  EXPECT_EQ(target.Pixel(4, 4), 0xFF0000u);  // the second drawing was never saved over

  // Clear before any CopyFrame does nothing.
  clsGIF fresh;
  Raster untouched(2, 2, 5);
  fresh.Clear(untouched);
  EXPECT_EQ(untouched, Raster(2, 2, 5));
}

}  // namespace
}  // namespace vimo

namespace vimo {
namespace {

// The demo server's holiday image, as the main window will show it.
TEST(DemoHolidayImageTest, AnimatesTheSceneWithoutTouchingTheTextAreas) {
  clsGIF gif;
  ASSERT_TRUE(gif.LoadGIF(std::filesystem::path(VIMO_SOURCE_DIR) / "data/server/vimo_special.gif"));
  EXPECT_EQ(gif.xWidth(), 603);
  EXPECT_EQ(gif.yHeight(), 202);
  ASSERT_GE(gif.Frames().Count(), 8);
  std::set<std::int32_t> disposals;
  bool transparency = false;
  for (std::int16_t n = 1; n <= gif.Frames().Count(); ++n) {
    const clsFrame& frame = gif.Frames().Item(n);
    disposals.insert(frame.DisposalMethod());
    transparency = transparency || frame.TCFlag();
    // Drawn on any box colour, no pixel of the box shows through.
    Raster box(603, 202, 0x010203);
    ASSERT_TRUE(gif.DrawFrame(n, box, 0, 0));
    for (int y = 0; y < 202; ++y)
      for (int x = 0; x < 603; ++x)
        ASSERT_NE(box.Pixel(x, y), 0x010203u) << "frame " << n << " at " << x << "," << y;
    // The flag's text and the reply lie on plain white.
    for (auto [left, top, right, bottom] : {std::array{27, 10, 180, 123}, std::array{380, 30, 565, 95}})
      for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
          ASSERT_EQ(box.Pixel(x, y), 0xFFFFFFu) << "frame " << n << " at " << x << "," << y;
    if (n > 1) {
      Raster previous(603, 202, 0);
      gif.DrawFrame(static_cast<std::int16_t>(n - 1), previous, 0, 0);
      EXPECT_NE(box, previous) << "frame " << n << " changes nothing";
    }
  }
  EXPECT_TRUE(transparency);
  EXPECT_GE(disposals.size(), 2u);
  // The scene's sky above its grass.
  const auto picture = gif.Frames().Item(1).hdc();
  const Raster& first = *picture;
  int sky = 0;
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 603; ++x) sky += first.Pixel(x, y) == 0xAAD7FF;
  EXPECT_GT(sky, 603 * 180 / 2);
  EXPECT_EQ(first.Pixel(400, 195), 0x5AAA46u);
}

}  // namespace
}  // namespace vimo
