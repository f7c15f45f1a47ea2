// Planning reads in blocks, and cutting each register's value out of a block's reply.
#include "modbus/read_planner.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "modbus/read_refusals.h"
#include "modbus/rtu_frame.h"
#include "serial/serial.h"

namespace velnorex {

namespace {

constexpr size_t kRequestCharacters = 8;        // slave, function, address, quantity, CRC
constexpr size_t kReplyOverheadCharacters = 5;  // slave, function, byte count, CRC
// What a request's count field can carry; a block never asks for more.
constexpr uint32_t kCountLimit = std::numeric_limits<decltype(RegisterRequest::count)>::max();

uint32_t endOf(const RegisterRequest& target) {
  return uint32_t{target.address} + target.count;
}

// In the list's order, so that a round reads as the list reads.
void sortByList(std::vector<ReadBlock>& blocks) {
  std::stable_sort(blocks.begin(), blocks.end(), [](const ReadBlock& a, const ReadBlock& b) {
    return *std::min_element(a.members.begin(), a.members.end()) <
           *std::min_element(b.members.begin(), b.members.end());
  });
}

bool sameTable(const RegisterRequest& a, const RegisterRequest& b) {
  return a.slave == b.slave && a.table == b.table;
}

}  // namespace

ReadLimits ExchangeReadLimits() {
  ReadLimits limits;
  // An adapter's echo in front of the reply is read on into the room it frees.
  const uint32_t buffer = (Serial::kBufferSize - static_cast<uint32_t>(kReplyOverheadCharacters)) / 2;
  limits.registers = static_cast<uint16_t>(std::min({buffer, uint32_t{kMaxReadRegisters}, kCountLimit}));
  return limits;
}

double ReadLineMs(const RegisterRequest& request, const PortSettings& line) {
  return ExchangeLineMs(kRequestCharacters, kReplyOverheadCharacters + 2 * size_t{request.count}, line);
}

ReadPlan::ReadPlan(std::vector<RegisterRequest> registers, const ReadLimits& limits)
    : registers_(std::move(registers)) {
  std::vector<size_t> order(registers_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
    const RegisterRequest& x = registers_[a];
    const RegisterRequest& y = registers_[b];
    if (x.slave != y.slave) return x.slave < y.slave;
    if (x.table != y.table) return x.table < y.table;
    return x.address < y.address;
  });

  const uint32_t most = std::min(uint32_t{limits.registers}, kCountLimit);
  const auto readsAlone = [most](const RegisterRequest& target) {
    return target.count == 0 || target.count > most || TableHoldsBits(target.table);
  };
  std::vector<ReadBlock> blocks;
  uint32_t end = 0;  // of the open block, the last one in `blocks`
  bool open = false;
  for (const size_t index : order) {
    const RegisterRequest& target = registers_[index];
    if (open) {
      ReadBlock& block = blocks.back();
      const uint32_t newEnd = std::max(end, endOf(target));
      if (!readsAlone(target) && sameTable(block.request, target) && target.address <= end + limits.gap &&
          newEnd - block.request.address <= most) {
        block.members.push_back(index);
        end = newEnd;
        continue;
      }
    }
    blocks.push_back(ReadBlock{target, {index}});
    end = endOf(target);
    open = !readsAlone(target);
  }
  for (ReadBlock& block : blocks) block.request = requestFor(block.members);
  sortByList(blocks);
  blocks_ = std::move(blocks);
}

RegisterRequest ReadPlan::requestFor(const std::vector<size_t>& members) const {
  RegisterRequest request = registers_[members.front()];
  if (members.size() < 2) return request;
  uint32_t last = 0;
  for (const size_t member : members) last = std::max(last, endOf(registers_[member]));
  request.count = static_cast<uint8_t>(last - request.address);
  request.type = kTypeNone;  // words only: each register's type cuts its value out of them
  return request;
}

bool ReadPlan::refuse(size_t index, uint8_t exceptionCode, Split split) {
  if (index >= blocks_.size() || blocks_[index].members.size() < 2) return false;
  // A busy or acknowledging transducer, or a function it lacks, says nothing about the block's shape; a
  // failure on one register would otherwise empty its neighbours' cells in every round.
  if (exceptionCode != kIllegalDataAddress && exceptionCode != kIllegalDataValue &&
      exceptionCode != kSlaveDeviceFailure)
    return false;
  splitBlock(index, split);
  ++refusals_;
  return true;
}

void ReadPlan::avoid(const ReadRefusals& refusals, Split split) {
  // A part comes at or after its block's place, so one pass meets every part too.
  for (size_t index = 0; index < blocks_.size(); ++index)
    while (blocks_[index].members.size() > 1 && refusals.refused(blocks_[index].request))
      splitBlock(index, split);
}

void ReadPlan::splitBlock(size_t index, Split split) {
  const std::vector<size_t> members = blocks_[index].members;  // by address
  std::vector<std::vector<size_t>> parts;
  if (split == Split::Runs) {
    uint32_t end = 0;  // of the last run
    for (const size_t member : members) {
      const RegisterRequest& target = registers_[member];
      if (!parts.empty() && target.address <= end) {
        parts.back().push_back(member);
        end = std::max(end, endOf(target));
      } else {
        parts.push_back({member});
        end = endOf(target);
      }
    }
  }
  if (parts.size() < 2) {
    parts.clear();
    for (const size_t member : members) parts.push_back({member});
  }
  std::vector<ReadBlock> replacing;
  for (std::vector<size_t>& part : parts) {
    const RegisterRequest request = requestFor(part);
    replacing.push_back(ReadBlock{request, std::move(part)});
  }
  blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(index));
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(index), replacing.begin(), replacing.end());
  // Back into the list's order; the first of them keeps the refused block's place, and the others come later.
  sortByList(blocks_);
}

bool ReadPlan::cut(const ReadBlock& block, size_t member, const RegisterValue& reply,
                   RegisterValue& value) const {
  const RegisterRequest& target = registers_[member];
  const uint32_t offset = uint32_t{target.address} - block.request.address;
  if (target.address < block.request.address || offset + target.count > reply.wordCount) {
    DecodeWords(static_cast<const RegisterFormat&>(target), reply.words, 0, value);
    value.kind = ValueKind::None;
    return false;
  }
  // By the register's whole format: its word order, scale, offset and unit as a read of it alone.
  DecodeWords(static_cast<const RegisterFormat&>(target), reply.words + offset, target.count, value);
  return true;
}

ServedRegisters ReadPlan::served(const ReadBlock& block) const {
  ServedRegisters served;
  if (block.members.size() < 2) return served;
  for (const size_t member : block.members) served.set(registers_[member].address - block.request.address);
  return served;
}

double ReadPlan::roundMs(const PortSettings& line) const {
  if (line.baudRate <= 0) return 0;
  double total = 0;
  for (const ReadBlock& block : blocks_) total += ReadLineMs(block.request, line) + kReadTurnaroundMs;
  return total;
}

}  // namespace velnorex
