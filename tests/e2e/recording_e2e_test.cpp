// Recording and the watch list end to end: the real window records a simulated register into its log
// window, is stopped by the button, "Reset", "Rozłącz" and a new definition, saves its log, and writes the
// watch list at exit.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QRegularExpression>
#include <QSignalSpy>

#include "e2e_fixture.h"
#include "recording/log_window_commands.h"
#include "recording/recording.h"
#include "registers/watch_list_model.h"
#include "text/cp1250.h"

namespace velnorex::test {
namespace {

const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kMediumGrey(0xA0, 0xA0, 0xA4);

class RecordingWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    // The register of the watch list's documented file, and a second definition to switch to.
    TreeBuilder()
        .group(u"Pomiary")
        .reg(u"Temp", u"100", u"INT", u"1", u"RO")
        .reg(u"Wilgotność", u"101", u"WORD", u"1", u"RW")
        .save(dir.filePath(QStringLiteral("TEMP.dat")).toStdString());
    TreeBuilder()
        .group(u"Inne")
        .reg(u"Ciśnienie", u"7", u"WORD", u"2", u"RO")
        .save(dir.filePath(QStringLiteral("INNE.dat")).toStdString());
  }

  void startRecordingOfTemp(const QString& interval = QStringLiteral("1")) {
    connectTo(QStringLiteral("TEMP.dat"), {"--value", "100:INT:1:-215"});
    selectDevice(QStringLiteral("TEMP.dat"));
    click(u"Temp");
    form->eInterval->setText(interval);
    QTest::mouseClick(form->btRec, Qt::LeftButton);
    ASSERT_TRUE(form->state.Recording);
  }

