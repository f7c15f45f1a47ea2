// What a transaction asks for, parsed once from a register's text fields: slave, table, first register,
// how many, and the format its value is decoded by (type, word order, meaning).
#pragma once

#include <cstdint>
#include <string_view>

#include "modbus/register_types.h"
#include "treefile/register_records.h"

namespace velnorex {

struct RegisterRequest : RegisterFormat {
  uint8_t slave = 0;
  uint16_t address = 0;
  uint8_t count = 0;  // registers, or bits of a coil or discrete input
};

// A register of the tree with the slave edit's text. The slave text, Address and Count are converted in that
// order, each throwing ConvertError when it is no integer (so the operator sees the first wrong one), and
// cut to their fields' widths (slave and count 8 bits, address 16).
RegisterRequest RegisterRequestOf(const RegisterNode& node, std::u16string_view slaveText);
// A watch-list entry, which carries its own slave address.
RegisterRequest RegisterRequestOf(const WatchEntry& entry);

}  // namespace velnorex
