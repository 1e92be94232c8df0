// Frame-counted animations for a control, driven by the control's paint
// manager timers: each job has an id (also its timer id), a tick interval, a
// frame count, a current frame and a loop flag. The owning control routes its
// timer events to OnAnimationTimer and overrides the start, step and stop
// hooks.
#pragma once

#include <memory>
#include <vector>

namespace SkinUI {

class CControlUI;

class IUIAnimation {
 public:
  virtual ~IUIAnimation() = default;
  virtual bool StartAnimation(int elapse, int total_frames, int id = 0, bool loop = false) = 0;
  virtual void StopAnimation(int id = 0) = 0;
  virtual bool IsAnimationRunning(int id) = 0;
  virtual int GetCurrentFrame(int id = 0) = 0;
  virtual bool SetCurrentFrame(int frame, int id = 0) = 0;
  virtual void OnAnimationStep(int total_frames, int current_frame, int id) = 0;
  virtual void OnAnimationStart(int id, bool first_loop) = 0;
  virtual void OnAnimationStop(int id) = 0;
  virtual void OnAnimationTimer(int id) = 0;
};

class CUIAnimation : public IUIAnimation {
 public:
  explicit CUIAnimation(CControlUI* owner);
  ~CUIAnimation() override;
  CUIAnimation(const CUIAnimation&) = delete;
  CUIAnimation& operator=(const CUIAnimation&) = delete;

  bool StartAnimation(int elapse, int total_frames, int id = 0, bool loop = false) override;
  // Id 0 stops every job.
  void StopAnimation(int id = 0) override;
  bool IsAnimationRunning(int id) override;
  // -1 when no job has the id.
  int GetCurrentFrame(int id = 0) override;
  bool SetCurrentFrame(int frame, int id = 0) override;
  void OnAnimationStep(int total_frames, int current_frame, int id) override;
  void OnAnimationStart(int id, bool first_loop) override;
  void OnAnimationStop(int id) override;
  void OnAnimationTimer(int id) override;

 private:
  struct Job {
    int id = 0;
    int elapse = 0;
    int total_frames = 0;
    int current_frame = 0;
    bool loop = false;
    bool first_loop = true;
    unsigned serial = 0;  // tells a restarted job from the one it replaced
  };

  Job* FindJob(int id);
  Job* FindJob(int id, unsigned serial);
  void RemoveJob(int id);

  CControlUI* owner_;
  unsigned next_serial_ = 0;
  std::vector<std::unique_ptr<Job>> jobs_;
};

}  // namespace SkinUI
