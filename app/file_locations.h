// Where the program keeps its files: beside the executable for a copied or portable program whose folder
// takes files, else in the user's own folders; and the folders its device definitions are listed from.
#pragma once

#include <QString>
#include <QStringList>

namespace velnorex {

struct FileLocations {
  QString settingsFile;       // ".INI"
  QString logFile;            // ".log"
  QString watchListFile;      // ".lst"
  QStringList deviceFolders;  // the *.dat files, the user's own folder first
  QString recordingsFolder;   // recordings, always in the user's data folder
};

// An installed program finds its packaged definitions in <prefix>/share/velnorex/definitions, relative to
// its own folder <prefix>/bin.
QString PackagedDefinitionsFolder(const QString& executableFolder);

// True for a copied or portable program: its folder takes a new file, and it is no installed program (one
// with packaged definitions beside its folder). An installed program writes into the user's folders even
// where it could write into its own (root, or a package unpacked into a folder of the user's), so an
// installation never collects one user's settings.
bool KeepsFilesBesideExecutable(const QString& executableFolder);

// `executable` is the program's full path; `configHome` and `dataHome` the user's folders for settings and
// for data ($XDG_CONFIG_HOME and $XDG_DATA_HOME on Linux). Beside the executable the files are named after
// it; in the user's folders they are velnorex/velnorex.INI under configHome and velnorex/velnorex.log and
// .lst under dataHome. Definitions: dataHome/velnorex/definitions, the executable's folder, the packaged
// folder.
FileLocations LocateFiles(const QString& executable, bool besideExecutable, const QString& configHome,
                          const QString& dataHome);

// The running program's locations, from its executable and Qt's standard locations; the user's folders are
// created when they are used.
FileLocations LocateProgramFiles();

}  // namespace velnorex
