// The smallest program on the library: a window with a red box until it is closed.
#include <vomak.h>

int main() {
  SetMainWindowTitle("箱");
  ChangeWindowMode(1);
  if (StartupLibrary() == -1) return 1;
  SelectDrawTarget(kDrawTargetBack);
  while (PumpWindowMessages() == 0) {
    ClearDrawTarget();
    DrawBoxShape(100, 100, 200, 200, PackScreenColor(255, 0, 0), 1);
    G_DDraw_FlipScreen();
  }
  ShutdownLibrary();
  return 0;
}
