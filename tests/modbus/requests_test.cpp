// The four requests as golden frames, the register-type codes, and what the builders refuse.
// CRC bytes of frames not given with the protocol's examples were computed with pymodbus's computeCRC.
#include "tests/modbus/modbus_fixture.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

TEST(TypeCodeOf, UpperCasesAsciiAndComparesExactly) {
  EXPECT_EQ(TypeCodeOf(u"WORD"), kTypeWord);
  EXPECT_EQ(TypeCodeOf(u"word"), kTypeWord);
  EXPECT_EQ(TypeCodeOf(u"Word"), kTypeWord);
  EXPECT_EQ(TypeCodeOf(u"int"), kTypeInt);
  EXPECT_EQ(TypeCodeOf(u"Real"), kTypeReal);
  EXPECT_EQ(TypeCodeOf(u"text"), kTypeText);
  EXPECT_EQ(TypeCodeOf(u"hex"), kTypeHex);
  EXPECT_EQ(TypeCodeOf(u"PREC"), kTypePrec);
  EXPECT_EQ(TypeCodeOf(u" WORD"), kTypeNone);
  EXPECT_EQ(TypeCodeOf(u"WORD "), kTypeNone);
  EXPECT_EQ(TypeCodeOf(u""), kTypeNone);
  EXPECT_EQ(TypeCodeOf(u"WOR"), kTypeNone);
  EXPECT_EQ(TypeCodeOf(u"WORDS"), kTypeNone);
  EXPECT_EQ(TypeCodeOf(u"FLOAT"), kTypeNone);
  // Only ASCII letters are upper-cased: a dotless ı does not become I.
  EXPECT_EQ(TypeCodeOf(u"\u0131nt"), kTypeNone);
}

TEST_F(ModbusTest, ReadRequests) {
  EXPECT_TRUE(modbus.BuildReadRequest(Register(u"100", u"REAL", u"2"), u"1"));
  EXPECT_EQ(Frame(), Hex({
                         0x01,        // address
                         0x03,        // function: read holding registers
                         0x00, 0x64,  // start address 100
                         0x00, 0x02,  // quantity 2
                         0x85, 0xD4,  // CRC
                     }));
  EXPECT_EQ(modbus.RegisterCount, 2);
  EXPECT_EQ(modbus.RegisterType, kTypeReal);

  EXPECT_TRUE(modbus.BuildReadRequest(Register(u"$0", u"word", u"1"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
  EXPECT_EQ(modbus.RegisterType, kTypeWord);

  // Only the diagnostics request refuses the broadcast address; a read goes to slave 0 as asked.
  EXPECT_TRUE(modbus.BuildReadRequest(Register(u"100", u"INT", u"2"), u"0"));
  EXPECT_EQ(Frame(), Hex({0x00, 0x03, 0x00, 0x64, 0x00, 0x02, 0x84, 0x05}));

  // Fields take the low bits: slave 257 is 1, Count 258 is 2, address 65636 is 100.
  EXPECT_TRUE(modbus.BuildReadRequest(Register(u"65636", u"INT", u"258"), u"257"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x03, 0x00, 0x64, 0x00, 0x02, 0x85, 0xD4}));
}

TEST_F(ModbusTest, WriteSingleRequests) {
  modbus.RegisterCount = 9;
  EXPECT_TRUE(modbus.BuildWriteSingleRequest(Register(u"1", u"WORD", u"1", u"2"), u"1"));
  EXPECT_EQ(Frame(), Hex({
                         0x01,        // address
                         0x06,        // function: write single register
                         0x00, 0x01,  // register address 1
                         0x00, 0x02,  // value 2
                         0x59, 0xCB,  // CRC
                     }));
  EXPECT_EQ(modbus.RegisterCount, 9);  // function 6 leaves it alone

  EXPECT_TRUE(modbus.BuildWriteSingleRequest(Register(u"1", u"HEX", u"1", u"$00FF"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x06, 0x00, 0x01, 0x00, 0xFF, 0x98, 0x4A}));
  EXPECT_EQ(modbus.RegisterType, kTypeHex);
}

TEST_F(ModbusTest, WriteMultipleRequests) {
  modbus.RegisterType = kTypeReal;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"REAL", u"2", u"1,5"), u"1"));
  EXPECT_EQ(Frame(), Hex({
                         0x01,                    // address
                         0x10,                    // function: write multiple registers
                         0x00, 0x0A,              // start address 10
                         0x00, 0x02,              // quantity 2
                         0x04,                    // byte count
                         0x00, 0x00, 0x3F, 0xC0,  // single 1.5: low register first, each high byte first
                         0x62, 0x70,              // CRC
                     }));
  EXPECT_EQ(modbus.RegisterCount, 2);

  modbus.RegisterType = kTypeInt;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"INT", u"2", u"-2"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04, 0xFF, 0xFE, 0xFF,
                          0xFF,  // -2 as 32 bits, low register first
                          0x23, 0x84}));

  modbus.RegisterType = kTypeInt;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"INT", u"1", u"-2"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x10, 0x00, 0x0A, 0x00, 0x01, 0x02, 0xFF, 0xFE, 0x66, 0x8A}));
}

