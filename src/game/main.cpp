// Qelt: the game's entry.
#include "vomak.h"

int main() {
  SetMainWindowTitle("Qelt Ver1.03");
  ChangeWindowMode(1);
  if (StartupLibrary() == -1) return -1;
  while (PumpWindowMessages() == 0) {
  }
  ShutdownLibrary();
  return 0;
}
