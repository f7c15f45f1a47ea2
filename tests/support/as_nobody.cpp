// The test program run again as "nobody" from a copy in a folder that user can reach.
#include "tests/support/as_nobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "tests/support/program_process.h"
#include "tests/support/simulator.h"
#include "tests/support/test_environment.h"

namespace velnorex::test {

namespace {

void runAsNobody(const QStringList& binFiles) {
  const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
  if (runuser.isEmpty()) VELNOREX_MISSING("running as root, and runuser is not installed");

  QTemporaryDir copy(QDir::tempPath() + QStringLiteral("/velnorex-nobody-XXXXXX"));
  ASSERT_TRUE(copy.isValid());
  constexpr auto kEnterable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
  ASSERT_TRUE(QFile::setPermissions(copy.path(), kEnterable));
  const QString program = copy.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
  ASSERT_TRUE(CopyExecutable(QCoreApplication::applicationFilePath(), program));
  const QDir bin(QString::fromStdString(BinDir()));
  for (const QString& name : binFiles)
    ASSERT_TRUE(CopyExecutable(bin.filePath(name), copy.filePath(name))) << name.toStdString();

  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VELNOREX_BIN_DIR"), copy.path());
  // Root's own folders are no use to "nobody": its test main makes a runtime folder of its own.
  env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  // The sanitizer build names a suppressions file in the checkout, which "nobody" may not be able to read.
  QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
  const qsizetype at = lsan.indexOf(QLatin1String("suppressions="));
  if (at >= 0) {
    const qsizetype start = at + qsizetype(sizeof "suppressions=") - 1;
    const qsizetype end = lsan.indexOf(u':', start) < 0 ? lsan.size() : lsan.indexOf(u':', start);
    const QString suppressions = copy.filePath(QStringLiteral("lsan.supp"));
    ASSERT_TRUE(QFile::copy(lsan.mid(start, end - start), suppressions));
    QFile::setPermissions(suppressions, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    env.insert(QStringLiteral("LSAN_OPTIONS"), lsan.replace(start, end - start, suppressions));
  }
  QProcess child;
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.setProcessEnvironment(env);
  child.setWorkingDirectory(copy.path());
  child.start(runuser, {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), program,
                        QStringLiteral("--gtest_filter=%1.%2")
                            .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()))});
  ASSERT_TRUE(child.waitForStarted(30000)) << "runuser did not start";
  ASSERT_TRUE(child.waitForFinished(240000)) << "the test as \"nobody\" did not end";
  const QString output = QString::fromLocal8Bit(child.readAll());
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  // A test that skipped as "nobody" did not run: that is no pass.
  EXPECT_TRUE(output.contains(QLatin1String("[  PASSED  ] 1 test")) &&
              !output.contains(QLatin1String("[  SKIPPED ]")))
      << output.toStdString();
}

}  // namespace

void RunCurrentTestAsNobody(const QStringList& binFiles) {
  runAsNobody(binFiles);
}

}  // namespace velnorex::test
