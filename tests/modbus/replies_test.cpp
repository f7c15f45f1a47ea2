// Decoding replies into the texts the register tree shows, by the request's function code and the register's
// type. CRC bytes of replies not given with the protocol's examples were computed with pymodbus's computeCRC.
#include "tests/modbus/modbus_fixture.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

class DecodeTest : public ModbusTest {
 protected:
  // Reads one register of `type` and decodes `reply`; replyText starts as a leftover of an earlier reply.
  std::string Decode(const char16_t* type, const Bytes& reply, const char16_t* count = u"2") {
    EXPECT_TRUE(modbus.BuildReadRequest(Register(u"0", type, count), u"1"));
    SetReply(reply);
    replyOk = false;
    replyText = u"stale";
    returned = modbus.DecodeReply(replyOk, replyText);
    return ToUtf8(replyText);
  }

  bool replyOk = false;
  bool returned = false;
  std::u16string replyText;
};

// address 1, function 3, byte count 2, register 0xFFFF, CRC
const Bytes kAllOnes = {0x01, 0x03, 0x02, 0xFF, 0xFF, 0xB9, 0xF4};

TEST_F(DecodeTest, SixteenBitRegisters) {
  EXPECT_EQ(Decode(u"WORD", kAllOnes), "65535");
  EXPECT_TRUE(returned);
  EXPECT_TRUE(replyOk);
  EXPECT_EQ(Decode(u"INT", kAllOnes), "-1");
  EXPECT_EQ(Decode(u"HEX", kAllOnes), "$FFFF");
  EXPECT_EQ(Decode(u"hex", {0x01, 0x03, 0x02, 0x00, 0x05, 0x78, 0x47}), "$05");
  EXPECT_EQ(Decode(u"HEX", {0x01, 0x03, 0x02, 0x01, 0xA2, 0x38, 0x6D}), "$1A2");
  EXPECT_EQ(Decode(u"INT", {0x01, 0x03, 0x02, 0x80, 0x00, 0xD9, 0x84}), "-32768");
  // The swap works in place on the received data.
  EXPECT_EQ(Hex(serial.ReplyBuffer + 3, 2), Hex({0x00, 0x80}));
}

TEST_F(DecodeTest, Singles) {
  // address 1, function 3, byte count 4, 1.5 as registers 0x0000 (low half) and 0x3FC0 (high half), CRC
  const Bytes oneAndAHalf = {0x01, 0x03, 0x04, 0x00, 0x00, 0x3F, 0xC0, 0xEB, 0x93};
  EXPECT_EQ(Decode(u"REAL", oneAndAHalf), "1,50");
  EXPECT_EQ(Decode(u"PREC", oneAndAHalf), "1,5000000000");
  // The single nearest to 0.1 is 0x3DCCCCCD: low register 0xCCCD first.
  const Bytes tenth = {0x01, 0x03, 0x04, 0xCC, 0xCD, 0x3D, 0xCC, 0x44, 0x59};
  EXPECT_EQ(Decode(u"REAL", tenth), "0,10");
  EXPECT_EQ(Decode(u"PREC", tenth), "0,1000000015");
}

TEST_F(DecodeTest, TextAndUnknownTypes) {
  EXPECT_EQ(Decode(u"TEXT", {0x01, 0x03, 0x04, 0x41, 0x42, 0x00, 0x43, 0x0F, 0xEA}), "AB");
  EXPECT_EQ(Decode(u"TEXT", {0x01, 0x03, 0x04, 0x41, 0x42, 0x43, 0x44, 0x7F, 0x18}), "ABCD");
  // Not swapped: text comes in reading order.
  EXPECT_EQ(Hex(serial.ReplyBuffer + 3, 4), Hex({0x41, 0x42, 0x43, 0x44}));
  EXPECT_EQ(Decode(u"BOOL", {0x01, 0x03, 0x04, 0x41, 0x42, 0x43, 0x44, 0x7F, 0x18}), "");
  EXPECT_TRUE(replyOk);
}

TEST(BytesToText, StopsAtZeroOrCountAndUsesCodePage1250) {
  const uint8_t bytes[] = {'Z', 0xB3, 0xF3, 'w', 0x00, 'x'};  // "Zółw" in code page 1250
  EXPECT_EQ(BytesToText(bytes, 6), u"Z\u0142\u00F3w");
  EXPECT_EQ(BytesToText(bytes, 2), u"Z\u0142");
  EXPECT_EQ(BytesToText(bytes, 0), u"");
}

TEST_F(DecodeTest, ExceptionReplyKeepsTheText) {
  // address 1, function 3 with the exception bit, exception code 2 (illegal data address), CRC
  EXPECT_EQ(Decode(u"WORD", {0x01, 0x83, 0x02, 0xC0, 0xF1}), "stale");
  EXPECT_FALSE(returned);
  EXPECT_FALSE(replyOk);
  // The two-byte reply FF FF passes the CRC check and has its exception bit set.
  EXPECT_EQ(Decode(u"WORD", {0xFF, 0xFF}), "stale");
  EXPECT_FALSE(replyOk);
}

TEST_F(DecodeTest, RepliesToWritesAndDiagnosticsDecodeNothing) {
  modbus.RegisterType = kTypeWord;
  ASSERT_TRUE(modbus.BuildWriteSingleRequest(Register(u"1", u"WORD", u"1", u"2"), u"1"));
  // The reply's own function code is not what decides: the request's is.
  SetReply({0x01, 0x03, 0x02, 0x00, 0x05, 0x78, 0x47});
  replyText = u"stale";
  EXPECT_TRUE(modbus.DecodeReply(replyOk, replyText));
  EXPECT_TRUE(replyOk);
  EXPECT_EQ(replyText, u"");
}

