// SDL2 audio for the mixer: the device's callback renders straight from the mixer; without a device a
// clock-paced output renders into nothing.
#include "platform/host/sdl/sdl_audio.h"

#include <SDL.h>

#include <cstdio>
#include <string>
#include <thread>

namespace host {
namespace {

class SdlAudio final : public media::AudioOutput {
 public:
  ~SdlAudio() override {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  bool Open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = media::kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = media::kMixChannels;
    want.samples = 1024;
    want.callback = &SdlAudio::Fill;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts to what the device wants
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    name_ = std::string("SDL ") + (driver ? driver : "audio");
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }
  void Update() override {}
  const char* DeviceName() const override { return name_.c_str(); }
  bool PullsOnItsOwnThread() const override { return true; }

 private:
  // Renders at once: a song that loops repeats inside its source, and nothing here waits for the program.
  static void Fill(void* self, Uint8* stream, int length) {
    static_cast<SdlAudio*>(self)->mixer().Render(reinterpret_cast<int16_t*>(stream),
                                                 length / (media::kMixChannels * 2));
  }
  SDL_AudioDeviceID device_ = 0;
  std::string name_;
};

}  // namespace

// A device pulls its mix on its own thread whether or not the program pumps; so does this one, every 10 ms
// of the real clock, so songs end and their notifications arrive on time.
SilentAudio::SilentAudio(Clock clock) : ClockedOutput(std::move(clock), nullptr, media::kMixRate) {
  thread_ = std::thread([this] {
    std::unique_lock<std::mutex> guard(lock_);
    while (!stopping_) {
      guard.unlock();
      Update();
      guard.lock();
      stopped_.wait_for(guard, std::chrono::milliseconds(10), [this] { return stopping_; });
    }
  });
}

SilentAudio::~SilentAudio() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  stopped_.notify_all();
  thread_.join();
}

std::unique_ptr<media::AudioOutput> CreateSdlAudio(media::ClockedOutput::Clock clock) {
  auto device = std::make_unique<SdlAudio>();
  if (device->Open()) return device;
  std::fprintf(stderr, "vomak: no sound output (%s); sounds play silently\n", SDL_GetError());
  return std::make_unique<SilentAudio>(std::move(clock));
}

}  // namespace host
