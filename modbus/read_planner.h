// Reading many registers with few requests: the registers of one slave and one table that lie close to each
// other are read with one request, and each register's value is cut out of that reply's words. A block the
// transducer refuses (exception 2, 3 or 4) is read register by register from then on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "modbus/exchange_host.h"
#include "modbus/function_codes.h"
#include "modbus/register_request.h"
#include "modbus/register_value.h"
#include "serial/mode_string.h"

namespace velnorex {

// What the transducer needs between a request's end and its reply's start, and the program between one
// transaction's result and the next request: the allowance every planned request is given on top of its
// line time.
inline constexpr double kReadTurnaroundMs = 5.0;

// Registers not asked for that may lie between two that are read with one request. Two bytes each in the
// reply cost less than a request of its own (8 characters, a reply's 5 and two silences of 3.5); a gap of
// addresses the transducer does not map is refused once and remembered (ReadPlan::refuse).
inline constexpr uint16_t kReadGapRegisters = 8;

struct ReadLimits {
  uint16_t registers = kMaxReadRegisters;  // the most registers one request asks for
  uint16_t gap = kReadGapRegisters;        // the most unasked registers between two read together
};

// What one exchange takes: the protocol's 125 registers, and what the reply buffer holds (61). A reply longer
// than the exchange's first read is read on to its end.
ReadLimits ExchangeReadLimits();

// The line time of one read of `request`: the request (8 characters), a frame's silence, the reply (5 + 2 per
// register) and another silence, in milliseconds; 0 without a baud rate.
double ReadLineMs(const RegisterRequest& request, const PortSettings& line);

// One request of a plan and the registers it serves.
struct ReadBlock {
  // What goes out. A block of one register asks for it exactly as a read of that register alone does (its
  // type included); a block of several asks for the span from the first to the last, with no type.
  RegisterRequest request;
  std::vector<size_t> members;  // indices into ReadPlan::registers(), by address
};

class ReadRefusals;

class ReadPlan {
 public:
  // What a refused block of several registers becomes.
  enum class Split {
    Registers,  // one block per register
    // One block per run of registers side by side, when the block has registers apart: the gaps are what a
    // transducer most likely does not map. A block of one run becomes one block per register.
    Runs,
  };

  ReadPlan() = default;
  // Plans `registers` in blocks: per slave and table, by address, a register joins the block before it when
  // no more than `limits.gap` registers lie between them and the block stays within `limits.registers`. A
  // register with more registers than that, none, or of a bit table is read alone. The blocks come in the
  // order of their first register in `registers`; every register is served by exactly one block.
  ReadPlan(std::vector<RegisterRequest> registers, const ReadLimits& limits);

  const std::vector<RegisterRequest>& registers() const { return registers_; }
  const std::vector<ReadBlock>& blocks() const { return blocks_; }

  // The transducer answered blocks()[index] with `exceptionCode`. When that says the block cannot be read as
  // one (2: an address in it is not mapped; 3: the transducer takes fewer registers; 4: it failed on one of
  // them, which its neighbours need not share) and the block serves several registers, it is replaced as
  // `split` says, for the rest of the run, in the list's order: blocks()[index] is then the first of the
  // parts, and the others come after it. Returns whether it split.
  bool refuse(size_t index, uint8_t exceptionCode, Split split = Split::Registers);
  // Blocks refused so far.
  size_t refusals() const { return refusals_; }
  // Splits, before anything is sent, every block that `refusals` says was refused on this connection, and
  // its parts as long as they were refused too, as refuse() does (not counted as refusals).
  void avoid(const ReadRefusals& refusals, Split split);

  // The value of registers()[member] from `reply`, the value (words) a read of `block.request` brought.
  // False, with `value` holding no value, when the reply does not cover the register.
  bool cut(const ReadBlock& block, size_t member, const RegisterValue& reply, RegisterValue& value) const;

  // The registers `block` serves, for the traffic monitor; none for a block of one register.
  ServedRegisters served(const ReadBlock& block) const;

  // One round of every block on `line`: the line time of each request and reply and the turnaround
  // allowance, in milliseconds; 0 without a baud rate.
  double roundMs(const PortSettings& line) const;

 private:
  // Replaces blocks_[index], of several registers, by its parts.
  void splitBlock(size_t index, Split split);
  // The request of a block serving `members`, of one slave and table, by address.
  RegisterRequest requestFor(const std::vector<size_t>& members) const;

  std::vector<RegisterRequest> registers_;
  std::vector<ReadBlock> blocks_;
  size_t refusals_ = 0;
};

}  // namespace velnorex
