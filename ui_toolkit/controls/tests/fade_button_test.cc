// The fade button in a real window: built from a skin by the factory, the
// mouse crossing it starts the fades, whose frames are stepped tick by tick
// and checked in pixels against the blend of the normal and hot images;
// clicks, missing images, disabled and hidden buttons, destruction during a
// fade, and its pictures at 100 % and 150 %.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ui_toolkit/controls/fade_button.h"
#include "ui_toolkit/controls/tests/step_timer.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/control_factory.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/image_bytes.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::Narrow;
using testing::SkinWindow;
using testing::StepTimer;

constexpr uint32_t kBackground = 0xFFFFFF;
constexpr uint32_t kNormal = 0xD04020;
constexpr uint32_t kHot = 0x2060E0;
constexpr uint32_t kPushed = 0x30A050;
constexpr uint32_t kDisabled = 0xB0B0B0;
constexpr uint32_t kFocused = 0xE0C020;

constexpr int kIn = CFadeButtonUI::kFadeInId;
constexpr int kOut = CFadeButtonUI::kFadeOutId;
// A fade steps frames 0 to 30: 31 ticks.
constexpr int kTicksPerFade = CFadeButtonUI::kFadeFrames + 1;

// The fade value after |ticks| ticks of a fade (0 before the first).
int FadeAfter(int ticks) {
  if (ticks == 0) return 0;
  const int value = (ticks - 1) * 255 / CFadeButtonUI::kFadeFrames;
  return value == 0 ? 10 : value;
}

// |source| drawn over |dest| with a constant alpha.
uint32_t Over(uint32_t dest, uint32_t source, int alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((dest >> shift) & 0xFF);
    const int s = static_cast<int>((source >> shift) & 0xFF);
    out |= static_cast<uint32_t>((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
  }
  return out;
}

// What a cross-fade shows at |fade|: "from" at 255 - fade, then "to" at fade.
uint32_t CrossFade(uint32_t from, uint32_t to, int fade) {
  return Over(Over(kBackground, from, 255 - fade), to, fade);
}

bool Near(uint32_t a, uint32_t b, int tolerance = 3) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

std::string Hex(uint32_t c) {
  char text[16];
  std::snprintf(text, sizeof(text), "%06X", static_cast<unsigned>(c & 0xFFFFFF));
  return text;
}

#define EXPECT_COLOR(expected, actual)                                                            \
  EXPECT_PRED2([](uint32_t e, uint32_t a) { return Near(e, a & 0xFFFFFF); }, expected, actual) \
      << "expected " << Hex(expected) << ", saw " << Hex(actual)

// One-pixel images in the skin zip, stretched over the button.
class FadeButtonSkin {
 public:
  FadeButtonSkin() {
    const auto png = [](uint32_t rgb) { return testing::EncodePng({0xFF000000u | rgb}, 1, 1); };
    zip_ = testing::BuildZip({{.name = "n.png", .data = png(kNormal)},
                              {.name = "h.png", .data = png(kHot)},
                              {.name = "p.png", .data = png(kPushed)},
                              {.name = "d.png", .data = png(kDisabled)},
                              {.name = "f.png", .data = png(kFocused)}})
               .bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
  }

 private:
  std::string zip_;
};

std::wstring Skin(const std::wstring& attributes = L"normalimage=\"n.png\" hotimage=\"h.png\"",
                  const std::wstring& more = L"") {
  return L"<Window size=\"160,80\"><HorizontalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
         L"<FadeButton name=\"fade\" float=\"true\" pos=\"20,20,100,60\" " +
         attributes + L"/>" + more + L"</HorizontalLayout></Window>";
}

class FadeButtonTest : public ::testing::Test {
 protected:
  void Open(const std::wstring& skin = Skin()) {
    window_ = std::make_unique<SkinWindow>(skin);
    ASSERT_TRUE(window_->Open());
    fade_ = static_cast<CFadeButtonUI*>(window_->Find(L"fade"));
    ASSERT_NE(nullptr, fade_);
    window_->ClearSeen();
  }
  // Into the button and out to the bare layout, as real mouse moves.
  void Enter() { window_->MouseMove(60, 40); }
  void Leave() { window_->MouseMove(5, 5); }
  void StepBoth(int times) {
    for (int i = 0; i < times; ++i) {
      // One tick as the paint manager would deliver it to whichever fade runs.
      StepTimer(fade_, fade_->IsAnimationRunning(kOut) ? kOut : kIn);
    }
  }
  uint32_t Shown() { return window_->PixelAt(60, 40); }
  // The button's notifications but the "timer" each tick sends.
  std::vector<std::wstring> Sent() {
    std::vector<std::wstring> types = window_->SeenTypes(L"fade");
    std::erase(types, L"timer");
    return types;
  }
  bool Fading() { return fade_->IsAnimationRunning(kIn) || fade_->IsAnimationRunning(kOut); }

  FadeButtonSkin images_;
  std::unique_ptr<SkinWindow> window_;
  CFadeButtonUI* fade_ = nullptr;
};

TEST_F(FadeButtonTest, TheFactoryBuildsItFromItsElement) {
  Open();
  EXPECT_STREQ(L"FadeButtonUI", fade_->GetClassName());
  EXPECT_EQ(fade_, fade_->QueryInterfaceByName(L"FadeButton"));
  EXPECT_EQ(nullptr, fade_->QueryInterfaceByName(L"fadebutton")) << "its own interface name is case-sensitive";
  EXPECT_NE(nullptr, fade_->QueryInterfaceByName(L"button")) << "it still answers as a button";
  EXPECT_EQ(L"n.png", std::wstring(fade_->GetNormalImage().GetData()));
  EXPECT_EQ(L"n.png", std::wstring(fade_->GetLastImage().GetData()));
  for (const wchar_t* name : {L"CFadeButtonUI", L"cfadebuttonui"}) {
    std::unique_ptr<CControlUI> made(CControlFactory::GetInstance().CreateControl(name));
    ASSERT_NE(nullptr, made) << Narrow(name);
    EXPECT_STREQ(L"FadeButtonUI", made->GetClassName());
  }
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kNormal, Shown());
}

