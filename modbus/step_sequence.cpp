// The one step engine.
#include "modbus/step_sequence.h"

#include "modbus/modbus.h"

namespace velnorex {

void StepSequence::post(std::function<void()> step) {
  if (!active_) return;
  const uint64_t generation = generation_;
  post_([this, generation, step = std::move(step)]() mutable { run(generation, std::move(step)); });
}

void StepSequence::run(uint64_t generation, std::function<void()> step) {
  if (generation != generation_ || !active_) return;
  if (modbus_.InTransaction()) {
    // Reached from the pending messages of another transaction: wait for it to finish.
    post_([this, generation, step = std::move(step)]() mutable { run(generation, std::move(step)); });
    return;
  }
  step();
}

}  // namespace velnorex
