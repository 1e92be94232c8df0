#include "vireon_sdk/src/report/transport_mgr.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "vireon_sdk/src/report/request_storage.h"
#include "vireon_sdk/src/report/vireon_client.h"
#include "vireon_sdk/src/report/vireon_request.h"
#include "vireon_sdk/src/utils/guarded.h"
#include "vireon_sdk/src/utils/log/log_request.h"
#include "vireon_sdk/src/utils/log/sdk_log.h"

namespace vireon {
namespace {

constexpr auto kCycle = std::chrono::milliseconds(300);
// While stopping the worker does not sleep between cycles; it only waits this
// long for a result, so it does not spin on a busy core.
constexpr auto kStoppingCycle = std::chrono::milliseconds(10);
constexpr auto kReloadInterval = std::chrono::seconds(5);
constexpr uint32_t kImmediateTries = 3;

}  // namespace

TransportMgr& TransportMgr::Instance() {
  static TransportMgr* const instance = [] {
    auto* manager = new TransportMgr();
    std::atexit([] { Instance().Stop(); });
    return manager;
  }();
  return *instance;
}

TransportMgr::TransportMgr() : exit_event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void TransportMgr::Start() {
  if (stopped_.load() || started_.exchange(true)) return;
  active_.store(true);
  worker_ = std::thread([this] { WorkLoop(); });
  pool_.Stop();
  pool_.Start(socket_thread_count);
  while (!ready_.load()) std::this_thread::yield();
}

void TransportMgr::Stop() {
  std::lock_guard<std::mutex> serial(stop_mutex_);
  if (stopped_.load()) return;
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    active_.store(false);
  }
  pause_signal_.notify_all();
  if (worker_.joinable()) {
    const int32_t wait_ms = std::max<int32_t>(0, VireonClient::config().exit_wait_ms);
    ::WaitForSingleObject(exit_event_.Get(), static_cast<DWORD>(wait_ms));
  }
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    exit_requested_.store(true);
  }
  pause_signal_.notify_all();
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id()) {
      // The worker cannot wait for itself; it ends at the end of this cycle.
      worker_.detach();
    } else {
      worker_.join();
    }
  }
  pool_.Stop();
  stopped_.store(true);
}

void TransportMgr::AddNewRequest(std::shared_ptr<VireonRequest> request) {
  std::lock_guard<std::mutex> lock(new_request_mutex_);
  if (!worker_done_) {
    new_requests_.push_back(std::move(request));
    return;
  }
  // The worker has ended: nothing will send this event in this process, but
  // a later one will when the store keeps it.
  if (storage_) storage_->RecordRequest(*request, false, &request->row_id);
}

void TransportMgr::PostSucceeded(std::shared_ptr<VireonRequest> request) { Post(true, std::move(request)); }

void TransportMgr::PostFailed(std::shared_ptr<VireonRequest> request) { Post(false, std::move(request)); }

void TransportMgr::Post(bool succeeded, std::shared_ptr<VireonRequest> request) {
  {
    std::lock_guard<std::mutex> lock(completion_mutex_);
    completions_.push_back({succeeded, std::move(request)});
  }
  // Only a stopping worker waits for results; an active one keeps its cycle.
  if (!active_.load()) pause_signal_.notify_all();
}

void TransportMgr::RunRequest(const std::shared_ptr<VireonRequest>& request) {
  pool_.Post([request] { request->Run(); });
}

void TransportMgr::WorkLoop() {
  utils::Guarded(false, [this] {
    InitDB();
    return true;
  });
  ready_.store(true);
  for (;;) {
    // A cycle that throws (no memory) is lost, not the worker.
    const bool done = utils::Guarded(false, [this] { return Cycle(); });
    if (done || exit_requested_.load()) break;
  }
  utils::Guarded(false, [this] {
    StoreLeftovers();
    return true;
  });
}

