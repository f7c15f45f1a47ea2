// --help, --version and --paths: text on stdout, usage errors on stderr.
#include "app/command_line.h"

#include <cstdio>

#include "registers/device_files.h"
#include "velnorex_version.h"

namespace velnorex {

namespace {

void print(std::FILE* to, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), to);
}

QString usage() {
  return QStringLiteral(
      "Usage: velnorex [--paths | --version | --help | --lang en|pl]\n"
      "Without options the window opens.\n"
      "  --lang     the window's language (Polish by default); the choice made in the window\n"
      "             is kept in the settings file\n"
      "  --paths    where the settings, log and watch list are kept, the folders of the device\n"
      "             definitions, and each definition listed in \"Typ:\" with its file\n"
      "  --version  the version\n"
      "  --help     this text\n");
}

}  // namespace

bool IsCommandLineRequest(const QStringList& arguments) {
  for (const QString& argument : arguments.mid(1))
    if (argument == QLatin1String("--help") || argument == QLatin1String("--version") ||
        argument == QLatin1String("--paths"))
      return true;
  return false;
}

int RunCommandLine(const QStringList& arguments, const TForm1::Paths& paths) {
  if (arguments.size() != 2) {
    print(stderr, usage());
    return 2;
  }
  const QString option = arguments.at(1);
  if (option == QLatin1String("--version")) {
    print(stdout, QStringLiteral("velnorex " VELNOREX_VERSION "\n"));
    return 0;
  }
  if (option == QLatin1String("--paths")) {
    QString text = QStringLiteral("settings\t%1\nlog\t%2\nwatch list\t%3\nrecordings\t%4\n")
                       .arg(paths.settingsFile, paths.logFile, paths.watchListFile, paths.recordingsFolder);
    for (const QString& folder : paths.deviceFolders) text += QStringLiteral("definitions\t%1\n").arg(folder);
    for (const QString& name : ListDeviceFiles(paths.deviceFolders))
      text += QStringLiteral("definition\t%1\n")
                  .arg(DeviceFilePath(DeviceFolderOf(paths.deviceFolders, name), name));
    print(stdout, text);
    return 0;
  }
  print(stdout, usage());
  return 0;
}

}  // namespace velnorex
