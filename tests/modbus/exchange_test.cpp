// The transaction over the scripted serial device and the real result trip: which events follow which
// replies, in which order, as the window and the transaction's client see them.
#include <functional>

#include "modbus/exchange_dispatcher.h"
#include "tests/modbus/modbus_fixture.h"
#include "tests/support/transaction_recorder.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

using Events = std::vector<std::string>;

// address 1, function 3, byte count 2, register value 5, CRC
const Bytes kFive = {0x01, 0x03, 0x02, 0x00, 0x05, 0x78, 0x47};

class ExchangeTest : public ModbusTest {
 protected:
  void SetUp() override {
    dispatcher.addTransactionObserver(&host);
    OpenPort();
    // A good read of 7 first: ReplyOk is true and ReplyText "7", so that what a result leaves of them shows.
    ASSERT_TRUE(modbus.BuildReadRequest(Register(u"100", u"WORD", u"1"), u"1"));
    fake->queueRead(WithCrc({0x01, 0x03, 0x02, 0x00, 0x07}));
    dispatcher.Exchange(host);
    ASSERT_EQ(dispatcher.replyText(), u"7");
    host.clear();
    fake->writes.clear();
    fake->readCalls = 0;
    fake->purgeCalls = 0;
    request = Frame();
  }

  std::string Written(size_t i) const { return i < fake->writes.size() ? Hex(fake->writes[i]) : "(none)"; }

  TransactionRecorder host;
  ExchangeDispatcher dispatcher{modbus, host};
  std::string request;
};

TEST_F(ExchangeTest, ReplyInTheFirstRead) {
  fake->queueRead(kFive);
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "ShowValue 5", "StartHighlightTimer", "UM_NEXT"}));
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_EQ(Written(0), request);
  EXPECT_EQ(fake->purgeCalls, 1);
  EXPECT_EQ(fake->readCalls, 1);
  EXPECT_TRUE(dispatcher.replyOk());
  EXPECT_EQ(dispatcher.replyText(), u"5");
  EXPECT_FALSE(modbus.InTransaction());
}

TEST_F(ExchangeTest, CompleteReplyEndsTheReadEarly) {
  // The reply trickles in; once whole, the read stops waiting and never takes the trailing chunk.
  fake->queueChunks({{0x01, 0x03}, {0x02, 0x00}, {0x05, 0x78, 0x47}, {0xEE}});
  dispatcher.Exchange(host);
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Complete);
  EXPECT_EQ(fake->chunksLeftInLastRead, 1);
  EXPECT_EQ(serial.BytesRead, 7u);
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "ShowValue 5", "StartHighlightTimer", "UM_NEXT"}));

  // An exception reply is complete at five bytes.
  fake->queueChunks({{0x01, 0x83, 0x02}, {0xC0, 0xF1}, {0xEE}});
  dispatcher.Exchange(host);
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Complete);
  EXPECT_EQ(fake->chunksLeftInLastRead, 1);
}

TEST_F(ExchangeTest, ReplyInTheSecondRead) {
  fake->queueSilence();
  fake->queueRead(kFive);
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(),
            (Events{"pending", "log .", "UM_REPLY", "ShowValue 5", "StartHighlightTimer", "UM_NEXT"}));
  EXPECT_EQ(fake->readCalls, 2);
  EXPECT_EQ(fake->writes.size(), 1u);
}

TEST_F(ExchangeTest, SilenceEndsInTimeout) {
  fake->queueSilence();
  fake->queueSilence();
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"pending", "UM_TIMEOUT", "UM_NEXT"}));
  EXPECT_EQ(fake->readCalls, 2);
  EXPECT_FALSE(dispatcher.replyOk());
  EXPECT_EQ(dispatcher.replyText(), u"");
  EXPECT_TRUE(serial.PortOpen());
}

TEST_F(ExchangeTest, FailedWriteEndsInTimeout) {
  // A refused write is not looked at: both reads still happen and find nothing.
  fake->failWrite = true;
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"pending", "UM_TIMEOUT", "UM_NEXT"}));
  EXPECT_EQ(fake->readCalls, 2);
  EXPECT_TRUE(fake->writes.empty());
}

