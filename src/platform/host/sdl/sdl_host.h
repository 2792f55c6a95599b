// The SDL host: a real window for people. A program that selects no host gets this one.
#pragma once
#include <memory>
#include <string>

#include "platform/host/host.h"

struct SDL_Window;
struct SDL_SysWMmsg;

namespace host {

std::unique_ptr<Host> CreateSdlHost();

// The desktop session that window classes are known in, as other programs of the same user see them: the video
// driver and, on X, the display ("x11-:0"). Empty where no display is shared (SDL's dummy and offscreen drivers,
// no video): each program is then a session of its own. Video must be up when it is asked.
std::string SdlDesktopSession();
// On X, from now on a lost connection to the display ends the process at once: the reason on stderr, status 1.
// A program cannot show anything any more, and every later call on the connection would fail again or wait for
// ever. A watched window that another client destroys ends nothing: requests on it fail quietly, and the pump
// learns of it from TakeGoneWindow. Nothing on other drivers. Video must be up.
void HandleDisplayFailures();
// A view's window, watched from when it is made until it is destroyed through DestroyWatchedWindow.
void WatchWindow(SDL_Window* window);
void DestroyWatchedWindow(SDL_Window* window);
// Takes the X server's word (an event SDL passes on as it came) that a window was destroyed.
void NoteDestroyedWindow(const SDL_SysWMmsg* message);
// True once for a watched window that another client destroyed.
bool TakeGoneWindow(SDL_Window* window);

// SIGINT and SIGTERM while a host lives, taken before SDL's video or events start so SDL leaves them to it (unless
// SDL_NO_SIGNAL_HANDLERS says no signal is to be handled, or the program set its own). The first asks the program
// to end, as its close box would; a second one, while it is still ending or is stuck on its way out, ends it at
// once. The handler is the process's, shared by the hosts alive.
class EndSignals {
 public:
  EndSignals();
  ~EndSignals();
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;
  // True once after a first signal.
  bool Take();
};

// Where a program keeps its marks: $XDG_RUNTIME_DIR when it is the user's and no one else may write it, else a
// directory "vomak-<uid>" of $TMPDIR (or /tmp) made for the user alone. Empty, with the reason on stderr, when
// neither is safe: a mark there could be taken first by another user to stop this user's programs.
std::string SessionMarkDirectory();
// The mark of a window class in a session: a file of the directory locked for as long as the returned descriptor
// is open (the kernel lets it go however the process ends). -1 when another process holds it (errno EWOULDBLOCK)
// or it cannot be made safely (a link, or not a plain file of the user's, in its place); then `trouble`, when
// given, names the mark's path and what stands there.
int TakeSessionMark(const std::string& directory, const std::string& session, const std::string& className,
                    std::string* trouble = nullptr);

}  // namespace host
