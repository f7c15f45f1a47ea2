// The window "Ruch na linii": its table model under QAbstractItemModelTester while the ring fills, overflows
// and is cleared; the cells, colours, clipboard text and CSV columns of each outcome; and how the main window
// opens it and feeds it.
#include <chrono>
#include <thread>

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QRegularExpression>
#include <QTest>

#include "app/line_monitor_model.h"
#include "app/line_monitor_window.h"
#include "modbus/traffic_log.h"
#include "registers/palette.h"
#include "serial/line_tap.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/frames.h"
#include "tests/support/transaction_recorder.h"
#include "tests/support/tree_builder.h"
#include "text/cp1250.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

// The exchange over the tap over the scripted device into a traffic log of five records.
class MonitorTest : public AppTest {
 protected:
  MonitorTest()
      : fake(new FakeSerialDevice),
        tap(new LineTap(std::unique_ptr<SerialDevice>(fake))),
        serial(std::unique_ptr<SerialDevice>(tap)),
        log(tap, 5) {
    dispatcher.addTransactionObserver(&log);
  }
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(serial.OpenPort(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("19200,e,8,1")));
  }

  void read(uint16_t address) {
    ASSERT_TRUE(modbus.BuildReadRequest(RegisterRecord(IntToStr(address), u"WORD", u"1"), u"17"));
    dispatcher.Exchange(recorder);
  }
  Bytes request() const { return Bytes(modbus.RequestFrame, modbus.RequestFrame + modbus.FrameLength); }

  FakeSerialDevice* fake;
  LineTap* tap;
  Serial serial;
  Modbus modbus{serial};
  TransactionRecorder recorder;
  ExchangeDispatcher dispatcher{modbus, recorder};
  TrafficLog log;
};

const QRegularExpression kMilliseconds(QStringLiteral("^\\d+,\\d$"));

TEST_F(MonitorTest, TheTableFollowsTheRingInBatchesAndShowsEachOutcome) {
  LineMonitorModel model(log);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 10);

  // slave 17, function 3, value 5; the exception 2; nothing; a garbled reply; an echo, then late the value.
  const Bytes five = WithCrc({17, 0x03, 0x02, 0x00, 0x05});
  Bytes garbled = five;
  garbled[4] ^= 1;
  fake->onRead = [this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fake->onRead = nullptr;
  };
  fake->queueRead(five);
  read(100);
  const Bytes ask = request();
  fake->queueRead(WithCrc({17, 0x83, 0x02}));
  read(100);
  EXPECT_EQ(model.rowCount(), 0);  // nothing until the batch is taken up
  model.sync();
  EXPECT_EQ(model.rowCount(), 2);
  fake->queueSilence();
  fake->queueSilence();
  read(100);
  fake->queueRead(garbled);
  read(100);
  fake->queueRead(ask);
  fake->queueRead(five);
  read(100);
  model.sync();
  ASSERT_EQ(model.rowCount(), 5);

  const auto cell = [&](int row, int column) { return model.index(row, column).data().toString(); };
  EXPECT_TRUE(
      QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d$")).match(cell(0, 0)).hasMatch())
      << cell(0, 0).toStdString();
  EXPECT_EQ(cell(0, LineMonitorModel::kSlave), QStringLiteral("17"));
  EXPECT_EQ(cell(0, LineMonitorModel::kFunction), QStringLiteral("3"));
  EXPECT_EQ(cell(0, LineMonitorModel::kAddress), QStringLiteral("100"));
  EXPECT_EQ(cell(0, LineMonitorModel::kCount), QStringLiteral("1"));
  EXPECT_EQ(cell(0, LineMonitorModel::kRequest), QString::fromStdString(Hex(ask)));
  EXPECT_EQ(cell(0, LineMonitorModel::kReply), QString::fromStdString(Hex(five)));
  EXPECT_TRUE(kMilliseconds.match(cell(0, LineMonitorModel::kFirstByte)).hasMatch());
  EXPECT_TRUE(kMilliseconds.match(cell(0, LineMonitorModel::kLastByte)).hasMatch());
  // Held back 10 ms, less the request's own 4.6 ms on the line.
  EXPECT_GE(cell(0, LineMonitorModel::kFirstByte).replace(u',', u'.').toDouble(), 5.0);

  const QStringList outcomes{QStringLiteral("poprawna odpowiedź"),
                             QStringLiteral("wyjątek 2: niedozwolony adres danych"),
                             QStringLiteral("brak odpowiedzi"), QStringLiteral("błąd CRC"),
                             QStringLiteral("poprawna odpowiedź, późna, echo usunięte")};
  const QList<QColor> colours{kColorGreen, kColorMaroon, kColorGrey, kColorRed, kColorGreen};
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(cell(row, LineMonitorModel::kOutcome), outcomes[row]);
    EXPECT_EQ(model.index(row, 3).data(Qt::ForegroundRole).value<QColor>(), colours[row]);
  }
  EXPECT_EQ(cell(2, LineMonitorModel::kReply), QString());
  EXPECT_EQ(cell(2, LineMonitorModel::kFirstByte), QString());
  EXPECT_EQ(cell(3, LineMonitorModel::kReply), QString::fromStdString(Hex(garbled)));
  EXPECT_EQ(cell(4, LineMonitorModel::kReply), QString::fromStdString(Hex(five)));  // the echo is gone

  // A full ring drops the oldest: the rows leave at the top and the new one joins at the bottom.
  fake->queueRead(WithCrc({17, 0x83, 0x04}));
  read(7);
  model.setPaused(true);
  model.sync();
  EXPECT_EQ(cell(4, LineMonitorModel::kOutcome), outcomes[4]);  // paused: the table stands still
  model.setPaused(false);
  model.sync();
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(cell(0, LineMonitorModel::kOutcome), outcomes[1]);
  EXPECT_EQ(cell(4, LineMonitorModel::kOutcome), QStringLiteral("wyjątek 4: awaria urządzenia"));
  EXPECT_EQ(cell(4, LineMonitorModel::kAddress), QStringLiteral("7"));

  // More than a ring's worth in one batch, then a clear.
  for (int i = 0; i < 7; ++i) {
    fake->queueRead(five);
    read(static_cast<uint16_t>(200 + i));
  }
  model.sync();
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(cell(0, LineMonitorModel::kAddress), QStringLiteral("202"));
  EXPECT_EQ(cell(4, LineMonitorModel::kAddress), QStringLiteral("206"));
  log.clear();
  model.catchUp();
  EXPECT_EQ(model.rowCount(), 0);
  fake->queueRead(five);
  read(1);
  model.sync();
  EXPECT_EQ(model.rowCount(), 1);
}