TEST_F(FadeButtonTest, EnteringFadesTheHotImageInFrameByFrame) {
  Open();
  Enter();
  ASSERT_TRUE(fade_->IsAnimationRunning(kIn));
  EXPECT_FALSE(fade_->IsAnimationRunning(kOut));
  EXPECT_EQ(0, fade_->GetCurrentFrame(kIn)) << "no frame stepped before the first tick";
  EXPECT_COLOR(kNormal, Shown());
  EXPECT_EQ(L"h.png", std::wstring(fade_->GetLastImage().GetData())) << "the hot image is the fade's end";
  // Frame values at every tick, and the blend at chosen ticks.
  const std::vector<int> checked = {1, 2, 8, 16, 24, 30};
  for (int tick = 1; tick < kTicksPerFade; ++tick) {
    StepTimer(fade_, kIn);
    ASSERT_EQ(FadeAfter(tick), fade_->GetFadeValue()) << tick;
    if (std::find(checked.begin(), checked.end(), tick) != checked.end()) {
      EXPECT_COLOR(CrossFade(kNormal, kHot, FadeAfter(tick)), Shown()) << "tick " << tick;
    }
  }
  EXPECT_EQ(10, FadeAfter(1));
  EXPECT_EQ(127, FadeAfter(16));
  EXPECT_EQ(246, FadeAfter(30));
  ASSERT_TRUE(fade_->IsAnimationRunning(kIn));
  StepTimer(fade_, kIn);  // the last frame: full hot, and the job ends
  EXPECT_EQ(255, fade_->GetFadeValue());
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kHot, Shown());
  StepTimer(fade_, kIn, 3);  // a stray tick after the end changes nothing
  EXPECT_COLOR(kHot, Shown());
}

TEST_F(FadeButtonTest, LeavingFadesBackToTheNormalImage) {
  Open();
  Enter();
  StepTimer(fade_, kIn, kTicksPerFade);
  Leave();
  ASSERT_TRUE(fade_->IsAnimationRunning(kOut));
  EXPECT_EQ(0, fade_->GetFadeValue());
  EXPECT_COLOR(kHot, Shown());
  for (int tick = 1; tick < kTicksPerFade; ++tick) {
    StepTimer(fade_, kOut);
    if (tick == 1 || tick == 16 || tick == 30) {
      EXPECT_COLOR(CrossFade(kHot, kNormal, FadeAfter(tick)), Shown()) << "tick " << tick;
    }
  }
  StepTimer(fade_, kOut);
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kNormal, Shown());
  EXPECT_EQ(L"n.png", std::wstring(fade_->GetLastImage().GetData()));
}

