// The program entry: the few command-line options (no display needed), or the application with its error
// handler and the main window, which a SIGINT, SIGTERM or SIGHUP closes through its normal exit steps.
#include <cstdio>

#include <QCoreApplication>

#include "app/application.h"
#include "app/command_line.h"
#include "app/exit_signals.h"
#include "app/language.h"
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
  const TForm1::Paths paths = TForm1::Paths::ForExecutable();
  const QString asked = velnorex::LanguageArgument(app.arguments());
  if (!asked.isEmpty() && !velnorex::IsKnownLanguage(asked)) {
    std::fprintf(stderr, "velnorex: --lang takes en or pl, not \"%s\"\n", asked.toLocal8Bit().constData());
    return 2;
  }
  // Before the window exists: every text is made in the chosen language.
  const QString language = velnorex::ChosenLanguage(app.arguments(), paths.settingsFile);
  if (!velnorex::InstallLanguage(app, language))
    std::fprintf(stderr, "velnorex: no translation for %s\n", language.toLocal8Bit().constData());
  // Before the window exists: a signal during its start-up waits in the pipe until the loop runs.
  velnorex::ExitSignals exitSignals;
  TForm1 w(paths);
  w.setLanguage(language);
  exitSignals.onSignal = [&w](int) {
    w.close();
    // Also ends a modal message box's loop, so nothing waits for an operator who is gone.
    QCoreApplication::exit(0);
  };
  w.show();
  return app.exec();
}