TEST_F(DecodeTest, ByteCountBeyondTheBytesReceived) {
  // Claims 4 data bytes, but only 2 came before the CRC.
  const Bytes shortData = {0x01, 0x03, 0x04, 0x00, 0x05, 0xAA, 0xBB};
  for (const char16_t* type : {u"WORD", u"INT", u"HEX", u"REAL", u"PREC", u"TEXT"}) {
    EXPECT_EQ(Decode(type, shortData), "") << ToUtf8(type);
    EXPECT_TRUE(replyOk);
    EXPECT_TRUE(returned);
    EXPECT_EQ(Hex(serial.ReplyBuffer, 8), Hex({0x01, 0x03, 0x04, 0x00, 0x05, 0xAA, 0xBB, 0x00}));
  }
  // A byte count of 250 in a full buffer, and replies too short to hold any data at all.
  Bytes full(Serial::kBufferSize, 0x41);
  full[1] = 0x03;
  full[2] = 250;
  EXPECT_EQ(Decode(u"TEXT", full), "");
  EXPECT_EQ(Decode(u"WORD", {0x01, 0x03, 0x02, 0x00}), "");
  EXPECT_EQ(Decode(u"WORD", {}), "");
  EXPECT_TRUE(replyOk);
}

TEST_F(DecodeTest, ByteCountBelowWhatTheValueNeeds) {
  // Byte count 1: not a whole register.
  EXPECT_EQ(Decode(u"WORD", {0x01, 0x03, 0x01, 0x41, 0x30, 0x78}), "");
  EXPECT_TRUE(replyOk);
  // Byte count 2: one register where a single needs two; the data stay unswapped.
  for (const char16_t* type : {u"REAL", u"PREC"}) {
    EXPECT_EQ(Decode(type, {0x01, 0x03, 0x02, 0x00, 0x05, 0x78, 0x47}), "") << ToUtf8(type);
    EXPECT_EQ(Hex(serial.ReplyBuffer + 3, 2), Hex({0x00, 0x05}));
  }
  // Text takes what the byte count allows, even a single byte.
  EXPECT_EQ(Decode(u"TEXT", {0x01, 0x03, 0x01, 0x41, 0x30, 0x78}), "A");
  // More data than the value needs is fine: the first value counts.
  EXPECT_EQ(Decode(u"WORD", {0x01, 0x03, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xBA, 0x73}), "0");
}

TEST_F(DecodeTest, ReplyWordsAreTheRegistersAsTheyCameWhateverTheDecoderSwapped) {
  // address 1, function 3, byte count 4, registers 0x1234 and 0xABCD, CRC
  const Bytes twoRegisters = WithCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD});
  uint16_t words[4] = {};
  for (const char16_t* type : {u"WORD", u"REAL", u"TEXT", u"BOOL"}) {
    Decode(type, twoRegisters);
    ASSERT_EQ(modbus.ReplyWords(words, 4), 2) << ToUtf8(type);
    EXPECT_EQ(words[0], 0x1234) << ToUtf8(type);
    EXPECT_EQ(words[1], 0xABCD) << ToUtf8(type);
  }
  EXPECT_EQ(modbus.ReplyWords(words, 1), 1);
  EXPECT_EQ(modbus.ReplyExceptionCode(), 0);
  // An exception, a byte count beyond what came: no words.
  Decode(u"WORD", {0x01, 0x83, 0x02, 0xC0, 0xF1});
  EXPECT_EQ(modbus.ReplyWords(words, 4), -1);
  EXPECT_EQ(modbus.ReplyExceptionCode(), 2);
  Decode(u"WORD", {0x01, 0x03, 0x04, 0x00, 0x05, 0xAA, 0xBB});
  EXPECT_EQ(modbus.ReplyWords(words, 4), -1);
  // The decoder over bytes as the line carries them gives what the reply decoder gives.
  const uint8_t oneAndAHalf[] = {0x00, 0x00, 0x3F, 0xC0};
  EXPECT_EQ(DecodeRegisterBytes(kTypeReal, oneAndAHalf, 4), u"1,50");
  EXPECT_EQ(DecodeRegisterBytes(kTypeHex, oneAndAHalf + 2, 2), u"$3FC0");
  EXPECT_EQ(DecodeRegisterBytes(kTypeReal, oneAndAHalf, 2), u"");
}

TEST_F(DecodeTest, OneBuilderPicksFunction6Or16AsTheTreeDoes) {
  EXPECT_TRUE(modbus.BuildWriteRequest(Register(u"1", u"WORD", u"1", u"2"), u"1", true));
  EXPECT_EQ(Frame(), "01 06 00 01 00 02 59 CB");
  // Single-register writes off, or two registers: function 16 with the type's encoding.
  EXPECT_TRUE(modbus.BuildWriteRequest(Register(u"1", u"WORD", u"1", u"2"), u"1", false));
  EXPECT_EQ(Frame(), Hex(WithCrc({0x01, 0x10, 0x00, 0x01, 0x00, 0x01, 0x02, 0x00, 0x02})));
  EXPECT_TRUE(modbus.BuildWriteRequest(Register(u"10", u"REAL", u"2", u"1,5"), u"1", true));
  EXPECT_EQ(Frame(), "01 10 00 0A 00 02 04 00 00 3F C0 62 70");
}

}  // namespace
}  // namespace velnorex::test
