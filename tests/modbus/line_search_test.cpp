// The line search over the scripted serial device: which answers count as a transducer, what goes on the
// line, how the line is held and given back, and cancel.
#include <string>
#include <vector>

#include "modbus/bus.h"
#include "modbus/line_search.h"
#include "modbus/traffic_log.h"
#include "tests/modbus/modbus_fixture.h"

namespace velnorex::test {
namespace {

class LineSearchTest : public ModbusTest {
 protected:
  void SetUp() override {
    // The operator is connected as Connect leaves the port.
    ASSERT_TRUE(serial.OpenPort(QStringLiteral("/dev/ttyOPERATOR"), QStringLiteral("9600,n,8,2")));
    ASSERT_TRUE(serial.SetPortTimeouts(30, 0, 40, 0, 30));
    // What each read sees of the line: the setting, the total time-out and whether the line is held.
    fake->onRead = [this] {
      reads.push_back(std::to_string(fake->lastSettings.baudRate) + fake->lastSettings.parity +
                      std::to_string(fake->lastSettings.stopBitsTenths / 10) + " " +
                      std::to_string(fake->lastTimeouts.ReadTotalTimeoutConstant) + "ms" +
                      (modbus.InTransaction() ? " held" : " free"));
    };
  }

  SearchPlan Plan(std::vector<SearchSetting> settings, int first, int last) {
    SearchPlan plan;
    plan.portPath = QStringLiteral("/dev/ttySEARCH");
    plan.settings = std::move(settings);
    plan.firstAddress = first;
    plan.lastAddress = last;
    return plan;
  }

  // Runs the search to its end; counts the steps.
  int RunToEnd(LineSearch& search) {
    int steps = 1;
    while (search.step()) ++steps;
    return steps;
  }

  void ExpectOperatorsLineBack() {
    EXPECT_FALSE(modbus.InTransaction());
    EXPECT_TRUE(serial.PortOpen());
    EXPECT_EQ(fake->lastPath, QStringLiteral("/dev/ttyOPERATOR"));
    EXPECT_EQ(serial.PortMode(), QStringLiteral("9600,n,8,2"));
    EXPECT_EQ(fake->lastSettings.baudRate, 9600);
    EXPECT_EQ(fake->lastTimeouts.ReadIntervalTimeout, 30u);
    EXPECT_EQ(fake->lastTimeouts.ReadTotalTimeoutConstant, 40u);
    EXPECT_EQ(fake->lastTimeouts.WriteTotalTimeoutConstant, 30u);
  }

