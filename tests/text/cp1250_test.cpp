// Code page 1250 of the definition files and the log files.
#include "text/cp1250.h"

#include <gtest/gtest.h>

namespace velnorex {
namespace {

TEST(Cp1250, PolishLettersBothWays) {
  const std::u16string letters = u"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ";
  const std::string bytes = "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF";
  EXPECT_EQ(ToCp1250(letters), bytes);
  EXPECT_EQ(FromCp1250(bytes), letters);
}

TEST(Cp1250, EveryByteRoundTripsAndUndefinedOnesReadAsTheirControlCharacters) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::u16string decoded = FromCp1250(one);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_NE(decoded[0], u'\uFFFD') << b;
    EXPECT_EQ(ToCp1250(decoded), one) << b;
    if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) {
      EXPECT_EQ(decoded[0], b);
    }
  }
  EXPECT_EQ(FromCp1250("\x80"), u"€");
  EXPECT_EQ(FromCp1250("\xA0"), u"\u00A0");
  EXPECT_EQ(ToCp1250(u"\uFFFD\u0085"), "??");  // the other C1 controls are not in the code page
}

TEST(Cp1250, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(ToCp1250(u"a\u0416b"), "a?b");   // Cyrillic
  EXPECT_EQ(ToCp1250(u"\U0001F600"), "??");  // both halves of the surrogate pair
  EXPECT_EQ(ToCp1250(u"\u00E0"), "?");       // à is not in 1250
  EXPECT_EQ(ToCp1250(u""), "");
}

}  // namespace
}  // namespace velnorex
