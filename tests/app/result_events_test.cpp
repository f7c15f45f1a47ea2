// The result events of the exchange as the window's dispatcher handles them, over the scripted device: what
// the window shows and what the transaction's client is told.
#include "tests/app/app_fixture.h"
#include "tests/support/fake_serial_device.h"

namespace velnorex::test {
namespace {

class ResultEvents : public AppTest, public TransactionClient {
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
    RegisterNode node;
    node.Address = u"0";
    node.Count = u"1";
    node.Type = u"WORD";
    w->modbus.RegisterType = TypeCodeOf(node.Type);
    w->modbus.BuildReadRequest(node, u"1");
    w->dispatcher.Exchange(*this);
  }

  void ShowValue() override {
    calls.push_back("ShowValue " + QString::fromStdU16String(w->state.ReplyText).toStdString());
  }
  void UM_NEXT() override { calls.push_back("UM_NEXT"); }

  FakeSerialDevice* fake = nullptr;
  std::unique_ptr<TForm1> w;
  std::vector<std::string> calls;
};

TEST_F(ResultEvents, AGoodReplyShowsTheValueStartsTheHighlightAndStepsOn) {
  // 01 03 02 00 2A + CRC: one register holding 42.
  std::vector<uint8_t> reply{0x01, 0x03, 0x02, 0x00, 0x2A};
  const uint16_t crc = Crc16(reply.data(), uint16_t(reply.size()));
  reply.push_back(uint8_t(crc & 0xFF));
  reply.push_back(uint8_t(crc >> 8));
  fake->queueRead(reply);
  read();
  EXPECT_TRUE(w->state.ReplyOk);
  EXPECT_EQ(w->state.ReplyText, u"42");
  EXPECT_EQ(calls, (std::vector<std::string>{"ShowValue 42", "UM_NEXT"}));
  EXPECT_TRUE(w->HighlightTimer.isActive());
  EXPECT_EQ(w->Memo1->toPlainText(), QString());  // answered within the first read: no "." line
}

TEST_F(ResultEvents, ExceptionTimeoutAndCrcErrorEachEndInOneStep) {
  // Exception reply 01 83 02 + CRC: no value, no highlight, UM_NEXT all the same.
  std::vector<uint8_t> exception{0x01, 0x83, 0x02};
  const uint16_t crc = Crc16(exception.data(), 3);
  exception.push_back(uint8_t(crc & 0xFF));
  exception.push_back(uint8_t(crc >> 8));
  w->state.ReplyText = u"before";
  fake->queueRead(exception);
  read();
  EXPECT_FALSE(w->state.ReplyOk);
  EXPECT_EQ(w->state.ReplyText, u"before");
  EXPECT_FALSE(w->HighlightTimer.isActive());
  EXPECT_EQ(calls, std::vector<std::string>{"UM_NEXT"});

  // A corrupted byte: CRC error, ReplyText kept.
  calls.clear();
  exception[2] ^= 0x01;
  fake->queueRead(exception);
  read();
  EXPECT_FALSE(w->state.ReplyOk);
  EXPECT_EQ(w->state.ReplyText, u"before");
  EXPECT_EQ(calls, std::vector<std::string>{"UM_NEXT"});

  // Silence in both reads: time-out, ReplyText emptied; the link stays up and lime.
  calls.clear();
  fake->queueSilence();
  fake->queueSilence();
  read();
  EXPECT_FALSE(w->state.ReplyOk);
  EXPECT_EQ(w->state.ReplyText, u"");
  EXPECT_EQ(calls, std::vector<std::string>{"UM_NEXT"});
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
  EXPECT_EQ(calls, (std::vector<std::string>{"ShowValue 7", "UM_NEXT"}));

  calls.clear();
  w->btDisconnectClick();
  read();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("brak połączenia !"));
  EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace velnorex::test
