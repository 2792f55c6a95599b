// A virtual X server of the test program's own, for tests of the real window: started on a display no other
// program uses (so tests running side by side never meet), stopped with the object, and a connection to it that
// types and points as a person would (through the server's test extension) and looks at the windows as the server
// shows them. Needs Xvfb (the xvfb package, which tools/setup.sh installs). No X names leak from here: the
// substitute's own Win32 names would clash with them.
//
//   VirtualDisplay display;
//   if (!display.started()) GTEST_SKIP() << display.failure();
//   setenv("DISPLAY", display.name().c_str(), 1);
//   display.Key(display.KeyCode("AC01"), true);   // the A key goes down
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class VirtualDisplay {
 public:
  // One screen of 1024 x 768 at 24 bits; with a window manager (openbox, which tools/setup.sh installs) framing
  // and focusing the windows as on a desktop, where asked.
  explicit VirtualDisplay(bool windowManager = false);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  bool started() const { return !name_.empty(); }
  const std::string& name() const { return name_; }        // ":N"
  const std::string& failure() const { return failure_; }  // why it did not start

  // The key with this XKB name ("ESC", "AE01", "KPEN"), as the server's keyboard numbers it; 0 when it has none.
  int KeyCode(const char* name);
  void Key(int keyCode, bool down);
  // Makes the key type this Unicode character, as a keyboard layout would.
  void MapKeyToCharacter(int keyCode, uint32_t character);
  // The pointer to a point of the screen, and its left button.
  void PointerTo(int x, int y);
  void Button(bool down);

  // A program's top-level windows (inside a window manager's frame or not), by their title: the X window (0 when
  // none is shown).
  unsigned long ShownWindow(const std::string& title);
  // Gives the keyboard to the window (0: to none).
  void Focus(unsigned long window);
  // Destroys a window of another program, as a tool or a window manager may.
  void Destroy(unsigned long window);
  // Asks the X server, on a connection of its own, to show a window that does not exist, and waits for its answer:
  // the process's handler of failed requests hears of it.
  static void AskForMissingWindow(const std::string& displayName);
  struct Box {
    int x = 0, y = 0, width = 0, height = 0;
  };
  // Where the window lies on the screen.
  Box Place(unsigned long window);
  // The parts of the window that show, in its own coordinates: one box of the whole window when it has no shape.
  std::vector<Box> Shape(unsigned long window);

 private:
  pid_t server_ = -1;
  pid_t manager_ = -1;
  void* connection_ = nullptr;
  std::string name_;
  std::string failure_;
};