  QStringList lines() const { return form->Memo1->toPlainText().split(u'\n'); }
  static bool isReading(const QString& line, const QString& value) {
    static const QRegularExpression time(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d( ?[AP]M)?\\t"));
    return time.match(line).hasMatch() && line.endsWith(u'\t' + value);
  }
  QByteArray fileBytes(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
  }
};

TEST_F(RecordingWindowTest, RecordsAboutOneLineASecondAndSavesTheLogInCodePage1250) {
  startRecordingOfTemp();
  EXPECT_EQ(form->shRec->color(), kYellow);
  EXPECT_FALSE(form->VT->isEnabled());
  EXPECT_TRUE(form->Memo1->isReadOnly());
  QTest::qWait(3500);
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  EXPECT_FALSE(form->state.Recording);
  EXPECT_EQ(form->state.RecordNode, nullptr);
  EXPECT_EQ(form->shRec->color(), kMediumGrey);
  EXPECT_TRUE(form->VT->isEnabled());
  EXPECT_FALSE(form->Memo1->isReadOnly());

  const QStringList log = lines();
  ASSERT_GE(log.size(), 7) << form->Memo1->toPlainText().toStdString();
  EXPECT_TRUE(log[0].startsWith(QStringLiteral("Data:")) && !log[0].startsWith(QStringLiteral("Data: ")))
      << log[0].toStdString();
  EXPECT_EQ(log[1], QStringLiteral("Urządzenie:1(TEMP.dat)"));
  EXPECT_EQ(log[2], QStringLiteral("Rejestr:100(Temp)"));
  EXPECT_EQ(log[3], QString());
  const QStringList readings = log.mid(4, log.size() - 5);
  // The start's line and one a second, with generous margins for a loaded machine.
  EXPECT_GE(readings.size(), 2);
  EXPECT_LE(readings.size(), 6);
  for (const QString& line : readings)
    EXPECT_TRUE(isReading(line, QStringLiteral("-215"))) << line.toStdString();
  // Each line carries the value read one interval earlier: the first two are the same reading.
  EXPECT_EQ(readings[0].section(u'\t', 1), readings[1].section(u'\t', 1));
  EXPECT_EQ(log.back(), QString());
  for (const std::string& request : requests()) EXPECT_EQ(request, ReadRequest(100, 1));
  EXPECT_TRUE(messages.empty());

  // "Zapisz do pliku": the file is code page 1250 with CR LF, and the "ą" of the device line survives.
  const QString path = dir.filePath(QStringLiteral("zapis.txt"));
  form->logCommands.runSaveDialog = [&](QFileDialog&) { return path; };
  form->Zapiszdopliku1->trigger();
  const QByteArray saved = fileBytes(path);
  EXPECT_TRUE(
      saved.contains(QByteArray("Urz\xB9"
                                "dzenie:1(TEMP.dat)\r\nRejestr:100(Temp)\r\n\r\n")));
  EXPECT_TRUE(saved.endsWith("-215\r\n\r\n"));
  EXPECT_FALSE(saved.contains("\n\n"));
  EXPECT_EQ(QString::fromStdU16String(FromCp1250(std::string_view(saved.constData(), saved.size()))),
            form->Memo1->toPlainText().replace(u'\n', QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

TEST_F(RecordingWindowTest, ResetAndDisconnectStopTheRecordingFirst) {
  startRecordingOfTemp();
  // At the moment the stop's empty line arrives, the indicator must be grey already and the reset not yet
  // sent (the frame still holds the last read), the port not yet closed.
  struct AtStop {
    QColor indicator;
    uint8_t functionCode = 0;
    bool portOpen = false;
  };
  std::vector<AtStop> stops;
  QObject::connect(form->Memo1, &QPlainTextEdit::textChanged, form.get(), [&] {
    if (form->Memo1->toPlainText().endsWith(u'\n') && !form->state.Recording)
      stops.push_back({form->shRec->color(), form->modbus.FunctionCode(), form->serial.PortOpen()});
  });

  QTest::mouseClick(form->btReset, Qt::LeftButton);
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_EQ(stops[0].indicator, kMediumGrey);
  EXPECT_EQ(stops[0].functionCode, 3);
  EXPECT_FALSE(form->state.Recording);
  ASSERT_TRUE(WaitFor([&] {
    return !requests().empty() && requests().back() == Request({1, 8, 0, 1, 0xFF, 0});
  }));

  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_TRUE(form->state.Recording);
  QTest::mouseClick(form->btDisconnect, Qt::LeftButton);
  ASSERT_EQ(stops.size(), 2u);
  EXPECT_EQ(stops[1].indicator, kMediumGrey);
  EXPECT_TRUE(stops[1].portOpen);
  EXPECT_FALSE(form->serial.PortOpen());
  EXPECT_FALSE(form->state.Recording);
  EXPECT_FALSE(form->RecordTimer.isActive());
}

TEST_F(RecordingWindowTest, ClearingDuringARecordingMakesTheNextReadingTheFirstLine) {
  startRecordingOfTemp();
  form->Wyczy1->trigger();
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  ASSERT_TRUE(WaitFor([&] { return !form->Memo1->toPlainText().isEmpty(); }, std::chrono::seconds(5)));
  EXPECT_TRUE(isReading(lines().front(), QStringLiteral("-215"))) << lines().front().toStdString();

  // "Kopiuj" selects everything and leaves the clipboard alone.
  QApplication::clipboard()->setText(QStringLiteral("schowek"));
  form->Kopiuj1->trigger();
  EXPECT_EQ(form->Memo1->textCursor().selectedText(),
            form->Memo1->toPlainText().replace(u'\n', QChar(0x2029)));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("schowek"));
}

TEST_F(RecordingWindowTest, TheStopsEmptyLineAfterClearingIsALineThatTheExitSaves) {
  const QString logFile = dir.filePath(QStringLiteral("velnorex.log"));
  QFile earlier(logFile);
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
  earlier.write("earlier\r\n");
  earlier.close();
  startRecordingOfTemp();
  form->Wyczy1->trigger();
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_FALSE(form->state.Recording);
  form->close();
  EXPECT_EQ(fileBytes(logFile), QByteArray("\r\n"));
}

TEST_F(RecordingWindowTest, NoTickStartsWhileAMessageIsOpen) {
  startRecordingOfTemp();
  int depth = 0;
  int deepest = 0;
  int shown = 0;
  qsizetype linesBefore = -1;
  qsizetype linesAfter = -1;
  size_t requestsBefore = 0;
  size_t requestsAfter = 0;
  SetMessageBoxHook([&](const ShownMessage&) {
    deepest = std::max(deepest, ++depth);
    // The operator takes a while to press OK: the record timer fires meanwhile.
    if (shown++ == 0) {
      linesBefore = lines().size();
      requestsBefore = requests().size();
      QTest::qWait(2500);
      linesAfter = lines().size();
      requestsAfter = requests().size();
    }
    --depth;
  });
  // A save that fails during the recording opens the error's box (a folder under a regular file).
  form->logCommands.runSaveDialog = [&](QFileDialog&) {
    return dir.filePath(QStringLiteral("TEMP.dat/log.txt"));
  };
  form->Zapiszdopliku1->trigger();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(linesAfter, linesBefore);
  EXPECT_EQ(requestsAfter, requestsBefore);
  // Once the box is gone the recording goes on.
  ASSERT_TRUE(WaitFor([&] { return lines().size() > linesAfter; }, std::chrono::seconds(5)));
  EXPECT_TRUE(isReading(lines().back(), QStringLiteral("-215"))) << lines().back().toStdString();
  EXPECT_TRUE(form->state.Recording);
}

TEST_F(RecordingWindowTest, FocusedRegisterBadIntervalsAndErrorsOfTicks) {
  connectTo(QStringLiteral("TEMP.dat"), {"--value", "100:INT:1:42"});
  selectDevice(QStringLiteral("TEMP.dat"));

  // Intervals that are no positive integer are refused before anything is written.
  click(u"Temp");
  for (const QString& text : {QStringLiteral("0"), QStringLiteral("-3")}) {
    messages.clear();
    form->eInterval->setText(text);
    QTest::mouseClick(form->btRec, Qt::LeftButton);
    EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("nieprawidłowy interwał")});
  }
  messages.clear();
  form->eInterval->setText(QStringLiteral("abc"));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("'abc' is not a valid integer value.")});
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  EXPECT_FALSE(form->state.Recording);
  EXPECT_EQ(form->shRec->color(), kMediumGrey);
  EXPECT_TRUE(requests().empty());

  // The keyboard moved the focus on from the register clicked: the clicked one, CurrentNode, is recorded.
  click(u"Temp");
  form->VT->setFocus();
  QTest::keyClick(form->VT, Qt::Key_Down);
  ASSERT_EQ(form->VT->focusedNode(), node(u"Wilgotność"));
  form->eInterval->setText(QStringLiteral("1"));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_TRUE(form->state.Recording);
  EXPECT_EQ(form->state.RecordNode, node(u"Temp"));
  EXPECT_EQ(lines()[2], QStringLiteral("Rejestr:100(Temp)"));
  EXPECT_EQ(form->eRegister->text(), QStringLiteral("Temp"));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  form->Wyczy1->trigger();

  // Focus moved with the keyboard only after a load: CurrentNode is none, the focused register is recorded.
  selectDevice(QStringLiteral("TEMP.dat"));
  ASSERT_EQ(form->state.CurrentNode, nullptr);
  form->VT->setFocusedNode(node(u"Wilgotność"));
  form->eInterval->setText(QStringLiteral("1"));
  messages.clear();
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_TRUE(form->state.Recording);
  EXPECT_EQ(form->state.RecordNode, node(u"Wilgotność"));
  EXPECT_EQ(lines()[2], QStringLiteral("Rejestr:101(Wilgotność)"));

  // A slave address that is no number fails every tick: one message, not one per tick.
  form->eSlave->setText(QStringLiteral("x"));
  QTest::qWait(2600);
  EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("'x' is not a valid integer value.")});
  EXPECT_TRUE(form->state.Recording);

  // Loading another definition stops the recording before the old tree goes; nothing is read afterwards.
  form->eSlave->setText(QStringLiteral("1"));
  selectDevice(QStringLiteral("INNE.dat"));
  EXPECT_FALSE(form->state.Recording);
  EXPECT_EQ(form->state.RecordNode, nullptr);
  EXPECT_EQ(lines().back(), QString());
  EXPECT_EQ(form->shRec->color(), kMediumGrey);
  const size_t sent = requests().size();
  QTest::qWait(1500);
  EXPECT_EQ(requests().size(), sent);
}

