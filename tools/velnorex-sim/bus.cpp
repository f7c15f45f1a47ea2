// Routing requests to the transducers on the simulated line.
#include "tools/velnorex-sim/bus.h"

namespace velnorex::sim {

Bus::Bus(const RegisterMap& seed, const std::vector<uint8_t>& addresses,
         const std::vector<ExceptionRule>& rules) {
  maps_.reserve(addresses.size());
  slaves_.reserve(addresses.size());
  for (const uint8_t address : addresses) {
    maps_.push_back(std::make_unique<RegisterMap>(seed));
    slaves_.emplace_back(*maps_.back(), address);
    for (const auto& rule : rules) slaves_.back().addExceptionRule(rule);
  }
}

RtuSlave::Outcome Bus::handle(const uint8_t* request, size_t length, uint8_t* reply, size_t& replyLength) {
  replyLength = 0;
  if (slaves_.empty()) return RtuSlave::Outcome::ForeignSlave;
  if (length >= 1 && request[0] == 0) {
    // Every transducer carries out a broadcast; the first one's verdict on the frame is everybody's.
    auto outcome = RtuSlave::Outcome::Broadcast;
    for (auto& slave : slaves_) outcome = slave.handle(request, length, reply, replyLength);
    replyLength = 0;
    return outcome;
  }
  for (auto& slave : slaves_)
    if (length >= 1 && slave.address() == request[0])
      return slave.handle(request, length, reply, replyLength);
  // Nobody here has that address; the first transducer still tells a torn frame from another's request.
  return slaves_.front().handle(request, length, reply, replyLength);
}

RegisterMap* Bus::registers(uint8_t address) {
  for (size_t i = 0; i < slaves_.size(); ++i)
    if (slaves_[i].address() == address) return maps_[i].get();
  return nullptr;
}

bool Hears(const LineSetting& own, const LineSetting& master) {
  if (own.baud != 0 && own.baud != master.baud) return false;
  if (own.stopBits != 0 && own.stopBits != master.stopBits) return false;
  return true;
}

}  // namespace velnorex::sim
