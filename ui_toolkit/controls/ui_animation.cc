#include "ui_toolkit/controls/ui_animation.h"

#include <algorithm>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CUIAnimation::CUIAnimation(CControlUI* owner) : owner_(owner) {}

CUIAnimation::~CUIAnimation() = default;

CUIAnimation::Job* CUIAnimation::FindJob(int id) {
  for (const auto& job : jobs_) {
    if (job->id == id) return job.get();
  }
  return nullptr;
}

CUIAnimation::Job* CUIAnimation::FindJob(int id, unsigned serial) {
  Job* job = FindJob(id);
  return job != nullptr && job->serial == serial ? job : nullptr;
}

void CUIAnimation::RemoveJob(int id) {
  std::erase_if(jobs_, [id](const std::unique_ptr<Job>& job) { return job->id == id; });
}

bool CUIAnimation::StartAnimation(int elapse, int total_frames, int id, bool loop) {
  if (FindJob(id) != nullptr || elapse < 1 || total_frames < 1 || owner_ == nullptr) return false;
  CPaintManagerUI* manager = owner_->GetManager();
  if (manager == nullptr || !manager->SetTimer(owner_, static_cast<UINT>(id), static_cast<UINT>(elapse))) {
    return false;
  }
  auto job = std::make_unique<Job>();
  job->id = id;
  job->elapse = elapse;
  job->total_frames = total_frames;
  job->loop = loop;
  job->serial = ++next_serial_;
  jobs_.push_back(std::move(job));
  return true;
}

void CUIAnimation::StopAnimation(int id) {
  if (owner_ == nullptr) return;
  CPaintManagerUI* manager = owner_->GetManager();
  if (id == 0) {
    if (manager != nullptr) {
      for (const auto& job : jobs_) manager->KillTimer(owner_, static_cast<UINT>(job->id));
    }
    jobs_.clear();
    return;
  }
  if (manager != nullptr) manager->KillTimer(owner_, static_cast<UINT>(id));
  RemoveJob(id);
}

bool CUIAnimation::IsAnimationRunning(int id) { return FindJob(id) != nullptr; }

int CUIAnimation::GetCurrentFrame(int id) {
  const Job* job = FindJob(id);
  return job != nullptr ? job->current_frame : -1;
}

bool CUIAnimation::SetCurrentFrame(int frame, int id) {
  Job* job = FindJob(id);
  if (job == nullptr || frame < 0 || frame > job->total_frames) return false;
  job->current_frame = frame;
  return true;
}

void CUIAnimation::OnAnimationStep(int, int, int) {}
void CUIAnimation::OnAnimationStart(int, bool) {}
void CUIAnimation::OnAnimationStop(int) {}

void CUIAnimation::OnAnimationTimer(int id) {
  if (owner_ == nullptr) return;
  Job* job = FindJob(id);
  if (job == nullptr) return;
  const int frame = job->current_frame;
  const int total = job->total_frames;
  const unsigned serial = job->serial;
  // A hook may stop or restart this very job; the job is looked up again
  // after each one rather than trusted to still exist.
  if (frame == 0) {
    const bool first = job->first_loop;
    job->first_loop = false;
    OnAnimationStart(id, first);
    job = FindJob(id, serial);
    if (job == nullptr) return;
  }
  OnAnimationStep(total, frame, id);
  job = FindJob(id, serial);
  if (job == nullptr) return;
  if (frame >= total) {
    OnAnimationStop(id);
    job = FindJob(id, serial);
    if (job == nullptr) return;
    if (!job->loop) {
      StopAnimation(id);
      return;
    }
    job->current_frame = 0;
  }
  ++job->current_frame;
}

}  // namespace SkinUI
