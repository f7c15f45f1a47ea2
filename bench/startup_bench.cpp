// Start-up time of the program to a shown main window, offscreen: the whole process (loading, application,
// window, settings) from its start until the window is exposed. Prints each run and the median of five.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/application.h"
#include "app/main_window.h"

namespace {

// The measured process: the same steps as the program's entry, then a line on stdout once the window shows.
int runChild(int argc, char** argv, const QString& folder) {
  velnorex::VelnorexApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("velnorex"));
  const TForm1::Paths paths{
      folder + QStringLiteral("/velnorex.INI"), folder + QStringLiteral("/velnorex.log"),
      folder + QStringLiteral("/velnorex.lst"), folder, folder + QStringLiteral("/recordings")};
  TForm1 w(paths);
  w.show();
  if (!QTest::qWaitForWindowExposed(&w, 10000)) return 1;
  std::puts("shown");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
    return runChild(argc, argv, QString::fromLocal8Bit(argv[2]));

  QCoreApplication app(argc, argv);
  QTemporaryDir folder;
  std::vector<double> runs;
  for (int i = 0; i < 5; ++i) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), folder.path()});
    if (!child.waitForReadyRead(30000) || !child.readLine().startsWith("shown")) {
      std::fprintf(stderr, "run %d: the window did not show\n", i + 1);
      return 1;
    }
    runs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    child.waitForFinished(30000);
    std::printf("run %d: %.1f ms\n", i + 1, runs.back());
  }
  std::sort(runs.begin(), runs.end());
  std::printf("start-up to a shown window, offscreen: median %.1f ms (min %.1f, max %.1f)\n", runs[2],
              runs.front(), runs.back());
  return 0;
}
