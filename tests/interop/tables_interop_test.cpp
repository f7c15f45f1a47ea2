// The four tables and the new types against both slaves on a real line: the same raw words seeded into the
// simulator, into pymodbus (on a pseudo-terminal and over TCP) and into libmodbus's TCP server, read through
// the program's one exchange as the definition says they mean, and written back where the table can be
// written.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/interop_fixture.h"
#include "tests/support/simulator.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

using Words = std::vector<uint16_t>;
using Held = std::vector<std::pair<uint16_t, Words>>;

constexpr int kSize = 64;
// Raw words, as a transducer keeps them.
const Held kInputs = {
    {0, {0x0000, 0x41AC}},                  // 21.5f, low word first (CDAB)
    {4, {0x0807, 0x0605, 0x0403, 0x0201}},  // U64 0x0102030405060708 little-endian (DCBA)
};
const Held kHolding = {
    {10, {0xFFFE, 0x1DC0}},                  // I32 -123456, high word first
    {20, {0xFF83}},                          // I16 -125: -12,5 °C at scale 0.1
    {30, {0x04C0, 0x0000, 0x0000, 0x0000}},  // F64 -2.5 (C0 04 00 …) with the bytes of each word swapped
};
const Held kCoils = {{5, {1}}, {6, {0}}, {7, {1}}};
const Held kDiscretes = {{6, {1}}};

std::vector<std::string> SimulatorArgs() {
  std::vector<std::string> args;
  const auto add = [&args](const Held& held, const std::string& field) {
    for (const auto& [address, words] : held)
      for (size_t i = 0; i < words.size(); ++i) {
        args.push_back("--value");
        args.push_back(std::to_string(address + i) + ":" + field + ":1:" + std::to_string(words[i]));
      }
  };
  add(kInputs, "U16 table=input");
  add(kHolding, "U16");
  add(kCoils, "BOOL table=coil");
  add(kDiscretes, "BOOL table=discrete");
  return args;
}

class TablesInterop : public ::testing::TestWithParam<PeerKind> {
 protected:
  void SetUp() override {
    PeerTables tables;
    tables.size = kSize;
    tables.values = kHolding;
    tables.inputs = kInputs;
    tables.coils = kCoils;
    tables.discretes = kDiscretes;
    peer.start(GetParam(), tables, SimulatorArgs());
    if (!peer.started()) return;
    ASSERT_TRUE(line.open(peer.path()));
  }

  // A read as the tree does it: the shown text and the value handed on to scripts.
  std::pair<std::u16string, std::string> read(const std::u16string& address, const std::u16string& type,
                                              const std::u16string& count) {
    line.read(address, type, count);
    EXPECT_EQ(line.host.results(), ReplyThenNext()) << ToUtf8(type);
    return {line.dispatcher.replyText(), JsonValueText(line.dispatcher.lastResult().value)};
  }
  void write(const std::u16string& address, const std::u16string& type, const std::u16string& count,
             const std::u16string& value, bool single) {
    line.host.clear();
    ASSERT_TRUE(
        line.modbus.BuildWriteRequest(RegisterRecord(address, type, count, u"RW", value), u"1", single));
    line.dispatcher.Exchange(line.host);
    EXPECT_EQ(line.host.results(), ReplyThenNext()) << ToUtf8(type + u" " + value);
  }

  Peer peer;
  MasterLine line;
};

TEST_P(TablesInterop, EachTableReadsAndWritesAsTheDefinitionSays) {
  using Shown = std::pair<std::u16string, std::string>;
  // The definition of the issue: an input F32 in CDAB, a holding I32 in ABCD, an I16 at 0.1 °C, a coil and
  // a discrete input; and a U64 and an F64 in the orders nobody guesses.
  EXPECT_EQ(read(u"0", u"F32 table=input order=CDAB", u"2"), (Shown{u"21,5", "21.5"}));
  EXPECT_EQ(read(u"10", u"I32", u"2"), (Shown{u"-123456", "-123456"}));
  EXPECT_EQ(read(u"20", u"I16 scale=0.1 unit=°C", u"1"), (Shown{u"-12,5 °C", "-12.5"}));
  EXPECT_EQ(read(u"5", u"BOOL table=coil", u"1"), (Shown{u"1", "true"}));
  EXPECT_EQ(read(u"6", u"BOOL table=coil", u"1"), (Shown{u"0", "false"}));
  EXPECT_EQ(read(u"6", u"BOOL table=discrete", u"1"), (Shown{u"1", "true"}));
  EXPECT_EQ(read(u"4", u"U64 table=input order=DCBA", u"4"),
            (Shown{u"72623859790382856", "72623859790382856"}));
  EXPECT_EQ(read(u"30", u"F64 order=BADC", u"4"), (Shown{u"-2,5", "-2.5"}));
  // The words as they came, in address order, whatever the order they are read in.
  line.read(u"0", u"F32 table=input order=CDAB", u"2");
  uint16_t words[4] = {};
  ASSERT_EQ(line.modbus.ReplyWords(words, 4), 2);
  EXPECT_EQ(Words(words, words + 2), (Words{0x0000, 0x41AC}));
  // Three coils at once: each bit in its place.
  line.read(u"5", u"BOOL table=coil", u"3");
  ASSERT_EQ(line.modbus.ReplyWords(words, 4), 3);
  EXPECT_EQ(Words(words, words + 3), (Words{1, 0, 1}));

  // Writes through the same builder the tree uses, read back: a coil by function 5 and by 15, a scaled I16
  // by function 6, an I32 and an F64 by function 16.
  write(u"6", u"BOOL table=coil", u"1", u"1", true);
  EXPECT_EQ(read(u"6", u"BOOL table=coil", u"1").first, u"1");
  write(u"5", u"BOOL table=coil", u"1", u"0", false);
  EXPECT_EQ(read(u"5", u"BOOL table=coil", u"1").first, u"0");
  write(u"20", u"I16 scale=0.1 unit=°C", u"1", u"-13,46 °C", true);
  EXPECT_EQ(read(u"20", u"I16 scale=0.1 unit=°C", u"1").first, u"-13,5 °C");  // raw -135
  EXPECT_EQ(read(u"20", u"I16", u"1").first, u"-135");
  write(u"10", u"I32", u"2", u"2147483647", false);
  EXPECT_EQ(read(u"10", u"U16", u"1").first, u"32767");  // the high word first
  write(u"30", u"F64 order=CDAB", u"4", u"0,1", false);
  EXPECT_EQ(read(u"30", u"F64 order=CDAB", u"4").second, "0.1");
  EXPECT_EQ(read(u"33", u"U16", u"1").first, u"16313");  // 0x3FB9, the highest word last
  // Input registers and discrete inputs are never written.
  EXPECT_THROW(
      line.modbus.BuildWriteRequest(RegisterRecord(u"0", u"U16 table=input", u"1", u"RW", u"1"), u"1", true),
      Error);
}

INSTANTIATE_TEST_SUITE_P(EveryPeer, TablesInterop, EveryPeer(),
                         [](const ::testing::TestParamInfo<PeerKind>& info) { return PeerName(info.param); });

}  // namespace
}  // namespace velnorex::test