TEST_F(ExchangeTest, CorruptedReplyIsACrcErrorWithoutRetry) {
  Bytes corrupted = kFive;
  corrupted[4] = 0x06;
  fake->queueRead(corrupted);
  fake->queueRead(kFive);  // must not be read
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"UM_CRCERROR", "UM_NEXT"}));
  EXPECT_EQ(fake->readCalls, 1);
  EXPECT_FALSE(dispatcher.replyOk());
  EXPECT_EQ(dispatcher.replyText(), u"7");  // a CRC error leaves the text as it was
  EXPECT_EQ(fake->scriptLeft(), 1u);
}

TEST_F(ExchangeTest, IncompleteReplyIsACrcError) {
  // A reply cut short within the first read is not completed by a second one.
  fake->queueRead({0x01, 0x03, 0x02, 0x00});
  fake->queueRead({0x05, 0x78, 0x47});
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"UM_CRCERROR", "UM_NEXT"}));
  EXPECT_EQ(fake->readCalls, 1);
  EXPECT_EQ(serial.BytesRead, 4u);
  EXPECT_EQ(fake->scriptLeft(), 1u);
}

TEST_F(ExchangeTest, ABlocksReplyThatOutlastsTheFirstReadIsReadOnToItsEnd) {
  // Twenty registers at 19200 baud: request, silences, 45 reply characters and the allowance take longer than
  // a read of 40 ms, so the part that came in time is not the end of it.
  ASSERT_TRUE(serial.SetPortTimeouts(30, 0, 40, 0, 30));
  ASSERT_TRUE(modbus.BuildReadRequest(MakeRegisterRequest(1, RegisterTable::Holding, 100, 20, kTypeNone)));
  ASSERT_TRUE(modbus.ReplyOutlastsRead());
  Bytes reply = {0x01, 0x03, 40};
  for (uint8_t i = 0; i < 20; ++i) reply.insert(reply.end(), {0, static_cast<uint8_t>(i + 1)});
  reply = WithCrc(reply);
  fake->queueRead(Bytes(reply.begin(), reply.begin() + 30));
  fake->queueRead(Bytes(reply.begin() + 30, reply.end()));
  fake->queueRead({0xEE});  // never taken: the reply is whole
  dispatcher.Exchange(host);
  EXPECT_EQ(host.results(), (std::vector<TransactionRecorder::Event>{TransactionRecorder::Event::UM_REPLY,
                                                                     TransactionRecorder::Event::UM_NEXT}));
  EXPECT_EQ(dispatcher.lastResult().value.wordCount, 20);
  EXPECT_EQ(dispatcher.lastResult().value.words[19], 20);
  EXPECT_EQ(fake->scriptLeft(), 1u);

  // A reply that stops coming is still cut off: one more read finds the silence.
  fake->clearScript();
  fake->queueRead(Bytes(reply.begin(), reply.begin() + 30));
  dispatcher.Exchange(host);
  EXPECT_EQ(dispatcher.lastResult().outcome, TransactionOutcome::CrcError);
  // A register alone comes whole within the first read at this speed: it is never read on.
  ASSERT_TRUE(modbus.BuildReadRequest(Register(u"100", u"REAL", u"2"), u"1"));
  EXPECT_FALSE(modbus.ReplyOutlastsRead());
}

TEST_F(ExchangeTest, StrayByteAfterAGoodReplyIsACrcError) {
  // A good reply followed by a stray byte in the same read is no reply to the request. With 0xEE the CRC over
  // everything fails; with 0x00 it checks out again (a message and its CRC give the CRC 0), and the size
  // that does not fit the request tells.
  for (uint8_t stray : {0xEE, 0x00}) {
    host.clear();
    Bytes trailing = kFive;
    trailing.push_back(stray);
    fake->queueRead(trailing);
    dispatcher.Exchange(host);
    EXPECT_EQ(host.trace(), (Events{"UM_CRCERROR", "UM_NEXT"})) << int(stray);
    EXPECT_EQ(dispatcher.replyText(), u"7");
  }
}

