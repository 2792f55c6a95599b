// The MCI "sequencer": each open device holds a parsed Standard MIDI File and is a source of the host's mixer,
// where it feeds the synthesiser as the mixer pulls samples. The song's end is found while mixing and marked for
// the waiting window as MM_MCINOTIFY, posted by the pump, so headless runs see it at the same virtual time on
// every run.
#include "platform/media/mci.h"

#include <strings.h>

#include <map>
#include <memory>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/media/mixer.h"
#include "platform/media/song_voice.h"
#include "platform/win32/messages.h"
#include "platform/win32/user.h"

namespace media {

class SequencerDevice final : public SongVoice {
 public:
  SequencerDevice(MCIDEVICEID id, std::shared_ptr<const MidiSequence> sequence, std::shared_ptr<MidiSynth> synth)
      : SongVoice(std::move(sequence), std::move(synth)), id_(id) {}

  // Whether another device's song is what the synthesiser plays now.
  bool SynthBusyElsewhere(const std::map<UINT, std::shared_ptr<SequencerDevice>>& devices) {
    for (auto& [id, other] : devices) {
      if (other.get() != this && other->Sounding()) return true;
    }
    return false;
  }

  // Starts playing, repeating without end when asked; a notice still pending is superseded by the new one (or
  // dropped without MCI_NOTIFY).
  void Play(bool fromGiven, int64_t fromMicroseconds, bool repeat, HWND notifyWindow) {
    std::lock_guard<std::mutex> guard(lock_);
    ended_.Post();  // an end marked before comes first
    EndNotice(MCI_NOTIFY_SUPERSEDED);
    SetRepeatsLocked(repeat ? media::kEndlessRepeats : 0);
    PlayLocked(fromGiven ? fromMicroseconds : PositionLocked());
    notifyWindow_ = notifyWindow;
  }

  // Stops for good: a pending notice is aborted.
  void Close() {
    std::lock_guard<std::mutex> guard(lock_);
    ended_.Post();  // out of the mixer now: the pump no longer asks
    EndNotice(MCI_NOTIFY_ABORTED);
    StopLocked();
  }

  bool PostNotices() override {
    std::lock_guard<std::mutex> guard(lock_);
    return ended_.Post();
  }

 private:
  bool TellsEnd() const override { return notifyWindow_ != nullptr; }
  // While mixing, maybe on the device's thread: marked, and posted by the pump.
  void Ended() override {
    if (notifyWindow_) ended_.Mark(notifyWindow_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id_));
    notifyWindow_ = nullptr;
  }

  void EndNotice(WPARAM status) {
    if (notifyWindow_) PostMessageA(notifyWindow_, MM_MCINOTIFY, status, static_cast<LPARAM>(id_));
    notifyWindow_ = nullptr;
  }

  MCIDEVICEID id_;
  HWND notifyWindow_ = nullptr;
  media::MarkedNotices ended_;
};

}  // namespace media

namespace {

using media::SequencerDevice;

// Posts the immediate completion notice a command asked for with MCI_NOTIFY.
void NotifyDone(MCIDEVICEID device, DWORD_PTR flags, DWORD_PTR callback) {
  if ((flags & MCI_NOTIFY) && callback) {
    PostMessageA(reinterpret_cast<HWND>(callback), MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(device));
  }
}

MCIERROR Open(DWORD_PTR flags, MCI_OPEN_PARMSA* p) {
  if (!(flags & MCI_OPEN_TYPE) || !p->lpstrDeviceType || ::strcasecmp(p->lpstrDeviceType, "sequencer") != 0) {
    return MCIERR_INVALID_DEVICE_NAME;
  }
  if (!(flags & MCI_OPEN_ELEMENT) || !p->lpstrElementName) return MCIERR_UNSUPPORTED_FUNCTION;
  std::shared_ptr<const media::MidiSequence> sequence;
  switch (media::ReadSongFile(p->lpstrElementName, &sequence)) {
    case media::SongFileResult::kMissing: return MCIERR_FILE_NOT_FOUND;
    case media::SongFileResult::kInvalid: return MCIERR_INVALID_FILE;
    case media::SongFileResult::kRead: break;
  }
  auto synth = media::MidiSynth::Acquire(host::Current().SoundFontPath(), media::kMixRate);
  host::PlatformState& s = host::State();
  MCIDEVICEID id = s.nextMciDevice++;
  auto device = std::make_shared<SequencerDevice>(id, std::move(sequence), std::move(synth));
  s.mciDevices[id] = device;
  host::Current().Audio().mixer().Add(device);
  p->wDeviceID = id;
  NotifyDone(id, flags, p->dwCallback);
  return 0;
}

MCIERROR Play(SequencerDevice& device, DWORD_PTR flags, MCI_PLAY_PARMS* p) {
  if (!device.HasSynth()) return MCIERR_SEQ_NOMIDIPRESENT;
  if (device.SynthBusyElsewhere(host::State().mciDevices)) return MCIERR_SEQ_PORT_INUSE;
  // The song starts at the output's present, not at an older frame; a restart in answer to the end's notice
  // follows the end itself.
  if (!device.JustEnded()) host::Current().Audio().Update();
  bool from = (flags & MCI_FROM) != 0;
  device.Play(from, from ? int64_t{p->dwFrom} * 1000 : 0, (flags & MCI_DGV_PLAY_REPEAT) != 0,
              (flags & MCI_NOTIFY) ? reinterpret_cast<HWND>(p->dwCallback) : nullptr);
  return 0;
}

MCIERROR Close(MCIDEVICEID id, DWORD_PTR flags, MCI_GENERIC_PARMS* p) {
  host::PlatformState& s = host::State();
  std::shared_ptr<SequencerDevice> device = s.mciDevices[id];
  s.mciDevices.erase(id);
  host::Current().Audio().mixer().Remove(device.get());
  device->Close();
  if (p) NotifyDone(id, flags, p->dwCallback);
  return 0;
}

const char* CommandName(UINT message) {
  switch (message) {
    case MCI_OPEN: return "mciSendCommandA:MCI_OPEN";
    case MCI_CLOSE: return "mciSendCommandA:MCI_CLOSE";
    case MCI_PLAY: return "mciSendCommandA:MCI_PLAY";
    case MCI_STATUS: return "mciSendCommandA:MCI_STATUS";
    default: return "mciSendCommandA";
  }
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
  if (host::ShouldFail(CommandName(message))) return MCIERR_HARDWARE;
  if (message == MCI_OPEN) {
    if (!parameters) return MCIERR_NULL_PARAMETER_BLOCK;
    return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(parameters));
  }
  auto found = host::State().mciDevices.find(id);
  if (found == host::State().mciDevices.end()) return MCIERR_INVALID_DEVICE_ID;
  SequencerDevice& device = *found->second;
  switch (message) {
    case MCI_CLOSE: return Close(id, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parameters));
    case MCI_PLAY:
      if (!parameters && (flags & (MCI_FROM | MCI_NOTIFY))) return MCIERR_NULL_PARAMETER_BLOCK;
      return Play(device, flags, reinterpret_cast<MCI_PLAY_PARMS*>(parameters));
    case MCI_STATUS: {
      auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(parameters);
      if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
      if (!(flags & MCI_STATUS_ITEM) || p->dwItem != MCI_SEQ_STATUS_PORT) return MCIERR_UNSUPPORTED_FUNCTION;
      p->dwReturn = device.HasSynth() ? MIDI_MAPPER : MCI_SEQ_NONE;
      NotifyDone(id, flags, p->dwCallback);
      return 0;
    }
    default: return MCIERR_UNRECOGNIZED_COMMAND;
  }
}
