// The spellings of parity and bus address that every tool takes and prints.
#include "text/line_words.h"

#include <string>

#include <gtest/gtest.h>

namespace velnorex::test {
namespace {

TEST(LineWords, EitherSpellingOfAParityInAnyCaseAndTheLongOnePrinted) {
  for (const char* text : {"none", "n", "NONE", "N", "None"}) EXPECT_EQ(ParseParity(text), 'n') << text;
  for (const char* text : {"even", "e", "EVEN", "E"}) EXPECT_EQ(ParseParity(text), 'e') << text;
  for (const char* text : {"odd", "o", "Odd", "O"}) EXPECT_EQ(ParseParity(text), 'o') << text;
  for (const char* text : {"", "x", "ev", "nonee", "mark", "m", "s", "even ", " odd", "0"})
    EXPECT_EQ(ParseParity(text), 0) << '"' << text << '"';
  for (const char parity : {'n', 'e', 'o'}) EXPECT_EQ(ParseParity(ParityName(parity)), parity);
}

TEST(LineWords, BusAddressesAreOneTo247InDecimal) {
  for (int address = 0; address <= 999; ++address) {
    const std::optional<int> parsed = ParseSlaveAddress(std::to_string(address));
    if (address >= kFirstSlaveAddress && address <= kLastSlaveAddress)
      EXPECT_EQ(parsed, address);
    else
      EXPECT_FALSE(parsed) << address;
  }
  EXPECT_EQ(ParseSlaveAddress("007"), 7);
  for (const char* text : {"", "-1", "+5", "$10", "0x10", " 5", "5 ", "1000", "2470", "abc"})
    EXPECT_FALSE(ParseSlaveAddress(text)) << '"' << text << '"';
}

}  // namespace
}  // namespace velnorex::test
