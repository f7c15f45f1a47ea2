// "Szukaj…" against the simulator: the dialog finds a transducer set up at another line setting than the
// operator's, keeps the window's commands waiting while it searches, gives the operator's connection back,
// and "Użyj" connects to what it found.
#include <QProgressBar>

#include "tests/e2e/e2e_fixture.h"

namespace velnorex::test {
namespace {

class SearchTest : public WindowTest {
 protected:
  SearchDialog* openDialog() {
    QTest::mouseClick(form->btSearch, Qt::LeftButton);
    QApplication::processEvents();
    return form->searchDialog;
  }
  // Only the given baud rates ticked.
  static void tickBauds(SearchDialog* d, std::initializer_list<int> bauds) {
    for (size_t i = 0; i < d->cbxBauds.size(); ++i)
      d->cbxBauds[i]->setChecked(std::find(bauds.begin(), bauds.end(), SearchDialog::OfferedBaudRates()[i]) !=
                                 bauds.end());
  }
};

TEST_F(SearchTest, FindsTheTransducerAtItsOwnSettingAndUseConnectsToIt) {
  // The transducer listens at 19200 baud, even parity; the operator is connected at 9600, none.
  connectTo(QStringLiteral("THV-21.dat"), {"--slave", "12", "--baud", "19200", "--parity", "e"});
  EXPECT_EQ(form->serial.PortMode(), QStringLiteral("9600,n,8,2"));
  EXPECT_EQ(form->btSearch->text(), QStringLiteral("Szukaj…"));
  EXPECT_EQ(form->btSearch->parentWidget(), form->SerialBox);

  SearchDialog* d = openDialog();
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Wyszukiwanie przetworników"));
  EXPECT_EQ(d->lbPort->text(), form->ComCBox->currentText());
  tickBauds(d, {9600, 19200});
  // A pseudo-terminal carries no parity: even and odd (one stop bit each) would both be found.
  d->cbxParityOdd->setChecked(false);
  d->eFrom->setValue(10);
  d->eTo->setValue(14);
  int updates = 0;
  QObject::connect(d->pbSearch, &QProgressBar::valueChanged, [&] { ++updates; });
  const TrafficCounts monitorBefore = form->lineMonitor.log().counts();

  QTest::mouseClick(d->btStart, Qt::LeftButton);
  ASSERT_TRUE(d->searching());
  // While it searches, the line is held: the window's commands wait, and nothing else reaches the line.
  EXPECT_TRUE(form->modbus.InTransaction());
  EXPECT_TRUE(form->registerOps.busy());
  EXPECT_FALSE(d->btStart->isEnabled());
  EXPECT_TRUE(d->btStop->isEnabled());
  form->btResetClick();
  // The steps run from the event loop; the window keeps processing events meanwhile.
  ASSERT_TRUE(WaitFor([&] { return !d->searching(); }, std::chrono::seconds(60)));

  EXPECT_EQ(d->pbSearch->value(), 2 * 2 * 5);
  EXPECT_EQ(d->pbSearch->maximum(), 2 * 2 * 5);
  EXPECT_GE(updates, 2 * 2 * 5);  // every probe moved the bar
  ASSERT_EQ(d->tbResults->rowCount(), 1);
  EXPECT_EQ(d->tbResults->item(0, 0)->text(), QStringLiteral("12"));
  EXPECT_EQ(d->tbResults->item(0, 1)->text(), QStringLiteral("19200"));
  EXPECT_EQ(d->tbResults->item(0, 2)->text(), QStringLiteral("even"));
  EXPECT_EQ(d->lbStatus->text(), QStringLiteral("znaleziono: 1"));
  EXPECT_EQ(d->lbProgress->text(), QStringLiteral("wykonano: 20, pozostało: 0"));
  // Only probes went out: reads of one register at 10..14, and no Reset.
  const auto sent = requests();
  EXPECT_EQ(sent.size(), 20u);
  for (const WireFrame& f : sim->logLines()) {
    if (f.direction != '>') continue;
    EXPECT_GE(f.bytes[0], 10);
    EXPECT_LE(f.bytes[0], 14);
    EXPECT_EQ(f.bytes[1], 3);
  }
  // The traffic monitor lists every probe: the one answer and the silence at every other address.
  const TrafficCounts& monitor = form->lineMonitor.log().counts();
  EXPECT_EQ(monitor.requests - monitorBefore.requests, 20u);
  EXPECT_EQ(monitor.goodReplies - monitorBefore.goodReplies, 1u);
  EXPECT_EQ(monitor.timeouts - monitorBefore.timeouts, 19u);
  // The operator's connection is back as it was.
  EXPECT_FALSE(form->modbus.InTransaction());
  EXPECT_TRUE(form->serial.PortOpen());
  EXPECT_EQ(form->serial.PortMode(), QStringLiteral("9600,n,8,2"));
  EXPECT_EQ(form->shConnect->color(), kColorLime);

  ASSERT_TRUE(d->btUse->isEnabled());
  QTest::mouseClick(d->btUse, Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(form->ComCBox->currentText(), QString::fromStdString(sim->path()));
  EXPECT_EQ(form->cbxBaud->currentText(), QStringLiteral("19200"));
  EXPECT_EQ(form->cbxParity->currentText(), QStringLiteral("even"));
  EXPECT_EQ(form->eSlave->text(), QStringLiteral("12"));
  EXPECT_TRUE(form->serial.PortOpen());
  EXPECT_EQ(form->serial.PortMode(), QStringLiteral("19200,e,8,1"));
  EXPECT_EQ(form->shConnect->color(), kColorLime);
  // And the transducer now answers the window's own commands.
  form->btResetClick();
  // (20 probes and the one answer so far, then the Reset and its answer.)
  ASSERT_TRUE(WaitFor([&] { return sim->logLines().size() >= 23; }));
  const auto frames = sim->logLines();
  EXPECT_EQ(Hex(frames[21].bytes), Request({0x0C, 0x08, 0x00, 0x01, 0xFF, 0x00}));
  EXPECT_EQ(frames[22].direction, '<');
  EXPECT_TRUE(messages.empty());
}

TEST_F(SearchTest, RefusesToStartWhileTheRegistersAreBusyAndStopsOnPrzerwij) {
  connectTo(QStringLiteral("THV-21.dat"));
  SearchDialog* d = openDialog();
  ASSERT_NE(d, nullptr);
  tickBauds(d, {19200});

  form->state.Recording = true;
  QTest::mouseClick(d->btStart, Qt::LeftButton);
  form->state.Recording = false;
  form->state.GroupActive = true;
  QTest::mouseClick(d->btStart, Qt::LeftButton);
  form->state.GroupActive = false;
  EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral("trwa rejestracja"),
                                            QStringLiteral("trwa odczyt lub zapis rejestrów")}));
  EXPECT_FALSE(d->searching());
  EXPECT_TRUE(requests().empty());

