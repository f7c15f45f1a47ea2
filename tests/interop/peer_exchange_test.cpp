// One table of transactions run against each slave on a real line, our simulator and the independent
// pymodbus peer, and over network links against pymodbus (Modbus TCP and RTU over TCP) and libmodbus's TCP
// server: reads of every type, writes read back, the diagnostics echo, an exception and a foreign unit id.
// Every peer must agree with the program, and so with each other.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/interop_fixture.h"
#include "tests/support/frames.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

using WM = TransactionRecorder::Event;
using Words = std::vector<uint16_t>;

// Holding registers 0..149 on both peers; beyond them, exception 2.
constexpr int kRegisters = 150;
const std::vector<std::pair<uint16_t, Words>> kHeld = {
    {100, {0xFFFF, 0xFFFE, 0x01A2}},          // WORD 65535 / INT -1, INT -2, HEX $1A2
    {105, {0x0005}},                          // HEX $05
    {110, {0x0000, 0x3FC0}},                  // 1.5f, low register first
    {120, {0xCCCD, 0x3DCC}},                  // 0.1f
    {130, {0x4865, 0x6C6C, 0x6F00, 0x0000}},  // "Hello"
};

std::vector<std::string> SimulatorArgs() {
  std::vector<std::string> args{"--registers", "0:" + std::to_string(kRegisters)};
  for (const auto& [address, words] : kHeld) {
    for (size_t i = 0; i < words.size(); ++i) {
      args.push_back("--value");
      args.push_back(std::to_string(address + i) + ":HEX:1:$" + ToUtf8(IntToHex(words[i], 4)));
    }
  }
  return args;
}

// The writes in the simulator's log that it answered in kind (not with an exception), as pymodbus tells its
// own: the start address, then the words.
std::vector<Words> WritesInLog(const std::vector<WireFrame>& wire) {
  std::vector<Words> out;
  for (size_t i = 0; i + 1 < wire.size(); ++i) {
    const std::vector<uint8_t>& f = wire[i].bytes;
    if (wire[i].direction != '>' || f.size() < 8 || wire[i + 1].bytes.size() < 2 ||
        wire[i + 1].bytes[1] != f[1])
      continue;
    const auto word = [&](size_t at) { return static_cast<uint16_t>(f[at] << 8 | f[at + 1]); };
    if (f[1] == 6) out.push_back({word(2), word(4)});
    if (f[1] != 16 || f.size() != 9u + f[6]) continue;
    out.push_back({word(2)});
    for (size_t at = 7; at + 2 < f.size(); at += 2) out.back().push_back(word(at));
  }
  return out;
}

enum class Send { Read, WriteSingle, WriteMultiple, Diagnostics };
enum class Outcome { Value, Written, Exception, Silence };

struct Transaction {
  Send send;
  std::u16string address, type, count, value;  // value: what a write sends
  Outcome outcome;
  std::u16string shown = {};  // a read's value as the tree shows it
  Words taken = {};           // a write: the start address and the words the peer took
  std::u16string slave = u"1";
};

// In order: the reads see kHeld, the writes' read-backs see what was written.
const std::vector<Transaction> kTable = {
    {Send::Read, u"100", u"WORD", u"1", {}, Outcome::Value, u"65535"},
    {Send::Read, u"100", u"INT", u"1", {}, Outcome::Value, u"-1"},
    {Send::Read, u"101", u"INT", u"1", {}, Outcome::Value, u"-2"},
    {Send::Read, u"102", u"HEX", u"1", {}, Outcome::Value, u"$1A2"},
    {Send::Read, u"105", u"hex", u"1", {}, Outcome::Value, u"$05"},
    {Send::Read, u"110", u"REAL", u"2", {}, Outcome::Value, u"1,50"},
    {Send::Read, u"110", u"PREC", u"2", {}, Outcome::Value, u"1,5000000000"},
    {Send::Read, u"120", u"PREC", u"2", {}, Outcome::Value, u"0,1000000015"},
    {Send::Read, u"120", u"REAL", u"2", {}, Outcome::Value, u"0,10"},
    {Send::Read, u"130", u"TEXT", u"4", {}, Outcome::Value, u"Hello"},
    {Send::Read, u"$82", u"TEXT", u"2", {}, Outcome::Value, u"Hell"},

    {Send::WriteSingle, u"1", u"WORD", u"1", u"2", Outcome::Written, {}, {1, 0x0002}},
    {Send::WriteSingle, u"5", u"HEX", u"1", u"$00FF", Outcome::Written, {}, {5, 0x00FF}},
    {Send::WriteMultiple, u"10", u"REAL", u"2", u"1,5", Outcome::Written, {}, {10, 0x0000, 0x3FC0}},
    {Send::WriteMultiple, u"20", u"INT", u"2", u"-2", Outcome::Written, {}, {20, 0xFFFE, 0xFFFF}},
    {Send::WriteMultiple, u"30", u"TEXT", u"2", u"ABC", Outcome::Written, {}, {30, 0x4142, 0x4300}},
    {Send::WriteSingle, u"$28", u"WORD", u"1", u"-1", Outcome::Written, {}, {40, 0xFFFF}},  // low 16 bits
    {Send::Read, u"1", u"WORD", u"1", {}, Outcome::Value, u"2"},
    {Send::Read, u"5", u"HEX", u"1", {}, Outcome::Value, u"$FF"},
    {Send::Read, u"10", u"REAL", u"2", {}, Outcome::Value, u"1,50"},
    {Send::Read, u"20", u"INT", u"1", {}, Outcome::Value, u"-2"},
    {Send::Read, u"30", u"TEXT", u"2", {}, Outcome::Value, u"ABC"},
    {Send::Read, u"40", u"WORD", u"1", {}, Outcome::Value, u"65535"},

    {Send::Diagnostics, {}, {}, {}, {}, Outcome::Written},
    {Send::Read, u"150", u"WORD", u"1", {}, Outcome::Exception},            // no such register: exception 2
    {Send::Read, u"1", u"WORD", u"1", {}, Outcome::Silence, {}, {}, u"9"},  // another unit id
};

