// A list recording of 10 registers at 19200 baud against velnorex-sim emulating the line time, interval
// 0,5 s, through the real window: rounds, skipped ticks and the longest round (CSV line and trend included).
// Baseline, measured in the same run: a group read of the same 10 registers through the register operations.
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
#include "tests/support/tree_builder.h"
#include "treefile/tree_stream.h"

using namespace velnorex;

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
  sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velnorex-sim"), simArgs);
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
    std::fprintf(stderr, "velnorex-sim did not start\n");
    return 1;
  }
  const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();

  SetMessageBoxHook([](const ShownMessage& m) { std::fprintf(stderr, "message: %s\n", qPrintable(m.text)); });
  TForm1 form(TForm1::Paths{dir.filePath(QStringLiteral("v.INI")), dir.filePath(QStringLiteral("v.log")),
                            dir.filePath(QStringLiteral("v.lst")), QStringList{dir.path()},
                            dir.filePath(QStringLiteral("recordings"))});
  form.resize(1200, 800);
  form.show();
  form.cbxBaud->setCurrentIndex(1);  // 19200
  form.cbxParity->setCurrentIndex(1);
  form.ComCBox->setEditText(port);
  form.Connect();
  if (!form.serial.PortOpen()) {
    std::fprintf(stderr, "cannot open %s\n", qPrintable(port));
    return 1;
  }

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

  // --- the list recording ---
  for (RegisterTreeNode* node = loaded->firstChild(); node; node = node->nextSibling())
    form.VLModel->AddToWatchList(&node->data, QStringLiteral("1"));
  form.cbxRecList->setChecked(true);
  form.eInterval->setText(QStringLiteral("0,5"));
  const uint64_t failuresBefore = form.dispatcher.counts().timeouts + form.dispatcher.counts().crcErrors;
  form.btRecClick();
  if (!form.listRecording.running()) {
    std::fprintf(stderr, "the list recording did not start\n");
    return 1;
  }
  QElapsedTimer run;
  run.start();
  while (run.elapsed() < seconds * 1000) QTest::qWait(50);
  const uint64_t rounds = form.listRecording.rounds();
  const uint64_t skipped = form.listRecording.skippedTicks();
  const double longest = form.listRecording.longestRoundMs();
  const size_t rows = form.recordingOutputs.file() ? form.recordingOutputs.file()->rows() : 0;
  form.btRecClick();
  const uint64_t failures =
      form.dispatcher.counts().timeouts + form.dispatcher.counts().crcErrors - failuresBefore;

  std::printf("list recording of 10 REAL registers at 19200 baud (emulated), interval 0,5 s, %d s\n",
              seconds);
  std::printf("rounds %llu (expected about %d), skipped ticks %llu, CSV rows %zu, failed reads %llu\n",
              static_cast<unsigned long long>(rounds), seconds * 2 + 1,
              static_cast<unsigned long long>(skipped), rows, static_cast<unsigned long long>(failures));
  std::printf("longest round %.1f ms of the 500 ms interval (line-time estimate %.1f ms)\n", longest,
              ListRoundMs(form.VLModel->entries(), form.serial.DeviceControl()));
  std::printf("baseline, group read of the same 10 registers: median %.1f ms\n", groupMs[2]);
  std::printf("ratio longest round / group read: %.2f\n", longest / groupMs[2]);
  form.close();
  sim.terminate();
  sim.waitForFinished(5000);
  return 0;
}
