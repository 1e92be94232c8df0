// An engine for the front-end tests: it runs until the test ends it or a stop
// arrives, and after a stop it publishes the cancel only once the test lets
// it, so that a test can make it slower than any wait.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"

namespace front_test {

// What the test sees of an engine, also after the engine is gone.
struct EngineProbe {
  std::atomic<int> runs{0};
  std::atomic<bool> run_returned{false};
  std::atomic<int> stops{0};
  std::atomic<int> pauses{0};
  std::atomic<int> resumes{0};

  std::mutex mutex;
  std::condition_variable changed;
  bool destroyed = false;
  bool cancel_allowed = true;  // false: a stopped run waits for AllowCancel
  int finish_with = 0;         // 0 keep running, else the final status to publish

  void AllowCancel();
  void FinishWith(int32_t status);
  // True once the engine is destroyed (waits up to 20 s).
  bool WaitDestroyed();
  // True once the run has started (waits up to 20 s).
  bool WaitRunning();
};

class FakeEngine : public InstallImpl {
 public:
  FakeEngine(const std::shared_ptr<IInstallNotify>& notify, std::shared_ptr<EngineProbe> probe);
  ~FakeEngine() override;

  int32_t Run() override;
  void Stop() override;
  void Pause() override;
  void Resume() override;

 private:
  std::shared_ptr<EngineProbe> probe_;
};

}  // namespace front_test
