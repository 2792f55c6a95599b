// Song files and the song voice: repeats are rendered inside one mix, at the very frame the song ends.
#include "platform/media/song_voice.h"

#include <algorithm>
#include <fstream>
#include <new>

#include "platform/win32/file_paths.h"

namespace media {

namespace {
constexpr size_t kLargestMidiFile = 16u << 20;  // a song file beyond this is refused, not read into memory
}  // namespace

SongFileResult ReadSongFile(const char* path, std::shared_ptr<const MidiSequence>* out) {
  std::ifstream file(host::ResolvePath(path), std::ios::binary);
  if (!file) return SongFileResult::kMissing;
  file.seekg(0, std::ios::end);
  std::streamoff size = file.tellg();
  if (size < 0 || static_cast<size_t>(size) > kLargestMidiFile) return SongFileResult::kInvalid;
  // Another kind of file (sampled music on its way to the graph) is known by its first bytes, not read whole.
  uint8_t head[12] = {};
  file.seekg(0);
  file.read(reinterpret_cast<char*>(head), sizeof head);
  if (!media::LooksLikeMidiFile(head, static_cast<size_t>(file.gcount()))) return SongFileResult::kInvalid;
  file.clear();
  file.seekg(0);
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return SongFileResult::kInvalid;
    auto sequence = std::make_shared<MidiSequence>();
    if (!ParseMidiFile(bytes.data(), bytes.size(), sequence.get())) return SongFileResult::kInvalid;
    *out = std::move(sequence);
  } catch (const std::bad_alloc&) {  // a song the machine has no memory for is refused, not fatal
    return SongFileResult::kInvalid;
  }
  return SongFileResult::kRead;
}

SongVoice::SongVoice(std::shared_ptr<const MidiSequence> sequence, std::shared_ptr<MidiSynth> synth)
    : synth_(synth), token_(MidiSynth::NewUserToken()) {
  if (synth) player_ = std::make_unique<MidiPlayer>(std::move(sequence), std::move(synth));
}

void SongVoice::PlayLocked(int64_t fromMicroseconds) {
  if (!player_) return;
  synth_->Claim(token_);
  player_->Play(fromMicroseconds);
  toldEnd_.Answered();
}

void SongVoice::StopLocked() {
  if (player_) player_->Stop();
  toldEnd_.Answered();
}

void SongVoice::Play(int64_t fromMicroseconds) {
  std::lock_guard<std::mutex> guard(lock_);
  PlayLocked(fromMicroseconds);
}

void SongVoice::Stop() {
  std::lock_guard<std::mutex> guard(lock_);
  StopLocked();
}

bool SongVoice::Playing() {
  std::lock_guard<std::mutex> guard(lock_);
  return player_ && player_->Playing();
}

bool SongVoice::Sounding() {
  std::lock_guard<std::mutex> guard(lock_);
  return player_ && player_->Playing() && synth_->ClaimedBy(token_);
}

bool SongVoice::JustEnded() {
  std::lock_guard<std::mutex> guard(lock_);
  return toldEnd_.Pending();
}

void SongVoice::SetRepeats(uint32_t repeats) {
  std::lock_guard<std::mutex> guard(lock_);
  repeats_ = repeats;
}

void SongVoice::SetGain(float gain) {
  std::lock_guard<std::mutex> guard(lock_);
  gain_ = gain;
}

uint64_t SongVoice::FramesBeforeToldEnd() {
  std::lock_guard<std::mutex> guard(lock_);
  const bool tells = player_ && player_->Playing() && synth_->ClaimedBy(token_) && repeats_ == 0 && TellsEnd();
  return toldEnd_.FramesBefore(tells, tells ? static_cast<uint64_t>(std::max<int64_t>(player_->FramesLeft(), 0)) : 0);
}

void SongVoice::MixInto(int32_t* mix, int frames) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!player_ || !synth_->ClaimedBy(token_) || frames <= 0) return;
  scratch_.assign(static_cast<size_t>(frames) * 2, 0.0f);
  toldEnd_.Mixing(frames);
  int done = 0;
  while (done < frames) {
    int span = frames - done;
    // A song that repeats stops its render at the end and starts again on the next frame.
    const bool repeating = player_->Playing() && repeats_ > 0 && player_->LengthFrames() > 0;
    if (repeating) span = static_cast<int>(std::min<int64_t>(span, player_->FramesLeft()));
    const bool ended = player_->RenderAdd(scratch_.data() + 2 * done, span);
    done += span;
    if (!ended) continue;
    if (repeating) {
      if (repeats_ != kEndlessRepeats) --repeats_;
      player_->Play(0);
    } else {
      toldEnd_.Reached(done == frames, TellsEnd());
      Ended();
    }
  }
  for (size_t i = 0; i < scratch_.size(); ++i) {
    const float v = scratch_[i] * gain_ * 32767.0f;
    mix[i] += static_cast<int32_t>(v > 32767.0f ? 32767.0f : v < -32768.0f ? -32768.0f : v);
  }
}

}  // namespace media
