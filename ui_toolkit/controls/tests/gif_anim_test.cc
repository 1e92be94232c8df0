#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "ui_toolkit/controls/gif_anim.h"
#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using testing::Tick;

std::string Fixture(const char* name) {
  const char* dir = std::getenv("QL_UI_CONTROLS_TEST_DATA");
  std::ifstream in(std::string(dir != nullptr ? dir : ".") + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class GifAnimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string three = Fixture("three.gif");
    ASSERT_FALSE(three.empty()) << "fixtures missing: QL_UI_CONTROLS_TEST_DATA";
    zip_ = testing::BuildZip({{.name = "three.gif", .data = three},
                              {.name = "single.gif", .data = Fixture("single.gif")},
                              {.name = "short.gif", .data = Fixture("short-delays.gif")},
                              {.name = "cut.gif", .data = three.substr(0, 60)}})
               .bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
  }

  // A 40 x 40 animation at (10, 10) on white.
  static std::wstring Skin(const std::wstring& attrs) {
    return L"<Window size=\"60,60\"><VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\">"
           L"<GifAnim name=\"g\" width=\"40\" height=\"40\" " +
           attrs + L"/></VerticalLayout></Window>";
  }

  std::string zip_;
};

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;

TEST_F(GifAnimTest, FramesFollowInOrderEachWithItsDelay) {
  // Started by hand, after the window is up, so that no real timer tick can
  // come between the steps below.
  SkinWindow w(Skin(L"bkimage=\"three.gif\" autoplay=\"false\""));
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  ASSERT_TRUE(g->IsLoaded());
  EXPECT_FALSE(g->IsPlaying());
  EXPECT_EQ(3u, g->GetFrameCount());
  EXPECT_EQ(3u, g->GetDelayCount());
  g->PlayGif();
  ASSERT_TRUE(g->IsPlaying());
  struct Step {
    UINT frame;
    UINT delay_ms;
    std::uint32_t colour;
  };
  // Delays 10 and 25 hundredths; a delay of 0 plays for 100 ms.
  const Step steps[] = {{0, 100, kRed}, {1, 100, kGreen}, {2, 250, kBlue}, {0, 100, kRed}, {1, 100, kGreen}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    if (i > 0) Tick(g, CGifAnimUI::kTimerId);
    EXPECT_EQ(steps[i].frame, g->GetCurrentFrame()) << i;
    EXPECT_EQ(steps[i].delay_ms, g->GetTimerDelay()) << i;
    EXPECT_EQ(steps[i].colour, w.PixelAt(30, 30) & 0xFFFFFF) << i;
  }
  // Other timers and other events leave the animation alone.
  Tick(g, 7);
  EXPECT_EQ(1u, g->GetCurrentFrame());
}

TEST_F(GifAnimTest, AutoplayStartsOnItsOwn) {
  SkinWindow w(Skin(L"bkimage=\"three.gif\""));
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  EXPECT_TRUE(g->IsPlaying());
  // The real timer moves it on.
  ASSERT_TRUE(testing::PumpUntil([&] { return g->GetCurrentFrame() != 0; }, 5000));
}

TEST_F(GifAnimTest, ASingleFrameIsDrawnButNeverPlays) {
  SkinWindow w(Skin(L"bkimage=\"single.gif\""));
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  ASSERT_TRUE(g->IsLoaded());
  EXPECT_EQ(1u, g->GetFrameCount());
  EXPECT_FALSE(g->IsPlaying());
  g->PlayGif();
  EXPECT_FALSE(g->IsPlaying());
  EXPECT_EQ(0xFFFF00u, w.PixelAt(30, 30) & 0xFFFFFF);
}

TEST_F(GifAnimTest, DelaysPastTheEndOfAShortTableUseTheDefault) {
  SkinWindow w(Skin(L"bkimage=\"short.gif\" autoplay=\"false\""));
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  ASSERT_TRUE(g->IsLoaded());
  ASSERT_EQ(3u, g->GetFrameCount());
  EXPECT_LE(g->GetDelayCount(), 3u);
  g->PlayGif();
  EXPECT_EQ(300u, g->GetTimerDelay());
  const std::uint32_t colours[] = {kRed, kGreen, kBlue, kRed};
  for (UINT i = 1; i < 4; ++i) {
    Tick(g, CGifAnimUI::kTimerId);
    EXPECT_EQ(i % 3, g->GetCurrentFrame());
    // Frames without a delay of their own play for the default time (or for
    // the reader's zero, which means the same); never for a value read from
    // past the table.
    const UINT delay = g->GetTimerDelay();
    EXPECT_TRUE(delay == 100u || (i % 3 == 0 && delay == 300u)) << i << ": " << delay;
    EXPECT_EQ(colours[i], w.PixelAt(30, 30) & 0xFFFFFF) << i;
  }
}