  // A whole range, stopped after a few probes: the search ends within the probe on the line.
  QTest::mouseClick(d->btStart, Qt::LeftButton);
  ASSERT_TRUE(d->searching());
  ASSERT_TRUE(WaitFor([&] { return d->pbSearch->value() >= 3; }));
  QTest::mouseClick(d->btStop, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !d->searching(); }));
  EXPECT_LT(d->pbSearch->value(), 247);
  EXPECT_TRUE(d->lbStatus->text().startsWith(QStringLiteral("przerwano")));
  EXPECT_TRUE(form->serial.PortOpen());
  EXPECT_EQ(form->serial.PortMode(), QStringLiteral("9600,n,8,2"));
  EXPECT_FALSE(form->modbus.InTransaction());
  // The simulator answers any setting here: address 1 was found before the stop.
  ASSERT_GE(d->tbResults->rowCount(), 1);
  EXPECT_EQ(d->tbResults->item(0, 0)->text(), QStringLiteral("1"));

  // Closing the dialog in the middle of a search ends it and gives the line back.
  QTest::mouseClick(d->btStart, Qt::LeftButton);
  ASSERT_TRUE(d->searching());
  QTest::mouseClick(d->btClose, Qt::LeftButton);
  EXPECT_FALSE(d->searching());
  EXPECT_FALSE(form->modbus.InTransaction());
  EXPECT_EQ(form->serial.PortMode(), QStringLiteral("9600,n,8,2"));
}

}  // namespace
}  // namespace velnorex::test