TEST_F(RecordingWindowTest, ADefinitionThatCannotBeOpenedLeavesTheRecordingRunning) {
  startRecordingOfTemp();
  // Listed when the box gains the focus, gone by the time it is chosen.
  const QString gone = dir.filePath(QStringLiteral("BRAK.dat"));
  ASSERT_TRUE(QFile::copy(dir.filePath(QStringLiteral("INNE.dat")), gone));
  form->eSlave->setFocus();
  QApplication::processEvents();
  form->cbxDevice->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
  const int item = form->cbxDevice->findText(QStringLiteral("BRAK.dat"));
  ASSERT_GE(item, 0);
  ASSERT_TRUE(QFile::remove(gone));
  const QStringList before = lines();
  form->cbxDevice->setCurrentIndex(item);
  emit form->cbxDevice->activated(item);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Cannot open file \"%1\".").arg(gone)))
      << messages[0].toStdString();
  // The tree, the recording, its indicator and its log stay as they were, and the readings go on.
  EXPECT_TRUE(form->state.Recording);
  EXPECT_EQ(form->state.RecordNode, node(u"Temp"));
  EXPECT_EQ(form->shRec->color(), kYellow);
  EXPECT_EQ(lines(), before);
  EXPECT_TRUE(WaitFor([&] { return lines().size() > before.size(); }));
  EXPECT_TRUE(isReading(lines().back(), QStringLiteral("-215"))) << lines().back().toStdString();
}

