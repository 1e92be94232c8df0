// The process-wide owner of every telemetry request between Report and the
// collector. One worker thread records new requests in the store, reloads
// due ones, hands requests to the socket pool and handles each result
// (delete on success, retry or return to the store on failure); everything
// that touches the store runs on that worker.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/scoped_handle.h"
#include "vireon_sdk/src/report/socket_pool.h"

namespace vireon {

class RequestStorage;
class VireonRequest;

class TransportMgr {
 public:
  // Created on first use; stops itself at process exit unless stopped before.
  static TransportMgr& Instance();

  TransportMgr(const TransportMgr&) = delete;
  TransportMgr& operator=(const TransportMgr&) = delete;

  // Starts the worker and the socket threads and returns once the worker has
  // opened (or failed to open) the store. Only the first call starts; the
  // manager does not start again after Stop. Throws std::system_error when a
  // thread cannot be made.
  void Start();

  // Waits up to the configured exit wait for the requests in hand, then ends
  // the worker and the socket threads. Later calls return at once.
  void Stop();

  // Hand-over from Report. After the worker has ended, the request is kept in
  // the store for a later process (and lost only when there is no store).
  void AddNewRequest(std::shared_ptr<VireonRequest> request);

  // From a socket thread: the outcome of one try, handled on the worker.
  void PostSucceeded(std::shared_ptr<VireonRequest> request);
  void PostFailed(std::shared_ptr<VireonRequest> request);

  // Queues one try of the request on the socket pool.
  void RunRequest(const std::shared_ptr<VireonRequest>& request);

  // False once Stop began: uploads then use their short time-outs.
  bool active() const { return active_.load(); }

 private:
  struct Completion {
    bool succeeded;
    std::shared_ptr<VireonRequest> request;
  };

  TransportMgr();
  ~TransportMgr() = delete;  // lives until the process ends

  void WorkLoop();
  // One cycle of the worker; true when, stopping, nothing is left in hand.
  bool Cycle();
  void InitDB();
  void RunCompletions();
  void TakeNewRequests();
  void ReloadStoredRequests();
  void Dispatch();
  void StoreLeftovers();
  void OnRequestSucceed(const std::shared_ptr<VireonRequest>& request);
  void OnRequestFailed(const std::shared_ptr<VireonRequest>& request);
  void RemoveInFlight(const std::shared_ptr<VireonRequest>& request);
  void Post(bool succeeded, std::shared_ptr<VireonRequest> request);
  // The worker's pause between cycles; ends early when Stop begins or, while
  // stopping, when a result comes in.
  void Pause(std::chrono::milliseconds longest);

  std::atomic<bool> ready_{false};
  std::atomic<bool> stopped_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> exit_requested_{false};
  std::atomic<bool> started_{false};
  base::ScopedKernelHandle exit_event_;  // manual reset; set when nothing is left in hand while stopping
  std::thread worker_;
  std::mutex stop_mutex_;  // one Stop at a time

  std::mutex completion_mutex_;
  std::vector<Completion> completions_;

  std::mutex new_request_mutex_;
  std::vector<std::shared_ptr<VireonRequest>> new_requests_;
  bool worker_done_ = false;  // under new_request_mutex_: late requests go straight to the store

  std::mutex pause_mutex_;
  std::condition_variable pause_signal_;

  // The worker's own (and, once it has ended, the hand-over's under
  // new_request_mutex_).
  std::deque<std::shared_ptr<VireonRequest>> pending_;
  std::vector<std::shared_ptr<VireonRequest>> in_flight_;
  std::shared_ptr<RequestStorage> storage_;
  std::optional<std::chrono::steady_clock::time_point> last_reload_;

  SocketPool pool_;
};

}  // namespace vireon
