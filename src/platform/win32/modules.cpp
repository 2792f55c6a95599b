// The substitute's module table: the libraries the library loads by name, and their exports.
#include <strings.h>

#include <cctype>
#include <string>

#include "platform/directx/ddraw_entry.h"
#include "platform/directx/dinput_entry.h"
#include "platform/directx/dsound.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/kernel.h"

namespace {

struct Export {
  const char* name;
  FARPROC address;
};

struct Module {
  const char* name;
  Export exports[2];
};

template <class F>
FARPROC AsProc(F f) {
  // Through the generic function type, as the original platform hands every export out untyped.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

const Module kModules[] = {
    {"DDRAW.DLL", {{"DirectDrawCreate", AsProc(&DirectDrawCreate)}, {"DirectDrawCreateEx", AsProc(&DirectDrawCreateEx)}}},
    {"DINPUT.DLL", {{"DirectInputCreateA", AsProc(&DirectInputCreateA)}, {nullptr, nullptr}}},
    {"DSOUND.DLL", {{"DirectSoundEnumerateA", AsProc(&DirectSoundEnumerateA)}, {nullptr, nullptr}}},
};

std::string Upper(const char* text) {
  std::string s = text;
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

const Module* FindModule(const char* name) {
  if (!name) return nullptr;
  std::string wanted = Upper(name);
  if (wanted.find('.') == std::string::npos) wanted += ".DLL";
  for (const Module& m : kModules) {
    if (wanted == m.name) return &m;
  }
  return nullptr;
}

const Module* FromHandle(HMODULE module) {
  for (const Module& m : kModules) {
    if (reinterpret_cast<HMODULE>(const_cast<Module*>(&m)) == module) return &m;
  }
  return nullptr;
}

HMODULE ToHandle(const Module* m) { return reinterpret_cast<HMODULE>(const_cast<Module*>(m)); }

// The program's own module handle.
HMODULE ProgramModule() {
  static int token;
  return reinterpret_cast<HMODULE>(&token);
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR name) {
  const Module* m = FindModule(name);
  if (!m) return nullptr;
  if (host::ShouldFail("LoadLibraryA") || host::ShouldFail(("LoadLibraryA:" + std::string(m->name)).c_str())) {
    return nullptr;
  }
  ++host::State().moduleReferences[m->name];
  return ToHandle(m);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  const Module* m = FromHandle(module);
  if (!m || !name || host::State().moduleReferences[m->name] <= 0) return nullptr;
  if (host::ShouldFail(("GetProcAddress:" + std::string(name)).c_str())) return nullptr;
  for (const Export& e : m->exports) {
    if (e.name && std::string(e.name) == name) return e.address;
  }
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  const Module* m = FromHandle(module);
  if (!m) return FALSE;
  int& references = host::State().moduleReferences[m->name];
  if (references <= 0) return FALSE;
  --references;
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (!name) return ProgramModule();
  const Module* m = FindModule(name);
  if (!m || host::State().moduleReferences[m->name] <= 0) return nullptr;
  return ToHandle(m);
}
