// The substitute's segment object, as the loader makes it and the performance plays it: a parsed song and the
// repeats it was given.
#pragma once
#include <memory>

#include "platform/directx/dmusic.h"
#include "platform/media/smf.h"

class DirectMusicSegment final : public ComObject<IDirectMusicSegment8> {
 public:
  explicit DirectMusicSegment(std::shared_ptr<const media::MidiSequence> song) : song_(std::move(song)) {}

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT SetRepeats(DWORD repeats) override;
  HRESULT SetParam(REFGUID type, DWORD groups, DWORD index, MUSIC_TIME time, void* data) override;
  HRESULT Download(IUnknown* performance) override;
  HRESULT Unload(IUnknown* performance) override;

  const std::shared_ptr<const media::MidiSequence>& Song() const { return song_; }
  DWORD Repeats() const { return repeats_; }

 private:
  std::shared_ptr<const media::MidiSequence> song_;
  DWORD repeats_ = 0;
};