TEST_F(FadeButtonTest, CrossingAgainMidFadeRestartsFromTheFarEnd) {
  Open();
  Enter();
  StepTimer(fade_, kIn, 10);
  EXPECT_COLOR(CrossFade(kNormal, kHot, FadeAfter(10)), Shown());
  // Leaving during the fade-in: the fade-in stops, the fade-out starts from
  // the fully hot image.
  Leave();
  EXPECT_FALSE(fade_->IsAnimationRunning(kIn));
  EXPECT_EQ(0, fade_->GetCurrentFrame(kOut));
  EXPECT_COLOR(kHot, Shown());
  StepTimer(fade_, kOut, 5);
  EXPECT_COLOR(CrossFade(kHot, kNormal, FadeAfter(5)), Shown());
  // And entering during the fade-out starts over from the normal image.
  Enter();
  EXPECT_FALSE(fade_->IsAnimationRunning(kOut));
  EXPECT_EQ(0, fade_->GetCurrentFrame(kIn));
  EXPECT_COLOR(kNormal, Shown());
  StepTimer(fade_, kIn, kTicksPerFade);
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kHot, Shown());
  // Ticks of the stopped job do not step the running one.
  Leave();
  StepTimer(fade_, kIn, 4);
  EXPECT_EQ(0, fade_->GetCurrentFrame(kOut));
}

// Crossings that come faster than the paints: the latest one decides what
// the fade ends on.
TEST_F(FadeButtonTest, TheLastCrossingBeforeAPaintWins) {
  struct Case {
    std::vector<POINT> moves;
    uint32_t end;
  } cases[] = {
      {{{60, 40}, {5, 5}, {60, 40}}, kHot},
      {{{60, 40}, {5, 5}, {60, 40}, {5, 5}}, kNormal},
  };
  for (const Case& c : cases) {
    Open();
    for (const POINT& p : c.moves) ::SendMessageW(window_->Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    window_->Paint();
    StepBoth(kTicksPerFade);
    EXPECT_FALSE(Fading()) << c.moves.size();
    EXPECT_COLOR(c.end, Shown()) << c.moves.size() << " moves";
  }
}

TEST_F(FadeButtonTest, ThePaintManagersOwnTimerDrivesTheFade) {
  Open();
  // The real cursor over the button as well, so that the window's own mouse
  // tracking agrees with the moves sent to it.
  POINT screen{60, 40};
  ::ClientToScreen(window_->Hwnd(), &screen);
  ::SetCursorPos(screen.x, screen.y);
  Enter();
  ASSERT_TRUE(fade_->IsAnimationRunning(kIn));
  EXPECT_TRUE(testing::PumpUntil([&] { return !Fading(); }));
  EXPECT_EQ(255, fade_->GetFadeValue());
  EXPECT_COLOR(kHot, Shown());
}

TEST_F(FadeButtonTest, AClickStillSendsClick) {
  Open(Skin(L"normalimage=\"n.png\" hotimage=\"h.png\" pushedimage=\"p.png\""));
  window_->MouseDown(60, 40);
  EXPECT_TRUE(fade_->IsAnimationRunning(kIn));
  EXPECT_COLOR(kPushed, Shown()) << "the pushed image wins over the fade";
  StepTimer(fade_, kIn, 12);
  EXPECT_COLOR(kPushed, Shown());
  window_->MouseUp(60, 40);
  EXPECT_EQ((std::vector<std::wstring>{L"click"}), Sent());
  EXPECT_COLOR(CrossFade(kNormal, kHot, FadeAfter(12)), Shown()) << "the fade goes on after the release";
  // Released outside: no click.
  window_->ClearSeen();
  window_->MouseDown(60, 40);
  window_->MouseMove(5, 5);
  window_->MouseUp(5, 5);
  EXPECT_TRUE(Sent().empty());
  // The keyboard as well.
  fade_->SetFocus();
  window_->Key(VK_SPACE);
  EXPECT_EQ((std::vector<std::wstring>{L"click"}), Sent());
}

TEST_F(FadeButtonTest, AFocusedImageWinsOverTheFade) {
  Open(Skin(L"normalimage=\"n.png\" hotimage=\"h.png\" focusedimage=\"f.png\""));
  fade_->SetFocus();
  Enter();
  StepTimer(fade_, kIn, 16);
  EXPECT_COLOR(kFocused, Shown());
}

// Images that are missing or do not load never blank the button.
TEST_F(FadeButtonTest, MissingImages) {
  struct Case {
    const wchar_t* attributes;
    uint32_t rest;     // before any crossing, and after leaving
    uint32_t hovered;  // at the end of the fade-in
    bool blends;       // whether the middle of the fade-in shows a blend
  } cases[] = {
      {L"normalimage=\"n.png\" hotimage=\"nothere.png\"", kNormal, kNormal, false},
      {L"normalimage=\"n.png\"", kNormal, kNormal, false},
      {L"normalimage=\"n.png\" hotimage=\"file='nothere.png' fade='200'\"", kNormal, kNormal, false},
      {L"normalimage=\"nothere.png\" hotimage=\"h.png\"", kBackground, kHot, true},
      {L"hotimage=\"h.png\"", kBackground, kBackground, false},
      {L"", kBackground, kBackground, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.attributes));
    Open(Skin(c.attributes));
    EXPECT_COLOR(c.rest, Shown());
    Enter();
    StepTimer(fade_, kIn, 16);
    EXPECT_COLOR(c.blends ? Over(kBackground, kHot, FadeAfter(16)) : c.rest, Shown());
    StepTimer(fade_, kIn, kTicksPerFade);
    EXPECT_FALSE(Fading());
    EXPECT_COLOR(c.hovered, Shown());
    Leave();
    StepTimer(fade_, kOut, 16);
    if (!c.blends) {
      EXPECT_COLOR(c.rest, Shown());
    }
    StepTimer(fade_, kOut, kTicksPerFade);
    EXPECT_COLOR(c.rest, Shown());
    window_->Click(60, 40);
    EXPECT_EQ((std::vector<std::wstring>{L"click"}), Sent());
  }
}

