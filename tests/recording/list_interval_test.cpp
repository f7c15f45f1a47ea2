// The list recording's interval and the time one round of the list needs on the line.
#include <gtest/gtest.h>

#include "recording/list_recording.h"
#include "text/errors.h"

namespace velnorex::test {
namespace {

TEST(ListInterval, TenthsOfASecondAndNothingFiner) {
  EXPECT_EQ(ListIntervalMs(u"0,5"), 500);
  EXPECT_EQ(ListIntervalMs(u"2"), 2000);
  EXPECT_EQ(ListIntervalMs(u"1,0"), 1000);
  EXPECT_EQ(ListIntervalMs(u"0,1"), 100);
  for (const char16_t* refused : {u"0", u"-1", u"0,05", u"0,25", u"999999999"})
    EXPECT_EQ(ListIntervalMs(refused), 0) << std::u16string(refused).size();
  EXPECT_THROW(ListIntervalMs(u"0.5"), ConvertError);
  EXPECT_THROW(ListIntervalMs(u"pół"), ConvertError);
}

TEST(ListInterval, ARoundIsTheLineTimeOfEveryRequestAndReply) {
  // 19200 baud, 8 data bits, even parity, 1 stop bit: 11 bits a character.
  const PortSettings line{19200, 'e', 8, 10};
  std::vector<WatchEntry> list(10, WatchEntry{u"1", u"100", u"T", u"2", u"REAL", u""});
  // Per entry 8 + 3.5 + (5 + 4) + 3.5 = 24 characters of 11/19200 s, and the turnaround allowance.
  const double perEntry = 24 * 11 * 1000.0 / 19200 + ListRecording::kTurnaroundMs;
  // (A character is counted in whole nanoseconds, so the figures agree to a microsecond.)
  EXPECT_NEAR(ListRoundMs(list, line), 10 * perEntry, 1e-3);
  // No parity and two stop bits are also 11 bits; 9600 baud doubles the line time.
  EXPECT_NEAR(ListRoundMs(list, PortSettings{19200, 'n', 8, 20}), 10 * perEntry, 1e-3);
  EXPECT_NEAR(ListRoundMs(list, PortSettings{9600, 'e', 8, 10}),
              10 * (2 * (perEntry - ListRecording::kTurnaroundMs) + ListRecording::kTurnaroundMs), 1e-3);
  EXPECT_EQ(ListRoundMs(list, PortSettings{}), 0);
  // Ten two-register entries fit twice into half a second at 19200 baud.
  EXPECT_LT(ListRoundMs(list, line), 250);
}

}  // namespace
}  // namespace velnorex::test
