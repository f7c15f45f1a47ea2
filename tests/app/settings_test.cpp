// Settings: defaults at a first start, values restored and written back, and the INI layer underneath.
#include <QDir>
#include <QScreen>
#include <QStandardPaths>

#include "app/ini_profile.h"
#include "tests/app/app_fixture.h"

namespace velnorex::test {
namespace {

TEST_F(AppTest, FirstStartWithoutSettingsTakesTheDefaults) {
  auto w = makeWindow();
  showAndSettle(*w);
  // 800 x 340 at 100, 100, grown to what shows every control and moved no further than onto the screen.
  const QSize size = QSize(800, 340).expandedTo(w->minimumSize());
  const QRect screen = w->screen()->availableGeometry();
  EXPECT_EQ(w->size(), size);
  EXPECT_EQ(w->pos(), QPoint(std::min(100, screen.right() + 1 - size.width()),
                             std::min(100, screen.bottom() + 1 - size.height())));
  EXPECT_EQ(w->VT->height(), 240);
  // The first items, not the form's own "19200" and "even".
  EXPECT_EQ(w->cbxBaud->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(w->cbxParity->currentText(), QStringLiteral("none"));
  EXPECT_EQ(w->eInterval->text(), QStringLiteral("1"));
  EXPECT_EQ(w->eSlave->text(), QStringLiteral("1"));
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(QFile::exists(paths().settingsFile));  // created only at exit
}

TEST_F(AppTest, StoredSettingsAreRestoredAndBadIntegersTakeTheirDefaults) {
  writeFile(paths().settingsFile,
            "[Form]\r\nTop=$40\r\nLeft=120\r\nHeight=abc\r\nWidth=600\r\nSplit=300\r\n"
            "[Cfg]\r\nParity=2\r\nBaudRate=1\r\nInterval= 5 \r\n[Data]\r\nSlave=17\r\n");
  auto w = makeWindow();
  showAndSettle(*w);
  EXPECT_EQ(w->pos(), QPoint(120, 64));
  // "abc" is no integer: the default height, grown to what shows every control.
  EXPECT_EQ(w->size(), QSize(600, std::max(340, w->minimumSize().height())));
  EXPECT_EQ(w->VT->height(), 300);
  EXPECT_EQ(w->cbxParity->currentText(), QStringLiteral("odd"));
  EXPECT_EQ(w->cbxBaud->currentText(), QStringLiteral("19200"));
  EXPECT_EQ(w->eInterval->text(), QStringLiteral("5"));
  EXPECT_EQ(w->eSlave->text(), QStringLiteral("17"));
  EXPECT_TRUE(messages.empty());
}

TEST_F(AppTest, AnIndexNamingNoItemLeavesTheBoxEmptyAndKeysIgnoreCase) {
  writeFile(paths().settingsFile, "[cfg]\r\nPARITY=7\r\nbaudrate=-1\r\n[DATA]\r\nslave=9\r\n");
  auto w = makeWindow();
  EXPECT_EQ(w->cbxParity->currentIndex(), -1);
  EXPECT_EQ(w->cbxParity->currentText(), QString());
  EXPECT_EQ(w->cbxBaud->currentIndex(), -1);
  EXPECT_EQ(w->cbxBaud->currentText(), QString());
  EXPECT_EQ(w->eSlave->text(), QStringLiteral("9"));
  EXPECT_EQ(ItemIndex(w->cbxParity), -1);
}

TEST_F(AppTest, AnIntervalThatIsNoIntegerEndsTheStartUpWithTheMessage) {
  writeFile(paths().settingsFile, "[Cfg]\r\nInterval=x2\r\n[Data]\r\nSlave=5\r\n");
  auto w = makeWindow();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("'x2' is not a valid integer value."));
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(messages[0].caption, QStringLiteral("velnorex"));
  EXPECT_EQ(w->eInterval->text(), QStringLiteral("x2"));
  EXPECT_EQ(w->eSlave->text(), QStringLiteral("1"));             // not restored
  EXPECT_EQ(w->LogWindowMargins(), QMargins());                  // SetupLogWindow did not run
  EXPECT_EQ(w->cbxBaud->currentText(), QStringLiteral("9600"));  // the steps before it did
  showAndSettle(*w);
  EXPECT_TRUE(w->isVisible());
}

TEST_F(AppTest, ExitWritesTheNineKeysAndTheNextStartRestoresThem) {
  {
    auto w = makeWindow();
    showAndSettle(*w);
    // Within the test platform's 800 x 600 screen, which restored bounds are kept on.
    w->move(30, 5);
    w->resize(700, 590);
    QApplication::processEvents();
    w->splitY->setSizes({275, 200});
    QApplication::processEvents();
    w->cbxBaud->setCurrentIndex(1);
    w->cbxParity->setEditText(QStringLiteral("mark"));  // typed, no item
    w->eInterval->setText(QStringLiteral("abc"));
    w->eSlave->setText(QStringLiteral("x"));
    EXPECT_EQ(w->VT->height(), 275);
    EXPECT_TRUE(w->close());
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readFile(paths().settingsFile),
            std::string("[Form]\r\nTop=5\r\nLeft=30\r\nHeight=590\r\nWidth=700\r\nSplit=275\r\n"
                        "[Cfg]\r\nBaudRate=1\r\nParity=-1\r\nInterval=abc\r\nListInterval=1\r\n"
                        "[Data]\r\nSlave=x\r\n"));

  // A sane file restores the window as it was left.
  writeFile(paths().settingsFile,
            QByteArray::fromStdString(readFile(paths().settingsFile)).replace("Interval=abc", "Interval=3"));
  auto w = makeWindow();
  showAndSettle(*w);
  EXPECT_EQ(w->pos(), QPoint(30, 5));
  EXPECT_EQ(w->size(), QSize(700, 590));
  EXPECT_EQ(w->VT->height(), 275);
  EXPECT_EQ(w->cbxBaud->currentText(), QStringLiteral("19200"));
  EXPECT_EQ(w->cbxParity->currentText(), QString());
  EXPECT_EQ(w->eSlave->text(), QStringLiteral("x"));
}

TEST_F(AppTest, ExitKeepsWhateverElseTheSettingsFileHolds) {
  writeFile(
      paths().settingsFile,
      "; kept comment\r\n[Other]\r\nA=1,5\r\n\r\n[form]\r\ntop = 7\r\nColour=blue\r\n\r\n[Extra]\r\nB=\r\n");
  {
    auto w = makeWindow();
    EXPECT_EQ(w->pos().y(), 7);
    w->move(11, 2);
    w->resize(640, 590);
    w->close();
  }
  EXPECT_EQ(readFile(paths().settingsFile),
            std::string(
                "; kept comment\r\n[Other]\r\nA=1,5\r\n\r\n[form]\r\ntop=2\r\nColour=blue\r\nLeft=11\r\n"
                "Height=590\r\nWidth=640\r\nSplit=240\r\n\r\n[Extra]\r\nB=\r\n"
                "[Cfg]\r\nBaudRate=0\r\nParity=0\r\nInterval=1\r\nListInterval=1\r\n[Data]\r\nSlave=1\r\n"));
}

TEST(IniProfile, ReadsWritesAndKeepsCodePage1250) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.INI"));
  {
    IniProfile ini(path);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("K"), 42), 42);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("Name"), QStringLiteral("żółw"));
    ini.WriteInteger(QStringLiteral("s"), QStringLiteral("N"), -3);
    ASSERT_TRUE(ini.Save()) << ini.errorString().toStdString();
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("[S]\r\nName=\xBF\xF3\xB3w\r\nN=-3\r\n"));
  IniProfile again(path);
  EXPECT_EQ(again.ReadString(QStringLiteral("s"), QStringLiteral("name"), QString()), QStringLiteral("żółw"));
  EXPECT_EQ(again.ReadInteger(QStringLiteral("S"), QStringLiteral("n"), 0), -3);
  EXPECT_EQ(again.ReadInteger(QStringLiteral("S"), QStringLiteral("Name"), 8), 8);
  EXPECT_EQ(again.ReadString(QStringLiteral("S"), QStringLiteral("Missing"), QStringLiteral("d")),
            QStringLiteral("d"));

  // A file whose folder cannot take it: the old content stays, the error is told.
  IniProfile broken(dir.filePath(QStringLiteral("p.INI/child.INI")));
  broken.WriteInteger(QStringLiteral("S"), QStringLiteral("K"), 1);
  EXPECT_FALSE(broken.Save());
  EXPECT_FALSE(broken.errorString().isEmpty());
}

