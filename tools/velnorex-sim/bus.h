// Several simulated transducers sharing one line, and the line setting a transducer listens with: what makes
// the simulator behave like a cabinet full of devices set up by somebody else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "tools/velnorex-sim/register_map.h"
#include "tools/velnorex-sim/rtu_slave.h"

namespace velnorex::sim {

class Bus {
 public:
  // One transducer per address, each with registers of its own seeded as `seed`; `rules` apply to all.
  // Addresses are 1 to 247 and distinct; at least one.
  Bus(const RegisterMap& seed, const std::vector<uint8_t>& addresses,
      const std::vector<ExceptionRule>& rules);

  // The transducer whose address the request names answers it; a broadcast is carried out by every one of
  // them and answered by none; a request for an address nobody has is ForeignSlave (or BadCrc).
  RtuSlave::Outcome handle(const uint8_t* request, size_t length, uint8_t* reply, size_t& replyLength);

  size_t size() const { return slaves_.size(); }
  // The registers of the transducer at `address`; null when there is none.
  RegisterMap* registers(uint8_t address);

 private:
  std::vector<std::unique_ptr<RegisterMap>> maps_;
  std::vector<RtuSlave> slaves_;
};

// How a line is set: baud rate and stop bits; 0 stands for "any" in a transducer's own setting.
struct LineSetting {
  long baud = 0;
  int stopBits = 0;
};

// A transducer understands the master only when both use the same baud rate and stop bits (a pseudo-terminal
// carries no parity, and parity none goes with two stop bits, even and odd with one).
bool Hears(const LineSetting& own, const LineSetting& master);

}  // namespace velnorex::sim