  std::vector<std::string> reads;
};

TEST_F(LineSearchTest, AnyWellFormedAnswerFromTheAddressIsATransducerNothingElseIs) {
  SearchPlan plan = Plan({{19200, 'e'}}, 1, 7);
  plan.probeRegister = 7;
  LineSearch search(modbus, plan);
  ASSERT_TRUE(search.start());

  fake->queueSilence();                                      // 1: nobody
  fake->queueRead(WithCrc({0x02, 0x03, 0x02, 0x12, 0x34}));  // 2: a value
  fake->queueRead(WithCrc({0x03, 0x83, 0x02}));              // 3: an exception is an answer too
  Bytes badCrc = WithCrc({0x04, 0x03, 0x02, 0x00, 0x01});
  badCrc.back() ^= 0x01;
  fake->queueRead(badCrc);                                   // 4: a bad CRC
  fake->queueRead(WithCrc({0x09, 0x03, 0x02, 0x00, 0x01}));  // 5: somebody else's address
  fake->queueChunks({{0x06, 0x03, 0x02}});                   // 6: an answer that runs past the
  fake->queueRead({0x00, 0x2A, 0x8C, 0x5B});                 //    first wait is waited for
  fake->queueChunks({{0x07, 0x03}});                         // 7: a torn answer
  const int steps = RunToEnd(search);

  ASSERT_EQ(search.hits().size(), 3u);
  EXPECT_EQ(search.hits()[0].address, 2);
  EXPECT_EQ(search.hits()[0].reply, SearchHit::Reply::Value);
  EXPECT_EQ(search.hits()[0].value, 0x1234);
  EXPECT_EQ(ReplyText(search.hits()[0]), "value 4660");
  EXPECT_EQ(search.hits()[0].setting, (SearchSetting{19200, 'e'}));
  EXPECT_GE(search.hits()[0].ms, 0.0);
  EXPECT_EQ(search.hits()[1].address, 3);
  EXPECT_EQ(ReplyText(search.hits()[1]), "exception 2");
  EXPECT_EQ(search.hits()[2].address, 6);
  EXPECT_EQ(ReplyText(search.hits()[2]), "value 42");
  EXPECT_EQ(search.garbledReplies(), 3);
  EXPECT_EQ(search.end(), SearchEnd::Finished);
  EXPECT_EQ(search.progress().done, 7);
  EXPECT_EQ(search.progress().total, 7);
  EXPECT_EQ(fake->scriptLeft(), 0u);

  // One probe per address, read of register 7: golden frame of address 2 (CRC as pymodbus computes it).
  ASSERT_EQ(fake->writes.size(), 7u);
  EXPECT_EQ(Hex(fake->writes[1]), "02 03 00 07 00 01 35 F8");
  for (size_t i = 0; i < fake->writes.size(); ++i) {
    EXPECT_EQ(Hex(fake->writes[i]),
              Hex(WithCrc({static_cast<uint8_t>(i + 1), 0x03, 0x00, 0x07, 0x00, 0x01})));
  }
  // 19200 baud, even parity, one stop bit, the line held throughout; the first wait is the request's 8
  // characters and the 3.5 of silence after it (7 ms), plus the 30 ms budget. The second reads of addresses
  // 6 and 7 wait for the missing characters' line time and the budget again.
  ASSERT_EQ(reads.size(), 9u);
  for (const std::string& read : reads) EXPECT_EQ(read.substr(0, 7), "19200e1") << read;
  EXPECT_EQ(reads[0], "19200e1 37ms held");
  EXPECT_EQ(reads[6], "19200e1 33ms held");
  EXPECT_EQ(reads[8], "19200e1 33ms held");
  EXPECT_EQ(steps, 1 + 9);  // opening the setting, then a step per read; the last one ends the search
  ExpectOperatorsLineBack();
}

TEST_F(LineSearchTest, AnInputRegisterProbeReadsWithFunction4AndTakesOnlyItsAnswer) {
  SearchPlan plan = Plan({{19200, 'e'}}, 1, 3);
  plan.probe = ProbeKind::ReadInput;
  plan.probeRegister = 7;
  LineSearch search(modbus, plan);
  ASSERT_TRUE(search.start());
  fake->queueRead(WithCrc({0x01, 0x04, 0x02, 0x00, 0x2A}));  // 1: an input register's value
  fake->queueRead(
      WithCrc({0x02, 0x03, 0x02, 0x00, 0x2A}));  // 2: a holding register's answer: not this probe's
  fake->queueRead(WithCrc({0x03, 0x84, 0x02}));  // 3: the exception of function 4
  RunToEnd(search);
  ASSERT_EQ(search.hits().size(), 2u);
  EXPECT_EQ(ReplyText(search.hits()[0]), "value 42");
  EXPECT_EQ(ReplyText(search.hits()[1]), "exception 2");
  EXPECT_EQ(search.garbledReplies(), 1);
  ASSERT_EQ(fake->writes.size(), 3u);
  EXPECT_EQ(Hex(fake->writes[0]), Hex(WithCrc({0x01, 0x04, 0x00, 0x07, 0x00, 0x01})));
}

TEST_F(LineSearchTest, SettingsInTurnEchoProbesAndWaitsCutIntoSlices) {
  SearchPlan plan = Plan({{9600, 'n'}, {1200, 'o'}}, 10, 11);
  plan.probe = ProbeKind::Echo;
  plan.budgetMs = 100;
  LineSearch search(modbus, plan);
  ASSERT_TRUE(search.start());
  EXPECT_EQ(search.progress().total, 4);
  EXPECT_EQ(search.progress().msLeft, 2 * (14 + 100) + 2 * (106 + 100));

  // 9600 none: silence on both addresses, each wait in two slices (114 ms).
  for (int i = 0; i < 4; ++i) fake->queueSilence();
  // 1200 odd: 10 is silent (206 ms in three slices); 11 echoes its probe.
  for (int i = 0; i < 3; ++i) fake->queueSilence();
  fake->queueRead(WithCrc({0x0B, 0x08, 0x00, 0x00, 0xA5, 0x0B}));
  RunToEnd(search);

  ASSERT_EQ(search.hits().size(), 1u);
  EXPECT_EQ(search.hits()[0].address, 11);
  EXPECT_EQ(search.hits()[0].setting, (SearchSetting{1200, 'o'}));
  EXPECT_EQ(ReplyText(search.hits()[0]), "echo");
  EXPECT_EQ(Hex(fake->writes[3]), "0B 08 00 00 A5 0B DA 36");  // return query data, CRC as pymodbus has it
  EXPECT_EQ(reads, (std::vector<std::string>{"9600n2 80ms held", "9600n2 34ms held", "9600n2 80ms held",
                                             "9600n2 34ms held", "1200o1 80ms held", "1200o1 80ms held",
                                             "1200o1 46ms held", "1200o1 80ms held"}));
  ExpectOperatorsLineBack();
}

TEST_F(LineSearchTest, CancelEndsWithinTheProbeAndGivesTheLineBack) {
  LineSearch search(modbus, Plan({{19200, 'n'}, {9600, 'e'}}, 1, 247));
  ASSERT_TRUE(search.start());
  // Nothing else may use the line meanwhile.
  EXPECT_FALSE(modbus.BuildReadRequest(Register(u"1", u"WORD", u"1"), u"1"));
  Modbus::LineHold other(modbus);
  EXPECT_FALSE(other.take());
  EXPECT_FALSE(LineSearch(modbus, Plan({{19200, 'n'}}, 1, 2)).start());

  fake->onRead = [&] {
    if (fake->readCalls == 3) search.cancel();
  };
  RunToEnd(search);
  EXPECT_EQ(search.end(), SearchEnd::Cancelled);
  EXPECT_EQ(fake->writes.size(), 3u);
  EXPECT_EQ(fake->readCalls, 3);
  EXPECT_EQ(search.progress().done, 3);
  EXPECT_FALSE(search.step());
  ExpectOperatorsLineBack();
  EXPECT_TRUE(other.take());
}

TEST_F(LineSearchTest, APortThatCannotBeOpenedEndsTheSearchAndAClosedPortStaysClosed) {
  serial.ClosePort();
  fake->failOpen = true;
  LineSearch search(modbus, Plan({{19200, 'n'}, {9600, 'e'}}, 1, 247));
  ASSERT_TRUE(search.start());
  RunToEnd(search);
  EXPECT_EQ(search.end(), SearchEnd::PortError);
  EXPECT_EQ(search.refusedSettings().size(), 2u);
  EXPECT_TRUE(fake->writes.empty());
  EXPECT_FALSE(serial.PortOpen());
  EXPECT_EQ(serial.PortMode(), QStringLiteral("9600,n,8,2"));
  EXPECT_FALSE(modbus.InTransaction());
}

TEST(LineSearchPlan, RefusesBroadcastAndNonsense) {
  SearchPlan plan;
  plan.portPath = QStringLiteral("/dev/ttyS0");
  plan.settings = {{19200, 'e'}};
  EXPECT_EQ(CheckPlan(plan), "");
  for (auto [first, last] : {std::pair{0, 10}, {1, 248}, {20, 10}}) {
    SearchPlan bad = plan;
    bad.firstAddress = first;
    bad.lastAddress = last;
    EXPECT_NE(CheckPlan(bad), "") << first << "-" << last;
  }
  SearchPlan bad = plan;
  bad.settings = {{19200, 'm'}};
  EXPECT_NE(CheckPlan(bad), "");
  bad.settings = {};
  EXPECT_NE(CheckPlan(bad), "");
  bad = plan;
  bad.portPath.clear();
  EXPECT_NE(CheckPlan(bad), "");
}

// On a bus, every probe is a transaction of the traffic monitor: its request, its answer and its outcome, in
// the order they went out; the exchange's counters stay the exchange's.
TEST(LineSearchOnBus, EveryProbeReachesTheTrafficLogAsATransaction) {
  auto* fake = new FakeSerialDevice;
  ToolWindow window("test");
  Bus bus(std::unique_ptr<SerialDevice>(fake), window);
  SearchPlan plan;
  plan.portPath = QStringLiteral("/dev/ttySEARCH");
  plan.settings = {{19200, 'n'}};
  plan.firstAddress = 1;
  plan.lastAddress = 4;
  LineSearch search(bus, plan);
  ASSERT_TRUE(search.start());
  const Bytes value = WithCrc({0x02, 0x03, 0x02, 0x00, 0x2A});
  const Bytes exception = WithCrc({0x03, 0x83, 0x02});
  Bytes garbled = WithCrc({0x04, 0x03, 0x02, 0x00, 0x01});
  garbled.back() ^= 0x01;
  fake->queueSilence();
  fake->queueRead(value);
  fake->queueRead(exception);
  fake->queueRead(garbled);
  while (search.step()) {
  }
  ASSERT_EQ(search.hits().size(), 2u);

  const TrafficLog& log = *bus.trafficLog();
  ASSERT_EQ(log.size(), 4u);
  const TrafficOutcome outcomes[] = {TrafficOutcome::Timeout, TrafficOutcome::Value,
                                     TrafficOutcome::Exception, TrafficOutcome::CrcError};
  const Bytes replies[] = {{}, value, exception, garbled};
  for (uint64_t i = 0; i < 4; ++i) {
    const TrafficRecord& r = *log.find(log.firstSequence() + i);
    EXPECT_EQ(r.outcome, outcomes[i]) << "address " << i + 1;
    EXPECT_EQ(Hex(r.request, r.requestLength),
              Hex(WithCrc({static_cast<uint8_t>(i + 1), 0x03, 0x00, 0x00, 0x00, 0x01})));
    EXPECT_EQ(Hex(r.reply, r.replyLength), Hex(replies[i]));
    EXPECT_EQ(r.firstByteUs >= 0, i > 0) << "address " << i + 1;  // timed by the bus's tap when bytes came
  }
  EXPECT_EQ(log.find(log.firstSequence() + 2)->exceptionCode, 2);
  EXPECT_EQ(log.counts().requests, 4u);
  EXPECT_EQ(bus.dispatcher().counts().replies + bus.dispatcher().counts().timeouts, 0u);
}

}  // namespace
}  // namespace velnorex::test
