// The window on a network link: the simulator serving Modbus TCP or RTU over TCP on 127.0.0.1, its address
// typed into the port box. Reads, writes and exceptions take the same road as on a serial line; late replies
// are told apart by their transaction ids; a connection the server closes ends a group as a vanished port
// does.
#include "e2e_fixture.h"

#include "modbus/line_search.h"
#include "modbus/traffic_log.h"
#include "registers/palette.h"

namespace velnorex::test {
namespace {

class NetworkLinkTest : public WindowTest, public ::testing::WithParamInterface<PeerLink> {
 protected:
  const TrafficRecord* lastRecord() {
    TrafficLog* log = form->bus.trafficLog();
    return log ? log->find(log->lastSequence()) : nullptr;
  }
  void readAndWait(std::u16string_view name) {
    form->registerOps.ReadNode(node(name));
    ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  }
};

TEST_P(NetworkLinkTest, GroupReadWriteAndExceptionWithRepliesInSeveralSegments) {
  // Every reply comes in three segments; the status word's register answers exception 4.
  connectTo(QStringLiteral("THV-21.dat"), {"--split-reply", "--exception-at", "20"}, GetParam());
  // A TCP link has no baud rate or parity.
  EXPECT_FALSE(form->cbxBaud->isEnabled());
  EXPECT_FALSE(form->cbxParity->isEnabled());
  EXPECT_EQ(form->shConnect->color(), kColorLime);
  selectDevice(QStringLiteral("THV-21.dat"));
  for (const std::u16string_view name : {u"Temperatura", u"Licznik pomiarów", u"Temperatura minimalna"})
    node(name)->data.Value.clear();
  doubleClick(u"Pomiary");
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_EQ(value(u"Temperatura"), u"21,50");
  EXPECT_EQ(value(u"Licznik pomiarów"), u"1250");
  EXPECT_EQ(value(u"Temperatura minimalna"), u"-125");

  // A write in place, read back from the transducer.
  node(u"Przesunięcie temperatury")->data.Value = u"17";
  form->registerOps.VTEdited(node(u"Przesunięcie temperatury"), 1);
  ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  node(u"Przesunięcie temperatury")->data.Value.clear();
  readAndWait(u"Przesunięcie temperatury");
  EXPECT_EQ(value(u"Przesunięcie temperatury"), u"17");

  node(u"Słowo statusu")->data.Value = u"x";
  readAndWait(u"Słowo statusu");
  const TrafficRecord* record = lastRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->outcome, TrafficOutcome::Exception);
  EXPECT_EQ(record->exceptionCode, 4);
  // Modbus TCP's header went with the request and came back with the reply: the same transaction id,
  // protocol 0, the length of unit id and PDU (6 for the read, 3 for the exception).
  EXPECT_EQ(record->linkRequest, GetParam() == PeerLink::ModbusTcp);
  if (GetParam() == PeerLink::ModbusTcp) {
    ASSERT_TRUE(record->linkReply);
    EXPECT_EQ(record->requestHeader[0], record->replyHeader[0]);
    EXPECT_EQ(record->requestHeader[1], record->replyHeader[1]);
    EXPECT_EQ(record->requestHeader[5], 6);
    EXPECT_EQ(record->replyHeader[5], 3);
    EXPECT_EQ(record->requestHeader[6], 1);
  }
}

TEST_P(NetworkLinkTest, ServerClosingMidGroupEndsItAndConnectTriesAgain) {
  connectTo(QStringLiteral("THV-21.dat"), {"--close-after", "3"}, GetParam());
  selectDevice(QStringLiteral("THV-21.dat"));
  doubleClick(u"Pomiary");
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_FALSE(form->serial.PortOpen());
  EXPECT_EQ(form->shConnect->color(), kColorRed);
  EXPECT_EQ(form->stPort->text(),
            QStringLiteral("połączenie z %1 przerwane").arg(QString::fromStdString(sim->path())));
  // The address stays in the port list for the run.
  form->ComCBoxEnter();
  EXPECT_GE(form->ComCBox->findText(QString::fromStdString(sim->path())), 0);
  // "Połącz" again: the server takes the next connection.
  QTest::mouseClick(form->btConnect, Qt::LeftButton);
  ASSERT_TRUE(form->serial.PortOpen());
  EXPECT_EQ(form->shConnect->color(), kColorLime);
  node(u"Licznik pomiarów")->data.Value.clear();
  readAndWait(u"Licznik pomiarów");
  EXPECT_EQ(value(u"Licznik pomiarów"), u"1250");
}

INSTANTIATE_TEST_SUITE_P(Links, NetworkLinkTest, ::testing::Values(PeerLink::ModbusTcp, PeerLink::RtuOverTcp),
                         [](const auto& info) {
                           return std::string(info.param == PeerLink::ModbusTcp ? "ModbusTcp" : "RtuOverTcp");
                         });

// Every reply comes long after the exchange gave up on it. Registers of one size but different values are
// read in turn: a late reply arrives during a later read and must never be taken for that one's.
TEST_F(WindowTest, LateRepliesOverModbusTcpAreDroppedByTheirTransactionIds) {
  connectTo(QStringLiteral("THV-21.dat"), {"--delay-ms", "150"}, PeerLink::ModbusTcp);
  selectDevice(QStringLiteral("THV-21.dat"));
  const std::pair<std::u16string_view, std::u16string_view> registers[] = {
      {u"Licznik pomiarów", u"1250"},
      {u"Temperatura minimalna", u"-125"},
      {u"Temperatura maksymalna", u"312"}};
  for (int round = 0; round < 3; ++round) {
    for (const auto& [name, own] : registers) {
      node(name)->data.Value.clear();
      form->registerOps.ReadNode(node(name));
      ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
      // Nothing, or its own value: never a neighbour's.
      if (!value(name).empty()) {
        EXPECT_EQ(value(name), own);
      }
    }
  }
  // The server answered every one of the nine, late; those that came in during a later read were dropped.
  ASSERT_TRUE(WaitFor([&] { return sim->logLines().size() >= 18; }));
  form->registerOps.ReadNode(node(u"Licznik pomiarów"));
  ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  EXPECT_GT(form->bus.trafficLog()->counts().lateDropped, 0u);
}

// The search on a Modbus TCP server walks the unit ids once, then asks unit id 255 for a device that
// ignores the unit id.
TEST_F(WindowTest, SearchOverModbusTcpWalksUnitIdsThenAsksTheAnyUnitId) {
  connectTo(QStringLiteral("THV-21.dat"), {"--slave", "1", "--slave", "5", "--any-unit"},
            PeerLink::ModbusTcp);
  SearchPlan plan;
  plan.portPath = QString::fromStdString(sim->path());
  plan.lastAddress = 8;
  LineSearch search(form->bus, plan);
  ASSERT_TRUE(search.start());
  search.run([] { return true; });
  EXPECT_EQ(search.end(), SearchEnd::Finished);
  std::vector<int> found;
  for (const SearchHit& hit : search.hits()) found.push_back(hit.address);
  EXPECT_EQ(found, (std::vector<int>{1, 5, kAnyUnitId}));
  EXPECT_TRUE(search.hits().back().anyUnit());
  EXPECT_EQ(search.progress().total, 9);
  EXPECT_TRUE(form->serial.PortOpen());
}

}  // namespace
}  // namespace velnorex::test