TEST_F(FadeButtonTest, ADisabledButtonDoesNotFade) {
  struct Case {
    const wchar_t* attributes;
    uint32_t shown;
  } cases[] = {
      {L"enabled=\"false\" normalimage=\"n.png\" hotimage=\"h.png\"", kNormal},
      {L"enabled=\"false\" normalimage=\"n.png\" hotimage=\"h.png\" disabledimage=\"d.png\"", kDisabled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.attributes));
    Open(Skin(c.attributes));
    Enter();
    EXPECT_FALSE(Fading());
    EXPECT_COLOR(c.shown, Shown());
    window_->Click(60, 40);
    Leave();
    EXPECT_FALSE(Fading());
    EXPECT_COLOR(c.shown, Shown());
    EXPECT_TRUE(Sent().empty());
  }
}

TEST_F(FadeButtonTest, DisablingEndsAFadeAndForgetsTheHover) {
  Open();
  Enter();
  StepTimer(fade_, kIn, 10);
  fade_->SetEnabled(false);
  EXPECT_FALSE(Fading()) << "no timer runs on for a disabled button";
  EXPECT_COLOR(kNormal, Shown()) << "disabled without its own image: the normal image";
  StepTimer(fade_, kIn, 5);
  EXPECT_COLOR(kNormal, Shown());
  // Enabled again with the mouse still over it: hot, where the fade was heading.
  fade_->SetEnabled(true);
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kHot, Shown());

  // Fully hot, disabled, left while disabled, enabled again: the normal image,
  // not the hot one of a hover long gone.
  Open();
  Enter();
  StepTimer(fade_, kIn, kTicksPerFade);
  EXPECT_COLOR(kHot, Shown());
  fade_->SetEnabled(false);
  EXPECT_COLOR(kNormal, Shown());
  Leave();
  EXPECT_FALSE(Fading());
  fade_->SetEnabled(true);
  EXPECT_COLOR(kNormal, Shown());
  // And it fades again as before.
  Enter();
  EXPECT_TRUE(fade_->IsAnimationRunning(kIn));
  StepTimer(fade_, kIn, kTicksPerFade);
  EXPECT_COLOR(kHot, Shown());
}

TEST_F(FadeButtonTest, AHiddenButtonNeitherFadesNorBreaks) {
  // Hidden from the start: the mouse over its place does not reach it.
  Open(Skin(L"visible=\"false\" normalimage=\"n.png\" hotimage=\"h.png\""));
  Enter();
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kBackground, Shown());

  // Hidden during a fade-in: the ticks go on harmlessly, the mouse moving on
  // counts as leaving, and shown again it rests on the normal image.
  Open();
  Enter();
  StepTimer(fade_, kIn, 5);
  fade_->SetVisible(false);
  EXPECT_COLOR(kBackground, Shown());
  StepTimer(fade_, kIn, 10);
  window_->MouseMove(62, 42);
  EXPECT_TRUE(fade_->IsAnimationRunning(kOut));
  StepTimer(fade_, kOut, kTicksPerFade);
  EXPECT_FALSE(Fading());
  EXPECT_COLOR(kBackground, Shown());
  fade_->SetVisible(true);
  EXPECT_COLOR(kNormal, Shown());
}

