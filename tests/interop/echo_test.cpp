// An RS-485 adapter with local echo, as velnorex-sim --echo plays it on a pseudo-terminal: every request
// comes back before its answer, and the exchange must take the answer, not the echo, for the reply.
#include <gtest/gtest.h>

#include "modbus/traffic_log.h"
#include "tests/interop/interop_fixture.h"
#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

using WM = TransactionRecorder::Event;

struct EchoLine : MasterLine {
  EchoLine() { dispatcher.addTransactionObserver(&log); }
  ~EchoLine() { dispatcher.removeTransactionObserver(&log); }
  const TrafficRecord& last() const { return *log.find(log.lastSequence()); }
  TrafficLog log{nullptr};
};

TEST(EchoingAdapter, WritesSucceedFailWithTheTransducersExceptionOrTimeOutAsWithoutEcho) {
  // The first two requests go unanswered, so that an echo is all that comes back.
  SimulatorProcess sim({"--echo", "--registers", "0:40", "--exception-at", "30:3", "--silent-first", "2"});
  EchoLine line;
  ASSERT_TRUE(line.open(sim.path()));

  // A read's echo can never be its reply: removed, then nothing: a time-out. The line is known to echo now.
  line.read(u"1", u"WORD", u"1");
  EXPECT_EQ(line.result(), WM::UM_TIMEOUT);
  EXPECT_TRUE(line.last().echoRemoved);
  EXPECT_TRUE(line.modbus.LineEchoes());

  // A write's echo is a valid frame equal to its normal reply; with no answer after it, still a time-out.
  line.write(u"1", u"WORD", u"1", u"7", /*single=*/true);
  EXPECT_EQ(line.result(), WM::UM_TIMEOUT);
  EXPECT_FALSE(line.dispatcher.replyOk());
  EXPECT_EQ(line.host.count(WM::Highlight), 0u);

  line.write(u"1", u"WORD", u"1", u"7", /*single=*/true);
  EXPECT_EQ(line.result(), WM::UM_REPLY);
  EXPECT_TRUE(line.dispatcher.replyOk());
  EXPECT_EQ(line.host.count(WM::Highlight), 1u);

  // The write the transducer refuses is shown as refused, not as written.
  line.write(u"30", u"WORD", u"1", u"1", /*single=*/true);
  EXPECT_EQ(line.result(), WM::UM_REPLY);
  EXPECT_FALSE(line.dispatcher.replyOk());
  EXPECT_EQ(line.host.count(WM::Highlight), 0u);
  EXPECT_EQ(line.last().outcome, TrafficOutcome::Exception);
  EXPECT_EQ(line.last().exceptionCode, 3);

  line.write(u"10", u"REAL", u"2", u"1,5", /*single=*/false);
  EXPECT_EQ(line.result(), WM::UM_REPLY);
  EXPECT_TRUE(line.dispatcher.replyOk());
  line.read(u"1", u"WORD", u"1");
  EXPECT_EQ(line.dispatcher.replyText(), u"7");
  line.read(u"10", u"REAL", u"2");
  EXPECT_EQ(line.dispatcher.replyText(), u"1,50");

  // Every transaction had its echo removed; the transducer saw each request once and answered five.
  ASSERT_EQ(line.log.size(), 7u);
  for (uint64_t s = line.log.firstSequence(); s <= line.log.lastSequence(); ++s)
    EXPECT_TRUE(line.log.find(s)->echoRemoved) << s;
  EXPECT_EQ(line.log.counts().timeouts, 2u);
  EXPECT_EQ(line.log.counts().exceptions, 1u);
  EXPECT_EQ(line.log.counts().goodReplies, 4u);
  const auto wire = sim.waitForLogLines(12);
  EXPECT_EQ(wire.size(), 12u);
}

TEST(EchoingAdapter, AMultipleWritesEchoAloneIsATimeOutOnAFreshLine) {
  SimulatorProcess sim({"--echo", "--registers", "0:40", "--silent-first", "1"});
  EchoLine line;
  ASSERT_TRUE(line.open(sim.path()));
  line.write(u"10", u"REAL", u"2", u"2,5", /*single=*/false);
  EXPECT_EQ(line.result(), WM::UM_TIMEOUT);
  EXPECT_TRUE(line.last().echoRemoved);
  line.write(u"10", u"REAL", u"2", u"2,5", /*single=*/false);
  EXPECT_EQ(line.result(), WM::UM_REPLY);
  EXPECT_TRUE(line.dispatcher.replyOk());
  line.read(u"10", u"REAL", u"2");
  EXPECT_EQ(line.dispatcher.replyText(), u"2,50");
}

}  // namespace
}  // namespace velnorex::test