TEST_F(MonitorTest, TheCsvAndTheClipboardCarryEveryColumn) {
  fake->queueRead(WithCrc({17, 0x03, 0x02, 0x00, 0x05}));
  read(100);
  fake->queueRead(WithCrc({17, 0x83, 0x03}));
  read(101);
  LineMonitorWindow window(log);
  window.refresh();
  LineMonitorModel& model = window.model();
  ASSERT_EQ(model.rowCount(), 2);

  const std::string csv = model.csvBytes();
  const std::string header =
      ToCp1250(u"Czas;Adres;Funkcja;Rejestr;Ilość;Zapytanie;Odpowiedź;Odp. [ms];Koniec [ms];Wynik\r\n");
  ASSERT_EQ(csv.substr(0, header.size()), header);
  const QStringList lines = QString::fromStdU16String(FromCp1250(csv)).split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 4);  // header, two rows, and the empty rest after the last line end
  EXPECT_EQ(lines[3], QString());
  const QStringList cells = lines[2].split(u';');
  ASSERT_EQ(cells.size(), 10);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d,\\d{3}$"))
                  .match(cells[0])
                  .hasMatch())
      << cells[0].toStdString();
  EXPECT_EQ(cells.mid(1, 4), (QStringList{"17", "3", "101", "1"}));
  EXPECT_EQ(cells[5], QString::fromStdString(Hex(Bytes(log.find(2)->request, log.find(2)->request + 8))));
  EXPECT_EQ(cells[6], QString::fromStdString(Hex(WithCrc({17, 0x83, 0x03}))));
  EXPECT_TRUE(kMilliseconds.match(cells[7]).hasMatch());
  EXPECT_EQ(cells[9], QStringLiteral("wyjątek 3: niedozwolona wartość danych"));

  // "Zapisz CSV" writes the same bytes; a cancel writes nothing.
  const QString file = dir.filePath(QStringLiteral("ruch.csv"));
  window.askFileName = [&](QWidget&) { return file; };
  window.btSaveClick();
  EXPECT_EQ(readFile(file), csv);
  window.askFileName = [](QWidget&) { return QString(); };
  window.btSaveClick();

  // "Kopiuj": the selected rows under the header, tab-separated.
  window.TrafficView->selectRow(1);
  window.btCopyClick();
  const QStringList copied = QApplication::clipboard()->text().split(u'\n');
  ASSERT_EQ(copied.size(), 3);
  EXPECT_EQ(copied[0].split(u'\t').size(), 10);
  EXPECT_EQ(copied[0].split(u'\t')[4], QStringLiteral("Ilość"));
  EXPECT_EQ(copied[1].split(u'\t').mid(1, 4), (QStringList{"17", "3", "101", "1"}));

  // The counters above the table, and "Wyczyść".
  EXPECT_TRUE(window.lbCounters->text().startsWith(
      QStringLiteral("zapytania: 2   odpowiedzi: 1   wyjątki: 1   brak odpowiedzi: 0   błędy CRC: 0")))
      << window.lbCounters->text().toStdString();
  QTest::mouseClick(window.btClear, Qt::LeftButton);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_TRUE(window.lbCounters->text().startsWith(QStringLiteral("zapytania: 0")));
  EXPECT_TRUE(window.lbCounters->text().endsWith(QStringLiteral("min / śr / maks: -")));

  // "Wstrzymaj" holds the table and the counters; "Wznów" catches up.
  QTest::mouseClick(window.btPause, Qt::LeftButton);
  EXPECT_EQ(window.btPause->text(), QStringLiteral("Wznów"));
  fake->queueRead(WithCrc({17, 0x03, 0x02, 0x00, 0x05}));
  read(100);
  window.refresh();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_TRUE(window.lbCounters->text().startsWith(QStringLiteral("zapytania: 0")));
  QTest::mouseClick(window.btPause, Qt::LeftButton);
  EXPECT_EQ(window.btPause->text(), QStringLiteral("Wstrzymaj"));
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_TRUE(window.lbCounters->text().startsWith(QStringLiteral("zapytania: 1   odpowiedzi: 1")));
}

