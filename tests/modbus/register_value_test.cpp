// The codec between words and values: golden words for every type, the extremes and NaN, the texts the tree
// shows, the full-precision texts that files take, and the words a typed value becomes.
#include "modbus/register_value.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

RegisterValue Decode(uint8_t type, std::vector<uint16_t> words) {
  RegisterValue value;
  DecodeWords(type, words.data(), static_cast<int>(words.size()), value);
  return value;
}

// A single as a REAL register pair holds it: the low 16 bits in the first register.
std::vector<uint16_t> SingleWords(float single) {
  uint32_t bits;
  std::memcpy(&bits, &single, sizeof bits);
  return {static_cast<uint16_t>(bits & 0xFFFF), static_cast<uint16_t>(bits >> 16)};
}

std::vector<uint16_t> Encode(uint8_t type, std::u16string_view text, int count) {
  std::vector<uint16_t> words(static_cast<size_t>(count), 0xEEEE);
  EncodeText(type, text, words.data(), count);
  return words;
}

TEST(RegisterValue, GoldenWordsOfEveryTypeAndTheirTexts) {
  const struct {
    uint8_t type;
    std::vector<uint16_t> words;
    ValueKind kind;
    double number;
    std::u16string shown;
    std::string full;
  } cases[] = {
      {kTypeWord, {0xFFFF}, ValueKind::Integer, 65535, u"65535", "65535"},
      {kTypeWord, {0x0000}, ValueKind::Integer, 0, u"0", "0"},
      {kTypeInt, {0xFFFF}, ValueKind::Integer, -1, u"-1", "-1"},
      {kTypeInt, {0x8000}, ValueKind::Integer, -32768, u"-32768", "-32768"},
      {kTypeInt, {0x7FFF}, ValueKind::Integer, 32767, u"32767", "32767"},
      {kTypeHex, {0x0005}, ValueKind::Integer, 5, u"$05", "$05"},
      {kTypeHex, {0x01A2}, ValueKind::Integer, 0x1A2, u"$1A2", "$1A2"},
      {kTypeHex, {0xFFFF}, ValueKind::Integer, 0xFFFF, u"$FFFF", "$FFFF"},
      // 1.5: 3F C0 00 00, the low word first.
      {kTypeReal, {0x0000, 0x3FC0}, ValueKind::Real, 1.5, u"1,50", "1.5"},
      {kTypePrec, {0x0000, 0x3FC0}, ValueKind::Real, 1.5, u"1,5000000000", "1.5"},
      {kTypeReal, SingleWords(0.1f), ValueKind::Real, double(0.1f), u"0,10", "0.1"},
      {kTypePrec, SingleWords(0.1f), ValueKind::Real, double(0.1f), u"0,1000000015", "0.1"},
      {kTypeReal, SingleWords(-23.4712f), ValueKind::Real, double(-23.4712f), u"-23,47", "-23.4712"},
      {kTypeReal, SingleWords(std::numeric_limits<float>::max()), ValueKind::Real,
       double(std::numeric_limits<float>::max()), FormatFloat(double(std::numeric_limits<float>::max()), 2),
       "3.4028235e+38"},
      {kTypeReal, SingleWords(std::numeric_limits<float>::denorm_min()), ValueKind::Real,
       double(std::numeric_limits<float>::denorm_min()), u"0,00", "1e-45"},
      {kTypeText, {0x4142, 0x0043}, ValueKind::Text, 0, u"AB", "AB"},
      {kTypeText, {0x4142, 0x4344}, ValueKind::Text, 0, u"ABCD", "ABCD"},
      {kTypeText, {0xB3B9}, ValueKind::Text, 0, u"łą", "łą"},  // code page 1250
  };
  for (const auto& c : cases) {
    const RegisterValue value = Decode(c.type, c.words);
    SCOPED_TRACE(ToUtf8(c.shown));
    EXPECT_EQ(value.kind, c.kind);
    if (value.isNumber()) {
      EXPECT_EQ(value.number(), c.number);
    }
    EXPECT_EQ(DisplayText(value), c.shown);
    EXPECT_EQ(FullPrecisionText(value), c.full);
  }
}

