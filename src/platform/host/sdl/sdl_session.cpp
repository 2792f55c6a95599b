// The desktop session a program's windows belong to, named from SDL's video driver and, on X, the display's
// connection name; the marks a program holds on it for its window classes; the end of a program whose session is
// gone, its windows destroyed by others, and the signals that ask it to end. Kept apart from the host: the window
// system's headers define names the substitute uses.
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host/sdl/sdl_host.h"

namespace host {
namespace {

// A directory only this user can write: owned by the user, with none of the `shut` permission bits; `followLinks`
// false refuses a symbolic link in its place.
bool PrivateDirectory(const std::string& path, bool followLinks, mode_t shut, std::string& why) {
  struct stat info {};
  if ((followLinks ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) why = "not a directory";
  else if (info.st_uid != geteuid()) why = "owned by another user";
  else if (info.st_mode & shut) why = "open to other users";
  else return true;
  return false;
}

// A file name from any text: letters, digits and ". _ - :" as they are, every other byte as %XX.
std::string FileNamePart(const std::string& text) {
  std::string part;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '.' || c == '_' || c == '-' || c == ':') {
      part += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      part += escaped;
    }
  }
  return part;
}

#if defined(SDL_VIDEO_DRIVER_X11)
// Called by Xlib, on whichever thread made the call that found the connection closed. Xlib's own answer, exit(),
// runs the destructors, and SDL's teardown waits for an event that can no longer come: the process would spin
// there for ever, holding its double-start mark. Nor can the call return: every later call on the connection
// fails the same way, and some of SDL's wait. So the process ends here; the kernel lets the mark go with it, and
// the log is closed after each line.
int EndOnLostDisplay(Display* display) {
  std::fprintf(stderr, "vomak: the connection to the display %s is lost; the program ends\n", DisplayString(display));
  std::fflush(nullptr);
  _exit(1);
}

// An Xlib function, null where Xlib is not loaded: SDL loads it for itself, and the library does not link it.
template <typename Function>
Function XlibFunction(const char* name) {
  void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!xlib) return nullptr;
  auto function = reinterpret_cast<Function>(dlsym(xlib, name));
  dlclose(xlib);  // SDL keeps it loaded
  return function;
}

// Xlib's handler of failed requests is the process's, so what it knows is too: the handler it replaced (SDL's,
// which ends the process; SDL sets it at each start of video and puts the one before back at its end) and the X
// windows of the views.
struct WatchedWindow {
  Window window;
  bool gone = false;  // destroyed by another client
  bool told = false;  // TakeGoneWindow has answered for it
};
XErrorHandler otherFailures = nullptr;
std::vector<WatchedWindow> watched;

WatchedWindow* Watched(Window window) {
  for (WatchedWindow& w : watched) {
    if (w.window == window) return &w;
  }
  return nullptr;
}

Window XWindowOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

// Every request on a view's window that another client destroyed fails; those failures end no program.
int LetGoneWindowsFail(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    if (WatchedWindow* w = Watched(error->resourceid)) {
      w->gone = true;
      return 0;
    }
  }
  return otherFailures ? otherFailures(display, error) : 0;
}
#endif

// The signals that ask a program to end are the process's too, and so is what the handler knows. A request stays
// until a pump takes it, even across hosts: a program asked to end that starts the library again is still asked.
constexpr int kEndSignals[] = {SIGINT, SIGTERM};
volatile sig_atomic_t endAsked = 0;
int hostsTakingEndSignals = 0;

void RestoreEndSignals(void (*handler)(int)) {
  for (int number : kEndSignals) {
    struct sigaction current {};
    if (sigaction(number, nullptr, &current) == 0 && current.sa_handler == handler) signal(number, SIG_DFL);
  }
}

// The first asks the program to close; the signals then go back to the system, so that a second, while the
// program is still ending or is stuck on its way out, ends it at once.
void OnEndSignal(int) {
  endAsked = 1;
  RestoreEndSignals(&OnEndSignal);
}

}  // namespace