TEST_F(ModbusTest, WriteMultipleText) {
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", u"2", u"ABC"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04, 0x41, 0x42, 0x43,
                          0x00,  // A B C and the closing 0, in reading order (no swap)
                          0xF6, 0xC8}));
  EXPECT_EQ(modbus.RegisterType, kTypeText);

  // An empty text is one 0 byte; a character beyond 8 bits goes as its low byte (ł, 0x0142, as 0x42).
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"0", u"TEXT", u"1", u""), u"0"));
  EXPECT_EQ(Hex(modbus.RequestFrame + 7, 2), Hex({0x00, 0x00}));
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"0", u"TEXT", u"1", u"\u0142"), u"0"));
  EXPECT_EQ(Frame(), Hex({0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x02, 0x42, 0x00, 0x9B, 0x60}));

  // A text that fills its registers goes without the closing 0; what does not fit is not sent.
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", u"2", u"ABCDEF"), u"1"));
  EXPECT_EQ(Hex(modbus.RequestFrame + 6, 5), Hex({0x04, 0x41, 0x42, 0x43, 0x44}));
  EXPECT_EQ(modbus.FrameLength, 13);
}

TEST_F(ModbusTest, WriteMultipleFillsTheRestOfItsRegistersWithZeros) {
  // A long text first leaves 'A's all over the register area.
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(
      modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", u"13", std::u16string(40, u'A')), u"1"));
  ASSERT_EQ(modbus.FrameLength, 35);

  modbus.RegisterType = kTypeInt;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"INT", u"3", u"-2"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x10, 0x00, 0x0A, 0x00, 0x03, 0x06, 0xFF, 0xFE, 0xFF, 0xFF, 0x00,
                          0x00,  // the third register is 0, not an earlier 'A'
                          0xFB, 0x5F}));

  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(
      modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", u"13", std::u16string(40, u'A')), u"1"));
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", u"3", u"ABC"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x10, 0x00, 0x0A, 0x00, 0x03, 0x06, 0x41, 0x42, 0x43, 0x00, 0x00,
                          0x00,  // ABC, its 0, then zeros
                          0xA4, 0x3A}));

  // A type that is not a register type sends zeros rather than whatever the area held.
  modbus.RegisterType = kTypeNone;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"BOOL", u"1", u"x"), u"1"));
  EXPECT_EQ(Frame(), Hex({0x01, 0x10, 0x00, 0x0A, 0x00, 0x01, 0x02, 0x00, 0x00, 0xA6, 0xFA}));
}

