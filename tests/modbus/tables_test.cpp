// The four tables through the one exchange: golden requests and replies of functions 1, 2, 4, 5 and 15
// (exceptions included), every fixed-width type in every word order against known words, and the meaning of
// a number (scale, offset, decimals, unit) both ways. CRC bytes were computed with pymodbus's computeCRC.
#include "modbus/exchange_dispatcher.h"
#include "modbus/function_codes.h"
#include "tests/modbus/modbus_fixture.h"
#include "tests/support/transaction_recorder.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

using Events = std::vector<std::string>;

class TablesTest : public ModbusTest {
 protected:
  void SetUp() override {
    dispatcher.addTransactionObserver(&host);
    OpenPort();
  }

  // One transaction of `node` (a read, or a write when `write`), answered by `reply`; the request sent.
  std::string Run(const RegisterNode& node, const Bytes& reply, bool write = false, bool single = true) {
    host.clear();
    fake->writes.clear();
    if (write)
      EXPECT_TRUE(modbus.BuildWriteRequest(node, u"1", single));
    else
      EXPECT_TRUE(modbus.BuildReadRequest(node, u"1"));
    fake->queueRead(reply);
    dispatcher.Exchange(host);
    return fake->writes.empty() ? "(none)" : Hex(fake->writes[0]);
  }

  TransactionRecorder host;
  ExchangeDispatcher dispatcher{modbus, host};
};

TEST_F(TablesTest, EachTableReadsAndWritesWithItsOwnFunction) {
  // Coils: three from address 10, the reply 05 = on, off, on. The value is the first.
  EXPECT_EQ(Run(Register(u"10", u"BOOL table=coil", u"3"), {0x01, 0x01, 0x01, 0x05, 0x91, 0x8B}),
            Hex({0x01, 0x01, 0x00, 0x0A, 0x00, 0x03, 0x5C, 0x09}));
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "ShowValue 1", "StartHighlightTimer", "UM_NEXT"}));
  uint16_t words[8] = {};
  EXPECT_EQ(modbus.ReplyWords(words, 8), 3);
  EXPECT_EQ((std::vector<uint16_t>(words, words + 3)), (std::vector<uint16_t>{1, 0, 1}));

  // A discrete input, then its exception.
  const RegisterNode input = Register(u"0", u"BOOL table=discrete", u"1");
  EXPECT_EQ(Run(input, {0x01, 0x02, 0x01, 0x01, 0x60, 0x48}),
            Hex({0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 0xB9, 0xCA}));
  EXPECT_EQ(dispatcher.replyText(), u"1");
  Run(input, {0x01, 0x82, 0x02, 0xC1, 0x61});
  EXPECT_EQ(dispatcher.lastResult().outcome, TransactionOutcome::Exception);
  EXPECT_EQ(dispatcher.lastResult().exceptionCode, kIllegalDataAddress);

  // An input register F32, high word first: 21,5.
  const RegisterNode f32 = Register(u"100", u"F32 table=input", u"2");
  EXPECT_EQ(Run(f32, WithCrc({0x01, 0x04, 0x04, 0x41, 0xAC, 0x00, 0x00})),
            Hex({0x01, 0x04, 0x00, 0x64, 0x00, 0x02, 0x30, 0x14}));
  EXPECT_EQ(dispatcher.replyText(), u"21,5");
  EXPECT_EQ(dispatcher.lastResult().value.number(), 21.5);
  // The low word first reads right in its own order; a holding register's reply (function 3) to an input
  // register's request is no answer to it.
  Run(Register(u"100", u"F32 table=input order=CDAB", u"2"),
      {0x01, 0x04, 0x04, 0x00, 0x00, 0x41, 0xAC, 0xCB, 0xA9});
  EXPECT_EQ(dispatcher.replyText(), u"21,5");
  Run(f32, WithCrc({0x01, 0x03, 0x04, 0x41, 0xAC, 0x00, 0x00}));
  EXPECT_EQ(dispatcher.lastResult().outcome, TransactionOutcome::Malformed);
  Run(f32, {0x01, 0x84, 0x02, 0xC2, 0xC1});
  EXPECT_EQ(dispatcher.lastResult().exceptionCode, kIllegalDataAddress);

  // A coil written on with function 5 (its reply is the request), off too; with single writes off, 15.
  const Bytes on = {0x01, 0x05, 0x00, 0x07, 0xFF, 0x00, 0x3D, 0xFB};
  EXPECT_EQ(Run(Register(u"7", u"BOOL table=coil", u"1", u"1"), on, true), Hex(on));
  EXPECT_TRUE(dispatcher.lastResult().replied());
  const Bytes off = {0x01, 0x05, 0x00, 0x07, 0x00, 0x00, 0x7C, 0x0B};
  EXPECT_EQ(Run(Register(u"7", u"BOOL table=coil", u"1", u"0"), off, true), Hex(off));
  EXPECT_EQ(Run(Register(u"7", u"BOOL table=coil", u"1", u"1"),
                {0x01, 0x0F, 0x00, 0x07, 0x00, 0x01, 0x25, 0xCA}, true, false),
            Hex({0x01, 0x0F, 0x00, 0x07, 0x00, 0x01, 0x01, 0x01, 0x5A, 0x97}));
  EXPECT_TRUE(dispatcher.lastResult().replied());
  Run(Register(u"7", u"BOOL table=coil", u"1", u"1"), {0x01, 0x8F, 0x02, 0xC5, 0xF1}, true, false);
  EXPECT_EQ(dispatcher.lastResult().outcome, TransactionOutcome::Exception);

  // The read-only tables refuse a write before anything is sent; a coil takes only 0 or 1.
  EXPECT_THROW(modbus.BuildWriteRequest(Register(u"1", u"U16 table=input", u"1", u"5"), u"1", true), Error);
  EXPECT_THROW(modbus.BuildWriteRequest(Register(u"1", u"BOOL table=discrete", u"1", u"1"), u"1", true),
               Error);
  EXPECT_THROW(modbus.BuildWriteRequest(Register(u"1", u"BOOL table=coil", u"1", u"2"), u"1", true),
               ConvertError);

  // The monitor's reading of the requests, and the lengths the reads wait for.
  const RequestFields coils =
      DecodeRequest(std::vector<uint8_t>{0x01, 0x01, 0x00, 0x0A, 0x00, 0x03}.data(), 6);
  EXPECT_TRUE(coils.namesBits);
  EXPECT_EQ(coils.registerCount, 3);
  EXPECT_EQ(ExpectedReplyLength(kReadCoils, 9), 7u);  // two bytes of bits
  EXPECT_EQ(ExpectedReplyLength(kReadInputRegisters, 2), 9u);
  EXPECT_EQ(ExpectedReplyLength(kWriteMultipleCoils, 1), 8u);
}

