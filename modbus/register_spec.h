// What a transaction asks for, parsed once from a register's text fields: slave, table, first register,
// how many and the type its value is decoded by.
#pragma once

#include <cstdint>
#include <string_view>

#include "modbus/register_types.h"
#include "treefile/register_records.h"

namespace velnorex {

// The tables of a Modbus slave that a register may live in.
enum class RegisterTable : uint8_t { Holding };

struct RegisterSpec {
  uint8_t slave = 0;
  RegisterTable table = RegisterTable::Holding;
  uint16_t address = 0;
  uint8_t count = 0;
  uint8_t type = kTypeNone;
};

// A register of the tree with the slave edit's text. The slave text, Address and Count are converted in that
// order, each throwing ConvertError when it is no integer (so the operator sees the first wrong one), and
// cut to their fields' widths (slave and count 8 bits, address 16).
RegisterSpec RegisterSpecOf(const RegisterNode& node, std::u16string_view slaveText);
// A watch-list entry, which carries its own slave address.
RegisterSpec RegisterSpecOf(const WatchEntry& entry);

}  // namespace velnorex
