// What the benchmarks that drive the real window share: velnorex-sim started beside them, and the window with
// its files in a private folder, shown and connected to the simulator at 19200 baud.
#pragma once

#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/message_box.h"

namespace velnorex::bench {

// Starts velnorex-sim with `args`; the port it prints. Ends the benchmark when the simulator does not start.
inline QString StartSimulator(QProcess& sim, const QStringList& args) {
  sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velnorex-sim"), args);
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
    std::fprintf(stderr, "velnorex-sim did not start\n");
    std::exit(1);
  }
  return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

// The window's files (settings, log, list, definitions, recordings) in `dir`.
inline TForm1::Paths WindowPaths(const QTemporaryDir& dir) {
  return TForm1::Paths{dir.filePath(QStringLiteral("v.INI")), dir.filePath(QStringLiteral("v.log")),
                       dir.filePath(QStringLiteral("v.lst")), QStringList{dir.path()},
                       dir.filePath(QStringLiteral("recordings"))};
}

// Shows `form` and connects it to `port` at 19200 baud with the parity box's item `parityIndex` (-1: as the
// window starts); a message
// box would block a benchmark, so messages go to stderr. Ends the benchmark when the port does not open.
inline void ShowAndConnect(TForm1& form, const QString& port, int parityIndex) {
  SetMessageBoxHook([](const ShownMessage& m) { std::fprintf(stderr, "message: %s\n", qPrintable(m.text)); });
  form.resize(1200, 800);
  form.show();
  form.cbxBaud->setCurrentIndex(1);  // 19200
  if (parityIndex >= 0) form.cbxParity->setCurrentIndex(parityIndex);
  form.ComCBox->setEditText(port);
  form.Connect();
  if (!form.serial.PortOpen()) {
    std::fprintf(stderr, "cannot open %s\n", qPrintable(port));
    std::exit(1);
  }
}

}  // namespace velnorex::bench