TEST_F(ExchangeTest, AReplyThatDoesNotFitTheRequestIsACrcError) {
  // One register asked for: a good CRC over byte count 0, or over two registers, decodes into nothing the
  // request asked for. No value, the text kept, no highlight: the group step asks again.
  for (const Bytes& reply :
       {WithCrc({0x01, 0x03, 0x00}), WithCrc({0x01, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06})}) {
    host.clear();
    fake->queueRead(reply);
    dispatcher.Exchange(host);
    EXPECT_EQ(host.trace(), (Events{"UM_CRCERROR", "UM_NEXT"})) << Hex(reply);
    EXPECT_FALSE(dispatcher.replyOk());
    EXPECT_EQ(dispatcher.replyText(), u"7");
  }
  EXPECT_EQ(dispatcher.counts().crcErrors, 2u);
  EXPECT_EQ(dispatcher.counts().replies, 1u);  // the good read before them
}

TEST_F(ExchangeTest, ExceptionReplyStartsNoHighlight) {
  fake->queueRead({0x01, 0x83, 0x02, 0xC0, 0xF1});
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "UM_NEXT"}));
  EXPECT_FALSE(dispatcher.replyOk());
  EXPECT_EQ(dispatcher.replyText(), u"7");
}

TEST_F(ExchangeTest, ClosedPortShowsTheMessageOnceAndSendsNothing) {
  serial.ClosePort();
  const int purges = fake->purgeCalls;
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"message brak połączenia !"}));
  EXPECT_TRUE(fake->writes.empty());
  EXPECT_EQ(fake->readCalls, 0);
  EXPECT_EQ(fake->purgeCalls, purges);
  EXPECT_FALSE(modbus.InTransaction());
}

TEST_F(ExchangeTest, WriteRepliesShowNoValueButHighlight) {
  modbus.RegisterType = kTypeWord;
  ASSERT_TRUE(modbus.BuildWriteSingleRequest(Register(u"1", u"WORD", u"1", u"2"), u"1"));
  fake->queueRead({0x01, 0x06, 0x00, 0x01, 0x00, 0x02, 0x59, 0xCB});  // the echo of the request
  dispatcher.Exchange(host);
  // A write's reply shows no value: the tree keeps what was written.
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "StartHighlightTimer", "UM_NEXT"}));
  // A reply equal to the request could be an adapter's echo: it ends the read only once the line is quiet.
  EXPECT_EQ(fake->lastReadEnd, FakeSerialDevice::ReadEnd::Quiet);

  host.clear();
  modbus.RegisterType = kTypeReal;
  ASSERT_TRUE(modbus.BuildWriteMultipleRequest(Register(u"10", u"REAL", u"2", u"1,5"), u"1"));
  // address, function 16, start 10, quantity 2, CRC
  fake->queueRead({0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x61, 0xCA});
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "StartHighlightTimer", "UM_NEXT"}));
  EXPECT_EQ(Written(1), "01 10 00 0A 00 02 04 00 00 3F C0 62 70");
}

TEST_F(ExchangeTest, DiagnosticsRequestRunsItsOwnExchange) {
  // The echo of the request: address 1, function 8, sub-function 1, data FF00, CRC
  const Bytes echo = {0x01, 0x08, 0x00, 0x01, 0xFF, 0x00, 0xF0, 0x3B};
  fake->queueRead(echo);
  EXPECT_TRUE(modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"1", dispatcher.hostFor(host)));
  EXPECT_EQ(Written(0), Hex(echo));
  EXPECT_EQ(modbus.RegisterType, kTypeHex);
  EXPECT_EQ(modbus.RegisterCount, 0x00);
  EXPECT_EQ(host.trace(), (Events{"UM_REPLY", "StartHighlightTimer", "UM_NEXT"}));
  EXPECT_EQ(dispatcher.replyText(), u"");

  // Slave 0: nothing sent, nothing shown, no event; only RegisterType is set.
  host.clear();
  modbus.RegisterType = kTypeWord;
  EXPECT_FALSE(modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"0", dispatcher.hostFor(host)));
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_TRUE(host.trace().empty());
  EXPECT_EQ(modbus.RegisterType, kTypeHex);
  // 256 is slave 0 too: the low 8 bits count.
  EXPECT_FALSE(modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"256", dispatcher.hostFor(host)));
  EXPECT_EQ(fake->writes.size(), 1u);

  // With the port closed, the exchange shows its message.
  serial.ClosePort();
  EXPECT_TRUE(modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"1", dispatcher.hostFor(host)));
  EXPECT_EQ(host.trace(), (Events{"message brak połączenia !"}));
}

