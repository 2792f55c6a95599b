#include "support/virtual_display.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/headless_fixture.h"

namespace {

Display* X(void* connection) { return static_cast<Display*>(connection); }

// A window that went between finding it and asking about it is no reason to end the program; errors on other
// connections (SDL's) are left to the handler that was there.
Display* lookingConnection = nullptr;
XErrorHandler previousHandler = nullptr;
int IgnoreOwnErrors(Display* display, XErrorEvent* error) {
  if (display == lookingConnection || !previousHandler) return 0;
  return previousHandler(display, error);
}

// A program started beside the test program, its output dropped, and ended with it; `kept` (when not -1) becomes
// its descriptor 3. The arguments are made before the fork: the child of a program with threads only execs.
pid_t Start(const std::vector<const char*>& arguments, int kept = -1) {
  const pid_t child = fork();
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (kept == 3) fcntl(3, F_SETFD, 0);  // kept open across the exec
    else if (kept >= 0) dup2(kept, 3);
    const int nothing = open("/dev/null", O_RDWR);
    dup2(nothing, 0);
    dup2(nothing, 1);
    dup2(nothing, 2);
    execvp(arguments[0], const_cast<char* const*>(arguments.data()));
    _exit(127);
  }
  return child;
}

void Stop(pid_t child) {
  if (child <= 0) return;
  kill(child, SIGTERM);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool xServerStarted = false;

}  // namespace

// SDL's X11 and OpenGL drivers leave allocations behind in libraries they load and unload again, which the leak
// checker reports without a name to suppress them by: a test program that started an X server is not checked for
// leaks (the headless tests are).
extern "C" int __lsan_is_turned_off() { return xServerStarted ? 1 : 0; }

