// Qelt: the game's entry.
#include "vomak.h"

int main() {
  SetMainWindowTitle("Qelt Ver1.03");
  ChangeWindowMode(1);
  if (StartupLibrary() == -1) return -1;
  SelectDrawTarget(-2);
  while (PumpWindowMessages() == 0) {
    ClearDrawTarget();
    G_DDraw_FlipScreen();
  }
  ShutdownLibrary();
  return 0;
}
