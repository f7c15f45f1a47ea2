// A list recording of 10 neighbouring REAL registers at 19200 baud against velnorex-sim emulating the line
// time, through the real window: one request per register at 0,5 s, then planned reads (one request for the
// ten) at 0,5 s and at 0,1 s; rounds, skipped ticks and the longest round (CSV line and trend included),
// against the line time of the planned request and reply. Then the configuration save of THV-21's writable
// registers, per register and planned: on a transducer that does not map 105 (the first save after
// connecting, and later ones) and on one that does. Baseline, measured in the same run: a group read of the
// same 10 registers through the register operations.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"
#include "bench/bench_window.h"
#include "config/config_run.h"
#include "modbus/read_planner.h"
#include "tests/support/tree_builder.h"
#include "text/number_text.h"
#include "treefile/tree_stream.h"

using namespace velnorex;

namespace {

struct ListFigures {
  uint64_t rounds = 0, skipped = 0, requests = 0, failures = 0;
  size_t rows = 0;
  double longest = 0, mean = 0;
};

ListFigures RecordList(TForm1& form, bool blockReads, const QString& interval, int seconds) {
  ListFigures figures;
  form.listRecording.setBlockReads(blockReads);
  form.eInterval->setText(interval);
  const uint64_t failuresBefore = form.dispatcher.counts().timeouts + form.dispatcher.counts().crcErrors;
  form.btRecClick();
  if (!form.listRecording.running()) {
    std::fprintf(stderr, "the list recording did not start\n");
    std::exit(1);
  }
  QElapsedTimer run;
  run.start();
  while (run.elapsed() < seconds * 1000) QTest::qWait(50);
  figures.rounds = form.listRecording.rounds();
  figures.skipped = form.listRecording.skippedTicks();
  figures.longest = form.listRecording.longestRoundMs();
  figures.mean = form.listRecording.meanRoundMs();
  figures.requests = form.listRecording.requests();
  figures.rows = form.recordingOutputs.file() ? form.recordingOutputs.file()->rows() : 0;
  form.btRecClick();
  figures.failures = form.dispatcher.counts().timeouts + form.dispatcher.counts().crcErrors - failuresBefore;
  return figures;
}

void PrintList(const char* what, const QString& interval, int seconds, const ListFigures& f) {
  std::printf(
      "%s, interval %s s, %d s: rounds %llu (expected about %d), skipped ticks %llu, CSV rows %zu, "
      "requests %llu, failed reads %llu\n",
      what, qPrintable(interval), seconds, static_cast<unsigned long long>(f.rounds),
      static_cast<int>(seconds * 1000 / ListIntervalMs(interval.toStdU16String())) + 1,
      static_cast<unsigned long long>(f.skipped), f.rows, static_cast<unsigned long long>(f.requests),
      static_cast<unsigned long long>(f.failures));
  std::printf("  round: longest %.1f ms, mean %.1f ms\n", f.longest, f.mean);
}

// One configuration save of every writable register of `tree`; its time in milliseconds and its requests.
double SaveConfiguration(TForm1& form, RegisterTree& tree, bool blockReads, uint64_t& requests) {
  const uint64_t before = form.dispatcher.counts().replies + form.dispatcher.counts().timeouts +
                          form.dispatcher.counts().crcErrors;
  ConfigRun run(form.modbus, form.dispatcher, form.bus.readRefusals(), u"1", true);
  run.setBlockReads(blockReads);
  QElapsedTimer timer;
  timer.start();
  run.prepareSave(tree.root());
  while (run.step()) {
  }
  const double ms = timer.nsecsElapsed() / 1e6;
  if (run.phase() != ConfigRun::Phase::Read) std::fprintf(stderr, "the configuration save did not end\n");
  for (const ConfigRun::Item& item : run.items())
    if (!item.before.ok) std::fprintf(stderr, "not read: %s\n", ToUtf8(item.before.error).c_str());
  requests = form.dispatcher.counts().replies + form.dispatcher.counts().timeouts +
             form.dispatcher.counts().crcErrors - before;
  return ms;
}

// Saves of one case: their times and the requests of the last.
struct SaveFigures {
  std::vector<double> ms;
  uint64_t requests = 0;