TEST_F(AppTest, TheLogWindowsMenuAndCtrlTOpenTheMonitorWhichSeesTheWindowsTraffic) {
  auto device = std::make_unique<FakeSerialDevice>();
  FakeSerialDevice* fake = device.get();
  auto w = makeWindow(std::move(device));
  const QList<QAction*> items = w->PopupMenu1->actions();
  ASSERT_GE(items.size(), 4);
  EXPECT_EQ(items[0], w->Wyczy1);
  EXPECT_EQ(items[2], w->Zapiszdopliku1);
  EXPECT_EQ(items[3], w->Ruchnalinii1);
  EXPECT_EQ(w->Ruchnalinii1->text(), QStringLiteral("Ruch na linii"));
  EXPECT_EQ(w->Ruchnalinii1->objectName(), QStringLiteral("Ruchnalinii1"));

  showAndSettle(*w);
  QApplication::setActiveWindow(w.get());
  LineMonitorWindow& monitor = w->lineMonitor.window();
  EXPECT_FALSE(monitor.isVisible());
  QTest::keyClick(w->VT, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(monitor.isVisible());
  EXPECT_EQ(monitor.windowTitle(), QStringLiteral("Ruch na linii"));
  monitor.hide();
  w->Ruchnalinii1->trigger();
  EXPECT_TRUE(monitor.isVisible());

  // A transaction of the window lands in the monitor through the tap under the window's port.
  w->ComCBox->setEditText(QStringLiteral("ttyFAKE"));
  w->btConnectClick();
  ASSERT_TRUE(w->serial.PortOpen());
  const Bytes written = WithCrc({0x01, 0x06, 0x00, 0x05, 0x00, 0x07});
  fake->queueRead(written);
  ASSERT_TRUE(w->modbus.BuildWriteSingleRequest(RegisterRecord(u"5", u"WORD", u"1", u"RW", u"7"), u"1"));
  w->dispatcher.Exchange(w->registerOps);
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.model().rowCount() == 1; }, 5000));
  EXPECT_EQ(monitor.model().cellText(0, LineMonitorModel::kRequest), QString::fromStdString(Hex(written)));
  EXPECT_EQ(monitor.model().cellText(0, LineMonitorModel::kOutcome), QStringLiteral("poprawna odpowiedź"));
  EXPECT_EQ(w->lineMonitor.log().counts().requests, 1u);
  w->close();
}

}  // namespace
}  // namespace velnorex::test
