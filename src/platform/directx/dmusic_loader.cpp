// The DirectMusic loader and its segments: a Standard MIDI File read afresh on every load (the same reader as
// the MCI sequencer's), relative names found in the search directory.
#include <string>

#include "platform/directx/dmusic_segment.h"
#include "platform/host/platform.h"
#include "platform/media/song_voice.h"
#include "platform/win32/kernel.h"

// Identifiers of the substitute's own, as for the DirectMusic object.
const CLSID CLSID_DirectMusicLoader = {0x566f6d61, 0x0005, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x05}};
const CLSID CLSID_DirectMusicSegment = {0x566f6d61, 0x0006, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x06}};
const IID IID_IDirectMusicLoader8 = {0x566f6d61, 0x0007, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x07}};
const IID IID_IDirectMusicSegment8 = {0x566f6d61, 0x0008, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x08}};
const GUID GUID_DirectMusicAllTypes = {0x566f6d61, 0x0009, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x09}};
const GUID GUID_StandardMIDIFile = {0x566f6d61, 0x000a, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x0a}};

HRESULT DirectMusicSegment::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirectMusicSegment8)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDirectMusicSegment8*>(this);
  return S_OK;
}

HRESULT DirectMusicSegment::SetRepeats(DWORD repeats) {
  repeats_ = repeats;
  return S_OK;
}

HRESULT DirectMusicSegment::SetParam(REFGUID type, DWORD, DWORD, MUSIC_TIME, void*) {
  return type == GUID_StandardMIDIFile ? S_OK : DMUS_E_SET_UNSUPPORTED;
}

HRESULT DirectMusicSegment::Download(IUnknown* performance) { return performance ? S_OK : E_POINTER; }
HRESULT DirectMusicSegment::Unload(IUnknown* performance) { return performance ? S_OK : E_POINTER; }

namespace {

bool IsAbsolute(const std::u16string& path) {
  return !path.empty() && (path[0] == u'\\' || path[0] == u'/' || (path.size() > 1 && path[1] == u':'));
}

class DirectMusicLoader final : public ComObject<IDirectMusicLoader8> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDirectMusicLoader8)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectMusicLoader8*>(this);
    return S_OK;
  }

  HRESULT SetSearchDirectory(REFGUID objectClass, const WCHAR* directory, BOOL) override {
    if (!directory) return E_POINTER;
    if (!(objectClass == GUID_DirectMusicAllTypes || objectClass == CLSID_DirectMusicSegment)) {
      return DMUS_E_TYPE_UNSUPPORTED;
    }
    directory_ = directory;
    return S_OK;
  }

  HRESULT LoadObjectFromFile(REFGUID objectClass, REFIID iid, const WCHAR* path, void** object) override {
    if (!object || !path) return E_POINTER;
    *object = nullptr;
    if (!(objectClass == CLSID_DirectMusicSegment)) return DMUS_E_TYPE_UNSUPPORTED;
    std::u16string full = path;
    if (!IsAbsolute(full) && !directory_.empty()) full = directory_ + u"\\" + full;
    std::shared_ptr<const media::MidiSequence> song;
    switch (media::ReadSongFile(WideToNarrow(full.c_str()).c_str(), &song)) {
      case media::SongFileResult::kMissing: return DMUS_E_LOADER_FAILEDOPEN;
      case media::SongFileResult::kInvalid: return DMUS_E_UNSUPPORTED_STREAM;
      case media::SongFileResult::kRead: break;
    }
    return NewComObject<DirectMusicSegment>(iid, object, std::move(song));
  }

 private:
  std::u16string directory_;
};

}  // namespace

HRESULT CreateDirectMusicLoaderInstance(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::ShouldFail("DirectMusicLoader")) return REGDB_E_CLASSNOTREG;
  return NewComObject<DirectMusicLoader>(iid, out);
}