TEST_F(ModbusTest, WriteMultipleRefusesMoreRegistersThanTheFrameHolds) {
  modbus.RegisterType = kTypeText;
  EXPECT_TRUE(
      modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", u"13", std::u16string(24, u'A')), u"1"));
  std::string letters;
  for (int i = 0; i < 24; ++i) letters += "41 ";
  // address, function 16, start 10, quantity 13, byte count 26, 24 letters, the closing 0 and one more 0, CRC
  EXPECT_EQ(Frame(), "01 10 00 0A 00 0D 1A " + letters + "00 00 FD 2C");
  const std::string before = Hex(modbus.RequestFrame, Modbus::kFrameSize);

  for (const char16_t* count : {u"14", u"255", u"270" /* low 8 bits 14 */}) {
    modbus.RegisterType = kTypeText;
    try {
      modbus.BuildWriteMultipleRequest(Register(u"10", u"TEXT", count, u"B"), u"1");
      ADD_FAILURE() << "no error for Count " << ToUtf8(count);
    } catch (const ConvertError&) {
      ADD_FAILURE() << "a register count is a number: not a conversion error";
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), "za dużo rejestrów do zapisu (najwyżej 13)");
    }
    EXPECT_EQ(Hex(modbus.RequestFrame, Modbus::kFrameSize), before);
    EXPECT_EQ(modbus.FrameLength, 35);
    EXPECT_EQ(modbus.RegisterCount, 13);
  }
}

TEST_F(ModbusTest, ConversionErrors) {
  modbus.RegisterType = kTypeReal;
  EXPECT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"REAL", u"2", u"1,5"), u"1"));
  const std::string sent = Frame();

  auto expectError = [&](auto build, const char* message) {
    try {
      build();
      ADD_FAILURE() << "no error, expected " << message;
    } catch (const ConvertError& error) {
      EXPECT_STREQ(error.what(), message);
    }
  };
  modbus.RegisterType = kTypeReal;
  expectError([&] { modbus.BuildWriteMultipleRequest(Register(u"10", u"REAL", u"2", u"1.5"), u"1"); },
              "'1.5' is not a valid floating point value");
  // The register area keeps the last value sent: nothing of the refused one went in.
  EXPECT_EQ(Hex(modbus.RequestFrame + 7, 4), Hex({0x00, 0x00, 0x3F, 0xC0}));
  // Beyond the range of a single: refused rather than sent as infinity.
  modbus.RegisterType = kTypePrec;
  expectError([&] { modbus.BuildWriteMultipleRequest(Register(u"10", u"PREC", u"2", u"-1e39"), u"1"); },
              "'-1e39' is not a valid floating point value");
  EXPECT_EQ(Hex(modbus.RequestFrame + 7, 4), Hex({0x00, 0x00, 0x3F, 0xC0}));

  modbus.RegisterType = kTypeInt;
  expectError([&] { modbus.BuildWriteMultipleRequest(Register(u"10", u"INT", u"2", u"1,5"), u"1"); },
              "'1,5' is not a valid integer value");
  expectError([&] { modbus.BuildWriteSingleRequest(Register(u"1", u"INT", u"1", u"abc"), u"1"); },
              "'abc' is not a valid integer value");
  expectError([&] { modbus.BuildReadRequest(Register(u"1", u"INT", u"1"), u""); },
              "'' is not a valid integer value");
  expectError([&] { modbus.BuildReadRequest(Register(u"x1", u"INT", u"1"), u"1"); },
              "'x1' is not a valid integer value");
  expectError([&] { modbus.BuildReadRequest(Register(u"1", u"INT", u"one"), u"1"); },
              "'one' is not a valid integer value");
  // The frame length and CRC of the last good request were not touched by the refused ones.
  EXPECT_EQ(modbus.FrameLength, 13);
  EXPECT_EQ(Hex(modbus.RequestFrame + 11, 2), Hex({0x62, 0x70}));
}

}  // namespace
}  // namespace velnorex::test