TEST(GifFrameDelayTest, ShortEmptyZeroAndHugeTables) {
  struct Case {
    std::vector<std::uint32_t> table;
    UINT frame;
    UINT ms;
  };
  const Case cases[] = {
      {{30}, 0, 300},   {{30}, 1, 100},          {{30}, 2, 100},      {{}, 0, 100},
      {{0, 5}, 0, 100}, {{0, 5}, 1, 50},         {{0xFFFFFFFFu}, 0, 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.ms, CGifAnimUI::FrameDelayMs(c.table, c.frame)) << c.table.size() << "/" << c.frame;
  }
}

TEST_F(GifAnimTest, HidingRewindsAndShowingPlaysFromTheFirstFrame) {
  SkinWindow w(Skin(L"bkimage=\"three.gif\" autoplay=\"false\""));
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  g->PlayGif();
  Tick(g, CGifAnimUI::kTimerId);
  Tick(g, CGifAnimUI::kTimerId);
  ASSERT_EQ(2u, g->GetCurrentFrame());
  g->SetVisible(false);
  EXPECT_FALSE(g->IsPlaying());
  EXPECT_EQ(0u, g->GetCurrentFrame());
  g->SetVisible(true);
  EXPECT_TRUE(g->IsPlaying());
  EXPECT_EQ(0u, g->GetCurrentFrame());
  EXPECT_EQ(kRed, w.PixelAt(30, 30) & 0xFFFFFF);
}

TEST_F(GifAnimTest, TheSameImageAgainKeepsPlayingAnotherOneReloads) {
  SkinWindow w(Skin(L"bkimage=\"three.gif\" autoplay=\"false\""));
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  g->PlayGif();
  Tick(g, CGifAnimUI::kTimerId);
  g->SetBkImage(L"three.gif");
  EXPECT_TRUE(g->IsPlaying());
  EXPECT_EQ(1u, g->GetCurrentFrame());
  g->SetBkImage(L"single.gif");
  EXPECT_FALSE(g->IsPlaying());
  EXPECT_FALSE(g->IsLoaded());
  EXPECT_EQ(0xFFFF00u, w.PixelAt(30, 30) & 0xFFFFFF);  // loaded at the paint
  EXPECT_EQ(1u, g->GetFrameCount());
  g->SetBkImage(nullptr);
  EXPECT_STREQ(L"single.gif", g->GetBkImage().GetData());
}

TEST_F(GifAnimTest, AutosizeTakesTheImageSize) {
  SkinWindow w(L"<Window size=\"60,60\"><HorizontalLayout><GifAnim name=\"g\" bkimage=\"three.gif\" autosize=\"true\""
               L" autoplay=\"false\"/><Control/></HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  EXPECT_EQ(20, g->GetFixedWidth());
  EXPECT_EQ(20, g->GetFixedHeight());
  EXPECT_EQ(20, g->GetWidth());
}

TEST_F(GifAnimTest, MissingAndTruncatedImagesDrawNothing) {
  for (const wchar_t* name : {L"none.gif", L"cut.gif"}) {
    SkinWindow w(Skin(std::wstring(L"bkimage=\"") + name + L"\""));
    ASSERT_TRUE(w.Open());
    auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
    EXPECT_FALSE(g->IsPlaying());
    if (!g->IsLoaded()) EXPECT_EQ(0xFFFFFFu, w.PixelAt(30, 30) & 0xFFFFFF);
    Tick(g, CGifAnimUI::kTimerId);  // a stray tick with nothing loaded
    w.Paint();
  }
}

class GifAnimGoldenTest : public GifAnimTest, public ::testing::WithParamInterface<int> {};

TEST_P(GifAnimGoldenTest, EachFrame) {
  const int scale = GetParam();
  SkinWindow w(Skin(L"bkimage=\"three.gif\" autoplay=\"false\" bkcolor=\"#FF000000\""), scale);
  ASSERT_TRUE(w.Open());
  auto* g = static_cast<CGifAnimUI*>(w.Find(L"g"));
  g->PlayGif();
  for (int frame = 0; frame < 3; ++frame) {
    if (frame > 0) Tick(g, CGifAnimUI::kTimerId);
    testing::ExpectGolden(w, "gif_frame" + std::to_string(frame) + "_" + std::to_string(scale));
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, GifAnimGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