// The watch list's file at exit.
class WatchListWindowTest : public RecordingWindowTest {
 protected:
  void loadAndClick(const QString& definition, std::u16string_view name) {
    selectDevice(definition);
    click(name);
  }
  void add(const QString& slave) {
    form->eSlave->setText(slave);
    form->Dodajdolisty1->trigger();
  }
  QByteArray exitAndRead() {
    form->close();
    EXPECT_FALSE(form->isVisible());
    return fileBytes(dir.filePath(QStringLiteral("velnorex.lst")));
  }
};

TEST_F(WatchListWindowTest, OneEntryGivesThe89ByteFile) {
  loadAndClick(QStringLiteral("TEMP.dat"), u"Temp");
  add(QStringLiteral("1"));
  const QByteArray file = exitAndRead();
  const QByteArray expected = QByteArray::fromHex(
      "4520560054000200200046200100000001000000410000000200000011000000"  // magic, count, node, base
      "0000000012000000810032000200000000"                                // the 17-byte base record
      "04000000160000000601310603313030060454656d700601310603494e54"      // user data: the five strings
      "03000000020000003100");
  EXPECT_EQ(file.size(), 89);
  EXPECT_EQ(file.toHex(), expected.toHex());
}

TEST_F(WatchListWindowTest, ARightClickOpensTheMenuAndLeavesTheHighlightedRow) {
  loadAndClick(QStringLiteral("TEMP.dat"), u"Temp");
  ASSERT_EQ(form->VTModel->nodeAt(form->VT->currentIndex()), node(u"Temp"));
  QSignalSpy menuRequests(form->VT, &QWidget::customContextMenuRequested);
  const QPoint other = cellPoint(u"Wilgotność");
  QTest::mouseClick(form->VT->viewport(), Qt::RightButton, {}, other);
  QTest::mouseDClick(form->VT->viewport(), Qt::RightButton, {}, other);
  // QTest hands the mouse to the widget directly; the window system adds this event after the button.
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, other, form->VT->viewport()->mapToGlobal(other));
  QApplication::sendEvent(form->VT->viewport(), &menuEvent);
  EXPECT_GE(menuRequests.size(), 1);
  EXPECT_TRUE(WaitFor([&] { return form->PopupMenu2->isVisible(); }));
  EXPECT_EQ(form->VTModel->nodeAt(form->VT->currentIndex()), node(u"Temp"));
  ASSERT_EQ(form->VT->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(form->VTModel->nodeAt(form->VT->selectionModel()->selectedRows().front()), node(u"Temp"));
  EXPECT_EQ(form->state.CurrentNode, node(u"Temp"));
  // "Dodaj do listy" adds the highlighted register, the one CurrentRecord holds.
  form->PopupMenu2->close();
  add(QStringLiteral("1"));
  WatchTree loaded;
  const QByteArray file = exitAndRead();
  LoadFromStream(loaded, std::span(reinterpret_cast<const uint8_t*>(file.constData()), file.size()));
  ASSERT_EQ(loaded.root().childCount(), 1u);
  EXPECT_EQ(loaded.root().child(0)->data.Name, u"Temp");
  EXPECT_TRUE(messages.empty());
}

