// velmira-make-sample: writes a synthetic animation to disk.
//   velmira-make-sample PREFIX FIRST LAST [WIDTH HEIGHT [SEED [SCENE]]]
// writes PREFIX0000.bmp ... for the frames FIRST..LAST.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/SampleFrames.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: velmira-make-sample PREFIX FIRST LAST [WIDTH HEIGHT "
                 "[SEED [SCENE]]]\n");
    return 2;
  }
  const int first = std::atoi(argv[2]);
  const int last = std::atoi(argv[3]);
  const int width = argc > 5 ? std::atoi(argv[4]) : 256;
  const int height = argc > 5 ? std::atoi(argv[5]) : 212;
  const unsigned seed = argc > 6 ? static_cast<unsigned>(std::atoi(argv[6])) : 1;
  const int scene = argc > 7 ? std::atoi(argv[7]) : 40;
  if (!velmira::samples::WriteAnimation(argv[1], first, last, width, height,
                                        seed, scene)) {
    std::fprintf(stderr, "velmira-make-sample: cannot write %s...\n", argv[1]);
    return 1;
  }
  return 0;
}
