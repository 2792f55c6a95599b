// COM on the substitute: GUIDs, the IUnknown base with a real reference count, and object creation.
#pragma once
#include <atomic>
#include <cstring>
#include <utility>

#include "platform/win32/types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// Shared reference counting for the substitute's COM objects: Release deletes at zero.
template <class Interface>
class ComObject : public Interface {
 public:
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};

// Makes one of the substitute's objects and answers the interface asked for; the object lives as long as that
// interface is held (an interface it lacks: E_NOINTERFACE, and the object is gone).
template <class Object, class... Arguments>
HRESULT NewComObject(REFIID iid, void** out, Arguments&&... arguments) {
  auto* object = new Object(std::forward<Arguments>(arguments)...);
  HRESULT result = object->QueryInterface(iid, out);
  object->Release();
  return result;
}

extern const IID IID_IUnknown;

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 2;
constexpr DWORD CLSCTX_ALL = 0x17;

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* out);
