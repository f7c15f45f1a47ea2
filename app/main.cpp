// The program entry: the few command-line options (no display needed), or the application with its error
// handler and the main window, which a SIGINT, SIGTERM or SIGHUP closes through its normal exit steps.
#include <QCoreApplication>

#include "app/application.h"
#include "app/command_line.h"
#include "app/exit_signals.h"
#include "app/main_window.h"
#include "app/message_box.h"

int main(int argc, char** argv) {
  {
    QCoreApplication options(argc, argv);
    if (velnorex::IsCommandLineRequest(options.arguments()))
      return velnorex::RunCommandLine(options.arguments(), TForm1::Paths::ForExecutable());
  }
  velnorex::VelnorexApplication app(argc, argv);
  app.setApplicationName(QString::fromLatin1(velnorex::kApplicationTitle));
  // Before the window exists: a signal during its start-up waits in the pipe until the loop runs.
  velnorex::ExitSignals exitSignals;
  TForm1 w;
  exitSignals.onSignal = [&w](int) {
    w.close();
    // Also ends a modal message box's loop, so nothing waits for an operator who is gone.
    QCoreApplication::exit(0);
  };
  w.show();
  return app.exec();
}