bool TransportMgr::Cycle() {
  RunCompletions();
  if (active_.load()) {
    TakeNewRequests();
    ReloadStoredRequests();
  }
  Dispatch();
  if (active_.load()) {
    Pause(kCycle);
    return false;
  }
  TakeNewRequests();
  if (pending_.empty() && in_flight_.empty()) {
    ::SetEvent(exit_event_.Get());
    return true;
  }
  Pause(kStoppingCycle);
  return false;
}

void TransportMgr::Pause(std::chrono::milliseconds longest) {
  std::unique_lock<std::mutex> lock(pause_mutex_);
  if (active_.load()) {
    pause_signal_.wait_for(lock, longest, [this] { return !active_.load(); });
    return;
  }
  pause_signal_.wait_for(lock, longest, [this] {
    if (exit_requested_.load()) return true;
    std::lock_guard<std::mutex> results(completion_mutex_);
    return !completions_.empty();
  });
}

void TransportMgr::InitDB() {
  const VireonConfig& config = VireonClient::config();
  if (config.enable_storage) {
    auto storage = std::make_shared<RequestStorage>();
    if (storage->Init(config.db_path, config)) {
      storage_ = std::move(storage);
    } else {
      VIREON_LOG(kLogError, "TransportMgr::InitDB") << "Storage init failed";
    }
  }
}

void TransportMgr::RunCompletions() {
  std::vector<Completion> batch;
  {
    std::lock_guard<std::mutex> lock(completion_mutex_);
    batch.swap(completions_);
  }
  for (const Completion& completion : batch) {
    if (completion.succeeded) {
      OnRequestSucceed(completion.request);
    } else {
      OnRequestFailed(completion.request);
    }
  }
}

void TransportMgr::TakeNewRequests() {
  std::vector<std::shared_ptr<VireonRequest>> taken;
  {
    std::lock_guard<std::mutex> lock(new_request_mutex_);
    taken.swap(new_requests_);
  }
  for (auto& request : taken) {
    if (storage_) {
      int64_t row_id = 0;
      if (storage_->RecordRequest(*request, true, &row_id)) request->row_id = row_id;
    }
    pending_.push_back(std::move(request));
  }
}

void TransportMgr::ReloadStoredRequests() {
  if (!storage_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!last_reload_) last_reload_ = now;
  if (now - *last_reload_ < kReloadInterval) return;
  last_reload_ = now;
  const size_t room = static_cast<size_t>(socket_thread_count) - in_flight_.size();
  if (pending_.size() >= room) return;
  for (auto& request : storage_->LoadPendingRequests()) pending_.push_back(std::move(request));
}

void TransportMgr::Dispatch() {
  while (!pending_.empty() && in_flight_.size() < static_cast<size_t>(socket_thread_count)) {
    auto request = std::move(pending_.front());
    pending_.pop_front();
    in_flight_.push_back(request);
    RunRequest(request);
  }
}

void TransportMgr::StoreLeftovers() {
  std::lock_guard<std::mutex> lock(new_request_mutex_);
  worker_done_ = true;
  for (auto& request : new_requests_) {
    if (storage_) storage_->RecordRequest(*request, false, &request->row_id);
  }
  new_requests_.clear();
}

void TransportMgr::OnRequestSucceed(const std::shared_ptr<VireonRequest>& request) {
  if (storage_) storage_->DeleteRequest(request->row_id);
  RemoveInFlight(request);
  utils::LogRequest("Request_Succeed", *request);
}

void TransportMgr::OnRequestFailed(const std::shared_ptr<VireonRequest>& request) {
  // The next try tells the collector how many tries failed before it.
  request->params["report_count"] = std::to_string(request->attempts);
  request->Pack();
  if (request->attempts < kImmediateTries) {
    if (storage_) storage_->UpdateRequest(*request);
    RunRequest(request);
  } else {
    RemoveInFlight(request);
    if (storage_) storage_->UpdateFailedRequest(*request);
  }
  utils::LogRequest("Request_Failed", *request);
}

void TransportMgr::RemoveInFlight(const std::shared_ptr<VireonRequest>& request) {
  const auto it = std::find(in_flight_.begin(), in_flight_.end(), request);
  if (it != in_flight_.end()) in_flight_.erase(it);
}

}  // namespace vireon
