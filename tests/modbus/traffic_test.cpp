// The line as the traffic monitor sees it, over the scripted device: the tap's times and the records of each
// outcome, the adapter's echo taken off in every position it can take, and the ring's bound.
#include <chrono>
#include <cstring>
#include <thread>

#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/traffic_log.h"
#include "serial/line_tap.h"
#include "tests/modbus/modbus_fixture.h"
#include "tests/support/transaction_recorder.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

// The window's bus over the scripted device: Serial over the tap, the Modbus unit, the real result trip and
// the traffic log.
class TrafficTest : public ::testing::Test {
 protected:
  TrafficTest() { dispatcher.addTransactionObserver(&host); }

  void SetUp() override { open(); }
  void open() {
    ASSERT_TRUE(serial.OpenPort(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("19200,e,8,1")));
  }

  // Runs one transaction with the request that the builder put into the frame; returns its events as one
  // line.
  std::string exchange() {
    host.clear();
    dispatcher.Exchange(host);
    std::string line;
    for (const std::string& event : host.trace()) line += (line.empty() ? "" : " ") + event;
    return line;
  }
  Bytes request() const { return Bytes(modbus.RequestFrame, modbus.RequestFrame + modbus.FrameLength); }
  void read(const std::u16string& address, const std::u16string& count = u"1") {
    ASSERT_TRUE(modbus.BuildReadRequest(Register(address, u"WORD", count), u"1"));
  }
  void writeSingle(const std::u16string& address, const std::u16string& value) {
    ASSERT_TRUE(modbus.BuildWriteSingleRequest(Register(address, u"WORD", u"1", value), u"1"));
  }
  const TrafficRecord& last() const { return *log.find(log.lastSequence()); }
  static Bytes bytes(const TrafficRecord& r, bool reply) {
    return reply ? Bytes(r.reply, r.reply + r.replyLength) : Bytes(r.request, r.request + r.requestLength);
  }

  FakeSerialDevice* fake = new FakeSerialDevice;  // owned by the tap
  TransactionRecorder host;
  Bus bus{std::unique_ptr<SerialDevice>(fake), host};
  const LineTap* tap = bus.tap();
  Serial& serial = bus.serial();
  Modbus& modbus = bus.modbus();
  ExchangeDispatcher& dispatcher = bus.dispatcher();
  TrafficLog& log = *bus.trafficLog();
};

// address 1, function 3, byte count 2, register value 5, CRC
const Bytes kFive = {0x01, 0x03, 0x02, 0x00, 0x05, 0x78, 0x47};
// address 1, function 3 + exception bit, code 2 (illegal data address), CRC
const Bytes kIllegalAddress = {0x01, 0x83, 0x02, 0xC0, 0xF1};

