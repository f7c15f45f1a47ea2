// The master's network links end to end against velnorex-sim on 127.0.0.1: a reply that comes in segments
// is read whole, a late one is never taken for the next request's, and a connection the server closes is
// a lost link, on Modbus TCP and on RTU over TCP alike.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/interop_fixture.h"
#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

using WM = TransactionRecorder::Event;

const char* Name(PeerLink link) {
  return link == PeerLink::ModbusTcp ? "Modbus TCP" : "RTU over TCP";
}

}  // namespace

TEST(TcpLink, RepliesInSegmentsAreReadWholeAndALateOneIsNotTheNextRequestsAnswer) {
  for (const PeerLink link : {PeerLink::ModbusTcp, PeerLink::RtuOverTcp}) {
    SCOPED_TRACE(Name(link));
    SimulatorProcess sim(link, {"--value", "7:WORD:1:4321", "--value", "8:WORD:1:555", "--split-reply"});
    MasterLine line;
    ASSERT_TRUE(line.open(sim.path()));
    for (int i = 0; i < 3; ++i) {
      line.read(u"7", u"WORD", u"1");
      EXPECT_EQ(line.host.results(), ReplyThenNext());
      EXPECT_EQ(line.dispatcher.replyText(), u"4321");
    }
  }
  // Each answer 150 ms late: the first request's reads (40 ms twice) give up before it comes. The next
  // request, read with room to wait, meets that stale answer first and must get its own.
  for (const PeerLink link : {PeerLink::ModbusTcp, PeerLink::RtuOverTcp}) {
    SCOPED_TRACE(Name(link));
    SimulatorProcess sim(link, {"--value", "7:WORD:1:4321", "--value", "8:WORD:1:555", "--delay-ms", "150"});
    MasterLine line;
    ASSERT_TRUE(line.open(sim.path()));
    line.read(u"7", u"WORD", u"1");
    EXPECT_EQ(line.host.results(), (std::vector<WM>{WM::UM_TIMEOUT, WM::UM_NEXT}));
    LineTimeouts patient;
    patient.readTotalMs = 1000;
    ASSERT_TRUE(line.serial.SetPortTimeouts(patient));
    line.read(u"8", u"WORD", u"1");
    EXPECT_EQ(line.dispatcher.replyText(), u"555");
    EXPECT_EQ(line.dispatcher.counts().lateDropped, 1u);
    EXPECT_TRUE(line.serial.PortOpen());
  }
}

TEST(TcpLink, AConnectionTheServerClosesIsALostLink) {
  for (const PeerLink link : {PeerLink::ModbusTcp, PeerLink::RtuOverTcp}) {
    SCOPED_TRACE(Name(link));
    SimulatorProcess sim(link, {"--value", "7:WORD:1:4321", "--close-after", "1"});
    MasterLine line;
    int lost = 0;
    line.serial.setLostHandler([&lost] { ++lost; });
    ASSERT_TRUE(line.open(sim.path()));
    line.read(u"7", u"WORD", u"1");
    EXPECT_EQ(line.dispatcher.replyText(), u"4321");
    // The server has gone (or is going) by the next request: no reply, and the link says why.
    line.read(u"7", u"WORD", u"1");
    EXPECT_NE(line.result(), WM::UM_REPLY);
    EXPECT_FALSE(line.serial.PortOpen());
    EXPECT_EQ(line.serial.LastFailure().kind, PortFailure::Lost);
    EXPECT_EQ(lost, 1);
    // "Połącz" again: the server accepts the next connection.
    ASSERT_TRUE(line.open(sim.path()));
    line.read(u"7", u"WORD", u"1");
    EXPECT_EQ(line.dispatcher.replyText(), u"4321");
  }
}

}  // namespace velnorex::test