// Where each byte of a value stands on the line, by its position from the most significant (1): the issue's
// rules written out for 32 and 64 bits.
struct OrderCase {
  const char16_t* order;
  std::vector<int> bytes32;
  std::vector<int> bytes64;
};
const OrderCase kOrders[] = {
    {u"ABCD", {1, 2, 3, 4}, {1, 2, 3, 4, 5, 6, 7, 8}},
    {u"CDAB", {3, 4, 1, 2}, {7, 8, 5, 6, 3, 4, 1, 2}},
    {u"BADC", {2, 1, 4, 3}, {2, 1, 4, 3, 6, 5, 8, 7}},
    {u"DCBA", {4, 3, 2, 1}, {8, 7, 6, 5, 4, 3, 2, 1}},
};

std::vector<uint16_t> InOrder(const OrderCase& order, uint64_t value, int words) {
  const std::vector<int>& positions = words == 2 ? order.bytes32 : order.bytes64;
  const auto byteAt = [&](int position) {
    return static_cast<uint16_t>(value >> (8 * (2 * words - position)) & 0xFF);
  };
  std::vector<uint16_t> line;
  for (size_t i = 0; i < positions.size(); i += 2)
    line.push_back(static_cast<uint16_t>(byteAt(positions[i]) << 8 | byteAt(positions[i + 1])));
  return line;
}

