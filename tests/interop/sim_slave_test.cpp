// The simulator's slave logic without a line: framing by function code, replies and exceptions, and how
// definition values become register contents.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tree_builder.h"
#include "tools/velnorex-sim/bus.h"
#include "tools/velnorex-sim/register_map.h"
#include "tools/velnorex-sim/rtu_slave.h"
#include "treefile/tree_stream.h"

namespace velnorex::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes WithCrc(Bytes frame) {
  const uint16_t crc = Crc16(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

struct Answer {
  RtuSlave::Outcome outcome;
  Bytes reply;
};

Answer Ask(RtuSlave& slave, const Bytes& request) {
  uint8_t reply[RtuSlave::kMaxFrame + 8] = {};
  size_t length = 0;
  const auto outcome = slave.handle(request.data(), request.size(), reply, length);
  return {outcome, Bytes(reply, reply + length)};
}

TEST(SimRequestLength, KnowsFramesByFunctionCode) {
  const Bytes read{0x01, 0x03, 0x00, 0x64, 0x00, 0x02, 0x85, 0xD4};
  EXPECT_EQ(RequestLength(read.data(), 1), 0u);
  EXPECT_EQ(RequestLength(read.data(), 2), 8u);
  const Bytes write16{0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04};
  EXPECT_EQ(RequestLength(write16.data(), 6), 0u);  // the byte count is not in yet
  EXPECT_EQ(RequestLength(write16.data(), 7), 13u);
  const Bytes other{0x01, 0x2B};
  EXPECT_EQ(RequestLength(other.data(), 2), kUnknownLength);
}

TEST(SimSlave, AnswersReadsWritesAndDiagnosticsWithGoldenFrames) {
  static RegisterMap map;
  map = RegisterMap();
  map.define(100, 2);
  map.set(100, 0x0000);
  map.set(101, 0x3FC0);
  map.define(10, 2);
  map.define(1, 1);
  RtuSlave slave(map, 1);

  // A REAL of 1,5, low register first: the reply the program's decoder golden frame expects.
  auto a = Ask(slave, {0x01, 0x03, 0x00, 0x64, 0x00, 0x02, 0x85, 0xD4});
  EXPECT_EQ(a.outcome, RtuSlave::Outcome::Reply);
  EXPECT_EQ(a.reply, (Bytes{0x01, 0x03, 0x04, 0x00, 0x00, 0x3F, 0xC0, 0xEB, 0x93}));

  // Function 16 writes both registers; the reply repeats address and quantity.
  a = Ask(slave, {0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04, 0x00, 0x00, 0x3F, 0xC0, 0x62, 0x70});
  EXPECT_EQ(a.reply, WithCrc({0x01, 0x10, 0x00, 0x0A, 0x00, 0x02}));
  EXPECT_EQ(map.get(10), 0x0000);
  EXPECT_EQ(map.get(11), 0x3FC0);

  // Function 6 is answered by an echo.
  const Bytes write6{0x01, 0x06, 0x00, 0x01, 0x00, 0x02, 0x59, 0xCB};
  EXPECT_EQ(Ask(slave, write6).reply, write6);
  EXPECT_EQ(map.get(1), 2);

  // Restart communications: echo.
  const Bytes reset{0x01, 0x08, 0x00, 0x01, 0xFF, 0x00, 0xF0, 0x3B};
  EXPECT_EQ(Ask(slave, reset).reply, reset);
}

TEST(SimSlave, RefusesWhatATransducerWouldRefuse) {
  static RegisterMap map;
  map = RegisterMap();
  map.define(0, 5);
  RtuSlave slave(map, 1);
  slave.addExceptionRule({3, 6});

  // Undefined address: exception 2, the golden exception reply.
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x03, 0x00, 0x32, 0x00, 0x02})).reply,
            (Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1}));
  // A span running past the defined registers is refused as a whole, and writes nothing.
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x10, 0x00, 0x04, 0x00, 0x02, 0x04, 0x12, 0x34, 0x56, 0x78})).reply,
            WithCrc({0x01, 0x90, 0x02}));
  EXPECT_EQ(map.get(4), 0);
  // Count 0 and a byte count that does not match the quantity: exception 3.
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x00})).reply, WithCrc({0x01, 0x83, 0x03}));
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x10, 0x00, 0x00, 0x00, 0x02, 0x02, 0x12, 0x34})).reply,
            WithCrc({0x01, 0x90, 0x03}));
  // The exception rule hits a read whose span touches its address.
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x03, 0x00, 0x02, 0x00, 0x02})).reply, WithCrc({0x01, 0x83, 0x06}));
  // An unknown function and an unknown diagnostics sub-function: exception 1.
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x2B, 0x0E, 0x01, 0x00})).reply, WithCrc({0x01, 0xAB, 0x01}));
  EXPECT_EQ(Ask(slave, WithCrc({0x01, 0x08, 0x00, 0x0A, 0x00, 0x00})).reply, WithCrc({0x01, 0x88, 0x01}));

  // Silence: a bad CRC, another slave's request; a broadcast write is carried out without a reply.
  EXPECT_EQ(Ask(slave, {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0B}).outcome, RtuSlave::Outcome::BadCrc);
  EXPECT_EQ(Ask(slave, WithCrc({0x02, 0x03, 0x00, 0x00, 0x00, 0x01})).outcome,
            RtuSlave::Outcome::ForeignSlave);
  const auto broadcast = Ask(slave, WithCrc({0x00, 0x06, 0x00, 0x01, 0xAB, 0xCD}));
  EXPECT_EQ(broadcast.outcome, RtuSlave::Outcome::Broadcast);
  EXPECT_TRUE(broadcast.reply.empty());
  EXPECT_EQ(map.get(1), 0xABCD);
}

