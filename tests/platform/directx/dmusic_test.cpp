// The DirectMusic substitute's refusals and reference counts: what the loader reads and refuses, a performance
// before InitAudio and after CloseDown, the master volume's bounds, the port list, and segments the performance
// lets go of once stopped.
#include <string>

#include "platform/directx/dmusic.h"
#include "platform/win32/kernel.h"
#include "support/headless_fixture.h"
#include "support/midi_writers.h"

using namespace testing_support;

namespace {

class DirectMusicTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    WriteBytes(workDir() + "/tiny.sf2", TinySoundFont());
    headless::SetSoundFont(workDir() + "/tiny.sf2");
    WriteBytes(workDir() + "/song.mid", MidiFile(0, 96, {Track().Event(0, {0x90, 60, 100}).End(96)}));
    WriteBytes(workDir() + "/text.mid", Bytes(64, 'x'));
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(Create(CLSID_DirectMusicLoader, IID_IDirectMusicLoader8, &loader_), S_OK);
    ASSERT_EQ(Create(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8, &performance_), S_OK);
  }
  void TearDown() override {
    performance_->Release();
    loader_->Release();
    CoUninitialize();
    HeadlessTest::TearDown();
  }
  template <class Interface>
  static HRESULT Create(REFCLSID clsid, REFIID iid, Interface** out) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, iid,
                            reinterpret_cast<void**>(out));
  }
  HRESULT Load(const char16_t* name, IDirectMusicSegment8** segment) {
    return loader_->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, name,
                                       reinterpret_cast<void**>(segment));
  }
  HRESULT Init(IDirectSound** device) {
    return performance_->InitAudio(nullptr, device, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                   DMUS_AUDIOF_ALL, nullptr);
  }
  IDirectMusicLoader8* loader_ = nullptr;
  IDirectMusicPerformance8* performance_ = nullptr;
};

}  // namespace

TEST_F(DirectMusicTest, TheLoaderReadsSongsFromItsDirectoryAndRefusesTheRest) {
  std::u16string directory;
  for (char c : workDir()) directory += static_cast<char16_t>(c);
  ASSERT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, directory.c_str(), FALSE), S_OK);
  IDirectMusicSegment8* segment = reinterpret_cast<IDirectMusicSegment8*>(&segment);
  EXPECT_EQ(Load(u"missing.mid", &segment), DMUS_E_LOADER_FAILEDOPEN);
  EXPECT_EQ(segment, nullptr);
  EXPECT_EQ(Load(u"text.mid", &segment), DMUS_E_UNSUPPORTED_STREAM);
  EXPECT_EQ(Load(u"tiny.sf2", &segment), DMUS_E_UNSUPPORTED_STREAM);
  EXPECT_EQ(loader_->LoadObjectFromFile(CLSID_DirectMusicLoader, IID_IDirectMusicSegment8, u"song.mid",
                                        reinterpret_cast<void**>(&segment)),
            DMUS_E_TYPE_UNSUPPORTED);
  EXPECT_EQ(Load(u"SONG.MID", &segment), S_OK);  // names match without regard to case
  ASSERT_NE(segment, nullptr);
  EXPECT_EQ(segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr), S_OK);
  EXPECT_EQ(segment->SetParam(GUID_PerfMasterVolume, 0xFFFFFFFF, 0, 0, nullptr), DMUS_E_SET_UNSUPPORTED);
  EXPECT_EQ(segment->Download(nullptr), E_POINTER);
  EXPECT_EQ(segment->Release(), 0u);
}

