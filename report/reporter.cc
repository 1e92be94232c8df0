#include "report/reporter.h"

#include <cstdlib>
#include <exception>
#include <future>
#include <utility>
#include <vector>

#include "base/product_log.h"
#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace zephris_report {

namespace {

Reporter* g_instance = nullptr;

void UninitAtExit() { Reporter::Instance().Uninit(); }

}  // namespace

ReportClient ReportClient::Vireon() {
  return ReportClient{
      [](const vireon::VireonConfig& config) { VireonClient::InitSDK(config); },
      [](const ReportParams& params) { VireonClient::set_common_params(params); },
      [](const VolatileParamGetters& getters) { VireonClient::set_common_param_getters(getters); },
      [](const std::string& event, const ReportParams& params) {
        VireonClient::Report(event, params, Vireon::kPriorityNormal);
      }};
}

ReportWorker::ReportWorker(Closure first) {
  if (first) queue_.push_back(std::move(first));
  thread_ = std::thread([this] { ThreadMain(); });
}

ReportWorker::~ReportWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void ReportWorker::Enqueue(Closure closure) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(closure));
  }
  wake_.notify_one();
}

void ReportWorker::ThreadMain() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything was delivered
    std::deque<Closure> batch;
    batch.swap(queue_);
    lock.unlock();
    for (Closure& closure : batch) {
      // A closure that throws must not take the other events down with it.
      try {
        closure();
      } catch (const std::exception& e) {
        PRODUCT_LOG("report worker: an event failed: {}", e.what());
      }
    }
    batch.clear();
    lock.lock();
  }
}

Reporter& Reporter::Instance() {
  static Reporter* const instance = [] {
    g_instance = new Reporter(ReportClient::Vireon());
    return g_instance;
  }();
  return *instance;
}

Reporter::Reporter(ReportClient client) : client_(std::move(client)) {}

Reporter::~Reporter() { Uninit(); }

void Reporter::Init(const vireon::VireonConfig& config, const ReportParams& common,
                    const VolatileParamGetters& getters) {
  Restart([this, &config, &common, &getters] { Apply({config, common, getters}); }, false);
}

void Reporter::InitOnWorker(std::function<ReportSetup()> make_setup) {
  Restart(
      [this, make_setup = std::move(make_setup)] {
        // Without its settings the client could only hold the events; say so
        // once, and let them through to it all the same.
        try {
          Apply(make_setup());
        } catch (const std::exception& e) {
          PRODUCT_LOG("report: telemetry start-up failed: {}", e.what());
        }
      },
      true);
}

void Reporter::Apply(const ReportSetup& setup) {
  client_.init_sdk(setup.config);
  common_params_ = setup.common;
  getters_ = setup.getters;
  client_.set_common_params(setup.common);
  client_.set_common_param_getters(setup.getters);
}

void Reporter::Restart(ReportWorker::Closure setup, bool on_worker) {
  if (this == g_instance) {
    // The transport's exit hook first, so that ours runs before it: the
    // queue reaches the transport while the transport still sends, also when
    // the client itself is started later, on the worker.
    static std::once_flag exit_hook;
    std::call_once(exit_hook, [] {
      vireon::TransportMgr::Instance();
      std::atexit(UninitAtExit);
    });
  }
  // The new worker is in place at once, so events raised from here on queue
  // behind the start-up. It delivers nothing before the earlier worker has
  // delivered its queue under the settings that worker was started with:
  // two start-ups never run at once.
  auto previous = std::make_shared<std::unique_ptr<ReportWorker>>();
  std::promise<void> caller_done;
  ReportWorker::Closure first;
  if (on_worker) {
    first = [previous, setup] {
      previous->reset();
      setup();
    };
  } else {
    first = [done = caller_done.get_future().share()] { done.wait(); };
  }
  std::exception_ptr no_thread;
  {
    std::lock_guard lock(worker_mutex_);
    *previous = std::move(worker_);
    try {
      worker_ = std::make_unique<ReportWorker>(std::move(first));
    } catch (const std::system_error&) {
      no_thread = std::current_exception();
    }
  }
  if (on_worker && !no_thread) return;
  // Opened however the setup ends, or the new worker would wait for ever.
  struct OpenGate {
    std::promise<void>& gate;
    ~OpenGate() { gate.set_value(); }
  } open_gate{caller_done};
  previous->reset();
  setup();
  if (no_thread) std::rethrow_exception(no_thread);
}

void Reporter::Report(const std::string& event, const ReportParams& params) {
  if (!direct_.load()) {
    std::unique_lock lock(worker_mutex_);
    if (worker_) {
      worker_->Enqueue([this, event, params] {
        Deliver(event, params);
        direct_.store(true);
      });
      return;
    }
  }
  Deliver(event, params);
}

void Reporter::Uninit() {
  std::unique_ptr<ReportWorker> worker;
  {
    std::lock_guard lock(worker_mutex_);
    worker = std::move(worker_);
  }
  worker.reset();  // delivers its queue
}

void Reporter::Deliver(const std::string& event, const ReportParams& params) { client_.report(event, params); }

}  // namespace zephris_report
