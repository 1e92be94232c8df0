#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui_toolkit/controls/loading.h"
#include "ui_toolkit/controls/ring.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

void Tick(CControlUI* control, UINT id = 100) {
  ControlEventUI event;
  event.Type = UIEVENT_TIMER;
  event.pSender = control;
  event.wParam = id;
  control->DispatchEvent(event);
}

std::string Narrow(const std::wstring& s) { return testing::Narrow(s); }

// ------------------------------------------------------------------ loading

std::wstring LoadingSkin(const std::wstring& attributes) {
  return L"<Window size=\"120,80\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
         L"<Loading name=\"spin\" float=\"true\" pos=\"20,10,80,70\" " +
         attributes + L"/></VerticalLayout></Window>";
}

TEST(LoadingTest, SpokesFadeFromTheColourInSteps) {
  SkinWindow w(LoadingSkin(L"color=\" #FF336699\""));
  ASSERT_TRUE(w.Open());
  auto* spin = static_cast<CLoadingUI*>(w.Find(L"spin"));
  ASSERT_NE(nullptr, spin);
  EXPECT_STREQ(L"Loading", spin->GetClassName());
  EXPECT_EQ(spin, spin->QueryInterfaceByName(L"Loading"));
  EXPECT_EQ(nullptr, spin->QueryInterfaceByName(L"loading"));
  ASSERT_EQ(10, spin->GetSpokeCount());
  EXPECT_EQ(0xFF336699u, spin->GetSpokeColor(0));
  for (int i = 1; i < 10; ++i) EXPECT_EQ((static_cast<DWORD>(25 * i) << 24) | 0x336699u, spin->GetSpokeColor(i)) << i;
  EXPECT_FALSE(spin->IsStopped());
}

TEST(LoadingTest, TicksAdvanceOneSpokeAndWrap) {
  SkinWindow w(LoadingSkin(L"spoke=\"0x3\""));
  ASSERT_TRUE(w.Open());
  auto* spin = static_cast<CLoadingUI*>(w.Find(L"spin"));
  spin->Stop();
  ASSERT_EQ(3, spin->GetSpokeCount()) << "spoke counts read as C integers";
  const int start = spin->GetCurrentSpoke();
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    Tick(spin);
    seen.push_back(spin->GetCurrentSpoke());
  }
  EXPECT_EQ((std::vector<int>{(start + 1) % 3, (start + 2) % 3, start % 3, (start + 1) % 3}), seen);
  // The count is fixed once the control is initialised.
  spin->SetAttribute(L"spoke", L"7");
  EXPECT_EQ(3, spin->GetSpokeCount());
}

TEST(LoadingTest, NoSpokesOrNoSizeNeitherDividesByZeroNorDraws) {
  struct Case {
    const wchar_t* attributes;
    int spokes;
  } cases[] = {
      {L"spoke=\"0\"", 1},
      {L"spoke=\"-4\"", 1},
      {L"spoke=\"1\" thickness=\"-2\" outradius=\"-5\" innerradius=\"-9\"", 1},
  };
  for (const Case& c : cases) {
    SkinWindow w(LoadingSkin(c.attributes));
    ASSERT_TRUE(w.Open()) << Narrow(c.attributes);
    auto* spin = static_cast<CLoadingUI*>(w.Find(L"spin"));
    ASSERT_EQ(c.spokes, spin->GetSpokeCount()) << Narrow(c.attributes);
    Tick(spin);
    Tick(spin);
    EXPECT_EQ(0, spin->GetCurrentSpoke());
    w.Paint();
  }
  // A control laid out with no width or height paints nothing and survives.
  SkinWindow empty(L"<Window size=\"120,80\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                   L"<Loading name=\"spin\" float=\"true\" pos=\"20,10,20,10\"/></VerticalLayout></Window>");
  ASSERT_TRUE(empty.Open());
  Tick(empty.Find(L"spin"));
  EXPECT_EQ(0xFFFFFFu, empty.PixelAt(20, 10) & 0xFFFFFFu);
}

TEST(LoadingTest, StopAndStartTheTicking) {
  SkinWindow w(LoadingSkin(L"time=\"0\""));
  ASSERT_TRUE(w.Open());
  auto* spin = static_cast<CLoadingUI*>(w.Find(L"spin"));
  EXPECT_FALSE(spin->IsStopped()) << "a zero interval starts no timer but counts as running";
  spin->Stop();
  EXPECT_TRUE(spin->IsStopped());
  spin->Start();
  EXPECT_FALSE(spin->IsStopped());
}

class LoadingGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(LoadingGoldenTest, SpinnerLooksAsItsGolden) {
  const int scale = GetParam();
  SkinWindow w(LoadingSkin(L"color=\"#FF2050A0\" spoke=\"8\" thickness=\"4\" outradius=\"24\" innerradius=\"12\""),
               scale);
  ASSERT_TRUE(w.Open());
  auto* spin = static_cast<CLoadingUI*>(w.Find(L"spin"));
  spin->Stop();
  while (spin->GetCurrentSpoke() != 3) Tick(spin);
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  const auto result = testing::MatchGolden("loading_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, LoadingGoldenTest, ::testing::Values(100, 150));

// --------------------------------------------------------------------- ring

// A 24-bit bitmap file: the top half red, the bottom half blue.
std::wstring WriteRingImage() {
  wchar_t dir[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, dir);
  const std::wstring path = std::wstring(dir) + L"ql_ring_" + std::to_wstring(::GetCurrentProcessId()) + L".bmp";
  const int side = 40;
  const int stride = side * 3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = side;
  info.biHeight = side;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(stride * side);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<unsigned char> pixels(info.biSizeImage);
  for (int row = 0; row < side; ++row) {
    const bool top = row >= side / 2;  // bottom-up rows
    for (int x = 0; x < side; ++x) {
      unsigned char* p = &pixels[static_cast<size_t>(row) * stride + x * 3];
      p[0] = top ? 0x00 : 0xE0;
      p[1] = 0x00;
      p[2] = top ? 0xE0 : 0x00;
    }
  }
  FILE* out = _wfopen(path.c_str(), L"wb");
  std::fwrite(&file, sizeof(file), 1, out);
  std::fwrite(&info, sizeof(info), 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  std::fclose(out);
  return path;
}

class RingTest : public ::testing::Test {
 protected:
  void SetUp() override { image_ = WriteRingImage(); }
  void TearDown() override { ::DeleteFileW(image_.c_str()); }
  std::wstring Skin(const wchar_t* pos = L"20,20,100,100") const {
    return L"<Window size=\"120,120\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
           L"<Ring name=\"ring\" float=\"true\" pos=\"" +
           std::wstring(pos) + L"\" bkimage=\"" + image_ + L"\"/></VerticalLayout></Window>";
  }
  std::wstring image_;
};

TEST_F(RingTest, TurnsInStepsOf36AndStartsOverAfterAFullTurn) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* ring = static_cast<CRingUI*>(w.Find(L"ring"));
  ASSERT_NE(nullptr, ring);
  EXPECT_STREQ(L"RingUI", ring->GetClassName());
  EXPECT_EQ(ring, ring->QueryInterfaceByName(L"Ring"));
  ring->KillTimer(100);
  ASSERT_EQ(0.0f, ring->GetAngle());
  std::vector<float> angles;
  for (int i = 0; i < 11; ++i) {
    Tick(ring);
    angles.push_back(ring->GetAngle());
  }
  EXPECT_EQ((std::vector<float>{36, 72, 108, 144, 180, 216, 252, 288, 324, 360, 36}), angles);
  Tick(ring, 101);
  EXPECT_EQ(36.0f, ring->GetAngle()) << "other timers do not turn it";
}

TEST_F(RingTest, HalfATurnSwapsTopAndBottom) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* ring = static_cast<CRingUI*>(w.Find(L"ring"));
  ring->KillTimer(100);
  EXPECT_EQ(0xE00000u, w.PixelAt(60, 30) & 0xFFFFFFu);
  EXPECT_EQ(0x0000E0u, w.PixelAt(60, 90) & 0xFFFFFFu);
  for (int i = 0; i < 5; ++i) Tick(ring);
  EXPECT_EQ(0x0000E0u, w.PixelAt(60, 30) & 0xFFFFFFu);
  EXPECT_EQ(0xE00000u, w.PixelAt(60, 90) & 0xFFFFFFu);
}

TEST_F(RingTest, EmptyOrCollapsedRingDrawsNothing) {
  // No size: nothing to turn the image in.
  SkinWindow collapsed(Skin(L"20,20,20,20"));
  ASSERT_TRUE(collapsed.Open());
  Tick(collapsed.Find(L"ring"));
  EXPECT_EQ(0xFFFFFFu, collapsed.PixelAt(20, 20) & 0xFFFFFFu);
  // An image that cannot be loaded: no timer, nothing drawn.
  SkinWindow missing(L"<Window size=\"120,120\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                     L"<Ring name=\"ring\" float=\"true\" pos=\"20,20,100,100\" bkimage=\"C:\\no\\such.bmp\"/>"
                     L"</VerticalLayout></Window>");
  ASSERT_TRUE(missing.Open());
  EXPECT_EQ(0xFFFFFFu, missing.PixelAt(60, 30) & 0xFFFFFFu);
  // Changing the image drops the loaded one; the new one is drawn.
  auto* ring = static_cast<CRingUI*>(missing.Find(L"ring"));
  ring->SetBkImage(image_.c_str());
  EXPECT_EQ(0xE00000u, missing.PixelAt(60, 30) & 0xFFFFFFu);
}

class RingGoldenTest : public RingTest, public ::testing::WithParamInterface<int> {};

TEST_P(RingGoldenTest, RingLooksAsItsGolden) {
  const int scale = GetParam();
  SkinWindow w(Skin(), scale);
  ASSERT_TRUE(w.Open());
  auto* ring = static_cast<CRingUI*>(w.Find(L"ring"));
  ring->KillTimer(100);
  Tick(ring);
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  const auto result = testing::MatchGolden("ring_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, RingGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
