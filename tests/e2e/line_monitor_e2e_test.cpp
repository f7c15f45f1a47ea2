// The window "Ruch na linii" against the simulator: a group read with a silent and a garbled answer shows up
// row by row as the transducer saw it.
#include "app/line_monitor_window.h"
#include "tests/e2e/e2e_fixture.h"

namespace velnorex::test {
namespace {

TEST_F(WindowTest, TheMonitorShowsAGroupReadAsTheTransducerSawIt) {
  // The first request goes unanswered and the third answer is garbled: each is retried by the group.
  connectTo(QStringLiteral("THV-21.dat"), {"--silent-first", "1", "--corrupt-crc", "3"});
  selectDevice(QStringLiteral("THV-21.dat"));
  QTest::keyClick(form->VT, Qt::Key_T, Qt::ControlModifier);
  LineMonitorWindow& monitor = form->lineMonitor.window();
  ASSERT_TRUE(monitor.isVisible());

  doubleClick(u"Pomiary");
  ASSERT_TRUE(waitForGroupEnd());
  const std::vector<std::string> sent = requests();
  ASSERT_EQ(sent.size(), 9u);  // seven registers and two retries
  ASSERT_TRUE(WaitFor([&] { return monitor.model().rowCount() == 9; }));
  const QString good = QStringLiteral("poprawna odpowiedź");
  const QStringList outcomes{QStringLiteral("brak odpowiedzi"),
                             good,
                             good,
                             QStringLiteral("błąd CRC"),
                             good,
                             good,
                             good,
                             good,
                             good};
  for (int row = 0; row < 9; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(monitor.model().cellText(row, LineMonitorModel::kRequest).toStdString(), sent[row]);
    EXPECT_EQ(monitor.model().cellText(row, LineMonitorModel::kOutcome), outcomes[row]);
  }
  EXPECT_EQ(monitor.model().cellText(2, LineMonitorModel::kAddress), QStringLiteral("2"));
  EXPECT_EQ(monitor.model().cellText(2, LineMonitorModel::kCount), QStringLiteral("2"));
  EXPECT_TRUE(monitor.lbCounters->text().startsWith(
      QStringLiteral("zapytania: 9   odpowiedzi: 7   wyjątki: 0   brak odpowiedzi: 1   błędy CRC: 1")))
      << monitor.lbCounters->text().toStdString();
  EXPECT_EQ(value(u"Temperatura"), u"21,50");
}

}  // namespace
}  // namespace velnorex::test