EndSignals::EndSignals() {
  if (hostsTakingEndSignals++ > 0 || SDL_GetHintBoolean(SDL_HINT_NO_SIGNAL_HANDLERS, SDL_FALSE)) return;
  for (int number : kEndSignals) {
    struct sigaction current {};
    // A signal the program ignores or handles itself is left to it, as SDL would leave it.
    if (sigaction(number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction taken {};
    taken.sa_handler = &OnEndSignal;
    sigemptyset(&taken.sa_mask);
    sigaction(number, &taken, nullptr);
  }
}

EndSignals::~EndSignals() {
  if (--hostsTakingEndSignals == 0) RestoreEndSignals(&OnEndSignal);
}

bool EndSignals::Take() {
  if (!endAsked) return false;
  endAsked = 0;
  return true;
}

void HandleDisplayFailures() {
#if defined(SDL_VIDEO_DRIVER_X11)
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
  if (!driver || std::strcmp(driver, "x11") != 0) return;
  if (auto set = XlibFunction<XIOErrorHandler (*)(XIOErrorHandler)>("XSetIOErrorHandler")) set(&EndOnLostDisplay);
  if (auto set = XlibFunction<XErrorHandler (*)(XErrorHandler)>("XSetErrorHandler")) {
    // Set again while video is still up (a second host) it must not chain to itself.
    const XErrorHandler replaced = set(&LetGoneWindowsFail);
    if (replaced != &LetGoneWindowsFail) {
      otherFailures = replaced;
      watched.clear();  // windows of an earlier connection
    }
  }
  // The X server's word that a window was destroyed reaches the pump only this way.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#endif
}

void WatchWindow(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (Window x = XWindowOf(window); x && !Watched(x)) watched.push_back({x});
#endif
}

void NoteDestroyedWindow(const SDL_SysWMmsg* message) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (message && message->subsystem == SDL_SYSWM_X11 && message->msg.x11.event.type == DestroyNotify) {
    if (WatchedWindow* w = Watched(message->msg.x11.event.xdestroywindow.window)) w->gone = true;
  }
#endif
}

bool TakeGoneWindow(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  WatchedWindow* w = Watched(XWindowOf(window));
  if (!w || !w->gone || w->told) return false;
  w->told = true;
  return true;
#else
  return false;
#endif
}

void DestroyWatchedWindow(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  const bool x11 = SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
  const WatchedWindow* w = x11 ? Watched(info.info.x11.window) : nullptr;
  const bool gone = w && w->gone;
  if (w && !gone) watched.erase(watched.begin() + (w - watched.data()));
  if (gone) {
    // SDL hides a window it takes for shown before destroying it, and waits for the server to say the window is
    // unmapped, which it never says of a window that is gone: that word is put at the head of the queue. Where
    // SDL does not wait, it is dropped later as the word on a window it no longer has.
    XEvent unmapped{};
    unmapped.xunmap.type = UnmapNotify;
    unmapped.xunmap.display = info.info.x11.display;
    unmapped.xunmap.event = unmapped.xunmap.window = info.info.x11.window;
    if (auto putBack = XlibFunction<int (*)(Display*, XEvent*)>("XPutBackEvent")) {
      putBack(info.info.x11.display, &unmapped);
    }
  }
  SDL_DestroyWindow(window);
  if (!gone) return;
  // Its destruction fails too, and the failure must come while the handler that lets it go is still set: SDL
  // puts back the one before when its video ends.
  if (auto sync = XlibFunction<int (*)(Display*, Bool)>("XSync")) sync(info.info.x11.display, False);
#else
  SDL_DestroyWindow(window);
#endif
}

std::string SdlDesktopSession() {
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
  // Without a display others can see, every program is a session of its own.
  if (!driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0) return {};
  std::string session = driver;
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
  if (!probe) return session;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
#if defined(SDL_VIDEO_DRIVER_X11)
  // "host:display.screen" as the connection was opened: one per X server, whichever screen it shows on.
  if (SDL_GetWindowWMInfo(probe, &info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display) {
    std::string display = DisplayString(info.info.x11.display);
    const size_t colon = display.rfind(':');
    const size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
    if (dot != std::string::npos) display.resize(dot);
    session += "-" + display;
  }
#endif
  SDL_DestroyWindow(probe);
  return session;
}

std::string SessionMarkDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string why;
  if (runtime && runtime[0] == '/') {
    if (PrivateDirectory(runtime, true, S_IWGRP | S_IWOTH, why)) return runtime;
    std::fprintf(stderr, "vomak: the runtime directory %s is not used for the marks of running programs (%s)\n",
                 runtime, why.c_str());
  }
  const char* temporary = std::getenv("TMPDIR");
  std::string directory = (temporary && temporary[0] == '/') ? temporary : "/tmp";
  directory += "/vomak-" + std::to_string(geteuid());
  mkdir(directory.c_str(), 0700);
  // Anyone may have made it first: it is used only as this user's own and shut to everyone else.
  if (PrivateDirectory(directory, false, S_IRWXG | S_IRWXO, why)) return directory;
  std::fprintf(stderr,
               "vomak: %s is not a private directory of this user (%s), so a second program on this display is not "
               "detected\n",
               directory.c_str(), why.c_str());
  return {};
}

int TakeSessionMark(const std::string& directory, const std::string& session, const std::string& className,
                    std::string* trouble) {
  std::string upper = className;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string name = "window-" + FileNamePart(session) + "-" + FileNamePart(upper);
  name = name.substr(0, 240) + ".lock";
  const std::string path = directory + "/" + name;
  const auto fail = [&](int error, const char* why) {
    if (trouble) *trouble = "the mark of running programs " + path + " cannot be used (" + why + ")";
    errno = error;
    return -1;
  };
  // Not through a link, and never blocking on something other than a plain file.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) {
    const int error = errno;
    return fail(error, error == ELOOP    ? "a symbolic link stands there"
                       : error == EISDIR ? "a directory stands there"
                                         : std::strerror(error));
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    const bool plain = S_ISREG(info.st_mode);
    close(fd);
    return fail(EACCES, plain ? "another user's file stands there" : "something other than a plain file stands there");
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;  // EWOULDBLOCK: another process holds it
    close(fd);
    if (error == EWOULDBLOCK) {
      errno = error;
      return -1;
    }
    return fail(error, std::strerror(error));
  }
  return fd;
}

}  // namespace host
