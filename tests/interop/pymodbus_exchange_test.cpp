// The program's exchange against an independent slave, pymodbus 3, over a socat
// pty pair with parity none: reads of every type from values pymodbus holds,
// and writes compared with what pymodbus applied and now holds.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/interop_fixture.h"
#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

using WM = TransactionRecorder::Event;

TEST(PymodbusExchange, ReadsEveryType) {
  VELNOREX_REQUIRE_PYMODBUS();
  PymodbusPeer::Options options;
  options.values = {
      {100, {0xFFFF, 0xFFFE, 0x01A2}}, // WORD 65535 / INT -1, INT -2, HEX $1A2
      {110, {0x0000, 0x3FC0}},         // 1.5f, low register first
      {120, {0xCCCD, 0x3DCC}},         // 0.1f
      {130, {0x4865, 0x6C6C, 0x6F00, 0x0000}}, // "Hello"
  };
  PymodbusPeer peer(options);
  MasterLine line;
  ASSERT_TRUE(line.open(peer.path()));

  struct Case {
    std::u16string address, type, count, text;
  };
  const std::vector<Case> cases{
      {u"100", u"WORD", u"1", u"65535"},
      {u"100", u"INT", u"1", u"-1"},
      {u"101", u"INT", u"1", u"-2"},
      {u"102", u"HEX", u"1", u"$1A2"},
      {u"110", u"REAL", u"2", u"1,50"},
      {u"110", u"PREC", u"2", u"1,5000000000"},
      {u"120", u"PREC", u"2", u"0,1000000015"},
      {u"120", u"REAL", u"2", u"0,10"},
      {u"130", u"TEXT", u"4", u"Hello"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.address.begin(), c.address.end()) + " " +
                 std::string(c.type.begin(), c.type.end()));
    line.read(c.address, c.type, c.count);
    EXPECT_EQ(line.host.results(), ReplyThenNext());
    EXPECT_TRUE(line.host.replyOk);
    EXPECT_EQ(line.host.replyText, c.text);
  }
}

TEST(PymodbusExchange, WritesArriveAsThePeerHoldsThem) {
  VELNOREX_REQUIRE_PYMODBUS();
  PymodbusPeer peer(PymodbusPeer::Options{});
  MasterLine line;
  ASSERT_TRUE(line.open(peer.path()));

  line.write(u"5", u"HEX", u"1", u"$00FF", /*single=*/true);
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_TRUE(line.host.replyOk);
  line.write(u"10", u"REAL", u"2", u"1,5", /*single=*/false);
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  line.write(u"20", u"INT", u"2", u"-2", /*single=*/false);
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  line.write(u"30", u"TEXT", u"2", u"ABC", /*single=*/false);
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  line.write(u"$28", u"WORD", u"1", u"-1",
             /*single=*/true); // low 16 bits of -1
  EXPECT_EQ(line.host.results(), ReplyThenNext());

  // What pymodbus applied, write by write, and what it holds afterwards, by its
  // own account.
  EXPECT_EQ(peer.writes(),
            (std::vector<std::vector<uint16_t>>{{5, 0x00FF},
                                                {10, 0x0000, 0x3FC0},
                                                {20, 0xFFFE, 0xFFFF},
                                                {30, 0x4142, 0x4300},
                                                {40, 0xFFFF}}));
  const auto held = peer.holding();
  ASSERT_EQ(held.size(), 256u);
  EXPECT_EQ(held[5], 0x00FF);
  EXPECT_EQ(held[10], 0x0000);
  EXPECT_EQ(held[11], 0x3FC0);
  EXPECT_EQ(held[20], 0xFFFE);
  EXPECT_EQ(held[21], 0xFFFF);
  EXPECT_EQ(held[30], 0x4142);
  EXPECT_EQ(held[31], 0x4300);
  EXPECT_EQ(held[40], 0xFFFF);
  EXPECT_EQ(held[4], 0);
  EXPECT_EQ(held[6], 0);

  // And our own reads agree.
  line.read(u"10", u"REAL", u"2");
  EXPECT_EQ(line.host.replyText, u"1,50");
  line.read(u"30", u"TEXT", u"2");
  EXPECT_EQ(line.host.replyText, u"ABC");
}

TEST(PymodbusExchange, DiagnosticsEchoAndExceptions) {
  VELNOREX_REQUIRE_PYMODBUS();
  PymodbusPeer::Options options;
  options.size = 100;
  PymodbusPeer peer(options);
  MasterLine line;
  ASSERT_TRUE(line.open(peer.path()));

  EXPECT_TRUE(line.modbus.BuildDiagnosticsRequest(
      u"$0001", u"$FF00", u"1", line.dispatcher.hostFor(line.host)));
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_TRUE(line.host.replyOk);
  EXPECT_EQ(
      std::vector<uint8_t>(line.serial.ReplyBuffer,
                           line.serial.ReplyBuffer + line.serial.BytesRead),
      (std::vector<uint8_t>{0x01, 0x08, 0x00, 0x01, 0xFF, 0x00, 0xF0, 0x3B}));

  // Outside the block: exception 2, the exception path (no highlight), and the
  // value stays unset.
  line.read(u"150", u"WORD", u"1");
  EXPECT_EQ(line.host.results(), ReplyThenNext());
  EXPECT_FALSE(line.host.replyOk);
  EXPECT_EQ(line.host.count(WM::Highlight), 0u);
  EXPECT_EQ(line.serial.ReplyBuffer[1], 0x83);
  EXPECT_EQ(line.serial.ReplyBuffer[2], 0x02);

  // Another unit id: pymodbus stays silent and the exchange times out.
  RegisterNode node;
  node.Address = u"1";
  node.Type = u"WORD";
  node.Count = u"1";
  line.host.clear();
  line.modbus.BuildReadRequest(node, u"9");
  line.dispatcher.Exchange(line.host);
  EXPECT_EQ(line.host.results(),
            (std::vector<WM>{WM::UM_TIMEOUT, WM::UM_NEXT}));
}

} // namespace
} // namespace velnorex::test
