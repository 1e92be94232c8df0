// Animation jobs on a control of a real window: the hooks each tick calls,
// looping, stopping, and hooks that stop or restart their own job.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui_toolkit/controls/tests/step_timer.h"
#include "ui_toolkit/controls/ui_animation.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using testing::StepTimer;

class AnimatedControl : public CControlUI, public CUIAnimation {
 public:
  AnimatedControl() : CUIAnimation(this) {}

  void HandleEvent(ControlEventUI& event) override {
    if (event.Type == UIEVENT_TIMER) {
      OnAnimationTimer(static_cast<int>(event.wParam));
      return;
    }
    CControlUI::HandleEvent(event);
  }
  void OnAnimationStart(int id, bool first_loop) override {
    log.push_back("start " + std::to_string(id) + (first_loop ? " first" : ""));
  }
  void OnAnimationStep(int total, int frame, int id) override {
    log.push_back("step " + std::to_string(id) + " " + std::to_string(frame) + "/" + std::to_string(total));
    if (on_step) on_step(frame);
  }
  void OnAnimationStop(int id) override { log.push_back("stop " + std::to_string(id)); }

  std::vector<std::string> log;
  std::function<void(int)> on_step;
};

using Log = std::vector<std::string>;

class AnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Open());
    control_ = new AnimatedControl;
    ASSERT_TRUE(static_cast<CContainerUI*>(window_.Find(L"root"))->Add(control_));
  }

  SkinWindow window_{L"<Window size=\"100,50\"><VerticalLayout name=\"root\"/></Window>"};
  AnimatedControl* control_ = nullptr;
};

TEST_F(AnimationTest, APassStepsEveryFrameThenStopsAndEnds) {
  ASSERT_TRUE(control_->StartAnimation(10, 3, 7));
  EXPECT_TRUE(control_->IsAnimationRunning(7));
  EXPECT_EQ(0, control_->GetCurrentFrame(7));
  StepTimer(control_, 7, 3);
  EXPECT_EQ((Log{"start 7 first", "step 7 0/3", "step 7 1/3", "step 7 2/3"}), control_->log);
  EXPECT_EQ(3, control_->GetCurrentFrame(7));
  StepTimer(control_, 7);
  EXPECT_EQ("step 7 3/3", control_->log[4]);
  EXPECT_EQ("stop 7", control_->log[5]);
  EXPECT_FALSE(control_->IsAnimationRunning(7));
  EXPECT_EQ(-1, control_->GetCurrentFrame(7));
  // The job is gone: further ticks change nothing.
  StepTimer(control_, 7, 2);
  EXPECT_EQ(6u, control_->log.size());
  // Its timer was killed, so the id can be started again.
  EXPECT_TRUE(control_->StartAnimation(10, 3, 7));
}

TEST_F(AnimationTest, ALoopingJobRestartsAtFrameOneAndStartsOnlyOnce) {
  ASSERT_TRUE(control_->StartAnimation(10, 2, 3, true));
  StepTimer(control_, 3, 6);
  EXPECT_EQ((Log{"start 3 first", "step 3 0/2", "step 3 1/2", "step 3 2/2", "stop 3", "step 3 1/2", "step 3 2/2",
                 "stop 3", "step 3 1/2"}),
            control_->log);
  EXPECT_TRUE(control_->IsAnimationRunning(3));
  control_->StopAnimation(3);
  EXPECT_FALSE(control_->IsAnimationRunning(3));
}

TEST_F(AnimationTest, StartRefusesARunningIdAndBadFigures) {
  ASSERT_TRUE(control_->StartAnimation(10, 5, 1));
  StepTimer(control_, 1, 2);
  EXPECT_FALSE(control_->StartAnimation(20, 9, 1));
  EXPECT_EQ(2, control_->GetCurrentFrame(1));  // the running job is untouched
  EXPECT_FALSE(control_->StartAnimation(0, 5, 2));
  EXPECT_FALSE(control_->StartAnimation(10, 0, 2));
  EXPECT_FALSE(control_->IsAnimationRunning(2));
  // Frames outside 0..total are refused.
  EXPECT_FALSE(control_->SetCurrentFrame(-1, 1));
  EXPECT_FALSE(control_->SetCurrentFrame(6, 1));
  EXPECT_FALSE(control_->SetCurrentFrame(0, 2));
  EXPECT_TRUE(control_->SetCurrentFrame(5, 1));
  StepTimer(control_, 1);
  EXPECT_FALSE(control_->IsAnimationRunning(1));
}

TEST_F(AnimationTest, StopWithIdZeroEndsEveryJob) {
  ASSERT_TRUE(control_->StartAnimation(10, 5, 1));
  ASSERT_TRUE(control_->StartAnimation(10, 5, 2));
  control_->StopAnimation(0);
  EXPECT_FALSE(control_->IsAnimationRunning(1));
  EXPECT_FALSE(control_->IsAnimationRunning(2));
  EXPECT_TRUE(control_->StartAnimation(10, 5, 1));  // timers were killed
}

TEST_F(AnimationTest, AHookThatStopsOrRestartsItsJobIsSafe) {
  ASSERT_TRUE(control_->StartAnimation(10, 5, 4));
  control_->on_step = [&](int frame) {
    if (frame == 1) control_->StopAnimation(4);
  };
  StepTimer(control_, 4, 3);
  EXPECT_FALSE(control_->IsAnimationRunning(4));
  EXPECT_EQ((Log{"start 4 first", "step 4 0/5", "step 4 1/5"}), control_->log);
  // A restart from the step hook leaves the new job at its own frame 0.
  control_->log.clear();
  ASSERT_TRUE(control_->StartAnimation(10, 5, 4));
  control_->on_step = [&](int frame) {
    if (frame == 0) {
      control_->on_step = nullptr;
      control_->StopAnimation(4);
      control_->StartAnimation(10, 5, 4);
    }
  };
  StepTimer(control_, 4);
  EXPECT_EQ(0, control_->GetCurrentFrame(4));
  StepTimer(control_, 4);
  EXPECT_EQ("start 4 first", control_->log[2]);
  control_->StopAnimation(0);
}

TEST_F(AnimationTest, RealTimerTicksDriveTheJobToItsEnd) {
  ASSERT_TRUE(control_->StartAnimation(10, 2, 5));
  ASSERT_TRUE(testing::PumpUntil([&] { return !control_->IsAnimationRunning(5); }));
  EXPECT_EQ((Log{"start 5 first", "step 5 0/2", "step 5 1/2", "step 5 2/2", "stop 5"}), control_->log);
}

TEST(AnimationWithoutWindowTest, AControlWithoutAManagerCannotAnimate) {
  AnimatedControl control;
  EXPECT_FALSE(control.StartAnimation(10, 5, 1));
  EXPECT_FALSE(control.IsAnimationRunning(1));
  control.StopAnimation(0);
  control.OnAnimationTimer(1);
  EXPECT_TRUE(control.log.empty());
}

}  // namespace
}  // namespace SkinUI
