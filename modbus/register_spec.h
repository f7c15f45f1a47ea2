// What a transaction asks for, parsed once from a register's text fields: slave, table, first register,
// how many, and the format its value is decoded by (type, word order, meaning).
#pragma once

#include <cstdint>
#include <string_view>

#include "modbus/register_types.h"
#include "treefile/register_records.h"

namespace velnorex {

struct RegisterSpec : RegisterFormat {
  uint8_t slave = 0;
  uint16_t address = 0;
  uint8_t count = 0;  // registers, or bits of a coil or discrete input
};

// A spec of a type of old with no order or meaning: `count` registers or bits of `table` from `address`.
inline RegisterSpec MakeRegisterSpec(uint8_t slave, RegisterTable table, uint16_t address, uint8_t count,
                                     uint8_t type) {
  RegisterSpec spec;
  // The type's own defaults (REAL and PREC low word first), as a definition naming it alone gets them.
  if (const RegisterTypeInfo* info = RegisterTypeOf(type))
    static_cast<RegisterFormat&>(spec) = RegisterFormatOf(info->name);
  spec.slave = slave;
  spec.table = table;
  spec.address = address;
  spec.count = count;
  spec.type = type;
  return spec;
}

// A register of the tree with the slave edit's text. The slave text, Address and Count are converted in that
// order, each throwing ConvertError when it is no integer (so the operator sees the first wrong one), and
// cut to their fields' widths (slave and count 8 bits, address 16).
RegisterSpec RegisterSpecOf(const RegisterNode& node, std::u16string_view slaveText);
// A watch-list entry, which carries its own slave address.
RegisterSpec RegisterSpecOf(const WatchEntry& entry);

}  // namespace velnorex