// The line's far end holds kHeld, registers 0..kRegisters-1.
class PeerExchange : public ::testing::TestWithParam<PeerKind> {
 protected:
  void SetUp() override {
    PeerTables tables;
    tables.size = kRegisters;
    tables.values = kHeld;
    peer.start(GetParam(), tables, SimulatorArgs());
    if (!peer.started()) return;
    ASSERT_TRUE(line.open(peer.path()));
  }
  // libmodbus's TCP server answers every unit id and has no diagnostics function: those rows are not its.
  bool skips(const Transaction& t) const {
    return libmodbus && (t.send == Send::Diagnostics || t.outcome == Outcome::Silence);
  }

  void send(const Transaction& t) {
    switch (t.send) {
      case Send::Read:
        line.read(t.address, t.type, t.count, t.slave);
        break;
      case Send::WriteSingle:
      case Send::WriteMultiple:
        line.write(t.address, t.type, t.count, t.value, t.send == Send::WriteSingle);
        break;
      case Send::Diagnostics:
        line.host.clear();
        ASSERT_TRUE(line.modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", t.slave,
                                                        line.dispatcher.hostFor(line.host)));
        break;
    }
  }
  std::vector<uint8_t> reply() const {
    return std::vector<uint8_t>(line.serial.ReplyBuffer, line.serial.ReplyBuffer + line.serial.BytesRead);
  }

  Peer peer;
  std::optional<SimulatorProcess>& sim = peer.sim;
  std::optional<PymodbusPeer>& pymodbus = peer.pymodbus;
  std::optional<LibmodbusTcpServer>& libmodbus = peer.libmodbus;
  MasterLine line;
};

TEST_P(PeerExchange, EveryTransactionOfTheTableEndsAsThePeerAnswers) {
  std::vector<Words> taken;
  for (const Transaction& t : kTable) {
    if (skips(t)) continue;
    SCOPED_TRACE(ToUtf8(t.slave + u" " + t.address + u" " + t.type + u" " + t.count + u" " + t.value));
    const std::u16string textBefore = line.dispatcher.replyText();
    send(t);
    switch (t.outcome) {
      case Outcome::Value:
        EXPECT_EQ(line.host.results(), ReplyThenNext());
        EXPECT_TRUE(line.dispatcher.replyOk());
        EXPECT_EQ(line.dispatcher.replyText(), t.shown);
        EXPECT_EQ(line.host.texts(WM::ShowValue), std::vector<std::u16string>{t.shown});
        EXPECT_EQ(line.host.count(WM::Highlight), 1u);
        EXPECT_TRUE(line.host.texts(WM::LogLine).empty());  // answered within the first read: no "." line
        break;
      case Outcome::Written:
        EXPECT_EQ(line.host.results(), ReplyThenNext());
        EXPECT_TRUE(line.dispatcher.replyOk());
        EXPECT_EQ(line.host.count(WM::Highlight), 1u);
        EXPECT_EQ(line.host.count(WM::ShowValue), 0u);
        if (t.send == Send::Diagnostics) {
          EXPECT_EQ(reply(), (std::vector<uint8_t>{0x01, 0x08, 0x00, 0x01, 0xFF, 0x00, 0xF0, 0x3B}));
        } else {
          taken.push_back(t.taken);
        }
        break;
      case Outcome::Exception:
        // The exception path: no value, no highlight, the text left as it was, and the next step all the
        // same.
        EXPECT_EQ(line.host.results(), ReplyThenNext());
        EXPECT_FALSE(line.dispatcher.replyOk());
        EXPECT_EQ(line.dispatcher.replyText(), textBefore);
        EXPECT_EQ(line.host.count(WM::Highlight), 0u);
        EXPECT_EQ(reply(), WithCrc({0x01, 0x83, 0x02}));
        break;
      case Outcome::Silence:
        EXPECT_EQ(line.host.results(), (std::vector<WM>{WM::UM_TIMEOUT, WM::UM_NEXT}));
        EXPECT_FALSE(line.dispatcher.replyOk());
        break;
    }
  }

  // What the peer took, by its log (the simulator) or its own account (pymodbus), which also tells all it
  // holds.
  if (!libmodbus) {
    EXPECT_EQ(sim ? WritesInLog(sim->logLines()) : pymodbus->writes(), taken);
  }
  if (!sim) {
    const Words held = pymodbus ? pymodbus->holding() : libmodbus->holding();
    ASSERT_EQ(held.size(), static_cast<size_t>(kRegisters));
    for (const Words& w : taken) {
      for (size_t i = 1; i < w.size(); ++i)
        EXPECT_EQ(held[w[0] + i - 1], w[i]) << "register " << w[0] + i - 1;
    }
    EXPECT_EQ(held[4], 0);  // nothing beside what was written
    EXPECT_EQ(held[6], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPeer, PeerExchange, EveryPeer(),
                         [](const ::testing::TestParamInfo<PeerKind>& info) { return PeerName(info.param); });

}  // namespace
}  // namespace velnorex::test