TEST_F(TrafficTest, EveryOutcomeIsRecordedWithItsBytesInOrder) {
  read(u"100");
  const Bytes ask = request();
  Bytes garbled = kFive;
  garbled[4] = 0x06;

  // The first reply is held back 10 ms, so its times have a floor that the request's own line time (8
  // characters of 11 bits at 19200 baud, 4.6 ms) does not reach.
  fake->onRead = [this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fake->onRead = nullptr;
  };
  fake->queueChunks({{0x01, 0x03}, {0x02, 0x00, 0x05, 0x78, 0x47}});
  EXPECT_EQ(exchange(), "UM_REPLY ShowValue 5 StartHighlightTimer UM_NEXT");
  fake->queueRead(kIllegalAddress);
  EXPECT_EQ(exchange(), "UM_REPLY UM_NEXT");
  fake->queueSilence();
  fake->queueSilence();
  EXPECT_EQ(exchange(), "pending UM_TIMEOUT UM_NEXT");
  fake->queueRead(garbled);
  EXPECT_EQ(exchange(), "UM_CRCERROR UM_NEXT");
  fake->queueSilence();
  fake->queueRead(kFive);
  EXPECT_EQ(exchange(), "pending log . UM_REPLY ShowValue 5 StartHighlightTimer UM_NEXT");
  fake->queueChunks({ask, kFive});
  EXPECT_EQ(exchange(), "UM_REPLY ShowValue 5 StartHighlightTimer UM_NEXT");
  EXPECT_EQ(tap->capture().received, ask.size() + kFive.size());
  EXPECT_EQ(tap->capture().chunkCount, 2);
  EXPECT_EQ(tap->capture().bytesWritten, 8);

  ASSERT_EQ(log.size(), 6u);
  struct Expected {
    TrafficOutcome outcome;
    Bytes reply;
    uint8_t exceptionCode;
    bool late, echo;
  };
  const std::vector<Expected> expected{
      {TrafficOutcome::Value, kFive, 0, false, false},
      {TrafficOutcome::Exception, kIllegalAddress, 2, false, false},
      {TrafficOutcome::Timeout, {}, 0, false, false},
      {TrafficOutcome::CrcError, garbled, 0, false, false},
      {TrafficOutcome::Value, kFive, 0, true, false},
      {TrafficOutcome::Value, kFive, 0, false, true},
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const TrafficRecord* r = log.find(log.firstSequence() + i);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->sequence, i + 1);
    EXPECT_EQ(r->outcome, expected[i].outcome);
    EXPECT_EQ(Hex(bytes(*r, false)), Hex(ask));
    EXPECT_EQ(Hex(bytes(*r, true)), Hex(expected[i].reply));
    EXPECT_EQ(r->exceptionCode, expected[i].exceptionCode);
    EXPECT_EQ(r->late, expected[i].late);
    EXPECT_EQ(r->echoRemoved, expected[i].echo);
    if (expected[i].reply.empty()) {
      EXPECT_EQ(r->firstByteUs, -1);
      EXPECT_EQ(r->lastByteUs, -1);
    } else {
      EXPECT_GE(r->firstByteUs, 0);
      EXPECT_GE(r->lastByteUs, r->firstByteUs);
    }
    if (i > 0) {
      EXPECT_GE(r->wallTimeMs, log.find(r->sequence - 1)->wallTimeMs);
    }
  }
  EXPECT_GE(log.find(1)->firstByteUs, 5000);

  const TrafficCounts& c = log.counts();
  EXPECT_EQ(c.requests, 6u);
  EXPECT_EQ(c.goodReplies, 3u);
  EXPECT_EQ(c.exceptions, 1u);
  EXPECT_EQ(c.timeouts, 1u);
  EXPECT_EQ(c.crcErrors, 1u);
  EXPECT_EQ(c.lateReplies, 1u);
  EXPECT_EQ(c.echoesRemoved, 1u);
  EXPECT_EQ(c.timedReplies, 4u);  // the valid replies, the exception among them
  EXPECT_EQ(c.replyUsMax, log.find(1)->firstByteUs);
  EXPECT_LE(c.replyUsMin, c.replyUsMean());
  EXPECT_LE(c.replyUsMean(), c.replyUsMax);
  EXPECT_EQ(dispatcher.counts().echoesRemoved, 1u);
}

TEST_F(TrafficTest, TheTapTellsWhenEachByteArrived) {
  read(u"100");
  fake->onRead = [this] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
  fake->queueChunks({{0x01}, {0x03, 0x02}, {0x00, 0x05, 0x78, 0x47}});
  exchange();
  const LineTap::Capture& c = tap->capture();
  ASSERT_EQ(c.chunkCount, 3);
  EXPECT_GE(c.requestEndNs, c.writeStartNs + CharacterNs(serial.DeviceControl()) * 8);
  EXPECT_EQ(tap->arrivalNs(0), c.chunks[0].ns);
  EXPECT_EQ(tap->arrivalNs(1), c.chunks[1].ns);
  EXPECT_EQ(tap->arrivalNs(2), c.chunks[1].ns);
  EXPECT_EQ(tap->arrivalNs(6), c.chunks[2].ns);
  EXPECT_EQ(tap->arrivalNs(7), -1);
  EXPECT_GE(c.chunks[0].ns, c.writeStartNs + 2000000);  // after the 2 ms the read was held back
  EXPECT_LE(c.chunks[0].ns, c.chunks[2].ns);

  // The next request's purge starts a new capture.
  fake->queueSilence();
  fake->queueSilence();
  exchange();
  EXPECT_EQ(tap->capture().received, 0u);
  EXPECT_EQ(tap->capture().chunkCount, 0);
}

