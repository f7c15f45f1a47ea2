// The line search at 19200 baud against velnorex-sim emulating the line time, one setting, addresses 1..247,
// three transducers: the whole search as the dialog runs it (with the rate of its progress updates and the
// longest that input waited for the event loop), against the same probes sent through the one exchange,
// measured in the same run.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSocketNotifier>

#include "app/search_dialog.h"
#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "modbus/link_device.h"
#include "tests/support/transaction_recorder.h"
#include "tests/support/tree_builder.h"
#include "text/number_text.h"

using namespace velnorex;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 19200;
const char* const kSlaves[] = {"7", "100", "230"};

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

class BenchHost : public SearchDialogHost {
 public:
  explicit BenchHost(QString port) : port_(std::move(port)) {}
  QString portName() const override { return port_; }
  QString whyNotNow() const override { return {}; }
  void useResult(const QString&, const SearchHit&) override {}
  void connectionLost() override { std::fprintf(stderr, "the port could not be opened again\n"); }

 private:
  QString port_;
};

struct DialogFigures {
  double seconds = 0;
  size_t found = 0;
  int updates = 0;
  double longestUpdateGapMs = 0;
  double longestInputWaitMs = 0;
};

DialogFigures runDialog(Bus& bus, const QString& port) {
  BenchHost host(port);
  SearchDialog dialog(bus, host);
  for (size_t i = 0; i < dialog.cbxBauds.size(); ++i)
    dialog.cbxBauds[i]->setChecked(SearchDialog::OfferedBaudRates()[i] == kBaud);
  dialog.cbxParityNone->setChecked(false);
  dialog.cbxParityOdd->setChecked(false);
  dialog.show();
  QApplication::processEvents();

  DialogFigures f;
  std::vector<Clock::time_point> updates;
  QObject::connect(dialog.pbSearch, &QProgressBar::valueChanged, [&] { updates.push_back(Clock::now()); });
  // The operator's input reaches the window through a descriptor the event loop watches (the display
  // connection). A thread stands in for it: every 5 ms it writes the time into a pipe that the event loop
  // watches the same way, and the loop notes how long each one waited to be read.
  int pipeFds[2];
  if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) std::exit(1);
  std::atomic<bool> stop{false};
  QSocketNotifier input(pipeFds[0], QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    int64_t sent = 0;
    const auto now = Clock::now().time_since_epoch();
    while (::read(pipeFds[0], &sent, sizeof sent) == sizeof sent)
      f.longestInputWaitMs =
          std::max(f.longestInputWaitMs,
                   std::chrono::duration<double, std::milli>(now - std::chrono::nanoseconds(sent)).count());
  });
  std::thread operatorHand([&] {
    while (!stop) {
      const int64_t at =
          std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
      if (::write(pipeFds[1], &at, sizeof at) != sizeof at) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  const auto start = Clock::now();
  updates.push_back(start);
  dialog.btStart->click();
  while (dialog.searching()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const auto end = Clock::now();
  stop = true;
  operatorHand.join();
  input.setEnabled(false);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  f.seconds = msBetween(start, end) / 1000.0;
  f.found = dialog.results().size();
  f.updates = static_cast<int>(updates.size()) - 1;
  for (size_t i = 1; i < updates.size(); ++i)
    f.longestUpdateGapMs = std::max(f.longestUpdateGapMs, msBetween(updates[i - 1], updates[i]));
  return f;
}

// The same 247 probes through the one exchange: a read of register 0 per address, with the connection's
// time-outs and the retry read a silent address costs there.
double runThroughExchange(Bus& bus, test::TransactionRecorder& window, const QString& port, int& found) {
  if (!bus.open(port, QStringLiteral("19200,e,8,1"))) {
    std::fprintf(stderr, "cannot open %s\n", qPrintable(port));
    std::exit(1);
  }
  const RegisterNode node = test::RegisterRecord(u"0", u"WORD", u"1", u"");
  const auto start = Clock::now();
  const uint64_t repliesBefore = bus.dispatcher().counts().replies;
  for (int address = 1; address <= 247; ++address) {
    bus.modbus().BuildReadRequest(node, IntToStr(address));
    bus.dispatcher().Exchange(window);
  }
  const double seconds = msBetween(start, Clock::now()) / 1000.0;
  found = static_cast<int>(bus.dispatcher().counts().replies - repliesBefore);
  bus.close();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString bin = QCoreApplication::applicationDirPath();

  QProcess sim;
  QStringList args{QStringLiteral("--baud"), QString::number(kBaud),        QStringLiteral("--parity"),
                   QStringLiteral("e"),      QStringLiteral("--registers"), QStringLiteral("0:1")};
  for (const char* slave : kSlaves) args << QStringLiteral("--slave") << QString::fromLatin1(slave);
  sim.start(QDir(bin).filePath(QStringLiteral("velnorex-sim")), args);
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
    std::fprintf(stderr, "velnorex-sim did not start\n");
    return 1;
  }
  const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();

  // The window's part of the exchange, as little as it can be.
  test::TransactionRecorder window;
  window.keepEntries = false;
  window.onPending = [] { QCoreApplication::processEvents(); };
  Bus bus(std::make_unique<LinkDevice>(), window);
  std::printf(
      "scan_bench: addresses 1..247 at %d baud, even parity, transducers at 7, 100 and 230, against "
      "velnorex-sim with 11 bits per character of line time (%s)\n",
      kBaud, qPrintable(port));

  // What the waits alone add up to: 244 silent addresses at the first wait each, 3 answers of 8 + 3.5 + 7
  // characters.
  SearchPlan plan;
  plan.settings = {{kBaud, 'e'}};
  LineSearch nominal(bus, plan);
  const double boundSeconds =
      (244.0 * nominal.firstWaitMs(plan.settings[0]) + 3.0 * LineSearch::LineTimeMs(8 + 3.5 + 7, kBaud)) /
      1000.0;

  const DialogFigures d = runDialog(bus, port);
  int exchangeFound = 0;
  const double baseline = runThroughExchange(bus, window, port, exchangeFound);

  std::printf("  whole search (dialog, one probe per step): %6.2f s, %zu found\n", d.seconds, d.found);
  std::printf("  the waits alone:                          %6.2f s  (search / waits = %.2f)\n", boundSeconds,
              d.seconds / boundSeconds);
  std::printf("  baseline, the probes through Exchange:    %6.2f s, %d found  (search / baseline = %.2f)\n",
              baseline, exchangeFound, d.seconds / baseline);
  std::printf(
      "  progress updates: %d, %.1f per second on average, longest gap %.1f ms (%.1f per second at "
      "the slowest)\n",
      d.updates, d.updates / d.seconds, d.longestUpdateGapMs, 1000.0 / d.longestUpdateGapMs);
  std::printf("  longest an input event waited for the event loop: %.1f ms\n", d.longestInputWaitMs);

  sim.terminate();
  sim.waitForFinished(5000);
  return 0;
}
