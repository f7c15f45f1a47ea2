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

TEST(ListInterval, ARoundIsTheLineTimeOfEveryPlannedRequestAndReply) {
  // 19200 baud, 8 data bits, even parity, 1 stop bit: 11 bits a character.
  const PortSettings line{19200, 'e', 8, 10};
  // Ten REAL entries far apart: per entry 8 + 3.5 + (5 + 4) + 3.5 = 24 characters of 11/19200 s, and the
  // turnaround allowance.
  std::vector<WatchEntry> apart;
  for (int i = 0; i < 10; ++i)
    apart.push_back(WatchEntry{u"1", QString::number(100 * i).toStdU16String(), u"T", u"2", u"REAL", u""});
  const double perEntry = 24 * 11 * 1000.0 / 19200 + ListRecording::kTurnaroundMs;
  // (A character is counted in whole nanoseconds, so the figures agree to a microsecond.)
  EXPECT_NEAR(ListRoundMs(apart, line), 10 * perEntry, 1e-3);
  // No parity and two stop bits are also 11 bits; 9600 baud doubles the line time.
  EXPECT_NEAR(ListRoundMs(apart, PortSettings{19200, 'n', 8, 20}), 10 * perEntry, 1e-3);
  EXPECT_NEAR(ListRoundMs(apart, PortSettings{9600, 'e', 8, 10}),
              10 * (2 * (perEntry - ListRecording::kTurnaroundMs) + ListRecording::kTurnaroundMs), 1e-3);
  EXPECT_EQ(ListRoundMs(apart, PortSettings{}), 0);

  // The same ten as neighbours are one request of twenty registers: 8 + 3.5 + 45 + 3.5 = 60 characters,
  // which a tenth of a second holds.
  std::vector<WatchEntry> neighbours;
  for (int i = 0; i < 10; ++i)
    neighbours.push_back(
        WatchEntry{u"1", QString::number(100 + 2 * i).toStdU16String(), u"T", u"2", u"REAL", u""});
  EXPECT_NEAR(ListRoundMs(neighbours, line), 60 * 11 * 1000.0 / 19200 + ListRecording::kTurnaroundMs, 1e-3);
  EXPECT_LT(ListRoundMs(neighbours, line), 100);
  EXPECT_THROW(ListRoundMs({WatchEntry{u"x", u"1", u"T", u"1", u"WORD", u""}}, line), ConvertError);
}

}  // namespace
}  // namespace velnorex::test
