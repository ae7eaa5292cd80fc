// One process that loads a GIF file as the main window loads its holiday animation and plays it
// through once; gif_rss_bench measures its peak resident memory. Exits non-zero unless the file
// gave the expected number of frames.
//
//   gif_load_process <file> <frames> <width> <height>
#include <cstdio>
#include <cstdlib>

#include "gif/AnimationPlayback.h"

namespace {

// Picture1 the size of the animation, so that every frame is drawn whole.
class BoxView : public vimo::AnimationView {
 public:
  BoxView(int width, int height) : width_(width), height_(height) {}
  int PictureWidth() const override { return width_; }
  int PictureHeight() const override { return height_; }
  std::uint32_t PictureBackColor() const override { return 0xF0F0F0; }
  void SetPictureNone() override {}
  void SetPictureStill(const vimo::Raster&) override {}
  void DrawIntoPicture(const vimo::Raster&) override {}
  void SetAnimationTimerInterval(int) override {}
  void SetAnimationTimerEnabled(bool) override {}
  int AnimationCheckValue() const override { return 1; }
  void SetAnimationCheckValue(int) override {}
  void SetAnimationCheckEnabled(bool) override {}

 private:
  int width_, height_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <file> <frames> <width> <height>\n", argv[0]);
    return 2;
  }
  BoxView view(std::atoi(argv[3]), std::atoi(argv[4]));
  vimo::AnimationPlayback playback(view);
  playback.SetUpHoliday(100, argv[1]);
  const int frames = playback.AnimatedGIF()->Frames().Count();
  for (int tick = 0; tick < frames; ++tick) playback.AnimationTimer_Timer();
  return frames == std::atoi(argv[2]) ? 0 : 1;
}
