// The read planner: every register served by exactly one block within the limits, blocks only across small
// gaps of one slave and table, values cut out of a block's words as a read of the register alone gives them,
// and a refused block split for good.
#include "modbus/read_planner.h"

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "serial/serial.h"
#include "tests/modbus/modbus_fixture.h"

namespace velnorex::test {
namespace {

RegisterRequest Reg(uint16_t address, uint8_t count, uint8_t type = kTypeWord, uint8_t slave = 1) {
  return MakeRegisterRequest(slave, RegisterTable::Holding, address, count, type);
}

// The requests of a plan as "slave:address+count", in order.
std::vector<std::string> Requests(const ReadPlan& plan) {
  std::vector<std::string> out;
  for (const ReadBlock& block : plan.blocks())
    out.push_back(std::to_string(block.request.slave) + ":" + std::to_string(block.request.address) + "+" +
                  std::to_string(block.request.count));
  return out;
}

void ExpectSound(const ReadPlan& plan, const ReadLimits& limits) {
  const std::vector<RegisterRequest>& regs = plan.registers();
  std::vector<int> served(regs.size(), 0);
  size_t previousFirst = 0;
  for (size_t b = 0; b < plan.blocks().size(); ++b) {
    const ReadBlock& block = plan.blocks()[b];
    ASSERT_FALSE(block.members.empty());
    const size_t first = *std::min_element(block.members.begin(), block.members.end());
    if (b > 0) {
      EXPECT_GT(first, previousFirst) << "blocks follow the list's order";
    }
    previousFirst = first;
    for (const size_t m : block.members) ++served[m];
    if (block.members.size() == 1) {
      const RegisterRequest& alone = regs[block.members[0]];
      EXPECT_EQ(block.request.address, alone.address);
      EXPECT_EQ(block.request.count, alone.count);
      EXPECT_EQ(block.request.type, alone.type) << "a register alone is read as it always was";
      continue;
    }
    EXPECT_LE(block.request.count, limits.registers);
    EXPECT_EQ(block.request.type, kTypeNone);
    uint32_t end = block.request.address;  // of the members so far, by address
    for (const size_t m : block.members) {
      const RegisterRequest& target = regs[m];
      EXPECT_EQ(target.slave, block.request.slave);
      EXPECT_EQ(target.table, block.request.table);
      EXPECT_GE(target.address, block.request.address);
      EXPECT_LE(uint32_t{target.address} + target.count,
                uint32_t{block.request.address} + block.request.count)
          << "a register is never cut in two";
      EXPECT_LE(target.address, end + limits.gap) << "no gap wider than the limit";
      end = std::max(end, uint32_t{target.address} + target.count);
    }
    EXPECT_EQ(end, uint32_t{block.request.address} + block.request.count) << "nothing read past the last";
  }
  for (size_t i = 0; i < served.size(); ++i) EXPECT_EQ(served[i], 1) << "register " << i;
}

TEST(ReadPlanner, NeighboursGapsSlavesAndTheLimitAtABlocksEdge) {
  const ReadLimits limits;  // 125 registers, gaps of 8
  // Ten REAL neighbours: one request of twenty registers.
  std::vector<RegisterRequest> reals;
  for (uint16_t i = 0; i < 10; ++i) reals.push_back(Reg(static_cast<uint16_t>(100 + 2 * i), 2, kTypeReal));
  EXPECT_EQ(Requests(ReadPlan(reals, limits)), std::vector<std::string>{"1:100+20"});

  // A gap of eight unasked registers is read through, nine are not; another slave is always a request of
  // its own, and so is a register alone in its neighbourhood (its request as before, type included).
  const ReadPlan gapped({Reg(10, 1), Reg(19, 2, kTypeReal), Reg(30, 1), Reg(10, 1, kTypeInt, 2), Reg(500, 4)},
                        limits);
  EXPECT_EQ(Requests(gapped), (std::vector<std::string>{"1:10+11", "1:30+1", "2:10+1", "1:500+4"}));
  EXPECT_EQ(gapped.blocks()[2].request.type, kTypeInt);
  ExpectSound(gapped, limits);

  // 63 REAL registers from 0 need 126 registers: a REAL whose second word would be the 126th starts the
  // next block whole. A PREC and a four-register TEXT at the edge of a smaller limit likewise.
  std::vector<RegisterRequest> many;
  for (uint16_t i = 0; i < 63; ++i) many.push_back(Reg(static_cast<uint16_t>(2 * i), 2, kTypeReal));
  EXPECT_EQ(Requests(ReadPlan(many, limits)), (std::vector<std::string>{"1:0+124", "1:124+2"}));
  const ReadLimits small{10, 8};
  const ReadPlan edge(
      {Reg(0, 4, kTypeText), Reg(4, 4, kTypeWord), Reg(8, 4, kTypeText), Reg(12, 2, kTypePrec)}, small);
  EXPECT_EQ(Requests(edge), (std::vector<std::string>{"1:0+8", "1:8+6"}));
  // The same register twice (the list allows it) and overlapping entries share one request.
  EXPECT_EQ(Requests(ReadPlan({Reg(7, 2, kTypeReal), Reg(7, 2, kTypeReal), Reg(8, 1)}, limits)),
            std::vector<std::string>{"1:7+2"});
  // A register longer than the limit, or of no registers, is read alone as it always was.
  EXPECT_EQ(Requests(ReadPlan({Reg(0, 1), Reg(1, 12, kTypeText), Reg(13, 0)}, small)),
            (std::vector<std::string>{"1:0+1", "1:1+12", "1:13+0"}));
}

TEST(ReadPlanner, AnyListIsServedOnceWithinTheLimits) {
  std::mt19937 random(22);
  for (int trial = 0; trial < 300; ++trial) {
    const ReadLimits limits{static_cast<uint16_t>(1 + random() % 125), static_cast<uint16_t>(random() % 12)};
    std::vector<RegisterRequest> regs;
    const size_t n = 1 + random() % 60;
    for (size_t i = 0; i < n; ++i) {
      static const uint8_t types[] = {kTypeWord, kTypeInt, kTypeReal, kTypeText, kTypeHex, kTypePrec};
      const uint8_t type = types[random() % 6];
      const uint8_t count = type == kTypeText ? static_cast<uint8_t>(random() % 20)
                                              : (type == kTypeReal || type == kTypePrec ? 2 : 1);
      regs.push_back(Reg(static_cast<uint16_t>(65400 + random() % 136), count, type,
                         static_cast<uint8_t>(1 + random() % 3)));
    }
    const ReadPlan plan(regs, limits);
    ExpectSound(plan, limits);
    if (HasFailure()) return;
  }
}

TEST(ReadPlanner, EachValueIsCutOutOfTheBlockAsAReadAloneDecodesIt) {
  // INT -2 at 100, REAL 21.5 at 102 (low word first), TEXT "ab" at 106, PREC 1.0 at 108 after a gap.
  const std::vector<uint16_t> words = {0xFFFE, 0xEEEE, 0x0000, 0x41AC, 0xEEEE,
                                       0xEEEE, 0x6162, 0x0000, 0x0000, 0x3F80};
  const ReadPlan plan(
      {Reg(102, 2, kTypeReal), Reg(100, 1, kTypeInt), Reg(106, 2, kTypeText), Reg(108, 2, kTypePrec)},
      ReadLimits{});
  ASSERT_EQ(plan.blocks().size(), 1u);
  const ReadBlock& block = plan.blocks()[0];
  RegisterValue reply;
  DecodeWords(block.request.type, words.data(), static_cast<int>(words.size()), reply);
  const std::u16string expected[] = {u"21,50", u"-2", u"ab", u"1,0000000000"};
  for (size_t m = 0; m < 4; ++m) {
    RegisterValue cut;
    ASSERT_TRUE(plan.cut(block, m, reply, cut));
    const RegisterRequest& target = plan.registers()[m];
    RegisterValue alone;
    DecodeWords(target.type, words.data() + (target.address - 100), target.count, alone);
    EXPECT_EQ(DisplayText(cut), expected[m]);
    EXPECT_EQ(DisplayText(cut), DisplayText(alone));
    EXPECT_EQ(cut.wordCount, target.count);
  }
  // A reply shorter than the block (never taken by the exchange) gives the registers past its end no value.
  RegisterValue shortReply;
  DecodeWords(kTypeNone, words.data(), 9, shortReply);
  RegisterValue cut;
  EXPECT_FALSE(plan.cut(block, 3, shortReply, cut));
  EXPECT_FALSE(cut.ok());
}

TEST(ReadPlanner, ARefusedBlockIsReadRegisterByRegisterForTheRestOfTheRun) {
  ReadPlan plan({Reg(1, 1), Reg(100, 1), Reg(104, 2, kTypeReal), Reg(200, 1)}, ReadLimits{});
  ASSERT_EQ(Requests(plan), (std::vector<std::string>{"1:1+1", "1:100+6", "1:200+1"}));
  // A busy transducer or a missing function says nothing about the block's shape; a register alone cannot
  // split.
  EXPECT_FALSE(plan.refuse(1, kSlaveDeviceBusy));
  EXPECT_FALSE(plan.refuse(1, kIllegalFunction));
  EXPECT_FALSE(plan.refuse(0, kIllegalDataAddress));
  EXPECT_TRUE(plan.refuse(1, kIllegalDataAddress));
  EXPECT_EQ(Requests(plan), (std::vector<std::string>{"1:1+1", "1:100+1", "1:104+2", "1:200+1"}));
  EXPECT_EQ(plan.blocks()[2].request.type, kTypeReal);
  // A register refused alone stays as it is: its cell is left empty, as before.
  EXPECT_FALSE(plan.refuse(1, kIllegalDataAddress));
  EXPECT_EQ(plan.refusals(), 1u);
  ExpectSound(plan, ReadLimits{});

  // The registers of a refused block go back into the list's order: the round reads as the list reads.
  ReadPlan mixed({Reg(100, 1), Reg(10, 1, kTypeWord, 2), Reg(102, 1)}, ReadLimits{});
  ASSERT_EQ(Requests(mixed), (std::vector<std::string>{"1:100+3", "2:10+1"}));
  EXPECT_TRUE(mixed.refuse(0, kIllegalDataAddress));
  EXPECT_EQ(Requests(mixed), (std::vector<std::string>{"1:100+1", "2:10+1", "1:102+1"}));

  // Too many registers for this transducer, or a failure on one of them: the same.
  for (const uint8_t code : {kIllegalDataValue, kSlaveDeviceFailure}) {
    ReadPlan other({Reg(0, 2, kTypeReal), Reg(2, 2, kTypeReal)}, ReadLimits{});
    EXPECT_TRUE(other.refuse(0, code));
    EXPECT_EQ(Requests(other), (std::vector<std::string>{"1:0+2", "1:2+2"}));
  }
}

TEST(ReadPlanner, ABlocksReplyFitsTheReplyBuffer) {
  const ReadLimits limits = ExchangeReadLimits();
  EXPECT_EQ(limits.registers, 61);
  EXPECT_LE(5 + 2 * limits.registers, Serial::kBufferSize);
  EXPECT_GT(5 + 2 * (limits.registers + 1), Serial::kBufferSize);
}

}  // namespace
}  // namespace velnorex::test