// Counts, and kills, the window timers that are set on |hwnd|; the paint
// manager numbers its window timers below 240.
int KillWindowTimers(HWND hwnd) {
  int live = 0;
  for (UINT_PTR id = 0; id < 240; ++id) live += ::KillTimer(hwnd, id) ? 1 : 0;
  return live;
}

TEST_F(FadeButtonTest, DestroyedMidFadeLeavesNoTimerBehind) {
  Open(Skin(L"normalimage=\"n.png\" hotimage=\"h.png\"",
            L"<FadeButton name=\"other\" float=\"true\" pos=\"110,20,150,60\" normalimage=\"n.png\""
            L" hotimage=\"h.png\"/>"));
  auto* other = static_cast<CFadeButtonUI*>(window_->Find(L"other"));
  ASSERT_NE(nullptr, other);
  Enter();
  StepTimer(fade_, kIn, 4);
  window_->MouseMove(130, 40);  // the first fades out, the other in
  ASSERT_TRUE(fade_->IsAnimationRunning(kOut));
  ASSERT_TRUE(other->IsAnimationRunning(kIn));
  auto* root = static_cast<CContainerUI*>(window_->Find(L"root"));
  root->SetDelayedDestroy(false);
  ASSERT_TRUE(root->Remove(fade_));
  fade_ = nullptr;
  EXPECT_EQ(nullptr, window_->Find(L"fade"));
  // Every timer id the window could hold, delivered as the system would:
  // only the living button steps.
  for (UINT id = 0; id < 240; ++id) ::SendMessageW(window_->Hwnd(), WM_TIMER, id, 0);
  EXPECT_EQ(1, other->GetCurrentFrame(kIn));
  EXPECT_EQ(1, KillWindowTimers(window_->Hwnd())) << "only the living button's timer is left";
  EXPECT_COLOR(kBackground, window_->PixelAt(60, 40));
}

TEST_F(FadeButtonTest, TheWindowGoesAwayMidFade) {
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "closed" : "destroyed");
    Open();
    Enter();
    StepTimer(fade_, kIn, 7);
    const HWND hwnd = window_->Hwnd();
    if (close) {
      // Closing takes the hover away first, which starts a fade-out on the way.
      ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
      EXPECT_TRUE(testing::PumpUntil([&] { return !::IsWindow(hwnd); }));
    } else {
      window_->Destroy();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    testing::PumpFor(40);  // a tick of a timer left behind would land now
    window_.reset();
  }
}

// Start, middle and end of the fade-in, with a border and text on top.
class FadeButtonGoldenTest : public ::testing::TestWithParam<int> {
 protected:
  FadeButtonSkin images_;
};

TEST_P(FadeButtonGoldenTest, FadeLooksAsItsGoldens) {
  const int scale = GetParam();
  SkinWindow w(Skin(L"normalimage=\"n.png\" hotimage=\"h.png\" bordersize=\"1\" bordercolor=\"#FF303030\""
                    L" text=\"Fade\" textcolor=\"#FFFFFFFF\""),
               scale);
  ASSERT_TRUE(w.Open());
  auto* fade = static_cast<CFadeButtonUI*>(w.Find(L"fade"));
  ASSERT_NE(nullptr, fade);
  const RECT& pos = fade->GetPos();
  w.MouseMove((pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2);
  ASSERT_TRUE(fade->IsAnimationRunning(kIn));
  const struct {
    const char* name;
    int ticks;
  } steps[] = {{"start", 0}, {"middle", 16}, {"end", kTicksPerFade}};
  int done = 0;
  for (const auto& step : steps) {
    StepTimer(fade, kIn, step.ticks - done);
    done = step.ticks;
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
    const auto result = testing::MatchGolden(std::string("fade_button_") + step.name + "_" + std::to_string(scale),
                                             pixels, width, height, false);
    EXPECT_TRUE(result.ok) << step.name << ": " << result.message;
  }
  EXPECT_FALSE(fade->IsAnimationRunning(kIn));
}

INSTANTIATE_TEST_SUITE_P(Scales, FadeButtonGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
