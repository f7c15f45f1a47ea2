// Blocks of registers a transducer refused to be read as one, remembered while the line stays open: a
// refusing transducer then costs its extra request once per connection, not once per save or compare. A port
// opened again may reach another transducer, or one set up anew, so what was learnt goes with the old line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <tuple>

#include "modbus/register_request.h"
#include "serial/serial.h"

namespace velnorex {

class ReadRefusals {
 public:
  explicit ReadRefusals(const Serial& serial) : serial_(serial) {}
  ReadRefusals(const ReadRefusals&) = delete;
  ReadRefusals& operator=(const ReadRefusals&) = delete;

  // The transducer refused `request` as a block.
  void remember(const RegisterRequest& request);
  // Whether the same registers (slave, table, first register and count) were refused on this connection.
  bool refused(const RegisterRequest& request) const;
  // Blocks remembered on this connection.
  size_t size() const { return current() ? keys_.size() : 0; }

 private:
  using Key = std::tuple<uint8_t, RegisterTable, uint16_t, uint8_t>;
  static Key keyOf(const RegisterRequest& request) {
    return {request.slave, request.table, request.address, request.count};
  }
  bool current() const { return openCount_ == serial_.OpenCount(); }

  const Serial& serial_;
  uint32_t openCount_ = 0;  // the connection `keys_` were learnt on
  std::set<Key> keys_;
};

}  // namespace velnorex
