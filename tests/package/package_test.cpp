// The package as a user gets it: `cpack -G DEB` from this build, the file list that `dpkg-deb -c` shows, and
// the program unpacked by `dpkg -x` into an empty folder, listing the packaged definitions and keeping its
// settings in the user's folder across two starts.
#include <signal.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "tests/support/program_process.h"
#include "tests/support/simulator.h"
#include "tests/support/test_environment.h"
#include "velnorex_version.h"

namespace velnorex::test {
namespace {

class PackageTest : public ::testing::Test {
 protected:
  // Builds the package once for all tests of the program.
  static void SetUpTestSuite() {
    work_ = new QTemporaryDir();
    for (const char* tool : {"cpack", "dpkg-deb", "dpkg", "dpkg-shlibdeps"})
      if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
        missing_ += std::string(tool) + " ";
    if (!missing_.empty()) return;
    const QString config =
        QDir(QString::fromStdString(BinDir())).filePath(QStringLiteral("../CPackConfig.cmake"));
    int code = -1;
    log_ = RunToEnd(QStringLiteral("cpack"),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"), config,
                     QStringLiteral("-B"), work_->path()},
                    QProcessEnvironment::systemEnvironment(), &code, 600000);
    int archCode = -1;
    const QString arch = RunToEnd(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")},
                                  QProcessEnvironment::systemEnvironment(), &archCode)
                             .trimmed();
    deb_ = work_->filePath(QStringLiteral("velnorex_" VELNOREX_VERSION "_%1.deb").arg(arch));
    if (code != 0 || !QFile::exists(deb_)) deb_.clear();
  }
  static void TearDownTestSuite() {
    delete work_;
    work_ = nullptr;
  }

  void SetUp() override {
    if (!missing_.empty()) VELNOREX_MISSING("the packaging tools are not installed: " + missing_);
    ASSERT_FALSE(deb_.isEmpty()) << "cpack made no package:\n" << log_.toStdString();
  }

  static QString dpkgDeb(const QStringList& arguments) {
    int code = -1;
    const QString out =
        RunToEnd(QStringLiteral("dpkg-deb"), arguments, QProcessEnvironment::systemEnvironment(), &code);
    EXPECT_EQ(code, 0) << arguments.join(u' ').toStdString();
    return out;
  }

  static inline QTemporaryDir* work_ = nullptr;
  static inline std::string missing_;
  static inline QString deb_;
  static inline QString log_;
};

TEST_F(PackageTest, HoldsTheProgramsDefinitionsDesktopEntryIconAndMetainfo) {
  const QString list = dpkgDeb({QStringLiteral("-c"), deb_});
  QStringList files;
  for (const QString& line : list.split(u'\n', Qt::SkipEmptyParts))
    files << line.section(u' ', -1);  // the path is the last field
  for (const char* expected :
       {"./usr/bin/velnorex", "./usr/bin/velnorex-config", "./usr/bin/velnorex-dat",
        "./usr/bin/velnorex-read", "./usr/bin/velnorex-scan", "./usr/bin/velnorex-sim",
        "./usr/share/velnorex/definitions/THV-21.dat", "./usr/share/velnorex/definitions/PMV-3.dat",
        "./usr/share/applications/velnorex.desktop", "./usr/share/icons/hicolor/scalable/apps/velnorex.svg",
        "./usr/share/metainfo/velnorex.metainfo.xml", "./usr/share/velnorex/translations/velnorex_en.qm"})
    EXPECT_TRUE(files.contains(QString::fromLatin1(expected))) << expected << " not in\n"
                                                               << list.toStdString();
  // Nothing of the build or the tests, and no definitions among the programs.
  for (const QString& file : files) {
    EXPECT_FALSE(file.contains(QLatin1String("test"))) << file.toStdString();
    EXPECT_FALSE(file.startsWith(QLatin1String("./usr/bin/")) && file.endsWith(QLatin1String(".dat")))
        << file.toStdString();
  }
  // The dependencies computed from the binaries: Qt's libraries among them.
  const QString depends = dpkgDeb({QStringLiteral("-f"), deb_, QStringLiteral("Depends")});
  EXPECT_TRUE(depends.contains(QLatin1String("libqt6serialport6"))) << depends.toStdString();
  EXPECT_TRUE(depends.contains(QLatin1String("libqt6widgets6"))) << depends.toStdString();
  EXPECT_EQ(dpkgDeb({QStringLiteral("-f"), deb_, QStringLiteral("Version")}).trimmed(),
            QStringLiteral(VELNOREX_VERSION));
}

TEST_F(PackageTest, UnpackedTheProgramListsItsDefinitionsAndKeepsItsSettingsAcrossTwoStarts) {
  QTemporaryDir root;
  int code = -1;
  RunToEnd(QStringLiteral("dpkg"), {QStringLiteral("-x"), deb_, root.path()},
           QProcessEnvironment::systemEnvironment(), &code);
  ASSERT_EQ(code, 0);
  const QString program = root.filePath(QStringLiteral("usr/bin/velnorex"));
  QTemporaryDir home;
  const QProcessEnvironment env = ProgramEnvironment(home.path());

  const QString paths = RunToEnd(program, {QStringLiteral("--paths")}, env, &code);
  ASSERT_EQ(code, 0) << paths.toStdString();
  const QString packaged = root.filePath(QStringLiteral("usr/share/velnorex/definitions"));
  EXPECT_TRUE(paths.contains(QStringLiteral("definition\t%1/THV-21.dat\n").arg(packaged)))
      << paths.toStdString();
  EXPECT_TRUE(paths.contains(QStringLiteral("definition\t%1/PMV-3.dat\n").arg(packaged)))
      << paths.toStdString();
  const QString settings = home.filePath(QStringLiteral("config/velnorex/velnorex.INI"));
  EXPECT_TRUE(paths.contains(QStringLiteral("settings\t%1\n").arg(settings))) << paths.toStdString();
  EXPECT_EQ(RunToEnd(program, {QStringLiteral("--version")}, env, &code).trimmed(),
            QStringLiteral("velnorex " VELNOREX_VERSION));

  const auto startAndEnd = [&] {
    ProgramProcess run(program, {}, env);
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.waitUntilHandles(SIGTERM)) << run.output().toStdString();
    run.sendSignal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.exitCode(), 0) << run.output().toStdString();
  };
  startAndEnd();
  QFile file(settings);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "no settings in the user's folder";
  QByteArray text = file.readAll();
  file.close();
  ASSERT_TRUE(text.contains("Slave=1\r\n")) << text.toStdString();
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.replace("Slave=1\r\n", "Slave=33\r\n"));
  file.close();
  startAndEnd();
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("Slave=33\r\n"));
  // The unpacked program's own folder stays as unpacked.
  EXPECT_EQ(QDir(root.filePath(QStringLiteral("usr/bin"))).entryList(QDir::Files),
            (QStringList{QStringLiteral("velnorex"), QStringLiteral("velnorex-config"),
                         QStringLiteral("velnorex-dat"), QStringLiteral("velnorex-read"),
                         QStringLiteral("velnorex-scan"), QStringLiteral("velnorex-sim")}));
}

}  // namespace
}  // namespace velnorex::test
