// Where the files live: beside a copied or portable program, in the user's folders for an installed one or
// one whose folder takes no file; definitions from every folder, the user's own first. The real program,
// started as a process, keeps its settings there across two starts and writes them when a signal ends it.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/file_locations.h"
#include "registers/device_files.h"
#include "tests/app/app_fixture.h"
#include "tests/support/as_nobody.h"
#include "tests/support/program_process.h"
#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

constexpr auto kReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                 QFile::ReadOther | QFile::ExeOther;

// The four places as one list, so a comparison shows them side by side.
QStringList Places(const FileLocations& l) {
  return {l.settingsFile, l.logFile, l.watchListFile, l.recordingsFolder};
}

TEST(FileLocations, BesideTheExecutableOrInTheUsersFolders) {
  const QString config = QStringLiteral("/h/.config");
  const QString data = QStringLiteral("/h/.local/share");
  EXPECT_EQ(Places(LocateFiles(QStringLiteral("/opt/tool/velnorex"), true, config, data)),
            (QStringList{QStringLiteral("/opt/tool/velnorex.INI"), QStringLiteral("/opt/tool/velnorex.log"),
                         QStringLiteral("/opt/tool/velnorex.lst"),
                         QStringLiteral("/h/.local/share/velnorex/recordings")}));
  const FileLocations user = LocateFiles(QStringLiteral("/usr/bin/velnorex"), false, config, data);
  EXPECT_EQ(Places(user), (QStringList{QStringLiteral("/h/.config/velnorex/velnorex.INI"),
                                       QStringLiteral("/h/.local/share/velnorex/velnorex.log"),
                                       QStringLiteral("/h/.local/share/velnorex/velnorex.lst"),
                                       QStringLiteral("/h/.local/share/velnorex/recordings")}));
  // The user's own definitions first, then the program's folder, then the packaged ones.
  EXPECT_EQ(user.deviceFolders,
            (QStringList{QStringLiteral("/h/.local/share/velnorex/definitions"), QStringLiteral("/usr/bin"),
                         QStringLiteral("/usr/share/velnorex/definitions")}));
  // A Windows program's ".exe" is replaced.
  EXPECT_EQ(LocateFiles(QStringLiteral("C:/t/velnorex.exe"), true, {}, {}).settingsFile,
            QStringLiteral("C:/t/velnorex.INI"));
}

TEST(FileLocations, AWritableFolderKeepsTheFilesUnlessItIsAnInstallation) {
  QTemporaryDir root;
  ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("bin")));
  const QString bin = root.filePath(QStringLiteral("bin"));
  EXPECT_TRUE(KeepsFilesBesideExecutable(bin));
  EXPECT_EQ(QDir(bin).entryList(QDir::Files | QDir::Hidden), QStringList{});  // the probe is gone
  ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("share/velnorex/definitions")));
  EXPECT_EQ(PackagedDefinitionsFolder(bin), root.filePath(QStringLiteral("share/velnorex/definitions")));
  EXPECT_FALSE(KeepsFilesBesideExecutable(bin));
}