  void add(TForm1& form, RegisterTree& tree, bool blockReads) {
    ms.push_back(SaveConfiguration(form, tree, blockReads, requests));
  }
  double median() {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
  }
};

void PrintSave(const char* what, SaveFigures& planned, SaveFigures& baseline) {
  std::printf(
      "  %s: planned %.1f ms (%llu requests), one request per register %.1f ms (%llu requests): %.2f\n", what,
      planned.median(), static_cast<unsigned long long>(planned.requests), baseline.median(),
      static_cast<unsigned long long>(baseline.requests), planned.median() / baseline.median());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  QTemporaryDir dir;

  // Ten REAL registers (two words each), in a definition for the baseline's group read.
  test::TreeBuilder tree;
  tree.group(u"Pomiary");
  QStringList simArgs = {QStringLiteral("--baud"), QStringLiteral("19200")};
  for (int i = 0; i < 10; ++i) {
    const std::u16string address = QString::number(100 + 2 * i).toStdU16String();
    tree.reg(u"Kanał " + QString::number(i + 1).toStdU16String(), address, u"REAL", u"2", u"RO");
    simArgs << QStringLiteral("--value") << QStringLiteral("%1:REAL:2:%2,5").arg(100 + 2 * i).arg(20 + i);
  }
  tree.save(dir.filePath(QStringLiteral("BENCH.dat")).toStdString());

  QProcess sim;
  const QString port = bench::StartSimulator(sim, simArgs);
  TForm1 form(bench::WindowPaths(dir));
  bench::ShowAndConnect(form, port, 1);

  // --- baseline: the same ten registers as one group read, five times ---
  form.registerOps.cbxDeviceSelect(dir.path(), QStringLiteral("BENCH.dat"));
  RegisterTreeNode* loaded = form.VTModel->tree().root().child(0);
  std::vector<double> groupMs;
  for (int i = 0; i < 5; ++i) {
    QElapsedTimer timer;
    timer.start();
    form.registerOps.ReadNode(loaded);
    while (form.state.GroupActive) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    groupMs.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(groupMs.begin(), groupMs.end());

  // --- the list recording: one request per register, then planned ---
  for (RegisterTreeNode* node = loaded->firstChild(); node; node = node->nextSibling())
    form.VLModel->AddToWatchList(&node->data, QStringLiteral("1"));
  form.cbxRecList->setChecked(true);
  const ListFigures perRegister = RecordList(form, false, QStringLiteral("0,5"), seconds);
  const ListFigures planned = RecordList(form, true, QStringLiteral("0,5"), seconds);
  const ReadPlan& plan = form.listRecording.plan();
  const ListFigures fast = RecordList(form, true, QStringLiteral("0,1"), seconds);

  const PortSettings& line = form.serial.DeviceControl();
  std::printf("list recording of 10 REAL registers at 19200 baud (emulated)\n");
  PrintList("one request per register", QStringLiteral("0,5"), seconds, perRegister);
  PrintList("planned", QStringLiteral("0,5"), seconds, planned);
  PrintList("planned", QStringLiteral("0,1"), seconds, fast);
  double lineMs = 0;
  for (const ReadBlock& block : plan.blocks()) lineMs += ReadLineMs(block.request, line);
  std::printf(
      "planned requests a round: %zu (registers in the first: %d); their line time (11 bits a character, "
      "two silences of 3,5 characters each) %.1f ms\n",
      plan.blocks().size(), plan.blocks().empty() ? 0 : plan.blocks()[0].request.count, lineMs);
  std::printf("longest planned round / line time: %.2f (0,5 s), %.2f (0,1 s); goal <= 1.25\n",
              planned.longest / lineMs, fast.longest / lineMs);
  std::printf("planned / one request per register: longest round %.2f, mean round %.2f; goal <= 0.35\n",
              planned.longest / perRegister.longest, planned.mean / perRegister.mean);
  std::printf("interval 0,1 s: %llu ticks skipped in %d s; goal 0\n",
              static_cast<unsigned long long>(fast.skipped), seconds);
  std::printf("baseline, group read of the same 10 registers: median %.1f ms\n", groupMs[2]);
  std::printf("ratio longest planned round / group read: %.2f\n", planned.longest / groupMs[2]);

  // --- the configuration save of THV-21's writable registers ---
  // (a) the simulator serves THV-21 from its definition, which does not map 105 inside the writable block
  // 100-109: the first planned save after connecting is refused that block once, later ones remember it;
  // (b) a transducer that maps the whole block (105 as well). Each planned case against per-register saves
  // measured alongside it on the same simulator.
  const QString definition = QCoreApplication::applicationDirPath() + QStringLiteral("/THV-21.dat");
  RegisterTree thv;
  LoadFromFile(thv, definition.toStdString());
  const auto connectTo = [&](const QStringList& extra) {
    form.Disconnect();
    sim.terminate();
    sim.waitForFinished(5000);
    const QString thvPort =
        bench::StartSimulator(sim, QStringList{QStringLiteral("--definition"), definition,
                                               QStringLiteral("--baud"), QStringLiteral("19200")} +
                                       extra);
    form.ComCBox->setEditText(thvPort);
    form.Connect();
    if (!form.serial.PortOpen()) {
      std::fprintf(stderr, "cannot open %s\n", qPrintable(thvPort));
      std::exit(1);
    }
  };
  SaveFigures firstSave, firstBaseline, laterSave, laterBaseline, wholeSave, wholeBaseline;
  connectTo({});
  for (int i = 0; i < 5; ++i) {
    // A new connection forgets what the transducer refused.
    form.Disconnect();
    form.Connect();
    firstSave.add(form, thv, true);
    firstBaseline.add(form, thv, false);
    laterSave.add(form, thv, true);
    laterBaseline.add(form, thv, false);
  }
  connectTo({QStringLiteral("--value"), QStringLiteral("105:WORD:1:0")});
  for (int i = 0; i < 5; ++i) {
    wholeSave.add(form, thv, true);
    wholeBaseline.add(form, thv, false);
  }
  std::printf(
      "configuration save of THV-21's writable registers at 19200 baud (emulated), median of 5, planned "
      "against one request per register:\n");
  PrintSave("(a) 105 not mapped, first save after connecting", firstSave, firstBaseline);
  PrintSave("(a) 105 not mapped, later saves", laterSave, laterBaseline);
  PrintSave("(b) 105 mapped, the whole block", wholeSave, wholeBaseline);
  std::printf("(b) planned / one request per register: %.2f; goal <= 0.5\n",
              wholeSave.median() / wholeBaseline.median());
  form.close();
  sim.terminate();
  sim.waitForFinished(5000);
  return 0;
}
