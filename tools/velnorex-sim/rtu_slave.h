// The simulated transducer's Modbus RTU slave: how long a request is, and the reply it gets. Pure functions
// over fixed buffers, so the line handling around them stays a plain loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/velnorex-sim/register_map.h"

namespace velnorex::sim {

uint16_t Crc16(const uint8_t* bytes, size_t length);

// The whole length of the request that starts at `bytes`, CRC included: 0 while too few bytes are in hand to
// tell, kUnknownLength for a function whose frame length we do not know (the end of the frame is then the gap
// on the line).
inline constexpr size_t kUnknownLength = static_cast<size_t>(-1);
size_t RequestLength(const uint8_t* bytes, size_t count);

// A request touching `address` gets exception `code` whatever it asks, or only when it writes.
struct ExceptionRule {
  uint16_t address = 0;
  uint8_t code = 4;
  bool writesOnly = false;
};

class RtuSlave {
 public:
  static constexpr size_t kMaxFrame = 256;
  enum class Outcome { Reply, ForeignSlave, BadCrc, Broadcast };

  RtuSlave(RegisterMap& registers, uint8_t slaveAddress) : registers_(registers), slave_(slaveAddress) {}
  void addExceptionRule(ExceptionRule rule) { rules_.push_back(rule); }
  uint8_t address() const { return slave_; }

  // Handles one whole request frame. On Outcome::Reply, `reply` holds `replyLength` bytes with their CRC.
  // Requests to address 0 are carried out without a reply, as broadcasts are.
  Outcome handle(const uint8_t* request, size_t length, uint8_t* reply, size_t& replyLength);

 private:
  size_t exception(const uint8_t* request, uint8_t code, uint8_t* reply) const;
  bool ruleHits(uint32_t start, uint32_t count, bool write, uint8_t& code) const;

  RegisterMap& registers_;
  uint8_t slave_;
  std::vector<ExceptionRule> rules_;
};

}  // namespace velnorex::sim
