// The simulated transducer's four tables (holding and input registers, coils, discrete inputs): 65536 values
// each, of which only the defined ones may be read or written, and the encoding of a register's value text
// into register contents as the program writes it.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "modbus/register_types.h"

namespace velnorex::sim {

class RegisterMap {
 public:
  static constexpr uint32_t kSize = 65536;

  using Table = RegisterTable;

  // Makes `count` registers (or bits) from `start` readable and writable, keeping what they hold.
  void define(uint32_t start, uint32_t count, Table table = Table::Holding);
  // True when every register of the span is defined (and the span lies within the address space).
  bool covers(uint32_t start, uint32_t count, Table table = Table::Holding) const;
  bool defined(uint16_t address, Table table = Table::Holding) const { return defined_[at(table)][address]; }
  // A coil or discrete input holds 0 or 1.
  uint16_t get(uint16_t address, Table table = Table::Holding) const { return values_[at(table)][address]; }
  void set(uint16_t address, uint16_t value, Table table = Table::Holding) {
    values_[at(table)][address] = value;
  }
  size_t definedCount() const;

 private:
  static size_t at(Table table) { return static_cast<size_t>(table); }
  uint16_t values_[4][kSize] = {};
  std::bitset<kSize> defined_[4];
};

// The `count` register contents that a write of `value` to a register of type `typeCode` puts into the
// transducer: integers (WORD, INT, HEX) as 32 bits and reals (REAL, PREC) as a single, the low 16 bits in the
// first register; text one character per byte (the low 8 bits of its code), first character in the high byte,
// closed by a 0 byte when it fits. A value that does not parse, or an unknown type, gives zeros.
std::vector<uint16_t> EncodeValue(uint8_t typeCode, uint32_t count, std::u16string_view value);
// The same by a whole Type field (RegisterFormatOf): the six types of old as above, every other by the
// program's own codec (the value as the tree shows it, scale, offset and order applied; a BOOL 0 or 1); and
// the table the words belong in.
std::vector<uint16_t> EncodeFieldValue(std::u16string_view typeField, uint32_t count,
                                       std::u16string_view value, RegisterTable& table);

// Defines and seeds every register node (Access RO, RW or RP, any case) of a definition file that has a
// numeric Address and a Count of at least 1. Returns the number of registers seeded; throws the loader's
// error when the file cannot be read.
size_t SeedFromDefinition(RegisterMap& map, const std::string& path);

}  // namespace velnorex::sim