TEST(SimEncodeValue, EncodesAsTheProgramWritesWithFunction16) {
  // Integers: low 16 bits first; one register takes the low 16 bits only.
  EXPECT_EQ(EncodeValue(4, 1, u"1234"), (std::vector<uint16_t>{1234}));
  EXPECT_EQ(EncodeValue(5, 2, u"-2"), (std::vector<uint16_t>{0xFFFE, 0xFFFF}));
  EXPECT_EQ(EncodeValue(10, 1, u"$1A2"), (std::vector<uint16_t>{0x01A2}));
  EXPECT_EQ(EncodeValue(10, 1, u"$12345"), (std::vector<uint16_t>{0x2345}));
  // Reals with ',' as separator, single precision, low register first.
  EXPECT_EQ(EncodeValue(6, 2, u"1,5"), (std::vector<uint16_t>{0x0000, 0x3FC0}));
  EXPECT_EQ(EncodeValue(11, 2, u"0,1"), (std::vector<uint16_t>{0xCCCD, 0x3DCC}));
  // A value the program could not have written seeds zeros.
  EXPECT_EQ(EncodeValue(6, 2, u"1.5"), (std::vector<uint16_t>{0, 0}));
  EXPECT_EQ(EncodeValue(4, 1, u"abc"), (std::vector<uint16_t>{0}));
  EXPECT_EQ(EncodeValue(0, 2, u"12"), (std::vector<uint16_t>{0, 0}));
  // Text: first character in the high byte, closed by 0 when it fits, cut at 2 * count bytes.
  EXPECT_EQ(EncodeValue(7, 2, u"ABC"), (std::vector<uint16_t>{0x4142, 0x4300}));
  EXPECT_EQ(EncodeValue(7, 1, u"ABC"), (std::vector<uint16_t>{0x4142}));
  EXPECT_EQ(EncodeValue(7, 2, u""), (std::vector<uint16_t>{0, 0}));
  EXPECT_EQ(EncodeValue(7, 1, u"\u0142x"), (std::vector<uint16_t>{0x4278}));  // low 8 bits, as written
}

