// Qelt: the program's entry hands one game record to the game for the process's life.
#include <memory>

#include "game_loop.h"

int main() {
  auto game = std::make_unique<GameLoop>();
  return QeltMain(*game);
}
