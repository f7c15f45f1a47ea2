// Times a group read of the 20 measuring registers of PMV-3.dat against velnorex-sim emulating the line time
// of 19200 baud on a pseudo-terminal: the whole road from ReadNode to the last value in the tree.
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "registers/register_operations.h"
#include "modbus/link_device.h"

using namespace velnorex;

namespace {

// The main window as far as a group read needs it: steps go through the real event queue.
class BenchWindow : public RegisterOperationsHost, public ExchangeDispatcher::Window {
 public:
  QString slaveText() const override { return QStringLiteral("1"); }
  bool singleRegisterWrites() const override { return true; }
  void restartHighlightTimer() override {}
  void stopHighlightTimer() override {}
  void postQueued(std::function<void()> step) override {
    QMetaObject::invokeMethod(qApp, std::move(step), Qt::QueuedConnection);
  }
  void showMessage(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
  void setRegisterText(const QString&) override {}
  void stopRecording() override {}
  void processPendingMessages() override { QCoreApplication::processEvents(); }
  void showMessage(const std::u16string& text) override { showMessage(QString::fromStdU16String(text)); }
  void appendLogLine(const std::u16string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString binDir = QCoreApplication::applicationDirPath();
  const QString definition = QDir(binDir).filePath(QStringLiteral("PMV-3.dat"));
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;

  QProcess sim;
  sim.start(QDir(binDir).filePath(QStringLiteral("velnorex-sim")),
            {QStringLiteral("--definition"), definition, QStringLiteral("--baud"), QStringLiteral("19200")});
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
    std::fprintf(stderr, "velnorex-sim did not start\n");
    return 1;
  }
  const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();

  ViewState state;
  RegisterTreeModel model(state);
  RegisterTreeView view;
  view.setRegisterModel(&model);
  BenchWindow window;
  // No traffic monitor: the figure is the group read's own, as it has been measured since the first.
  Bus bus(std::make_unique<LinkDevice>(), window, Bus::Setup::WithoutMonitor());
  RegisterOperations ops(state, bus.modbus(), bus.dispatcher(), model, view, window);
  model.loadFromFile(definition.toStdString());
  if (!bus.open(port, QStringLiteral("19200,n,8,2"))) {
    std::fprintf(stderr, "cannot open %s\n", qPrintable(port));
    return 1;
  }
  RegisterTreeNode* group = model.tree().root().child(0);  // "Rejestry pomiarowe", 20 registers
  std::printf("group read of %zu registers at 19200 baud (emulated), %d rounds\n", group->childCount(),
              rounds);

  double total = 0, best = 1e9, worst = 0;
  for (int round = 0; round < rounds; ++round) {
    QElapsedTimer timer;
    timer.start();
    ops.ReadNode(group);
    while (state.GroupActive) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double ms = timer.nsecsElapsed() / 1e6;
    total += ms;
    best = std::min(best, ms);
    worst = std::max(worst, ms);
  }
  std::printf(
      "mean %.1f ms, best %.1f ms, worst %.1f ms (%.1f ms per register); failed transactions %llu, late "
      "replies %llu\n",
      total / rounds, best, worst, total / rounds / group->childCount(),
      static_cast<unsigned long long>(bus.dispatcher().counts().timeouts +
                                      bus.dispatcher().counts().crcErrors +
                                      bus.dispatcher().counts().exceptions),
      static_cast<unsigned long long>(bus.dispatcher().counts().lateReplies));
  std::printf("last value: %s = %s\n", qPrintable(RegisterTreeModel::VTGetText(group->child(19), 0)),
              qPrintable(RegisterTreeModel::VTGetText(group->child(19), 2)));
  bus.close();
  sim.terminate();
  sim.waitForFinished(5000);
  return 0;
}