TEST_F(WatchListWindowTest, NoEntryGives16Bytes) {
  // Without a register there is nothing to copy.
  form->Dodajdolisty1->trigger();
  EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("nie wybrano rejestru")});
  EXPECT_EQ(exitAndRead(), QByteArray::fromHex("45205600540002002000462000000000"));
}

TEST_F(WatchListWindowTest, EqualEntriesAnEmptySlaveAndAnotherDefinition) {
  loadAndClick(QStringLiteral("TEMP.dat"), u"Temp");
  add(QStringLiteral("1"));
  add(QStringLiteral("1"));
  add(QString());
  // Another definition: the earlier entries keep the first file's data, and until a click there is no
  // register to add.
  selectDevice(QStringLiteral("INNE.dat"));
  messages.clear();
  form->Dodajdolisty1->trigger();
  EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("nie wybrano rejestru")});
  click(u"Ciśnienie");
  add(QStringLiteral("abc"));

  const QByteArray file = exitAndRead();
  WatchTree loaded;
  LoadFromStream(loaded, std::span(reinterpret_cast<const uint8_t*>(file.constData()), file.size()));
  ASSERT_EQ(loaded.root().childCount(), 4u);
  const QByteArray entry = file.mid(16, 73);
  EXPECT_EQ(file.mid(16 + 73, 73), entry);  // two equal node chunks
  EXPECT_EQ(entry.right(10), QByteArray::fromHex("03000000020000003100"));
  // The entry with the empty slave: 57 bytes of node chunk, ending with its user data, no caption.
  const QByteArray noCaption = file.mid(16 + 146, 8 + 57);
  EXPECT_EQ(noCaption.mid(4, 4), QByteArray::fromHex("39000000"));
  EXPECT_FALSE(noCaption.contains(QByteArray::fromHex("0300000000000000")));
  EXPECT_TRUE(loaded.root().child(2)->data.Slave.empty());
  EXPECT_EQ(loaded.root().child(0)->data.Name, u"Temp");
  EXPECT_EQ(loaded.root().child(0)->data.Address, u"100");
  EXPECT_EQ(loaded.root().child(3)->data.Name, u"Ciśnienie");
  EXPECT_EQ(loaded.root().child(3)->data.Slave, u"abc");
  EXPECT_EQ(loaded.root().child(3)->data.Count, u"2");
}

TEST_F(WatchListWindowTest, AnUnwritableSettingsFolderStillClosesTheWindowAndWritesTheRest) {
  // The window of the fixture goes first, so that its own exit does not touch the files below.
  form->close();
  // Old files of an earlier run, elsewhere.
  for (const char* name : {"velnorex.INI", "velnorex.log"}) {
    QFile old(dir.filePath(QString::fromUtf8(name)));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("stare");
  }
  const QString blocker = dir.filePath(QStringLiteral("ustawienia"));
  {
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("zwykly plik");
  }
  // A folder under a regular file cannot be made, even by root.
  const TForm1::Paths paths{blocker + QStringLiteral("/velnorex.INI"),
                            blocker + QStringLiteral("/velnorex.log"),
                            dir.filePath(QStringLiteral("velnorex.lst")), QStringList{dir.path()},
                            dir.filePath(QStringLiteral("recordings"))};
  form = std::make_unique<TForm1>(paths);
  form->show();
  QApplication::processEvents();
  loadAndClick(QStringLiteral("TEMP.dat"), u"Temp");
  add(QStringLiteral("1"));
  form->Memo1->appendPlainText(QStringLiteral("wiersz"));
  messages.clear();
  form->close();

  EXPECT_FALSE(form->isVisible());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[0].contains(paths.settingsFile)) << messages[0].toStdString();
  EXPECT_TRUE(messages[1].contains(paths.logFile)) << messages[1].toStdString();
  // The watch list, the last step, still ran.
  EXPECT_EQ(QFileInfo(paths.watchListFile).size(), 89);
  EXPECT_EQ(fileBytes(blocker), QByteArray("zwykly plik"));
  EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("velnorex.INI"))), QByteArray("stare"));
  EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("velnorex.log"))), QByteArray("stare"));
}

}  // namespace
}  // namespace velnorex::test
