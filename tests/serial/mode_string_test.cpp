// The mode-string parser: what the connection panel builds, what an operator may type, and what is refused.
#include <gtest/gtest.h>

#include "serial/mode_string.h"

namespace velnorex {
namespace {

TEST(ParseMode, AcceptsThePanelsModesAndEveryValidField) {
  auto even = ParseMode("19200,e,8,1");
  ASSERT_TRUE(even);
  EXPECT_EQ(even->baudRate, 19200);
  EXPECT_EQ(even->parity, 'e');
  EXPECT_EQ(even->dataBits, 8);
  EXPECT_EQ(even->stopBitsTenths, 10);

  auto none = ParseMode("9600,n,8,2");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->parity, 'n');
  EXPECT_EQ(none->stopBitsTenths, 20);

  auto odd = ParseMode("115200,O,7,1.5");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->baudRate, 115200);
  EXPECT_EQ(odd->parity, 'o');
  EXPECT_EQ(odd->dataBits, 7);
  EXPECT_EQ(odd->stopBitsTenths, 15);

  EXPECT_EQ(ParseMode("300,M,5,1")->parity, 'm');
  EXPECT_EQ(ParseMode("300,s,6,1")->parity, 's');
  EXPECT_EQ(ParseMode("300,s,6,1")->dataBits, 6);
  EXPECT_EQ(ParseMode("2147483647,n,8,1")->baudRate, 2147483647);
  EXPECT_EQ(ParseMode("1,n,8,1")->baudRate, 1);
}

TEST(ParseMode, AcceptsBlanksAroundItems) {
  auto mode = ParseMode(" 19200 , e ,\t8, 1 ");
  ASSERT_TRUE(mode);
  EXPECT_EQ(mode->baudRate, 19200);
  EXPECT_EQ(mode->parity, 'e');
  EXPECT_EQ(mode->dataBits, 8);
  EXPECT_EQ(mode->stopBitsTenths, 10);
}

TEST(ParseMode, RefusesAnythingElse) {
  const char* refused[] = {
      "",                  // nothing
      "19200",             // baud only
      "19200,e,8",         // stop bits missing
      "19200,e,8,1,",      // a fifth, empty item
      "19200,e,8,1,1",     // a fifth item
      ",e,8,1",            // baud missing
      "0,n,8,1",           // baud not positive
      "-9600,n,8,1",       // sign
      "+9600,n,8,1",       // sign
      "96 00,n,8,1",       // blank inside the number
      "9600.5,n,8,1",      // not an integer
      "$2580,n,8,1",       // no hexadecimal baud
      "2147483648,n,8,1",  // beyond 32 bits
      "99999999999999999999,n,8,1",
      "abc,n,8,2",      // a typed baud that is no number
      "9600,x,8,1",     // unknown parity
      "9600,,8,1",      // parity missing
      "9600,ne,8,1",    // parity of two letters
      "9600,even,8,1",  // parity spelt out
      "9600,n,4,1",     // too few data bits
      "9600,n,9,1",     // too many data bits
      "9600,n,08,1",    // data bits as two digits
      "9600,n,8,3",     // stop bits
      "9600,n,8,0",
      "9600,n,8,1.0",
      "9600,n,8,2.5",
      "9600;n;8;1",  // other separators
  };
  for (const char* mode : refused) EXPECT_FALSE(ParseMode(mode)) << '"' << mode << '"';
}

}  // namespace
}  // namespace velnorex