TEST(RegisterValue, NanAndInfinityAreValuesFilesCanName) {
  const RegisterValue nan = Decode(kTypeReal, {0x0000, 0x7FC0});
  EXPECT_TRUE(nan.ok());
  EXPECT_TRUE(std::isnan(nan.number()));
  EXPECT_EQ(FullPrecisionText(nan), "nan");
  const RegisterValue inf = Decode(kTypeReal, {0x0000, 0xFF80});
  EXPECT_EQ(inf.number(), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(FullPrecisionText(inf), "-inf");
}

TEST(RegisterValue, TooFewWordsOrAnUnknownTypeIsNoValue) {
  for (const RegisterValue& none :
       {Decode(kTypeWord, {}), Decode(kTypeReal, {0x3FC0}), Decode(kTypeNone, {1}), Decode(99, {1, 2})}) {
    EXPECT_FALSE(none.ok());
    EXPECT_EQ(DisplayText(none), u"");
    EXPECT_EQ(FullPrecisionText(none), "");
  }
  // More words than the value needs: the first ones count, and all are kept.
  const RegisterValue word = Decode(kTypeWord, {7, 8, 9});
  EXPECT_EQ(word.integer, 7);
  EXPECT_EQ(word.wordCount, 3);
}

TEST(RegisterValue, EveryShortestTextReadsBackAsTheSameSingle) {
  // A property over many singles, every exponent: the file's text of a REAL is the float itself.
  uint32_t bits = 0x12345678;
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 1664525u + 1013904223u;
    float single;
    std::memcpy(&single, &bits, sizeof single);
    if (!std::isfinite(single)) continue;
    const RegisterValue value = Decode(kTypeReal, SingleWords(single));
    const std::string text = FullPrecisionText(value);
    ASSERT_EQ(std::strtof(text.c_str(), nullptr), single) << text;
  }
}

TEST(RegisterValue, TypedTextsBecomeTheWordsThatDecodeBackToThem) {
  EXPECT_EQ(Encode(kTypeInt, u"-2", 2), (std::vector<uint16_t>{0xFFFE, 0xFFFF}));
  EXPECT_EQ(Encode(kTypeHex, u"$00FF", 1), (std::vector<uint16_t>{0x00FF}));
  EXPECT_EQ(Encode(kTypeReal, u"1,5", 2), (std::vector<uint16_t>{0x0000, 0x3FC0}));
  EXPECT_EQ(Encode(kTypeWord, u"5", 3), (std::vector<uint16_t>{5, 0, 0}));  // zeros after the value
  EXPECT_EQ(Encode(kTypeText, u"ABC", 2), (std::vector<uint16_t>{0x4142, 0x4300}));
  EXPECT_EQ(Encode(kTypeText, u"", 1), (std::vector<uint16_t>{0x0000}));
  EXPECT_EQ(Encode(kTypeText, u"ł", 1), (std::vector<uint16_t>{0x4200}));  // the low 8 bits of 0x0142
  EXPECT_EQ(Encode(kTypeNone, u"7", 1), (std::vector<uint16_t>{0}));
  // Round trips through the tree's own texts.
  for (const char16_t* text : {u"-1234", u"0", u"32767"})
    EXPECT_EQ(DisplayText(Decode(kTypeInt, Encode(kTypeInt, text, 1))), text);
  EXPECT_EQ(DisplayText(Decode(kTypeReal, Encode(kTypeReal, u"-12,25", 2))), u"-12,25");
  // The operator's mistakes, with the conversion messages.
  EXPECT_THROW(Encode(kTypeReal, u"1.5", 2), ConvertError);
  EXPECT_THROW(Encode(kTypeInt, u"x", 1), ConvertError);
  EXPECT_THROW(Encode(kTypeReal, u"1e39", 2), ConvertError);  // beyond a single
}

}  // namespace
}  // namespace velnorex::test