TEST(FileLocations, ANameInSeveralFoldersIsListedOnceFromTheFirst) {
  QTemporaryDir user, program;
  for (const auto& [dir, name] : {std::pair{&user, "A.dat"}, std::pair{&user, "B.dat"},
                                  std::pair{&program, "B.dat"}, std::pair{&program, "C.DAT"}}) {
    QFile file(dir->filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const QStringList folders{user.path(), program.path(), user.filePath(QStringLiteral("missing"))};
  QStringList names = ListDeviceFiles(folders);
  names.sort();
  EXPECT_EQ(names, (QStringList{QStringLiteral("A.dat"), QStringLiteral("B.dat"), QStringLiteral("C.DAT")}));
  EXPECT_EQ(DeviceFolderOf(folders, QStringLiteral("B.dat")), user.path());
  EXPECT_EQ(DeviceFolderOf(folders, QStringLiteral("C.DAT")), program.path());
  EXPECT_EQ(DeviceFolderOf(folders, QStringLiteral("none.dat")), user.path());
}

// Starts the program, waits until it handles `signal`, sends it, and expects a clean end.
void RunAndEndBySignal(const QString& program, const QProcessEnvironment& env, int signal) {
  ProgramProcess run(program, {}, env);
  ASSERT_TRUE(run.started()) << program.toStdString();
  ASSERT_TRUE(run.waitUntilHandles(signal)) << run.output().toStdString();
  run.sendSignal(signal);
  ASSERT_TRUE(run.waitForExit()) << "still running after the signal";
  EXPECT_TRUE(run.exitedNormally()) << run.output().toStdString();
  EXPECT_EQ(run.exitCode(), 0) << run.output().toStdString();
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A copied program: its files beside it, written by the normal exit steps whichever signal ends it.
TEST(ProgramProcessTest, SigintSigtermAndSighupEachWriteTheSettings) {
  QTemporaryDir home;
  const QString program = home.filePath(QStringLiteral("velnorex"));
  const QString bin = QString::fromStdString(BinDir());
  if (!QFile::exists(bin + QStringLiteral("/velnorex")))
    VELNOREX_MISSING("the program is not built in " + BinDir());
  ASSERT_TRUE(CopyExecutable(bin + QStringLiteral("/velnorex"), program));
  const QProcessEnvironment env = ProgramEnvironment(home.path());
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    QFile::remove(program + QStringLiteral(".INI"));
    QFile::remove(program + QStringLiteral(".lst"));
    RunAndEndBySignal(program, env, signal);
    EXPECT_TRUE(ReadAll(program + QStringLiteral(".INI")).startsWith("[Form]\r\nTop="));
    EXPECT_TRUE(QFile::exists(program + QStringLiteral(".lst")));
  }
  // Nothing in the user's folders.
  EXPECT_FALSE(QDir(home.filePath(QStringLiteral("config/velnorex"))).exists());
  EXPECT_FALSE(QDir(home.filePath(QStringLiteral("data/velnorex"))).exists());
}

// A program folder that takes no file (as root the test runs as "nobody"): the settings go to the user's
// folder and are read back at the next start.
TEST(ProgramProcessTest, AReadOnlyProgramFolderKeepsTheSettingsInTheUsersFolder) {
  VELNOREX_AS_NOBODY_WHEN_ROOT(QStringLiteral("velnorex"));
  QTemporaryDir home;
  const QString folder = home.filePath(QStringLiteral("program"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString program = folder + QStringLiteral("/velnorex");
  const QString bin = QString::fromStdString(BinDir());
  if (!QFile::exists(bin + QStringLiteral("/velnorex")))
    VELNOREX_MISSING("the program is not built in " + BinDir());
  ASSERT_TRUE(CopyExecutable(bin + QStringLiteral("/velnorex"), program));
  ASSERT_TRUE(QFile::setPermissions(folder, kReadOnlyFolder));
  const QProcessEnvironment env = ProgramEnvironment(home.path());
  const QString settings = home.filePath(QStringLiteral("config/velnorex/velnorex.INI"));

  RunAndEndBySignal(program, env, SIGTERM);
  QByteArray first = ReadAll(settings);
  ASSERT_TRUE(first.contains("Slave=1\r\n")) << first.toStdString();
  EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("data/velnorex/velnorex.lst"))));
  EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("velnorex")});

  // What the user left there is what the next start shows, and so what it writes back.
  QFile edit(settings);
  ASSERT_TRUE(edit.open(QIODevice::WriteOnly | QIODevice::Truncate));
  edit.write(first.replace("Slave=1\r\n", "Slave=17\r\n").replace("Interval=1\r\n", "Interval=5\r\n"));
  edit.close();
  RunAndEndBySignal(program, env, SIGTERM);
  const QByteArray second = ReadAll(settings);
  EXPECT_TRUE(second.contains("Slave=17\r\n")) << second.toStdString();
  EXPECT_TRUE(second.contains("Interval=5\r\n")) << second.toStdString();
  QFile::setPermissions(folder, QFile::permissions(folder) | QFile::WriteOwner);
}

}  // namespace
}  // namespace velnorex::test
