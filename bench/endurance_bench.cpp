// Endurance of a list recording: four registers recorded round after round at full speed against velnorex-sim
// on a pseudo-terminal (no line time), through the real window with the traffic monitor open, the CSV file
// and the trend. Prints the resident memory after the warm-up and at the end, and the growth per round.
// Usage: endurance_bench [ROUNDS (default 200000)] [WARM-UP ROUNDS (default 10000)]
//                        [--keep-every-line [--without-undo]]
// (--keep-every-line: the log window keeps every line of the list and its undo history, as it did before it
// was bounded, to see what the lines cost; --without-undo: the lines without the undo history)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string_view>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/message_box.h"
#include "bench/bench_window.h"
#include "recording/trend_view.h"

using namespace velnorex;

namespace {

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const uint64_t total = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200000;
  const uint64_t warmUp = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
  const bool keepEveryLine = argc > 3 && std::string_view(argv[3]) == "--keep-every-line";
  const bool keepUndo = keepEveryLine && !(argc > 4 && std::string_view(argv[4]) == "--without-undo");
  if (total <= warmUp) {
    std::fprintf(stderr, "usage: endurance_bench [ROUNDS] [WARM-UP ROUNDS], ROUNDS above WARM-UP\n");
    return 2;
  }
  // The CSV file is synced at every row: on a memory file system the disk does not set the pace.
  QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                        ? QStringLiteral("/dev/shm/endurance-XXXXXX")
                        : QDir::tempPath() + QStringLiteral("/endurance-XXXXXX"));

  // Four registers of one slave: an INT, a HEX, a REAL of two words and a WORD.
  const std::vector<RegisterNode> registers = {
      {u"Temperatura", u"", u"100", u"INT", u"1", u"RO", u""},
      {u"Status", u"", u"101", u"HEX", u"1", u"RO", u""},
      {u"Wilgotność", u"", u"102", u"REAL", u"2", u"RO", u""},
      {u"Licznik", u"", u"104", u"WORD", u"1", u"RO", u""},
  };
  QProcess sim;
  const QString port =
      bench::StartSimulator(sim, {QStringLiteral("--value"), QStringLiteral("100:INT:1:-1234"),
                                  QStringLiteral("--value"), QStringLiteral("101:HEX:1:$FB2E"),
                                  QStringLiteral("--wave"), QStringLiteral("102:REAL:2:20:80:60"),
                                  QStringLiteral("--value"), QStringLiteral("104:WORD:1:7")});
  TForm1 form(bench::WindowPaths(dir));
  bench::ShowAndConnect(form, port, -1);
  form.lineMonitor.show();
  for (const RegisterNode& node : registers) form.VLModel->AddToWatchList(&node, QStringLiteral("1"));
  form.cbxRecList->setChecked(true);
  form.eInterval->setText(QStringLiteral("0,5"));
  const double atStart = ResidentMb();
  form.btRecClick();
  if (!form.listRecording.running() || !form.recordingOutputs.file()) {
    std::fprintf(stderr, "the list recording did not start with its file\n");
    return 1;
  }
  // The rounds are driven here, one as soon as the last has ended; the timer's ticks would only wait.
  form.ListRecordTimer.stop();
  if (keepEveryLine) {
    form.listRecording.setLogWindowLimit(std::numeric_limits<int>::max(), 0);
    form.Memo1->setUndoRedoEnabled(keepUndo);
  }

  std::printf("endurance: list recording of 4 registers, full speed against velnorex-sim, monitor open%s\n",
              keepEveryLine
                  ? (keepUndo ? ", every log line and the undo history kept" : ", every log line kept")
                  : "");
  std::printf("resident memory before the recording: %.1f MB\n", atStart);
  QElapsedTimer clock;
  clock.start();
  double atWarmUp = 0;
  const uint64_t step = std::max<uint64_t>(total / 10, 1);
  while (form.listRecording.rounds() < total) {
    const uint64_t before = form.listRecording.rounds();
    form.listRecording.RecordTick();
    while (form.listRecording.rounds() == before && form.listRecording.running())
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!form.listRecording.running()) {
      std::fprintf(stderr, "the recording stopped after %llu rounds\n",
                   static_cast<unsigned long long>(before));
      return 1;
    }
    const uint64_t rounds = form.listRecording.rounds();
    if (rounds == warmUp) {
      atWarmUp = ResidentMb();
      std::printf("after %llu rounds (warm-up): %.1f MB, %.0f s\n", static_cast<unsigned long long>(rounds),
                  atWarmUp, clock.elapsed() / 1000.0);
    } else if (rounds % step == 0) {
      std::printf("after %llu rounds: %.1f MB, %.0f s\n", static_cast<unsigned long long>(rounds),
                  ResidentMb(), clock.elapsed() / 1000.0);
    }
    std::fflush(stdout);
  }
  const double atEnd = ResidentMb();
  const uint64_t failed = form.dispatcher.counts().timeouts + form.dispatcher.counts().crcErrors;
  std::printf("after %llu rounds: %.1f MB (%.0f s, %.0f rounds/s)\n", static_cast<unsigned long long>(total),
              atEnd, clock.elapsed() / 1000.0, total * 1000.0 / std::max<qint64>(clock.elapsed(), 1));
  std::printf("growth after the warm-up: %.2f MB over %llu rounds, %.1f bytes a round\n", atEnd - atWarmUp,
              static_cast<unsigned long long>(total - warmUp),
              (atEnd - atWarmUp) * 1024 * 1024 / static_cast<double>(total - warmUp));
  std::printf(
      "log window: %d lines, %llu dropped; trend: %zu of %zu readings kept; CSV rows %zu; failed reads "
      "%llu\n",
      form.Memo1->document()->blockCount(),
      static_cast<unsigned long long>(form.listRecording.droppedLogLines()),
      form.chTrend->curves().empty() ? size_t{0} : form.chTrend->curves()[0].points().size(),
      form.chTrend->curves().empty() ? size_t{0} : form.chTrend->curves()[0].count(),
      form.recordingOutputs.file()->rows(), static_cast<unsigned long long>(failed));
  form.btRecClick();
  form.close();
  sim.terminate();
  sim.waitForFinished(5000);
  return 0;
}
