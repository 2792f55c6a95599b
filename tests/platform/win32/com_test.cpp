#include <gtest/gtest.h>

#include "platform/directx/dmusic.h"
#include "platform/win32/com.h"
#include "support/headless_fixture.h"

namespace {

using ComTest = HeadlessTest;

const CLSID kUnknownClass = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST_F(ComTest, StartAndEnd) {
  void* out = &out;
  EXPECT_EQ(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, &out),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);  // already started: still a success to be ended
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, &out),
            CO_E_NOTINITIALIZED);
  headless::FailCall("CoInitialize", 1);
  EXPECT_TRUE(FAILED(CoInitialize(nullptr)));
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST_F(ComTest, DirectMusicObjectAnswersItsInterfaceWithRealReferenceCounts) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  void* out = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, &out), S_OK);
  auto* music = static_cast<IDirectMusic*>(out);
  ASSERT_NE(music, nullptr);
  void* again = nullptr;
  ASSERT_EQ(music->QueryInterface(IID_IUnknown, &again), S_OK);
  EXPECT_EQ(again, out);
  void* none = &none;
  EXPECT_EQ(music->QueryInterface(kUnknownClass, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(music->AddRef(), 3u);
  EXPECT_EQ(music->Release(), 2u);
  EXPECT_EQ(static_cast<IUnknown*>(again)->Release(), 1u);
  EXPECT_EQ(music->Release(), 0u);
  CoUninitialize();
}

TEST_F(ComTest, MissingDirectMusicAndUnknownClasses) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  void* out = &out;
  headless::FailCall("DirectMusic");
  EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, &out)));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CoCreateInstance(kUnknownClass, nullptr, CLSCTX_ALL, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
  headless::ClearFailures();
  EXPECT_EQ(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, kUnknownClass, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, nullptr), E_POINTER);
  headless::FailCall("CoCreateInstance");
  EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, &out)));
  CoUninitialize();
}

}  // namespace
