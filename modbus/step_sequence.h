// Work made of many transactions (a group read or write, a round of the watch list, a configuration run)
// runs as a sequence of steps: each next step is posted to the event queue after the last transaction's
// result, never starts inside another transaction, and a newer start or a cancel makes what was posted
// before do nothing.
#pragma once

#include <cstdint>
#include <functional>

namespace velnorex {

class Modbus;

class StepSequence {
 public:
  // Runs a step from the event queue, after the current handler has returned.
  using Poster = std::function<void(std::function<void()>)>;

  StepSequence(const Modbus& modbus, Poster post) : modbus_(modbus), post_(std::move(post)) {}

  // A new run begins: steps posted for an earlier one do nothing.
  void begin() {
    ++generation_;
    active_ = true;
  }
  // The run ends: no step posted for it runs.
  void cancel() {
    ++generation_;
    active_ = false;
  }
  bool active() const { return active_; }

  // Posts `step` for the current run. It runs once the transaction in progress (if any) has ended, and only
  // if the run has not been cancelled or superseded meanwhile. Does nothing when no run is active.
  void post(std::function<void()> step);

 private:
  void run(uint64_t generation, std::function<void()> step);

  const Modbus& modbus_;
  Poster post_;
  uint64_t generation_ = 0;
  bool active_ = false;
};

}  // namespace velnorex
