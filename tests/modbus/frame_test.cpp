// The RTU framing: CRC-16/MODBUS, its check on replies, the byte-order helpers and the "reply complete" test.
// CRC bytes of frames not given with the protocol's examples were computed with pymodbus's computeCRC.
#include "tests/modbus/modbus_fixture.h"

namespace velnorex::test {
namespace {

TEST(Crc16, StandardCheckValueAndEmptyInput) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(digits, 9), 0x4B37);
  EXPECT_EQ(Crc16(digits, 0), 0xFFFF);
  EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
}

TEST(Crc16, ReadRequestGoesLowByteFirst) {
  const Bytes request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};  // slave 1, read, address 0, one register
  const uint16_t crc = Crc16(request.data(), 6);
  EXPECT_EQ(crc & 0xFF, 0x84);
  EXPECT_EQ(crc >> 8, 0x0A);
}

TEST_F(ModbusTest, AppendCrcExtendsTheFrameByTwo) {
  const Bytes request = {0x01, 0x03, 0x00, 0x64, 0x00, 0x02};
  std::memcpy(modbus.RequestFrame, request.data(), request.size());
  modbus.FrameLength = 6;
  modbus.AppendCrc();
  EXPECT_EQ(modbus.FrameLength, 8);
  EXPECT_EQ(Frame(), Hex({0x01, 0x03, 0x00, 0x64, 0x00, 0x02, 0x85, 0xD4}));

  // A frame so long that its CRC would not fit stays as it is rather than writing past the buffer.
  modbus.FrameLength = Modbus::kFrameSize - 1;
  modbus.AppendCrc();
  EXPECT_EQ(modbus.FrameLength, Modbus::kFrameSize - 1);
}

TEST(CheckReplyCrc, GoodReplyPassesAndEveryCorruptedByteFails) {
  Bytes reply = {
      0x01,        // address
      0x03,        // function
      0x02,        // byte count
      0x00, 0x01,  // register value 1
      0x79, 0x84,  // CRC
  };
  EXPECT_TRUE(CheckReplyCrc(reply.data(), 7));
  for (size_t i = 0; i < reply.size(); ++i) {
    Bytes corrupted = reply;
    corrupted[i] ^= 0x10;
    EXPECT_FALSE(CheckReplyCrc(corrupted.data(), 7)) << "byte " << i;
  }
  // Checked over fewer bytes, the reply's own CRC is not where the check looks.
  EXPECT_FALSE(CheckReplyCrc(reply.data(), 6));
}

TEST(CheckReplyCrc, ShortReplies) {
  const uint8_t one[] = {0x01};
  EXPECT_FALSE(CheckReplyCrc(one, 1));
  EXPECT_FALSE(CheckReplyCrc(nullptr, 0));
  const uint8_t two[] = {0xFF, 0xFF};  // the CRC of no bytes
  EXPECT_TRUE(CheckReplyCrc(two, 2));
  const uint8_t otherTwo[] = {0xFF, 0xFE};
  EXPECT_FALSE(CheckReplyCrc(otherTwo, 2));
}

TEST(ByteOrder, SwapWordAndBytePairs) {
  uint16_t word = 0x1234;
  SwapWord(&word);
  EXPECT_EQ(word, 0x3412);

  uint8_t five[] = {1, 2, 3, 4, 5, 6};
  SwapBytePairs(five, 5);
  EXPECT_EQ(Hex(five, 6), Hex({2, 1, 4, 3, 5, 6}));  // the odd fifth byte and what follows stay

  uint8_t few[] = {1, 2};
  SwapBytePairs(few, 0);
  EXPECT_EQ(Hex(few, 2), Hex({1, 2}));
  SwapBytePairs(few, 1);
  EXPECT_EQ(Hex(few, 2), Hex({1, 2}));
}

TEST(ReplyComplete, ByFunctionCode) {
  const Bytes exception = {0x01, 0x83, 0x02, 0xC0, 0xF1};
  const Bytes read = {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x84};
  const Bytes writeSingle = {0x01, 0x06, 0x00, 0x01, 0x00, 0x02, 0x59, 0xCB};
  const Bytes diagnostics = {0x01, 0x08, 0x00, 0x01, 0xFF, 0x00, 0xF0, 0x3B};
  const Bytes writeMultiple = {0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x61, 0xCA};
  for (const Bytes* reply : {&exception, &read, &writeSingle, &diagnostics, &writeMultiple}) {
    EXPECT_TRUE(ReplyComplete(reply->data(), reply->size())) << Hex(*reply);
    // Every shorter prefix is still on its way.
    for (size_t n = 0; n < reply->size(); ++n)
      EXPECT_FALSE(ReplyComplete(reply->data(), n)) << Hex(*reply) << " " << n;
  }
}

