// The result events of the exchange as the window's dispatcher handles them, over the scripted device: what
// the window shows and what the transaction's client is told.
#include <QEventLoop>
#include <QTimer>

#include "app/window_hosts.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/transaction_recorder.h"
#include "tests/support/tree_builder.h"

namespace velnorex::test {
namespace {

class ResultEvents : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    auto device = std::make_unique<FakeSerialDevice>();
    fake = device.get();
    w = makeWindow(std::move(device));
    w->ComCBox->setEditText(QStringLiteral("ttyFAKE"));
    w->btConnectClick();
    ASSERT_TRUE(w->serial.PortOpen());
  }

  // Reads register 0 of slave 1 as a WORD.
  void read() {
    w->modbus.RegisterType = TypeCodeOf(u"WORD");
    w->modbus.BuildReadRequest(RegisterRecord(u"0", u"WORD", u"1"), u"1");
    w->dispatcher.Exchange(client);
  }

  // What the client is told, as lines: "ShowValue 42", "UM_NEXT".
  std::vector<std::string> calls() const { return client.trace(); }

  TransactionRecorder client;  // the client only: the window is the real one
  FakeSerialDevice* fake = nullptr;
  std::unique_ptr<TForm1> w;
};

TEST_F(ResultEvents, AGoodReplyShowsTheValueStartsTheHighlightAndStepsOn) {
  // 01 03 02 00 2A + CRC: one register holding 42.
  std::vector<uint8_t> reply{0x01, 0x03, 0x02, 0x00, 0x2A};
  const uint16_t crc = Crc16(reply.data(), uint16_t(reply.size()));
  reply.push_back(uint8_t(crc & 0xFF));
  reply.push_back(uint8_t(crc >> 8));
  fake->queueRead(reply);
  read();
  EXPECT_TRUE(w->dispatcher.replyOk());
  EXPECT_EQ(w->dispatcher.replyText(), u"42");
  EXPECT_EQ(calls(), (std::vector<std::string>{"ShowValue 42", "UM_NEXT"}));
  EXPECT_TRUE(w->HighlightTimer.isActive());
  EXPECT_EQ(w->Memo1->toPlainText(), QString());  // answered within the first read: no "." line
}

TEST_F(ResultEvents, ExceptionTimeoutAndCrcErrorEachEndInOneStep) {
  // Exception reply 01 83 02 + CRC: no value, no highlight, UM_NEXT all the same.
  std::vector<uint8_t> exception{0x01, 0x83, 0x02};
  const uint16_t crc = Crc16(exception.data(), 3);
  exception.push_back(uint8_t(crc & 0xFF));
  exception.push_back(uint8_t(crc >> 8));
  // A good read of 7 first, so that what the failures leave of ReplyText shows.
  std::vector<uint8_t> before{0x01, 0x03, 0x02, 0x00, 0x07};
  const uint16_t beforeCrc = Crc16(before.data(), uint16_t(before.size()));
  before.push_back(uint8_t(beforeCrc & 0xFF));
  before.push_back(uint8_t(beforeCrc >> 8));
  fake->queueRead(before);
  read();
  w->HighlightTimer.stop();
  client.clear();
  fake->queueRead(exception);
  read();
  EXPECT_FALSE(w->dispatcher.replyOk());
  EXPECT_EQ(w->dispatcher.replyText(), u"7");
  EXPECT_FALSE(w->HighlightTimer.isActive());
  EXPECT_EQ(calls(), std::vector<std::string>{"UM_NEXT"});

  // A corrupted byte: CRC error, ReplyText kept.
  client.clear();
  exception[2] ^= 0x01;
  fake->queueRead(exception);
  read();
  EXPECT_FALSE(w->dispatcher.replyOk());
  EXPECT_EQ(w->dispatcher.replyText(), u"7");
  EXPECT_EQ(calls(), std::vector<std::string>{"UM_NEXT"});

  // Silence in both reads: time-out, ReplyText emptied; the link stays up and lime.
  client.clear();
  fake->queueSilence();
  fake->queueSilence();
  read();
  EXPECT_FALSE(w->dispatcher.replyOk());
  EXPECT_EQ(w->dispatcher.replyText(), u"");
  EXPECT_EQ(calls(), std::vector<std::string>{"UM_NEXT"});
  EXPECT_TRUE(w->serial.PortOpen());
  EXPECT_EQ(w->shConnect->color(), kColorLime);
}

TEST_F(ResultEvents, ALateReplyLeavesADotInTheLogAndAClosedPortAMessage) {
  std::vector<uint8_t> reply{0x01, 0x03, 0x02, 0x00, 0x07};
  const uint16_t crc = Crc16(reply.data(), uint16_t(reply.size()));
  reply.push_back(uint8_t(crc & 0xFF));
  reply.push_back(uint8_t(crc >> 8));
  fake->queueSilence();
  fake->queueRead(reply);
  read();
  EXPECT_EQ(w->Memo1->toPlainText(), QStringLiteral("."));
  EXPECT_EQ(calls(), (std::vector<std::string>{"ShowValue 7", "UM_NEXT"}));

  client.clear();
  w->btDisconnectClick();
  read();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("brak połączenia !"));
  EXPECT_TRUE(calls().empty());
}

TEST_F(ResultEvents, EventsQueuedBehindAStepAreHandledInItsPendingMessages) {
  // A step from the queue, as a group's or a list recording's next read starts, and an event (the
  // operator's input) queued behind it: the pending messages that a transaction hands the window between
  // its reads must reach that event, or it waits out the whole transaction.
  WindowHosts hosts(*w);
  // What the window's set-up queued goes first: an event it posts on its way would hide the fault.
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  bool stepDone = false, handled = false, handledInStep = false;
  QEventLoop loop;  // the window's own loop, as it runs while the operator works
  QObject context;
  QMetaObject::invokeMethod(
      &context,
      [&] {
        hosts.processPendingMessages();
        handledInStep = handled;
        stepDone = true;
        if (handled) loop.quit();
      },
      Qt::QueuedConnection);
  QMetaObject::invokeMethod(
      &context,
      [&] {
        handled = true;
        if (stepDone) loop.quit();
      },
      Qt::QueuedConnection);
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  ASSERT_TRUE(stepDone && handled);
  EXPECT_TRUE(handledInStep);
}

}  // namespace
}  // namespace velnorex::test