TEST(WordOrders, EveryTypeInEveryOrderDecodesAndEncodesItsKnownWords) {
  struct TypeCase {
    const char16_t* type;
    uint64_t bits;  // big-endian value
    const char16_t* shown;
    std::string full;
  };
  const TypeCase types[] = {
      {u"U32", 0xFFFFFFFEu, u"4294967294", "4294967294"},
      {u"I32", 0xFFFFFFFEu, u"-2", "-2"},
      {u"F32", 0x41AC0000u, u"21,5", "21.5"},
      {u"F32", 0x3DCCCCCDu, u"0,1", "0.1"},
      {u"U64", 0xFFFFFFFFFFFFFFFFull, u"18446744073709551615", "18446744073709551615"},
      {u"I64", 0x8000000000000000ull, u"-9223372036854775808", "-9223372036854775808"},
      {u"F64", 0xC004000000000000ull, u"-2,5", "-2.5"},
      {u"F64", 0x3FB999999999999Aull, u"0,1", "0.1"},
  };
  for (const OrderCase& order : kOrders) {
    for (const TypeCase& type : types) {
      const std::u16string field = std::u16string(type.type) + u" order=" + order.order;
      const RegisterFormat format = RegisterFormatOf(field);
      ASSERT_NE(format.type, kTypeNone) << ToUtf8(field);
      const int width = RegisterTypeOf(format.type)->words;
      const std::vector<uint16_t> line = InOrder(order, type.bits, width);
      RegisterValue value;
      DecodeWords(format, line.data(), width, value);
      EXPECT_EQ(DisplayText(value), type.shown) << ToUtf8(field);
      EXPECT_EQ(FullPrecisionText(value), type.full) << ToUtf8(field);
      uint16_t encoded[4] = {};
      EncodeText(format, type.shown, encoded, width);
      EXPECT_EQ(std::vector<uint16_t>(encoded, encoded + width), line) << ToUtf8(field);
    }
  }
  // Two cases by hand, so that the helper cannot agree with a wrong rule.
  EXPECT_EQ(InOrder(kOrders[1], 0x0102030405060708ull, 4),
            (std::vector<uint16_t>{0x0708, 0x0506, 0x0304, 0x0102}));
  EXPECT_EQ(InOrder(kOrders[2], 0x11223344u, 2), (std::vector<uint16_t>{0x2211, 0x4433}));

  // The old REAL keeps its low word first: 1,5 from 00 00 3F C0 as F32 CDAB reads, and as REAL ABCD it does
  // not.
  const uint16_t real[] = {0x0000, 0x3FC0};
  RegisterValue value;
  DecodeWords(RegisterFormatOf(u"REAL"), real, 2, value);
  EXPECT_EQ(DisplayText(value), u"1,50");
  DecodeWords(RegisterFormatOf(u"F32 order=CDAB"), real, 2, value);
  EXPECT_EQ(DisplayText(value), u"1,5");
  const uint16_t high[] = {0x3FC0, 0x0000};
  DecodeWords(RegisterFormatOf(u"REAL order=ABCD"), high, 2, value);
  EXPECT_EQ(DisplayText(value), u"1,50");

  // Finding the order of an unknown transducer: 00 00 41 AC is 21,5 only with the low word first, as F32 in
  // CDAB and as the REAL of old; the words for scripts stay in address order.
  const uint16_t unknown[] = {0x0000, 0x41AC};
  DecodeWords(RegisterFormatOf(u"F32"), unknown, 2, value);
  const OrderReadings readings = ReadInEveryOrder(value);
  EXPECT_EQ(readings.byOrder[static_cast<int>(WordOrder::CDAB)], u"21,5");
  EXPECT_EQ(readings.asReal, u"21,50");
  for (WordOrder other : {WordOrder::ABCD, WordOrder::BADC, WordOrder::DCBA})
    EXPECT_NE(readings.byOrder[static_cast<int>(other)], u"21,5");
  EXPECT_EQ(JsonWordsText(value), "[0, 16812]");

  // 16-bit types, and values that do not fit their raw type.
  const uint16_t minus[] = {0xFFFF};
  DecodeWords(RegisterFormatOf(u"U16"), minus, 1, value);
  EXPECT_EQ(DisplayText(value), u"65535");
  DecodeWords(RegisterFormatOf(u"I16"), minus, 1, value);
  EXPECT_EQ(DisplayText(value), u"-1");
  uint16_t word = 0;
  for (const auto& [type, text] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"U16", u"65536"}, {u"U16", u"-1"}, {u"I16", u"32768"}, {u"I16", u"-32769"}, {u"U16", u"1,5"}})
    EXPECT_THROW(EncodeText(RegisterFormatOf(type), text, &word, 1), ConvertError)
        << ToUtf8(type + u" " + text);
  uint16_t wide[4] = {};
  EXPECT_THROW(EncodeText(RegisterFormatOf(u"U64"), u"18446744073709551616", wide, 4), ConvertError);
  EXPECT_THROW(EncodeText(RegisterFormatOf(u"F32"), u"1e39", wide, 2), ConvertError);
  EncodeText(RegisterFormatOf(u"I16"), u"-32768", &word, 1);
  EXPECT_EQ(word, 0x8000);
}

