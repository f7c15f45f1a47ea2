// Modbus TCP's framing and its device: the MBAP header each request gets, ADUs reassembled out of a stream
// cut anywhere, the header checks that judge an ADU before its body has come, and the device under the
// exchange over the scripted stream.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modbus/exchange_dispatcher.h"
#include "modbus/mbap_stream.h"
#include "modbus/modbus_tcp_device.h"
#include "tests/modbus/modbus_fixture.h"
#include "tests/support/transaction_recorder.h"

namespace velnorex::test {
namespace {

// The read of two registers from 100 at slave 1.
const Bytes kReadRequest = {0x01, 0x03, 0x00, 0x64, 0x00, 0x02, 0x85, 0xD4};

Bytes Adu(uint16_t id, const Bytes& unitAndPdu) {
  Bytes adu = {static_cast<uint8_t>(id >> 8),          static_cast<uint8_t>(id), 0, 0, 0,
               static_cast<uint8_t>(unitAndPdu.size())};
  adu.insert(adu.end(), unitAndPdu.begin(), unitAndPdu.end());
  return adu;
}

Bytes Join(Bytes front, const Bytes& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

TEST(MbapStream, EachRequestGoesWithTheNextTransactionIdWhichWrapsAfterFFFF) {
  MbapStream mbap;
  uint8_t adu[MbapStream::kMaxAdu];
  ASSERT_EQ(mbap.wrap(kReadRequest.data(), kReadRequest.size(), adu), 12u);
  EXPECT_EQ(Hex(adu, 12), "00 01 00 00 00 06 01 03 00 64 00 02");
  ASSERT_EQ(mbap.wrap(kReadRequest.data(), kReadRequest.size(), adu), 12u);
  EXPECT_EQ(Hex(adu, 12), "00 02 00 00 00 06 01 03 00 64 00 02");

  // No frame to send, and no id used up: too short for a unit id, a function and the CRC, or a PDU too long.
  EXPECT_EQ(mbap.wrap(kReadRequest.data(), 3, adu), 0u);
  const Bytes longest(2 + MbapStream::kMaxLength, 0x10);
  const Bytes tooLong(3 + MbapStream::kMaxLength, 0x10);
  EXPECT_EQ(mbap.wrap(tooLong.data(), tooLong.size(), adu), 0u);
  EXPECT_EQ(mbap.transactionId(), 2);
  ASSERT_EQ(mbap.wrap(longest.data(), longest.size(), adu), MbapStream::kMaxAdu);
  EXPECT_EQ(Hex(adu, 7), "00 03 00 00 00 FE 10");

  while (mbap.transactionId() != 0xFFFE) mbap.wrap(kReadRequest.data(), kReadRequest.size(), adu);
  const std::vector<std::string> expected = {"FF FF 00 00 00 06", "00 00 00 00 00 06", "00 01 00 00 00 06"};
  for (const std::string& header : expected) {
    ASSERT_EQ(mbap.wrap(kReadRequest.data(), kReadRequest.size(), adu), 12u);
    EXPECT_EQ(Hex(adu, 6), header);
  }
}

// What came out of a stream fed to the reassembly in pieces, each piece taken up as the device does: late
// ADUs dropped, the current one taken as a frame.
struct Reassembled {
  std::vector<std::string> frames;
  size_t dropped = 0;
  size_t fedWhenTaken = 0;  // how many bytes had come when the frame was taken
  bool malformed = false;
  size_t held = 0;
};

Reassembled Reassemble(const Bytes& stream, const std::vector<size_t>& cuts, int requests) {
  MbapStream mbap;
  uint8_t adu[MbapStream::kMaxAdu];
  for (int i = 0; i < requests; ++i) mbap.wrap(kReadRequest.data(), kReadRequest.size(), adu);
  Reassembled out;
  size_t from = 0;
  for (size_t i = 0; i <= cuts.size(); ++i) {
    const size_t to = i < cuts.size() ? cuts[i] : stream.size();
    std::copy(stream.begin() + static_cast<std::ptrdiff_t>(from),
              stream.begin() + static_cast<std::ptrdiff_t>(to), mbap.space());
    mbap.received(to - from);
    from = to;
    for (bool more = true; more;) {
      switch (mbap.front()) {
        case MbapStream::Front::Stale:
          out.dropped += mbap.dropFront();
          break;
        case MbapStream::Front::Reply: {
          uint8_t frame[MbapStream::kMaxLength + 2];
          const size_t n = mbap.takeFrame(frame, sizeof frame);
          out.frames.push_back(Hex(frame, n));
          out.fedWhenTaken = to;
          break;
        }
        case MbapStream::Front::Malformed:
          out.malformed = true;
          mbap.dropAll();
          more = false;
          break;
        case MbapStream::Front::Incomplete:
          more = false;
          break;
      }
    }
  }
  out.held = mbap.held();
  return out;
}

std::string Cuts(const std::vector<size_t>& cuts) {
  std::string text;
  for (size_t cut : cuts) text += std::to_string(cut) + " ";
  return text;
}

TEST(MbapStream, ALateAduThenTheCurrentOneGiveTheCurrentFrameAloneHoweverTheStreamIsCut) {
  const Bytes late = Adu(1, {0x01, 0x03, 0x04, 0xDE, 0xAD, 0xBE, 0xEF});
  const Bytes current = Adu(2, {0x01, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06});
  const Bytes stream = Join(late, current);
  const std::vector<std::string> expected = {Hex(WithCrc({0x01, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06}))};

  // Every way to cut the stream into up to three pieces, then random cuts into up to all its bytes.
  std::vector<std::vector<size_t>> splits = {{}};
  for (size_t i = 1; i < stream.size(); ++i) {
    splits.push_back({i});
    for (size_t j = i + 1; j < stream.size(); ++j) splits.push_back({i, j});
  }
  std::mt19937 random(21);
  for (int k = 0; k < 300; ++k) {
    std::vector<size_t> cuts;
    const int pieces = 1 + static_cast<int>(random() % stream.size());
    for (size_t i = 1; i < stream.size(); ++i) {
      if (static_cast<int>(random() % stream.size()) < pieces) cuts.push_back(i);
    }
    splits.push_back(cuts);
  }

  for (const std::vector<size_t>& cuts : splits) {
    const Reassembled out = Reassemble(stream, cuts, 2);
    ASSERT_EQ(out.frames, expected) << "cut at " << Cuts(cuts);
    ASSERT_EQ(out.dropped, late.size()) << "cut at " << Cuts(cuts);
    ASSERT_EQ(out.fedWhenTaken, stream.size()) << "cut at " << Cuts(cuts);
    ASSERT_FALSE(out.malformed) << "cut at " << Cuts(cuts);
    ASSERT_EQ(out.held, 0u) << "cut at " << Cuts(cuts);
  }
  // Before the second request both were late, and nothing was taken.
  const Reassembled early = Reassemble(stream, {}, 3);
  EXPECT_TRUE(early.frames.empty());
  EXPECT_EQ(early.dropped, stream.size());
}

TEST(MbapStream, AHeaderNoAduHasIsMalformedAsSoonAsItsFaultIsInWithoutWaitingForTheBody) {
  struct Case {
    const char* what;
    Bytes front;  // no byte of the body after it
  };
  const Case cases[] = {
      {"protocol 1", {0x00, 0x01, 0x00, 0x01}},
      {"protocol 256", {0x00, 0x01, 0x01, 0x00}},
      {"length 0", {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}},
      {"length 1", {0x00, 0x01, 0x00, 0x00, 0x00, 0x01}},
      {"length 255", {0x00, 0x01, 0x00, 0x00, 0x00, 0xFF}},
      {"length 256", {0x00, 0x01, 0x00, 0x00, 0x01, 0x00}},
      {"a read reply without its byte count", {0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03}},
      {"a read reply whose byte count is not its length's",
       {0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x02}},
      {"an exception of four bytes", {0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x01, 0x83}},
      {"a write reply a byte short", {0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x06}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MbapStream mbap;
    for (size_t k = 1; k <= c.front.size(); ++k) {
      *mbap.space() = c.front[k - 1];
      mbap.received(1);
      const bool judged = k == c.front.size();
      EXPECT_EQ(mbap.front(), judged ? MbapStream::Front::Malformed : MbapStream::Front::Incomplete) << k;
      // A read may end there: nothing more is waited for.
      EXPECT_EQ(MbapStream::HoldsFrontAdu(c.front.data(), k), judged) << k;
    }
  }
  // The same front with a byte count its length agrees with waits for its body.
  const Bytes good = {0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02};
  EXPECT_EQ(MbapStream::AduLength(good.data(), good.size()), 11);
  EXPECT_FALSE(MbapStream::HoldsFrontAdu(good.data(), good.size()));
}

// The exchange over Modbus TCP, the scripted device standing in for the TCP stream.
class ModbusTcpTest : public ::testing::Test {
 protected:
  ModbusTcpTest()
      : stream(new FakeSerialDevice),
        device(new ModbusTcpDevice(std::unique_ptr<SerialDevice>(stream))),
        serial(std::unique_ptr<SerialDevice>(device)),
        modbus(serial) {}

  void SetUp() override {
    dispatcher.addTransactionObserver(&host);
    ASSERT_TRUE(serial.OpenPort(QStringLiteral("tcp://127.0.0.1:502"), QStringLiteral("19200,n,8,1")));
    // No total time: a read ends when the script has nothing more, whatever the machine's speed.
    ASSERT_TRUE(serial.SetPortTimeouts(30, 0, 0, 0, 30));
  }

  FakeSerialDevice* stream;  // owned by device
  ModbusTcpDevice* device;   // owned by serial
  Serial serial;
  Modbus modbus;
  TransactionRecorder host;
  ExchangeDispatcher dispatcher{modbus, host};
};

TEST_F(ModbusTcpTest, TheLateReplyOfAnAbandonedRequestIsDroppedAndTheCurrentOneHandedUp) {
  uint8_t buffer[Serial::kBufferSize];
  ASSERT_EQ(device->write(kReadRequest.data(), 8), 8);
  ASSERT_EQ(stream->writes.size(), 1u);
  EXPECT_EQ(Hex(stream->writes[0]), "00 01 00 00 00 06 01 03 00 64 00 02");
  const LinkHeaders* headers = device->linkHeaders();
  ASSERT_NE(headers, nullptr);
  EXPECT_TRUE(headers->hasRequest);
  EXPECT_FALSE(headers->hasReply);
  EXPECT_EQ(Hex(headers->request, LinkHeaders::kSize), "00 01 00 00 00 06 01");
  EXPECT_EQ(device->read(buffer, sizeof buffer, nullptr), 0);  // given up on

  // The first answer comes after the second request, in one segment with the front of the second answer.
  ASSERT_TRUE(device->purge());
  ASSERT_EQ(device->write(kReadRequest.data(), 8), 8);
  EXPECT_EQ(Hex(headers->request, LinkHeaders::kSize), "00 02 00 00 00 06 01");
  const Bytes late = Adu(1, {0x01, 0x03, 0x04, 0xDE, 0xAD, 0xBE, 0xEF});
  const Bytes current = Adu(2, {0x01, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06});
  stream->queueRead(Join(late, Bytes(current.begin(), current.begin() + 4)));
  stream->queueRead(Bytes(current.begin() + 4, current.end()));
  const int n = device->read(buffer, sizeof buffer, nullptr);
  EXPECT_EQ(Hex(buffer, static_cast<size_t>(std::max(n, 0))),
            Hex(WithCrc({0x01, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06})));
  EXPECT_EQ(device->takeDroppedLate(), late.size());
  EXPECT_EQ(device->takeDroppedLate(), 0u);
  EXPECT_TRUE(headers->hasReply);
  EXPECT_EQ(Hex(headers->reply, LinkHeaders::kSize), "00 02 00 00 00 07 01");
  EXPECT_EQ(device->read(buffer, sizeof buffer, nullptr), 0);
}

TEST_F(ModbusTcpTest, RtuFramesWhereAdusBelongAreNeverTakenForAReply) {
  // A gateway that speaks RTU over TCP, given a tcp:// address: its reply's CRC is good, but its protocol
  // field (the byte count and the first data byte) is not 0.
  ASSERT_TRUE(modbus.BuildReadRequest(Register(u"100", u"WORD", u"1"), u"1"));
  stream->queueRead(WithCrc({0x01, 0x03, 0x02, 0x12, 0x34}));
  dispatcher.Exchange(host);
  EXPECT_EQ(host.count(TransactionRecorder::Event::UM_CRCERROR), 1u);
  EXPECT_EQ(host.count(TransactionRecorder::Event::ShowValue), 0u);
  EXPECT_FALSE(dispatcher.replyOk());
  EXPECT_FALSE(CheckReplyCrc(serial.ReplyBuffer, static_cast<uint16_t>(serial.BytesRead)));

  // The stream is taken up afresh before the next request, whose answer is read as it should be.
  host.clear();
  const int purges = stream->purgeCalls;
  ASSERT_TRUE(modbus.BuildReadRequest(Register(u"100", u"WORD", u"1"), u"1"));
  stream->queueRead(Adu(2, {0x01, 0x03, 0x02, 0x00, 0x07}));
  dispatcher.Exchange(host);
  EXPECT_EQ(stream->purgeCalls, purges + 1);
  EXPECT_EQ(host.count(TransactionRecorder::Event::UM_REPLY), 1u);
  EXPECT_EQ(dispatcher.replyText(), u"7");
}

TEST_F(ModbusTcpTest, AnAnswerThatBeginsWithTheRequestIsNoEchoAndLaterWriteRepliesStillCount) {
  // A malformed answer that starts with the RTU request itself: no adapter echoes on a TCP link.
  ASSERT_TRUE(modbus.BuildWriteSingleRequest(Register(u"100", u"HEX", u"1", u"$00FF"), u"1"));
  const Bytes request(modbus.RequestFrame, modbus.RequestFrame + modbus.FrameLength);
  stream->queueRead(Join(request, {0x12, 0x34}));
  dispatcher.Exchange(host);
  EXPECT_EQ(host.count(TransactionRecorder::Event::UM_CRCERROR), 1u);
  EXPECT_EQ(dispatcher.counts().echoesRemoved, 0u);

  // The next write's reply, which equals its request, is the reply.
  host.clear();
  ASSERT_TRUE(modbus.BuildWriteSingleRequest(Register(u"100", u"HEX", u"1", u"$00FF"), u"1"));
  stream->queueRead(Adu(2, Bytes(request.begin(), request.end() - 2)));
  dispatcher.Exchange(host);
  EXPECT_EQ(host.count(TransactionRecorder::Event::UM_REPLY), 1u);
  EXPECT_TRUE(dispatcher.replyOk());
}

}  // namespace
}  // namespace velnorex::test
