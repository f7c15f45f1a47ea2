// The integer and real conversions of register fields and edits, and the two value patterns of the tree.
#include "text/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "text/errors.h"

namespace velnorex {
namespace {

std::string IntError(std::u16string_view text) {
  try {
    StrToInt(text);
  } catch (const ConvertError& e) {
    return e.what();
  }
  return "no error";
}

std::string FloatError(std::u16string_view text) {
  try {
    StrToFloat(text);
  } catch (const ConvertError& e) {
    return e.what();
  }
  return "no error";
}

TEST(StrToInt, AcceptsDecimalAndDollarHexWithSign) {
  EXPECT_EQ(StrToInt(u"0"), 0);
  EXPECT_EQ(StrToInt(u"100"), 100);
  EXPECT_EQ(StrToInt(u"+7"), 7);
  EXPECT_EQ(StrToInt(u"-2"), -2);
  EXPECT_EQ(StrToInt(u"007"), 7);
  EXPECT_EQ(StrToInt(u"$FF00"), 0xFF00);
  EXPECT_EQ(StrToInt(u"$ff00"), 0xFF00);
  EXPECT_EQ(StrToInt(u"$0001"), 1);
  EXPECT_EQ(StrToInt(u"-$10"), -16);
  EXPECT_EQ(StrToInt(u"+$10"), 16);
  // Leading blanks are skipped, as the classic conversion does.
  EXPECT_EQ(StrToInt(u"  12"), 12);
  EXPECT_EQ(StrToInt(u" -$A"), -10);
}

TEST(StrToInt, ThirtyTwoBitLimitsAndHexWrap) {
  EXPECT_EQ(StrToInt(u"2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(StrToInt(u"-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(StrToInt(u"$7FFFFFFF"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(StrToInt(u"$80000000"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(StrToInt(u"$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt(u"$00000000FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt(u"-$FFFFFFFF"), 1);
  EXPECT_EQ(IntError(u"2147483648"), "'2147483648' is not a valid integer value");
  EXPECT_EQ(IntError(u"-2147483649"), "'-2147483649' is not a valid integer value");
  EXPECT_EQ(IntError(u"$100000000"), "'$100000000' is not a valid integer value");
  EXPECT_EQ(IntError(u"99999999999999999999999"), "'99999999999999999999999' is not a valid integer value");
}

TEST(StrToInt, RefusesEverythingElseWithTheTextInTheMessage) {
  for (std::u16string_view bad : {u"", u" ", u"-", u"+", u"$", u"-$", u"12 ", u"1 2", u"1,5", u"1.5", u"0x10",
                                  u"x10", u"$G", u"12a", u"--1", u"+-1", u"$-1", u"\t1", u"１"}) {
    int32_t v = 0;
    EXPECT_FALSE(TryStrToInt(bad, v)) << ToUtf8(bad);
    EXPECT_EQ(IntError(bad), "'" + ToUtf8(bad) + "' is not a valid integer value");
  }
  EXPECT_EQ(IntError(u"łódź"), "'łódź' is not a valid integer value");
}

TEST(StrToFloat, CommaSeparatorAndExponent) {
  EXPECT_DOUBLE_EQ(StrToFloat(u"1,5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(u"-1,5"), -1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(u"+2"), 2.0);
  EXPECT_DOUBLE_EQ(StrToFloat(u"21,50"), 21.5);
  EXPECT_DOUBLE_EQ(StrToFloat(u",5"), 0.5);
  EXPECT_DOUBLE_EQ(StrToFloat(u"5,"), 5.0);
  EXPECT_DOUBLE_EQ(StrToFloat(u"1,5E3"), 1500.0);
  EXPECT_DOUBLE_EQ(StrToFloat(u"1e-2"), 0.01);
  EXPECT_DOUBLE_EQ(StrToFloat(u"2E+1"), 20.0);
  EXPECT_DOUBLE_EQ(StrToFloat(u" 3,25 "), 3.25);
  EXPECT_EQ(StrToFloat(u"0,1000000015"), 0.1000000015);
}

TEST(StrToFloat, RefusesPointAndOtherForms) {
  EXPECT_EQ(FloatError(u"1.5"), "'1.5' is not a valid floating point value");
  for (std::u16string_view bad : {u"", u",", u"-", u"1,5,", u"1e", u"1e+", u"abc", u"0x10", u"inf", u"nan",
                                  u"1,5 x", u"1 5", u"1e999", u"$10"}) {
    double v = 0;
    EXPECT_FALSE(TryStrToFloat(bad, v)) << ToUtf8(bad);
    EXPECT_EQ(FloatError(bad), "'" + ToUtf8(bad) + "' is not a valid floating point value");
  }
}

TEST(StrToFloat, IgnoresTheCLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  // de_DE may not be installed; when it is, strtod would expect ','.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "pl_PL.UTF-8")) {
    EXPECT_DOUBLE_EQ(StrToFloat(u"1,5"), 1.5);
    EXPECT_EQ(FormatFloat(1.5, 2), u"1,50");
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_DOUBLE_EQ(StrToFloat(u"1,5"), 1.5);
}

TEST(FormatFloat, TwoAndTenDecimalPatterns) {
  EXPECT_EQ(FormatFloat(1.5f, 2), u"1,50");
  EXPECT_EQ(FormatFloat(1.5f, 10), u"1,5000000000");
  EXPECT_EQ(FormatFloat(0.1f, 2), u"0,10");
  EXPECT_EQ(FormatFloat(0.1f, 10), u"0,1000000015");
  EXPECT_EQ(FormatFloat(21.5f, 2), u"21,50");
  EXPECT_EQ(FormatFloat(-21.5f, 2), u"-21,50");
  EXPECT_EQ(FormatFloat(0.0, 2), u"0,00");
  EXPECT_EQ(FormatFloat(123456789.0f, 2), u"123456792,00");
  EXPECT_EQ(FormatFloat(3.4028234663852886e38, 2), u"340282346638528859811704183484516925440,00");
  EXPECT_EQ(FormatFloat(1e-45, 10), u"0,0000000000");
}

TEST(FormatFloat, RoundsHalfAwayFromZeroOnTheExactValue) {
  // Exact ties in binary: printf would give 0,12 and 2,5 -> 2 with half-even.
  EXPECT_EQ(FormatFloat(0.125, 2), u"0,13");
  EXPECT_EQ(FormatFloat(-0.125, 2), u"-0,13");
  EXPECT_EQ(FormatFloat(0.375, 2), u"0,38");
  EXPECT_EQ(FormatFloat(2.5, 0), u"3");
  // 1.005 is stored a little below the tie, so it rounds down.
  EXPECT_EQ(FormatFloat(1.005, 2), u"1,00");
  // 0.025f is stored a little above the tie and 0.015f a little below.
  EXPECT_EQ(FormatFloat(0.025f, 2), u"0,03");
  EXPECT_EQ(FormatFloat(0.015f, 2), u"0,01");
  EXPECT_EQ(FormatFloat(9.995, 2), u"9,99");
  EXPECT_EQ(FormatFloat(9.999, 2), u"10,00");
  EXPECT_EQ(FormatFloat(-99.999, 2), u"-100,00");
}

TEST(FormatFloat, ZeroWithoutMinusAndSpecialValues) {
  EXPECT_EQ(FormatFloat(-0.0, 2), u"0,00");
  EXPECT_EQ(FormatFloat(-0.001, 2), u"0,00");
  EXPECT_EQ(FormatFloat(-0.005, 2), u"-0,01");
  EXPECT_EQ(FormatFloat(std::nan(""), 2), u"NAN");
  EXPECT_EQ(FormatFloat(std::numeric_limits<double>::infinity(), 10), u"INF");
  EXPECT_EQ(FormatFloat(-std::numeric_limits<double>::infinity(), 10), u"-INF");
}

TEST(IntText, IntToStrAndIntToHex) {
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(65535), u"65535");
  EXPECT_EQ(IntToStr(-1), u"-1");
  EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(IntToHex(5, 2), u"05");
  EXPECT_EQ(IntToHex(0x1A2, 2), u"1A2");
  EXPECT_EQ(IntToHex(0xFFFF, 4), u"FFFF");
  EXPECT_EQ(IntToHex(0, 1), u"0");
  EXPECT_EQ(IntToHex(0xFFFFFFFFu, 2), u"FFFFFFFF");
}

TEST(Utf, RoundTripAndBrokenInput) {
  const std::u16string polish = u"Wilgotność względna ĄĆĘŁŃÓŚŹŻ";
  EXPECT_EQ(FromUtf8(ToUtf8(polish)), polish);
  EXPECT_EQ(ToUtf8(u"ł"), "\xC5\x82");
  const std::u16string astral = u"\U0001F600";
  EXPECT_EQ(ToUtf8(astral), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), astral);
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(FromUtf8("a\xC5"), u"a\uFFFD");
  EXPECT_EQ(FromUtf8("\xFF"
                     "b"),
            u"\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC0\x80"), u"\uFFFD");      // overlong
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
}

}  // namespace
}  // namespace velnorex