TEST_F(DirectMusicTest, APerformancePlaysOnlyBetweenInitAudioAndCloseDown) {
  IDirectMusicSegment8* segment = nullptr;
  std::u16string path;
  for (char c : workDir() + "/song.mid") path += static_cast<char16_t>(c);
  ASSERT_EQ(Load(path.c_str(), &segment), S_OK);
  const DWORD noFlags = DMUS_SEGF_REFTIME;
  EXPECT_EQ(performance_->PlaySegmentEx(segment, nullptr, nullptr, noFlags, 0, nullptr, nullptr, nullptr),
            DMUS_E_NOT_INIT);
  IDirectSound* device = nullptr;
  EXPECT_EQ(performance_->InitAudio(nullptr, &device, nullptr, 99, 64, DMUS_AUDIOF_ALL, nullptr), E_INVALIDARG);
  ASSERT_EQ(Init(&device), S_OK);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(Init(&device), DMUS_E_ALREADY_INITED);
  EXPECT_EQ(performance_->PlaySegmentEx(segment, nullptr, nullptr, noFlags, 0, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(performance_->IsPlaying(segment, nullptr), S_OK);
  EXPECT_EQ(segment->AddRef(), 3u);  // the loader's caller, the play, this
  EXPECT_EQ(performance_->StopEx(segment, 0, 0), S_OK);
  EXPECT_EQ(performance_->IsPlaying(segment, nullptr), S_FALSE);
  EXPECT_EQ(segment->Release(), 1u);  // the stopped play let go
  EXPECT_EQ(performance_->PlaySegmentEx(segment, nullptr, nullptr, noFlags, 0, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(performance_->CloseDown(), S_OK);
  EXPECT_EQ(performance_->IsPlaying(segment, nullptr), DMUS_E_NOT_INIT);
  EXPECT_EQ(Init(&device), DMUS_E_ALREADY_INITED);
  EXPECT_EQ(segment->Release(), 0u);
  EXPECT_EQ(device->Release(), 0u);  // the performance let go of its own reference
}

TEST_F(DirectMusicTest, APlayThatHasEndedIsLetGoOfWithTheNextPlay) {
  std::u16string path;
  for (char c : workDir() + "/song.mid") path += static_cast<char16_t>(c);
  IDirectMusicSegment8 *once = nullptr, *next = nullptr;
  ASSERT_EQ(Load(path.c_str(), &once), S_OK);
  ASSERT_EQ(Load(path.c_str(), &next), S_OK);
  IDirectSound* device = nullptr;
  ASSERT_EQ(Init(&device), S_OK);
  const DWORD flags = DMUS_SEGF_REFTIME;
  ASSERT_EQ(performance_->PlaySegmentEx(once, nullptr, nullptr, flags, 0, nullptr, nullptr, nullptr), S_OK);
  headless::AdvanceMilliseconds(600);  // the half-second song has ended
  EXPECT_EQ(performance_->IsPlaying(once, nullptr), S_FALSE);
  ASSERT_EQ(performance_->PlaySegmentEx(next, nullptr, nullptr, flags, 0, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(once->Release(), 0u);  // neither the mix nor the performance keeps an ended play
  EXPECT_EQ(performance_->IsPlaying(next, nullptr), S_OK);
  EXPECT_EQ(performance_->CloseDown(), S_OK);
  EXPECT_EQ(next->Release(), 0u);
  device->Release();
}

TEST_F(DirectMusicTest, TheMasterVolumeStaysWithinItsBoundsAndTakesFourBytes) {
  const std::vector<std::pair<LONG, LONG>> cases = {{0, 0}, {-10000, -10000}, {-30000, -20000}, {5000, 2000}};
  for (const auto& [given, kept] : cases) {
    LONG value = given;
    ASSERT_EQ(performance_->SetGlobalParam(GUID_PerfMasterVolume, &value, sizeof value), S_OK);
    value = 1;
    ASSERT_EQ(performance_->GetGlobalParam(GUID_PerfMasterVolume, &value, sizeof value), S_OK);
    EXPECT_EQ(value, kept) << given;
  }
  int64_t wide = 0;
  EXPECT_EQ(performance_->GetGlobalParam(GUID_PerfMasterVolume, &wide, sizeof wide), E_INVALIDARG);
  EXPECT_EQ(performance_->GetGlobalParam(GUID_StandardMIDIFile, &wide, 4), DMUS_E_GET_UNSUPPORTED);
}

TEST_F(DirectMusicTest, ThePortListHoldsTheSynthesiserWhileASoundFontLoads) {
  IDirectMusic8* music = nullptr;
  ASSERT_EQ(Create(CLSID_DirectMusic, IID_IDirectMusic8, &music), S_OK);
  DMUS_PORTCAPS caps{};
  EXPECT_EQ(music->EnumPort(0, &caps), E_INVALIDARG);  // no size given
  caps.dwSize = sizeof caps;
  ASSERT_EQ(music->EnumPort(0, &caps), S_OK);
  EXPECT_EQ(caps.dwClass, DMUS_PC_OUTPUTCLASS);
  char description[DMUS_MAX_DESCRIPTION * 2] = {};
  EXPECT_GT(WideCharToMultiByte(CP_ACP, 0, caps.wszDescription, -1, description, sizeof description, nullptr,
                                nullptr),
            0);
  EXPECT_STREQ(description, "FluidSynth General MIDI synthesiser");
  EXPECT_EQ(music->EnumPort(1, &caps), S_FALSE);
  headless::SetSoundFont(std::string());
  EXPECT_EQ(music->EnumPort(0, &caps), S_FALSE);
  EXPECT_EQ(music->Release(), 0u);
}

using WideCharToMultiByteTest = HeadlessTest;

TEST_F(WideCharToMultiByteTest, JapaneseTextGoesBackToShiftJis) {
  const char16_t text[] = u"出力ポート";
  char out[16] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 11);  // with the terminator
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, out, sizeof out, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(out, 4), std::string("出力"));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 5, nullptr, nullptr), 0);  // too small
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\U0001F600", -1, out, sizeof out, nullptr, nullptr), 0);
}