TEST_F(TrafficTest, TheAdaptersEchoIsRemovedWhereverItStands) {
  // A read on a fresh line: echo, then the reply, in one read. The echo teaches that the adapter echoes.
  read(u"100");
  const Bytes echo3 = request();
  fake->queueChunks({echo3, kFive});
  EXPECT_EQ(exchange(), "UM_REPLY ShowValue 5 StartHighlightTimer UM_NEXT");
  EXPECT_EQ(serial.BytesRead, 7u);
  EXPECT_EQ(Hex(bytes(last(), true)), Hex(kFive));  // as it came: decoding swaps the buffer's data bytes
  EXPECT_EQ(serial.ReplyBuffer[7], 0);  // what the echo vacated reads as 0, as after the zero-fill
  EXPECT_TRUE(modbus.LineEchoes());

  // A single-register write refused by the transducer: its echo is a valid frame, yet the exception counts.
  writeSingle(u"1", u"2");
  const Bytes echo6 = request();
  EXPECT_EQ(Hex(echo6), "01 06 00 01 00 02 59 CB");
  const Bytes refused = WithCrc({0x01, 0x86, 0x03});  // exception 3, illegal data value
  fake->queueChunks({echo6, refused});
  EXPECT_EQ(exchange(), "UM_REPLY UM_NEXT");
  EXPECT_FALSE(dispatcher.replyOk());
  EXPECT_EQ(last().outcome, TrafficOutcome::Exception);
  EXPECT_EQ(last().exceptionCode, 3);
  EXPECT_TRUE(last().echoRemoved);

  // The echo of a write answered normally, the reply equal to the echo.
  fake->queueChunks({echo6, echo6});
  EXPECT_EQ(exchange(), "UM_REPLY StartHighlightTimer UM_NEXT");
  EXPECT_TRUE(dispatcher.replyOk());

  // The echo alone: on a line known to echo it is no reply; the read waits for the reply to its own end.
  fake->queueRead(echo6);
  fake->queueSilence();
  EXPECT_EQ(exchange(), "pending UM_TIMEOUT UM_NEXT");
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Timeout);
  EXPECT_EQ(last().outcome, TrafficOutcome::Timeout);
  EXPECT_TRUE(last().echoRemoved);

  // The echo in the first read, the reply only in the retry read: a late reply.
  fake->queueRead(echo6);
  fake->queueRead(echo6);
  EXPECT_EQ(exchange(), "pending log . UM_REPLY StartHighlightTimer UM_NEXT");
  EXPECT_TRUE(last().late);
  EXPECT_TRUE(last().echoRemoved);

  // A reply with no echo in front: this adapter does not echo (any more).
  read(u"100");
  fake->queueRead(kFive);
  EXPECT_EQ(exchange(), "UM_REPLY ShowValue 5 StartHighlightTimer UM_NEXT");
  EXPECT_FALSE(modbus.LineEchoes());
  EXPECT_FALSE(last().echoRemoved);
}

