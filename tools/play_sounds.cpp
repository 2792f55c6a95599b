// Plays the sound files named on the command line one after another through the library, each to its end
// (style 0). With SDL_AUDIODRIVER=disk and SDL_DISKAUDIOFILE set, SDL writes what was heard to that file.
#include <cstdio>
#include <cstdlib>

#include "vomak.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s sound-file...\n", argv[0]);
    return 2;
  }
  // Sounds need no display: without one, the window is SDL's dummy one, named as the library asks.
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "dummy", 0);
  SetMainWindowTitle("vomak_play");
  ChangeWindowMode(1);
  if (StartupLibrary() != 0) return 1;
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    const int sound = LoadSoundFromFile(argv[i]);
    if (sound < 0 || StartSoundPlayback(sound, 0, 1) != 0) {
      std::fprintf(stderr, "%s: not played (see AppLog.txt)\n", argv[i]);
      failed = 1;
    }
    ReleaseSoundHandle(sound);
  }
  ShutdownLibrary();
  return failed;
}
