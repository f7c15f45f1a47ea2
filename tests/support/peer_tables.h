// What an independent Modbus peer of the tests serves: the four tables from address 0, seeded alike for
// pymodbus and libmodbus.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace velnorex::test {

struct PeerTables {
  int slave = 1;
  int size = 256;  // holding registers 0 .. size-1
  // Initial values: (address, consecutive register values).
  std::vector<std::pair<uint16_t, std::vector<uint16_t>>> values;
  // The other tables, `size` each: input registers, coils and discrete inputs (0 or 1).
  std::vector<std::pair<uint16_t, std::vector<uint16_t>>> inputs, coils, discretes;
};

}  // namespace velnorex::test
