// The installer's one door to the telemetry client. During start-up events are
// handed to a worker thread, so that neither the client's start nor the first
// events' first-use costs fall on the main thread; once the worker has
// delivered one event every later event goes to the client on the thread that
// raises it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "vireon_sdk/src/report/report_params.h"
#include "vireon_sdk/src/report/vireon_config.h"

namespace zephris_report {

using ReportParams = vireon::ReportParams;
using VolatileParamGetters = vireon::VolatileParamGetters;

// What the client is started with.
struct ReportSetup {
  vireon::VireonConfig config;
  ReportParams common;
  VolatileParamGetters getters;
};

// The telemetry client's operations the Reporter uses; the process-wide
// Reporter uses VireonClient's.
struct ReportClient {
  std::function<void(const vireon::VireonConfig&)> init_sdk;
  std::function<void(const ReportParams&)> set_common_params;
  std::function<void(const VolatileParamGetters&)> set_common_param_getters;
  std::function<void(const std::string&, const ReportParams&)> report;  // priority 0

  static ReportClient Vireon();
};

// Delivers queued events in the order they were queued. The queue has no
// bound: start-up events are few, and none may be lost.
class ReportWorker {
 public:
  using Closure = std::function<void()>;

  // `first` (when given) runs on the worker before any event it is handed.
  // Throws std::system_error when the thread cannot be started.
  explicit ReportWorker(Closure first = {});
  // Delivers what is still queued, then ends the thread.
  ~ReportWorker();
  ReportWorker(const ReportWorker&) = delete;
  ReportWorker& operator=(const ReportWorker&) = delete;

  void Enqueue(Closure closure);

 private:
  void ThreadMain();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Closure> queue_;  // under mutex_
  bool stop_ = false;          // under mutex_
  std::thread thread_;
};

class Reporter {
 public:
  // The process-wide Reporter over the telemetry client. Its state is never
  // freed, so detached threads may still report while the process exits;
  // a worker still running at exit delivers its queue first.
  static Reporter& Instance();

  explicit Reporter(ReportClient client);
  ~Reporter();
  Reporter(const Reporter&) = delete;
  Reporter& operator=(const Reporter&) = delete;

  // Starts the client with the configuration, the common parameters and the
  // getters on the caller's thread, beside a new worker that holds the events
  // other threads raise meanwhile; an earlier worker first delivers its queue
  // and ends. Throws std::system_error when the worker's thread cannot be started (the
  // client is started then, and events go straight to it).
  void Init(const vireon::VireonConfig& config, const ReportParams& common, const VolatileParamGetters& getters);

  // As Init, but the setup is made and the client started on the new worker,
  // before it delivers anything: the caller only starts a thread. Events
  // raised meanwhile wait in the queue and reach the client after it has its
  // settings, in the order they were raised. When the worker's thread cannot
  // be started the setup runs on the caller's thread, then std::system_error
  // is thrown and events go straight to the client.
  void InitOnWorker(std::function<ReportSetup()> make_setup);

  // From any thread; never fails towards the caller. The map is copied.
  void Report(const std::string& event, const ReportParams& params);

  // Hands every queued event to the client, then ends the worker; later
  // events go straight to the client. Nothing happens without a worker.
  void Uninit();

  bool direct() const { return direct_.load(); }

 private:
  // Init's client calls and the kept copies.
  void Apply(const ReportSetup& setup);
  // Replaces the worker: the earlier one first delivers its queue (and ends
  // its own start-up) under the settings it was started with, then `setup`
  // runs on the caller's thread or, `on_worker`, first thing on the new one.
  void Restart(ReportWorker::Closure setup, bool on_worker);
  void Deliver(const std::string& event, const ReportParams& params);

  const ReportClient client_;
  ReportParams common_params_;
  VolatileParamGetters getters_;
  std::atomic<bool> direct_{false};
  // Held while a report looks at the worker and queues on it, and while the
  // worker is swapped out, so that no report queues on a worker that is
  // being destroyed and every event queued before Uninit is delivered. Never
  // held while a worker delivers or is joined.
  std::mutex worker_mutex_;
  std::unique_ptr<ReportWorker> worker_;
};

}  // namespace zephris_report
