// Kernel events: each handle names a shared record in the platform's table, so a closed or foreign handle is
// refused instead of reaching freed memory, and a thread that sets an event while another closes it is safe.
#include "platform/win32/sync.h"

#include <condition_variable>
#include <mutex>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

struct KernelEvent {
  std::mutex lock;
  std::condition_variable changed;
  bool manualReset = false;
  bool signalled = false;
};

namespace {

std::shared_ptr<KernelEvent> Find(HANDLE handle) {
  host::PlatformState& s = host::State();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.events.find(handle);
  return it == s.events.end() ? nullptr : it->second;
}

bool TakeSignal(KernelEvent& e) {
  if (!e.signalled) return false;
  if (!e.manualReset) e.signalled = false;
  return true;
}

}  // namespace

HANDLE CreateEventA(LPVOID, BOOL manualReset, BOOL initialState, LPCSTR) {
  if (host::ShouldFail("CreateEventA")) return nullptr;
  auto event = std::make_shared<KernelEvent>();
  event->manualReset = manualReset != FALSE;
  event->signalled = initialState != FALSE;
  HANDLE handle = event.get();
  host::PlatformState& s = host::State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.events[handle] = std::move(event);
  return handle;
}

BOOL SetEvent(HANDLE handle) {
  std::shared_ptr<KernelEvent> e = Find(handle);
  if (!e) return FALSE;
  {
    std::lock_guard<std::mutex> guard(e->lock);
    e->signalled = true;
  }
  e->changed.notify_all();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  std::shared_ptr<KernelEvent> e = Find(handle);
  if (!e) return FALSE;
  std::lock_guard<std::mutex> guard(e->lock);
  e->signalled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<KernelEvent> e = Find(handle);
  if (!e) return WAIT_FAILED;
  std::unique_lock<std::mutex> guard(e->lock);
  if (TakeSignal(*e)) return WAIT_OBJECT_0;
  if (milliseconds == 0) return WAIT_TIMEOUT;
  auto ready = [&] { return e->signalled; };
  if (milliseconds == INFINITE) {
    e->changed.wait(guard, ready);
  } else if (!e->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), ready)) {
    return WAIT_TIMEOUT;
  }
  TakeSignal(*e);
  return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
  host::PlatformState& s = host::State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.events.erase(handle) ? TRUE : FALSE;
}