TEST(ReplyComplete, BadCrcExtraBytesAndUnknownFunctionsAreNotComplete) {
  const Bytes badCrc = {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x85};
  EXPECT_FALSE(ReplyComplete(badCrc.data(), badCrc.size()));
  // A trailing byte means something else is on the line: the read runs on and the CRC check decides.
  const Bytes trailing = {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x84, 0x00};
  EXPECT_FALSE(ReplyComplete(trailing.data(), trailing.size()));
  // Report slave id (17) is no function the program sends: its length is not judged.
  Bytes function17 = {0x01, 0x11, 0x02, 0x00, 0x01, 0x00, 0x00};
  AppendFrameCrc(function17.data(), 5);
  EXPECT_FALSE(ReplyComplete(function17.data(), function17.size()));
  // A byte count that cannot fit into the ReplyBuffer never completes.
  const Bytes huge = {0x01, 0x03, 0xFA};
  EXPECT_FALSE(ReplyComplete(huge.data(), huge.size()));
}

TEST(ReplyFitsRequest, OnlyTheAnswerToThisRequestFits) {
  // Golden replies of the kinds pymodbus and the simulator send: two registers (address 1, function 3, byte
  // count 4, 1.5 as a single, CRC), an exception, the echo of a write.
  const Bytes twoRegisters = {0x01, 0x03, 0x04, 0x00, 0x00, 0x3F, 0xC0, 0xEB, 0x93};
  const Bytes exception = {0x01, 0x83, 0x02, 0xC0, 0xF1};
  const Bytes writeEcho = {0x01, 0x06, 0x00, 0x01, 0x00, 0x02, 0x59, 0xCB};
  const auto fits = [](uint8_t slave, uint8_t function, uint8_t registers, const Bytes& reply) {
    uint8_t request[8];
    BuildHeaderFrame(request, slave, function, 1, registers);
    return ReplyFitsRequest(request, sizeof request, reply.data(), reply.size());
  };
  EXPECT_TRUE(fits(1, 3, 2, twoRegisters));
  EXPECT_FALSE(fits(1, 3, 1, twoRegisters));  // one register asked for, two came
  EXPECT_FALSE(fits(1, 3, 3, twoRegisters));
  // Another slave's reply, or one to another function, is no answer to this request: a late reply to an
  // earlier request must never be decoded as this one's.
  EXPECT_FALSE(fits(2, 3, 2, twoRegisters));
  EXPECT_FALSE(fits(1, 3, 1, WithCrc({0x01, 0x04, 0x02, 0x00, 0x05})));
  EXPECT_FALSE(fits(1, 3, 2, WithCrc({0x01, 0x90, 0x02})));  // an exception to function 16
  // A byte count that differs from the request, though the size matches the byte count.
  EXPECT_FALSE(fits(1, 3, 1, WithCrc({0x01, 0x03, 0x00})));
  EXPECT_FALSE(fits(1, 3, 1, WithCrc({0x01, 0x03, 0x01, 0x05})));
  // The right byte count with bytes missing or trailing.
  EXPECT_FALSE(fits(1, 3, 2, WithCrc({0x01, 0x03, 0x04, 0x00, 0x00, 0x3F})));
  Bytes trailing = twoRegisters;
  trailing.push_back(0x00);
  EXPECT_FALSE(fits(1, 3, 2, trailing));
  // An exception reply to the request's own function is five bytes.
  for (uint8_t function : {3, 6, 8, 16}) {
    const Bytes own = WithCrc({0x01, static_cast<uint8_t>(function | 0x80), 0x02});
    EXPECT_TRUE(fits(1, function, 2, own)) << int(function);
    EXPECT_FALSE(fits(1, function, 2, WithCrc({0x01, static_cast<uint8_t>(function | 0x80), 0x02, 0x00})));
  }
  EXPECT_TRUE(fits(1, 3, 2, exception));
  // Writes and the diagnostics request: the eight bytes of the echo.
  EXPECT_TRUE(fits(1, 6, 2, writeEcho));
  EXPECT_FALSE(fits(1, 6, 2, WithCrc({0x01, 0x06, 0x00, 0x01})));
  EXPECT_FALSE(fits(1, 16, 1, writeEcho));
}

}  // namespace
}  // namespace velnorex::test
