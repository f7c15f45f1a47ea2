// Choosing where the settings, the log, the watch list and the definitions are.
#include "app/file_locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "velnorex_version.h"

namespace velnorex {

namespace {

const QString kFolderName = QStringLiteral("velnorex");

}  // namespace

QString PackagedDefinitionsFolder(const QString& executableFolder) {
  return QDir::cleanPath(executableFolder + u'/' + QStringLiteral(VELNOREX_DEFINITIONS_FROM_BIN));
}

bool KeepsFilesBesideExecutable(const QString& executableFolder) {
  if (QFileInfo(PackagedDefinitionsFolder(executableFolder)).isDir()) return false;
  // Trying is the only sure test: permissions, access lists and read-only mounts all have their say.
  QTemporaryFile probe(executableFolder + QStringLiteral("/.velnorex-probe-XXXXXX"));
  return probe.open();
}

FileLocations LocateFiles(const QString& executable, bool besideExecutable, const QString& configHome,
                          const QString& dataHome) {
  const QFileInfo exe(executable);
  const QString userData = dataHome + u'/' + kFolderName;
  FileLocations l;
  if (besideExecutable) {
    // A Windows program ends in ".exe", which the new extension replaces; a Linux one has none to replace.
    const QString base =
        exe.path() + u'/' + (exe.suffix().isEmpty() ? exe.fileName() : exe.completeBaseName());
    l.settingsFile = base + QStringLiteral(".INI");
    l.logFile = base + QStringLiteral(".log");
    l.watchListFile = base + QStringLiteral(".lst");
  } else {
    l.settingsFile = configHome + u'/' + kFolderName + QStringLiteral("/velnorex.INI");
    l.logFile = userData + QStringLiteral("/velnorex.log");
    l.watchListFile = userData + QStringLiteral("/velnorex.lst");
  }
  // Recordings are the user's data, however the program was installed: they outlive any copy of it.
  l.recordingsFolder = userData + QStringLiteral("/recordings");
  for (const QString& folder :
       {userData + QStringLiteral("/definitions"), exe.path(), PackagedDefinitionsFolder(exe.path())}) {
    const QString clean = QDir::cleanPath(folder);
    if (!l.deviceFolders.contains(clean)) l.deviceFolders << clean;
  }
  return l;
}

FileLocations LocateProgramFiles() {
  const QString executable = QCoreApplication::applicationFilePath();
  const bool beside = KeepsFilesBesideExecutable(QFileInfo(executable).path());
  const FileLocations l =
      LocateFiles(executable, beside, QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  if (!beside) {
    // A folder that can't be made shows up as the save's own error at exit.
    QDir().mkpath(QFileInfo(l.settingsFile).path());
    QDir().mkpath(QFileInfo(l.logFile).path());
  }
  return l;
}

}  // namespace velnorex
