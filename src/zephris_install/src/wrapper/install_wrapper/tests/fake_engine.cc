#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"

#include <chrono>

namespace front_test {

void EngineProbe::AllowCancel() {
  {
    std::lock_guard lock(mutex);
    cancel_allowed = true;
  }
  changed.notify_all();
}

void EngineProbe::FinishWith(int32_t status) {
  {
    std::lock_guard lock(mutex);
    finish_with = status;
  }
  changed.notify_all();
}

bool EngineProbe::WaitDestroyed() {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::seconds(20), [this] { return destroyed; });
}

bool EngineProbe::WaitRunning() {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::seconds(20), [this] { return runs.load() > 0; });
}

FakeEngine::FakeEngine(const std::shared_ptr<IInstallNotify>& notify, std::shared_ptr<EngineProbe> probe)
    : InstallImpl(notify), probe_(std::move(probe)) {}

FakeEngine::~FakeEngine() {
  {
    std::lock_guard lock(probe_->mutex);
    probe_->destroyed = true;
  }
  probe_->changed.notify_all();
}

int32_t FakeEngine::Run() {
  {
    std::lock_guard lock(probe_->mutex);
    ++probe_->runs;
  }
  probe_->changed.notify_all();
  int finish_with = 0;
  {
    std::unique_lock lock(probe_->mutex);
    probe_->changed.wait(lock, [this] { return probe_->finish_with != 0 || run_state() == kRunStopped; });
    finish_with = probe_->finish_with;
    if (finish_with == 0) {
      probe_->changed.wait(lock, [this] { return probe_->cancel_allowed; });
    }
  }
  switch (finish_with) {
    case kStatusCompleted:
      NotifyComplete();
      break;
    case kStatusFailed:
      NotifyError();
      break;
    default:
      NotifyCancel();
      break;
  }
  probe_->run_returned = true;
  return 0;
}

void FakeEngine::Stop() {
  ++probe_->stops;
  {
    std::lock_guard lock(probe_->mutex);
    SetRunState(kRunStopped, true);
  }
  probe_->changed.notify_all();
}

void FakeEngine::Pause() {
  ++probe_->pauses;
  SetRunState(kRunPaused, false);
}

void FakeEngine::Resume() {
  ++probe_->resumes;
  SetRunState(kRunRunning, true);
}

}  // namespace front_test