TEST_F(TrafficTest, AReplyEqualToTheRequestOnALineNotKnownToEcho) {
  // Learn that the line echoes, then open it again: what was learnt is forgotten with the old connection.
  read(u"100");
  fake->queueChunks({request(), kFive});
  exchange();
  ASSERT_TRUE(modbus.LineEchoes());
  serial.ClosePort();
  open();
  EXPECT_FALSE(modbus.LineEchoes());

  // A write's reply is the request itself: it ends the read once the line stays quiet after it, and counts.
  writeSingle(u"1", u"2");
  fake->queueRead(request());
  EXPECT_EQ(exchange(), "UM_REPLY StartHighlightTimer UM_NEXT");
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Quiet);
  EXPECT_FALSE(last().echoRemoved);
  EXPECT_EQ(modbus.FrameGapUs(), 2005u);  // 3.5 characters of 11 bits at 19200 baud

  // More after it within the quiet: it was the echo, and the reply follows.
  fake->queueChunks({request(), request()});
  EXPECT_EQ(exchange(), "UM_REPLY StartHighlightTimer UM_NEXT");
  EXPECT_TRUE(last().echoRemoved);
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Complete);

  // A multiple-register write can never be answered by its own copy: its echo alone is a time-out.
  serial.ClosePort();
  open();
  modbus.RegisterType = kTypeReal;
  ASSERT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"REAL", u"2", u"1,5"), u"1"));
  fake->queueRead(request());
  fake->queueSilence();
  EXPECT_EQ(exchange(), "pending UM_TIMEOUT UM_NEXT");
  EXPECT_TRUE(last().echoRemoved);
}

TEST_F(TrafficTest, AnEchoThatFillsTheBufferLeavesRoomForTheRestOfTheReply) {
  // Sixty registers: a reply of 125 bytes, which with the 8-byte echo in front does not fit into 128.
  read(u"0", u"60");
  Bytes reply{0x01, 0x03, 120};
  for (int i = 0; i < 120; ++i) reply.push_back(static_cast<uint8_t>(i));
  reply = WithCrc(reply);
  Bytes first = request();
  first.insert(first.end(), reply.begin(), reply.begin() + 120);
  fake->queueRead(first);
  fake->queueRead(Bytes(reply.begin() + 120, reply.end()));
  EXPECT_EQ(exchange(), "UM_REPLY ShowValue 1 StartHighlightTimer UM_NEXT");
  EXPECT_EQ(serial.BytesRead, 125u);
  EXPECT_EQ(fake->readCalls, 2);
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Complete);
  EXPECT_EQ(Hex(bytes(last(), true)), Hex(reply));
}

TEST(TrafficLogRing, HoldsTheLastTenThousandInMemoryThatNeverGrows) {
  TrafficLog log(nullptr);
  const size_t bytes = log.memoryBytes();
  EXPECT_EQ(log.capacity(), 10000u);
  EXPECT_GE(bytes, 10000 * (TrafficRecord::kMaxRequest + TrafficRecord::kMaxReply));
  uint8_t request[8] = {0x01, 0x03, 0, 0, 0x00, 0x01, 0, 0};
  TransactionSummary summary;
  summary.request = request;
  summary.requestLength = sizeof request;
  for (uint32_t i = 1; i <= 10050; ++i) {
    request[2] = static_cast<uint8_t>(i >> 8);
    request[3] = static_cast<uint8_t>(i);
    log.transactionEnded(summary);
  }
  EXPECT_EQ(log.size(), 10000u);
  EXPECT_EQ(log.firstSequence(), 51u);
  EXPECT_EQ(log.lastSequence(), 10050u);
  EXPECT_EQ(log.find(50), nullptr);
  EXPECT_EQ(log.find(10051), nullptr);
  for (uint64_t s : {51u, 5000u, 10050u}) {
    const TrafficRecord* r = log.find(s);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->sequence, s);
    EXPECT_EQ(r->request[2] << 8 | r->request[3], static_cast<int>(s));
  }
  EXPECT_EQ(log.counts().requests, 10050u);  // the counters cover more than the ring holds
  EXPECT_EQ(log.counts().timeouts, 10050u);
  EXPECT_EQ(log.memoryBytes(), bytes);

  log.clear();
  EXPECT_EQ(log.size(), 0u);
  EXPECT_EQ(log.find(10050), nullptr);
  EXPECT_EQ(log.counts().requests, 0u);
  log.transactionEnded(summary);
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(log.lastSequence(), 10051u);
}

}  // namespace
}  // namespace velnorex::test
