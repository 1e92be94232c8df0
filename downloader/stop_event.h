// A manual-reset event: set wakes every waiter and stays set until reset.
#pragma once

#include <memory>

namespace courier {

class StopEvent {
 public:
  StopEvent();  // created set
  ~StopEvent();
  StopEvent(const StopEvent&) = delete;
  StopEvent& operator=(const StopEvent&) = delete;

  void set();
  void reset();
  bool isSet() const;
  // Waits until the event is set or the time is up; returns whether it is set.
  bool wait(int milliseconds) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace courier