VirtualDisplay::VirtualDisplay(bool windowManager) {
  int numbers[2];
  if (pipe2(numbers, O_CLOEXEC) != 0) {
    failure_ = "no pipe for the virtual X server's display number";
    return;
  }
  // The server writes the display it found free to descriptor 3 once it takes connections.
  server_ = Start({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr}, numbers[1]);
  close(numbers[1]);
  std::string number;
  for (int waits = 0; server_ > 0 && waits < kHangSeconds * 10; ++waits) {  // tenths of a second
    pollfd p{numbers[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c = 0;
    if (read(numbers[0], &c, 1) != 1) break;
    if (c == '\n') {
      if (!number.empty()) name_ = ":" + number;
      break;
    }
    number += c;
  }
  close(numbers[0]);
  if (name_.empty()) {
    failure_ = "no virtual X server could start (Xvfb, from the xvfb package that tools/setup.sh installs)";
    return;
  }
  xServerStarted = true;
  connection_ = XOpenDisplay(name_.c_str());
  if (!connection_) {
    failure_ = "the virtual X server " + name_ + " takes no connection";
    name_.clear();
    return;
  }
  lookingConnection = X(connection_);
  previousHandler = XSetErrorHandler(IgnoreOwnErrors);
  // Keys are pressed and let go by the tests alone.
  XAutoRepeatOff(X(connection_));
  XSync(X(connection_), False);
  if (!windowManager) return;
  const std::string display = "DISPLAY=" + name_;
  manager_ = Start({"env", display.c_str(), "openbox", "--sm-disable", nullptr});
  // Ready once it holds the screen's window manager selection, as it takes the root window's events.
  const Atom selection = XInternAtom(X(connection_), "WM_S0", False);
  for (int waits = 0; waits < kHangSeconds * 100; ++waits) {  // hundredths of a second
    if (XGetSelectionOwner(X(connection_), selection) != None) return;
    if (waitpid(manager_, nullptr, WNOHANG) != 0) break;  // it ended: none to be had
    poll(nullptr, 0, 10);
  }
  failure_ = "no window manager could start on the virtual X server (openbox, which tools/setup.sh installs)";
  name_.clear();
}

VirtualDisplay::~VirtualDisplay() {
  if (connection_) {
    XSetErrorHandler(previousHandler);
    lookingConnection = nullptr;
    XCloseDisplay(X(connection_));
  }
  Stop(manager_);
  Stop(server_);
}

int VirtualDisplay::KeyCode(const char* name) {
  XkbDescPtr keyboard = XkbGetMap(X(connection_), 0, XkbUseCoreKbd);
  if (!keyboard) return 0;
  int found = 0;
  if (XkbGetNames(X(connection_), XkbKeyNamesMask, keyboard) == Success && keyboard->names) {
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code && !found; ++code) {
      if (std::strncmp(keyboard->names->keys[code].name, name, XkbKeyNameLength) == 0) found = code;
    }
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return found;
}

void VirtualDisplay::Key(int keyCode, bool down) {
  XTestFakeKeyEvent(X(connection_), static_cast<unsigned>(keyCode), down, CurrentTime);
  XSync(X(connection_), False);
}

void VirtualDisplay::MapKeyToCharacter(int keyCode, uint32_t character) {
  KeySym symbol = 0x1000000 | character;  // X's keysyms for Unicode characters
  XChangeKeyboardMapping(X(connection_), keyCode, 1, &symbol, 1);
  XSync(X(connection_), False);
}

void VirtualDisplay::PointerTo(int x, int y) {
  XTestFakeMotionEvent(X(connection_), -1, x, y, CurrentTime);
  XSync(X(connection_), False);
}

void VirtualDisplay::Button(bool down) {
  XTestFakeButtonEvent(X(connection_), 1, down, CurrentTime);
  XSync(X(connection_), False);
}

namespace {

// The shown window with this title among the children of `parent` and, where a window manager frames them,
// theirs.
unsigned long ShownChild(Display* x, ::Window parent, const std::string& title, int depth) {
  ::Window root = 0, above = 0, *children = nullptr;
  unsigned count = 0;
  unsigned long found = 0;
  if (!XQueryTree(x, parent, &root, &above, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    char* name = nullptr;
    if (!XGetWindowAttributes(x, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    if (XFetchName(x, children[i], &name) && name) {
      if (title == name) found = children[i];
      XFree(name);
    }
    if (!found && depth > 0) found = ShownChild(x, children[i], title, depth - 1);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

unsigned long VirtualDisplay::ShownWindow(const std::string& title) {
  return ShownChild(X(connection_), DefaultRootWindow(X(connection_)), title, 2);  // a frame may hold a frame
}

void VirtualDisplay::Focus(unsigned long window) {
  XSetInputFocus(X(connection_), window, RevertToPointerRoot, CurrentTime);
  XSync(X(connection_), False);
}

void VirtualDisplay::Destroy(unsigned long window) {
  XDestroyWindow(X(connection_), window);
  XSync(X(connection_), False);
}

void VirtualDisplay::AskForMissingWindow(const std::string& displayName) {
  Display* x = XOpenDisplay(displayName.c_str());
  if (!x) return;
  XMapWindow(x, XAllocID(x));  // an identifier of its own that names no window
  XSync(x, False);
  XCloseDisplay(x);
}

VirtualDisplay::Box VirtualDisplay::Place(unsigned long window) {
  Display* x = X(connection_);
  Box box;
  ::Window child = 0, root = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  int ignored = 0;
  XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &box.x, &box.y, &child);
  XGetGeometry(x, window, &root, &ignored, &ignored, &width, &height, &border, &depth);
  box.width = static_cast<int>(width);
  box.height = static_cast<int>(height);
  return box;
}

std::vector<VirtualDisplay::Box> VirtualDisplay::Shape(unsigned long window) {
  int count = 0, ordering = 0;
  std::vector<Box> boxes;
  XRectangle* rectangles = XShapeGetRectangles(X(connection_), window, ShapeBounding, &count, &ordering);
  for (int i = 0; i < count; ++i) {
    boxes.push_back({rectangles[i].x, rectangles[i].y, rectangles[i].width, rectangles[i].height});
  }
  if (rectangles) XFree(rectangles);
  return boxes;
}
