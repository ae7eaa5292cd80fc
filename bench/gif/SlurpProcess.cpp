// The baseline process for gif_rss_bench: giflib alone reads the same file into its frame list
// (DGifSlurp, every frame kept as one byte per pixel). Exits non-zero unless giflib read the
// expected number of frames.
//
//   gif_slurp_process <file> <frames>
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <file> <frames>\n", argv[0]);
    return 2;
  }
  int error = 0;
  GifFileType* gif = DGifOpenFileName(argv[1], &error);
  if (gif == nullptr || DGifSlurp(gif) == GIF_ERROR) return 1;
  const int frames = gif->ImageCount;
  DGifCloseFile(gif, &error);
  return frames == std::atoi(argv[2]) ? 0 : 1;
}
