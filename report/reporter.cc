#include "report/reporter.h"

#include <cstdlib>
#include <exception>
#include <utility>
#include <vector>

#include "base/product_log.h"
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

ReportWorker::ReportWorker() : thread_([this] { ThreadMain(); }) {}

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
  client_.init_sdk(config);
  common_params_ = common;
  getters_ = getters;
  client_.set_common_params(common);
  client_.set_common_param_getters(getters);
  if (this == g_instance) {
    // Registered after the client's own exit hook, so it runs before it: the
    // queue reaches the transport while the transport still sends.
    static std::once_flag exit_hook;
    std::call_once(exit_hook, [] { std::atexit(UninitAtExit); });
  }
  auto worker = std::make_unique<ReportWorker>();
  std::unique_ptr<ReportWorker> previous;
  {
    std::lock_guard lock(worker_mutex_);
    previous = std::exchange(worker_, std::move(worker));
  }
  previous.reset();  // delivers its queue
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