TEST(SimSeed, DefinesEveryRegisterNodeOfADefinitionFile) {
  test::TreeBuilder b;
  b.group(u"Pomiary").reg(u"Temperatura", u"$64", u"REAL", u"2", u"ro", u"21,5");
  b.reg(u"Adres", u"200", u"WORD", u"1", u"RP", u"7").open();
  // An option is no register, even with an address.
  b.node(test::RegisterRecord(u"300", u"BIT", u"1", u"", u"7", u"7")).end();
  b.reg(u"Zły", u"x1", u"WORD", u"1", u"RW", u"1");
  const auto path =
      std::filesystem::temp_directory_path() / ("velnorex-seed-" + std::to_string(::getpid()) + ".dat");
  b.save(path.string());

  static RegisterMap map;
  map = RegisterMap();
  EXPECT_EQ(SeedFromDefinition(map, path.string()), 3u);
  std::filesystem::remove(path);
  EXPECT_TRUE(map.covers(100, 2));
  EXPECT_EQ(map.get(100), 0x0000);
  EXPECT_EQ(map.get(101), 0x41AC);  // 21.5f = 0x41AC0000
  EXPECT_TRUE(map.covers(200, 1));
  EXPECT_EQ(map.get(200), 7);
  EXPECT_FALSE(map.defined(300));
  EXPECT_EQ(map.definedCount(), 3u);
}

TEST(SimBus, EachTransducerAnswersItsOwnAddressFromRegistersOfItsOwn) {
  static RegisterMap seed;
  seed = RegisterMap();
  seed.define(0, 2);
  seed.set(0, 7);
  Bus bus(seed, {5, 9}, {{1, 3}});
  uint8_t reply[RtuSlave::kMaxFrame + 8] = {};
  size_t length = 0;
  const auto ask = [&](const Bytes& request) {
    const auto outcome = bus.handle(request.data(), request.size(), reply, length);
    return std::pair{outcome, Bytes(reply, reply + length)};
  };

  EXPECT_EQ(ask(WithCrc({0x05, 0x03, 0x00, 0x00, 0x00, 0x01})).second,
            WithCrc({0x05, 0x03, 0x02, 0x00, 0x07}));
  // A write reaches only its own transducer.
  EXPECT_EQ(ask(WithCrc({0x09, 0x06, 0x00, 0x00, 0x00, 0x2A})).first, RtuSlave::Outcome::Reply);
  EXPECT_EQ(bus.registers(9)->get(0), 42);
  EXPECT_EQ(bus.registers(5)->get(0), 7);
  // The exception rules hold for every transducer.
  EXPECT_EQ(ask(WithCrc({0x09, 0x03, 0x00, 0x01, 0x00, 0x01})).second, WithCrc({0x09, 0x83, 0x03}));
  // Nobody at 6; a torn frame is still told apart; a broadcast is carried out by all and answered by none.
  EXPECT_EQ(ask(WithCrc({0x06, 0x03, 0x00, 0x00, 0x00, 0x01})).first, RtuSlave::Outcome::ForeignSlave);
  EXPECT_EQ(ask({0x06, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}).first, RtuSlave::Outcome::BadCrc);
  const auto broadcast = ask(WithCrc({0x00, 0x06, 0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(broadcast.first, RtuSlave::Outcome::Broadcast);
  EXPECT_TRUE(broadcast.second.empty());
  EXPECT_EQ(bus.registers(5)->get(0), 1);
  EXPECT_EQ(bus.registers(9)->get(0), 1);
  EXPECT_EQ(bus.registers(6), nullptr);

  // A transducer hears only its own baud rate and stop bits; what it was not told about it does not check.
  EXPECT_TRUE(Hears({19200, 1}, {19200, 1}));
  EXPECT_FALSE(Hears({19200, 1}, {9600, 1}));
  EXPECT_FALSE(Hears({19200, 1}, {19200, 2}));
  EXPECT_TRUE(Hears({19200, 0}, {19200, 2}));
  EXPECT_TRUE(Hears({0, 0}, {1200, 1}));
}

}  // namespace
}  // namespace velnorex::sim