TEST_F(ExchangeTest, CommandsDuringTheTransactionAreIgnored) {
  const uint8_t type = modbus.RegisterType;
  const uint8_t count = modbus.RegisterCount;
  bool attempted = false;
  host.onPending = [&] {
    // An operator's double-click or a recording tick handled between the two reads.
    attempted = true;
    EXPECT_TRUE(modbus.InTransaction());
    EXPECT_FALSE(modbus.BuildReadRequest(Register(u"7", u"REAL", u"2"), u"9"));
    EXPECT_FALSE(modbus.BuildWriteSingleRequest(Register(u"7", u"INT", u"1", u"3"), u"9"));
    EXPECT_FALSE(modbus.BuildWriteMultipleRequest(Register(u"7", u"TEXT", u"4", u"xyz"), u"9"));
    EXPECT_FALSE(modbus.BuildDiagnosticsRequest(u"$0001", u"$FF00", u"9", dispatcher.hostFor(host)));
    // Not even a text that is no number raises an error: nothing is looked at.
    EXPECT_FALSE(modbus.BuildReadRequest(Register(u"?", u"REAL", u"?"), u"?"));
    dispatcher.Exchange(host);
    EXPECT_EQ(Frame(), request);
  };
  // The synchronous UM_NEXT may not start one either.
  host.onNext = [&] { dispatcher.Exchange(host); };
  fake->queueSilence();
  fake->queueRead(kFive);
  fake->queueRead(kFive);  // left for any read a nested transaction might make

  dispatcher.Exchange(host);
  EXPECT_TRUE(attempted);
  EXPECT_EQ(host.trace(),
            (Events{"pending", "log .", "UM_REPLY", "ShowValue 5", "StartHighlightTimer", "UM_NEXT"}));
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_EQ(fake->purgeCalls, 1);
  EXPECT_EQ(fake->readCalls, 2);
  EXPECT_EQ(Frame(), request);
  EXPECT_EQ(modbus.RegisterType, type);
  EXPECT_EQ(modbus.RegisterCount, count);
  EXPECT_EQ(dispatcher.replyText(), u"5");
  EXPECT_FALSE(modbus.InTransaction());

  // Once it has finished, the next command runs normally.
  host.onPending = nullptr;
  host.onNext = nullptr;
  EXPECT_TRUE(modbus.BuildReadRequest(Register(u"7", u"WORD", u"1"), u"1"));
  dispatcher.Exchange(host);
  EXPECT_EQ(fake->writes.size(), 2u);
}

TEST_F(ExchangeTest, AnErrorInAResultHandlerEndsTheTransaction) {
  // ShowValue may end its operation with a conversion error (the option marks of a HEX register).
  host.onShowValue = [] { throw ConvertError("'x' is not a valid integer value"); };
  fake->queueRead(kFive);
  EXPECT_THROW(dispatcher.Exchange(host), ConvertError);
  EXPECT_FALSE(modbus.InTransaction());
  host.onShowValue = nullptr;
  EXPECT_TRUE(modbus.BuildReadRequest(Register(u"7", u"WORD", u"1"), u"1"));
}

TEST_F(ExchangeTest, DeviceLostBetweenTheReads) {
  host.onPending = [&] { fake->vanish(); };
  fake->queueSilence();
  dispatcher.Exchange(host);
  EXPECT_EQ(host.trace(), (Events{"pending", "UM_TIMEOUT", "UM_NEXT"}));
  EXPECT_FALSE(serial.PortOpen());
}

}  // namespace
}  // namespace velnorex::test
