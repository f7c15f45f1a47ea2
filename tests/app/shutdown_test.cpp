// Shut-down: the ".log" file rule, the order of the exit steps, and files that cannot be written.
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>

#include "tests/app/app_fixture.h"
#include "tests/support/as_nobody.h"
#include "tests/support/fake_serial_device.h"
#include "treefile/tree_stream.h"

namespace velnorex::test {
namespace {

TEST_F(AppTest, TheLogFileIsReplacedOnlyWhenTheLogHoldsALine) {
  writeFile(paths().logFile, "earlier\r\n");
  {
    auto w = makeWindow();
    w->close();
  }
  EXPECT_EQ(readFile(paths().logFile), std::string("earlier\r\n"));

  {
    auto w = makeWindow();
    w->Memo1->appendPlainText(QStringLiteral("Czas\tTemperatura [°C]"));
    w->Memo1->appendPlainText(QStringLiteral("14:05:09\t21,50 żółć"));
    w->Memo1->appendPlainText(QStringLiteral(""));
    w->close();
  }
  // Code page 1250, CR LF after every line, the empty last line kept as a line.
  EXPECT_EQ(readFile(paths().logFile), std::string("Czas\tTemperatura [\xB0"
                                                   "C]\r\n14:05:09\t21,50 \xBF\xF3\xB3\xE6\r\n\r\n"));

  {
    auto w = makeWindow();
    w->Memo1->setPlainText(QStringLiteral("one\ntwo"));
    w->close();
  }
  EXPECT_EQ(readFile(paths().logFile), std::string("one\r\ntwo\r\n"));
  EXPECT_TRUE(messages.empty());
}

TEST_F(AppTest, ExitDisconnectsFirstAndSavesTheWatchListLast) {
  auto device = std::make_unique<FakeSerialDevice>();
  FakeSerialDevice* fake = device.get();
  auto w = makeWindow(std::move(device));
  w->state.Recording = true;  // a recording at exit is not stopped
  w->ComCBox->setEditText(QStringLiteral("ttyFAKE"));
  w->btConnectClick();
  ASSERT_TRUE(w->serial.PortOpen());
  w->close();
  EXPECT_FALSE(w->serial.PortOpen());
  EXPECT_FALSE(fake->isOpen());
  EXPECT_EQ(w->shConnect->color(), kColorGrey);
  EXPECT_TRUE(w->state.Recording);
  EXPECT_TRUE(w->Memo1->document()->isEmpty());  // no empty line of a stop
  EXPECT_TRUE(QFile::exists(paths().settingsFile));
  EXPECT_TRUE(QFile::exists(paths().watchListFile));
}

TEST_F(AppTest, FilesWrittenAtExitFollowTheUmaskOrKeepTheirMode) {
  const mode_t previous = ::umask(022);
  writeFile(paths().logFile, "old\r\n");
  ASSERT_TRUE(QFile::setPermissions(paths().logFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  {
    auto w = makeWindow();
    w->Memo1->appendPlainText(QStringLiteral("line"));
    w->close();
  }
  ::umask(previous);
  const auto readableByAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                             QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
  EXPECT_EQ(QFile::permissions(paths().settingsFile), readableByAll);
  EXPECT_EQ(QFile::permissions(paths().watchListFile), readableByAll);
  EXPECT_EQ(QFile::permissions(paths().logFile), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ReadUser | QFileDevice::WriteUser);
  EXPECT_EQ(readFile(paths().logFile), std::string("line\r\n"));
}

// A settings path whose folder is a regular file cannot be written, not even by root.
TEST_F(AppTest, AFileThatCannotBeWrittenIsReportedAndTheRestStillRuns) {
  writeFile(dir.filePath(QStringLiteral("plain")), "x");
  TForm1::Paths p = paths();
  p.settingsFile = dir.filePath(QStringLiteral("plain/velnorex.INI"));
  {
    TForm1 w(p, std::make_unique<FakeSerialDevice>());
    showAndSettle(w);
    w.Memo1->appendPlainText(QStringLiteral("line"));
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(p.settingsFile)) << messages[0].text.toStdString();
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(readFile(p.logFile), std::string("line\r\n"));
  EXPECT_TRUE(QFile::exists(p.watchListFile));
}

// A folder that takes no new file (root writes anywhere: as root the test runs as "nobody"). Files the user
// may write are written in place rather than lost; a file the user may not write keeps its old content, and
// the failure is reported while the remaining steps still run.
TEST_F(AppTest, AReadOnlyFolderWritesWritableFilesInPlaceAndKeepsTheOthersWhole) {
  VELNOREX_AS_NOBODY_WHEN_ROOT();
  writeFile(paths().settingsFile, "[Form]\r\nTop=5\r\n[Other]\r\nKept=1\r\n");
  writeFile(paths().logFile, "old log\r\n");
  ASSERT_TRUE(QFile::setPermissions(paths().logFile, QFileDevice::ReadOwner));
  writeFile(paths().watchListFile, "old list");
  const auto writable = QFile::permissions(dir.path());
  ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  {
    auto w = makeWindow();
    EXPECT_EQ(w->pos().y(), 5);
    w->eSlave->setText(QStringLiteral("42"));
    w->Memo1->appendPlainText(QStringLiteral("new"));
    EXPECT_TRUE(w->close());
  }
  QFile::setPermissions(dir.path(), writable);
  // Only the log, which the user may not write, is reported.
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(paths().logFile)) << messages[0].text.toStdString();
  EXPECT_EQ(readFile(paths().logFile), std::string("old log\r\n"));
  const std::string settings = readFile(paths().settingsFile);
  EXPECT_NE(settings.find("Slave=42\r\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("[Other]\r\nKept=1\r\n"), std::string::npos) << settings;
  // The watch list in the tree file format, an empty list's few bytes instead of the old text.
  WatchTree list;
  EXPECT_NO_THROW(LoadFromFile(list, paths().watchListFile.toStdString()));
  EXPECT_NE(readFile(paths().watchListFile), std::string("old list"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);  // no temporary left behind
}

}  // namespace
}  // namespace velnorex::test