TEST(ValueMeaning, ScaleOffsetDecimalsAndUnitBothWays) {
  // The sample's temperature: -125 × 0,1 °C.
  const RegisterFormat temperature = RegisterFormatOf(u"I16 scale=0.1 unit=°C");
  ASSERT_EQ(temperature.type, kTypeI16);
  const uint16_t raw[] = {static_cast<uint16_t>(-125)};
  RegisterValue value;
  DecodeWords(temperature, raw, 1, value);
  EXPECT_EQ(DisplayText(value), u"-12,5 °C");
  EXPECT_EQ(FullPrecisionText(value), "-12.5");
  EXPECT_EQ(JsonValueText(value), "-12.5");
  uint16_t word = 0;
  EncodeText(temperature, u"-12,5 °C", &word, 1);
  EXPECT_EQ(word, raw[0]);
  EncodeText(temperature, u"-12,5", &word, 1);  // the unit may be left out
  EXPECT_EQ(word, raw[0]);

  // Rounding at the edges of a U16 with scale 0,1: 6553,5 is 65535; 6553,54 rounds down to it; 6553,56
  // rounds to 65536, which does not fit; -0,04 rounds to 0 and -0,05 to -1, which does not fit either.
  const RegisterFormat tenths = RegisterFormatOf(u"U16 scale=0.1");
  EncodeText(tenths, u"6553,5", &word, 1);
  EXPECT_EQ(word, 65535);
  EncodeText(tenths, u"6553,54", &word, 1);
  EXPECT_EQ(word, 65535);
  EXPECT_THROW(EncodeText(tenths, u"6553,56", &word, 1), ConvertError);
  EncodeText(tenths, u"-0,04", &word, 1);
  EXPECT_EQ(word, 0);
  EXPECT_THROW(EncodeText(tenths, u"-0,05", &word, 1), ConvertError);
  EXPECT_THROW(EncodeText(tenths, u"abc", &word, 1), ConvertError);

  // An offset and given decimals: 4–20 mA as 0–100 % from raw 4000–20000 µA ... raw × 0,00625 − 25.
  const RegisterFormat percent = RegisterFormatOf(u"U16 scale=0.00625 offset=-25 decimals=1 unit=%");
  const uint16_t twelve[] = {12000};
  DecodeWords(percent, twelve, 1, value);
  EXPECT_EQ(DisplayText(value), u"50,0 %");
  EXPECT_EQ(FullPrecisionText(value), "50");  // never rounded where it is handed on
  EncodeText(percent, u"50 %", &word, 1);
  EXPECT_EQ(word, 12000);
  const uint16_t odd[] = {12001};
  DecodeWords(percent, odd, 1, value);
  EXPECT_EQ(DisplayText(value), u"50,0 %");
  EXPECT_EQ(FullPrecisionText(value), "50.00625");

  // A scaled F32 in its order: (x − offset) / scale goes out as a single.
  const RegisterFormat flow = RegisterFormatOf(u"F32 order=CDAB scale=2 offset=1 unit=m3/h");
  uint16_t words[2] = {};
  EncodeText(flow, u"44 m3/h", words, 2);
  EXPECT_EQ(words[0], 0x0000);
  EXPECT_EQ(words[1], 0x41AC);  // 21,5
  DecodeWords(flow, words, 2, value);
  EXPECT_EQ(DisplayText(value), u"44 m3/h");
  EXPECT_EQ(value.number(), 44.0);
}

TEST(TypeField, ReadsWhatItWritesAndRefusesTheRest) {
  for (const std::u16string field :
       {u"WORD", u"REAL", u"F32 table=input order=CDAB", u"I16 scale=0.1 unit=°C", u"BOOL table=coil",
        u"BOOL table=discrete", u"U64 order=DCBA scale=1e-07 offset=-3.5 decimals=3 unit=kg / h",
        u"REAL order=ABCD"}) {
    const RegisterFormat format = RegisterFormatOf(field);
    EXPECT_NE(format.type, kTypeNone) << ToUtf8(field);
    EXPECT_EQ(TypeFieldOf(format), field);
  }
  EXPECT_EQ(RegisterFormatOf(u"I16 scale=0.1 unit=°C").meaning.unitText(), u"°C");
  EXPECT_EQ(RegisterFormatOf(u"U32").order, WordOrder::ABCD);
  EXPECT_EQ(RegisterFormatOf(u"PREC").order, WordOrder::CDAB);
  for (const std::u16string field :
       {u"WORD ", u"F32  order=CDAB", u"F32 order=cdab", u"F32 order=CDAB table=input", u"BOOL",
        u"U16 table=coil", u"U16 order=ABCD", u"TEXT scale=2", u"HEX unit=V", u"U16 scale=0",
        u"U16 scale=0,1", u"U16 decimals=11", u"U16 unit=", u"U16 table=input ", u"U16 colour=red"})
    EXPECT_EQ(RegisterFormatOf(field).type, kTypeNone) << ToUtf8(field);
}

}  // namespace
}  // namespace velnorex::test