// Hand-edited files may quote a value to keep its blanks or its own quotes; writing it back keeps it.
TEST(IniProfile, AValueThatReadingWouldChangeIsWrittenInQuotes) {
  IniProfile ini = IniProfile::FromBytes("[S]\r\nA = \" padded \"\r\nB=\"'x'\"\r\nb=dup\r\n[s]\r\nC=1\r\n");
  EXPECT_EQ(ini.Sections(), QStringList({QStringLiteral("S")}));
  EXPECT_EQ(ini.Keys(QStringLiteral("s")), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
  for (const QString& key : ini.Keys(QStringLiteral("S")))
    ini.WriteString(QStringLiteral("S"), key, ini.ReadString(QStringLiteral("S"), key, QString()));
  ini.WriteString(QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("plain \"inside\""));
  EXPECT_EQ(ini.Bytes(),
            "[S]\r\nA=\" padded \"\r\nB=\"'x'\"\r\nb=dup\r\nD=plain \"inside\"\r\n[s]\r\nC=1\r\n");
  const IniProfile again = IniProfile::FromBytes(ini.Bytes());
  EXPECT_EQ(again.ReadString(QStringLiteral("s"), QStringLiteral("a"), QString()),
            QStringLiteral(" padded "));
  EXPECT_EQ(again.ReadString(QStringLiteral("S"), QStringLiteral("B"), QString()), QStringLiteral("'x'"));
}

// The test program's folder in the build takes files and is no installation: its files sit beside it.
TEST_F(AppTest, PathsForTheExecutableSitBesideIt) {
  const TForm1::Paths p = TForm1::Paths::ForExecutable();
  const QString exe = QCoreApplication::applicationFilePath();
  EXPECT_EQ(p.settingsFile, exe + QStringLiteral(".INI"));
  EXPECT_EQ(p.logFile, exe + QStringLiteral(".log"));
  EXPECT_EQ(p.watchListFile, exe + QStringLiteral(".lst"));
  EXPECT_TRUE(p.deviceFolders.contains(QCoreApplication::applicationDirPath()));
  // Recordings go to the user's data folder, not beside the program.
  EXPECT_TRUE(p.recordingsFolder.endsWith(QStringLiteral("/velnorex/recordings")))
      << p.recordingsFolder.toStdString();
  EXPECT_FALSE(p.recordingsFolder.startsWith(QCoreApplication::applicationDirPath()));
}

TEST_F(AppTest, TheListsIntervalInTenthsHasAKeyOfItsOwnAndIntervalStaysWholeSeconds) {
  // "Interval" is converted as an integer: tenths there end the start-up with the conversion's message.
  writeFile(paths().settingsFile, "[Cfg]\r\nInterval=0,5\r\n[Data]\r\nSlave=7\r\n");
  {
    auto w = makeWindow();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("'0,5' is not a valid integer value."));
    EXPECT_EQ(w->eSlave->text(), QStringLiteral("1"));  // not restored
  }
  messages.clear();

  // The list's tenths live in "ListInterval"; "Interwał:" shows the interval of the recording that
  // "Rejestarcja" would start, and each is written back to its own key.
  writeFile(paths().settingsFile, "[Cfg]\r\nInterval=2\r\nListInterval=0,5\r\n[Data]\r\nSlave=7\r\n");
  {
    auto w = makeWindow();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w->eInterval->text(), QStringLiteral("2"));
    EXPECT_EQ(w->eSlave->text(), QStringLiteral("7"));
    w->cbxRecList->setChecked(true);
    EXPECT_EQ(w->eInterval->text(), QStringLiteral("0,5"));
    w->eInterval->setText(QStringLiteral("0,3"));
    w->cbxRecList->setChecked(false);
    EXPECT_EQ(w->eInterval->text(), QStringLiteral("2"));
    w->cbxRecList->setChecked(true);
    EXPECT_EQ(w->eInterval->text(), QStringLiteral("0,3"));
    w->close();  // closed with the list chosen
  }
  const std::string written = readFile(paths().settingsFile);
  EXPECT_NE(written.find("Interval=2\r\nListInterval=0,3\r\n"), std::string::npos) << written;
  auto w = makeWindow();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(w->eInterval->text(), QStringLiteral("2"));
}

}  // namespace
}  // namespace velnorex::test
