// The watch list as a panel and its recording end to end: the real window reads every entry from its own
// slave in list order against the simulator, streams the CSV file and the trend, and survives SIGKILL.
#include <signal.h>

#include <cstdlib>

#include <algorithm>

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>

#include "app/line_monitor_model.h"
#include "e2e_fixture.h"
#include "recording/csv_recording_file.h"
#include "recording/trend_view.h"
#include "sample_watch_list.h"

namespace velnorex::test {
namespace {

const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kMediumGrey(0xA0, 0xA0, 0xA4);
const QRegularExpression kIsoTime(
    QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));

const std::vector<std::string>& kSimulatorValues = kSampleSimulatorArgs;

class ListRecordingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    // Connections need a definition for connectTo; the list itself is independent of it.
    TreeBuilder()
        .group(u"Pomiary")
        .reg(u"Temp", u"100", u"INT", u"1", u"RO")
        .save(dir.filePath(QStringLiteral("TEMP.dat")).toStdString());
  }
  void fillList() { FillSampleWatchList(*form->VLModel); }
  void startList(const QString& interval = QStringLiteral("0,5")) {
    form->cbxRecList->setChecked(true);
    form->eInterval->setText(interval);
    QTest::mouseClick(form->btRec, Qt::LeftButton);
  }
  QStringList lines() const { return form->Memo1->toPlainText().split(u'\n'); }
  // Runs rounds one after another, without waiting for the timer, until `count` have been made.
  bool runRounds(uint64_t count) {
    form->ListRecordTimer.stop();
    while (form->listRecording.rounds() < count) {
      const uint64_t before = form->listRecording.rounds();
      form->listRecording.RecordTick();
      if (!WaitFor([&] { return form->listRecording.rounds() > before; })) return false;
    }
    return true;
  }
  QStringList csvFiles() const {
    QStringList files;
    QDirIterator it(dir.filePath(QStringLiteral("recordings")), {QStringLiteral("*.csv")}, QDir::Files);
    while (it.hasNext()) files << it.next();
    return files;
  }
  static QList<QByteArray> csvLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> out = file.readAll().split('\n');
    if (!out.isEmpty() && out.back().isEmpty()) out.pop_back();
    return out;
  }
};

TEST_F(ListRecordingTest, ThePanelIsShownHiddenAndItsEntriesRemovedAndReordered) {
  EXPECT_FALSE(form->VL->isVisible());
  EXPECT_TRUE(form->PopupMenu2->actions().contains(form->Listarejestrow1));
  EXPECT_TRUE(form->PopupMenu3->actions().contains(form->Listarejestrow1));
  // "Otwórz folder nagrań" follows the log window's own items.
  EXPECT_GT(form->PopupMenu1->actions().indexOf(form->Otworzfoldernagran1),
            form->PopupMenu1->actions().indexOf(form->Zapiszdopliku1));
  form->Listarejestrow1->trigger();
  EXPECT_TRUE(form->VL->isVisible());
  EXPECT_TRUE(form->Listarejestrow1->isChecked());
  QTest::keyClick(form->VT, Qt::Key_L, Qt::ControlModifier);
  EXPECT_FALSE(form->VL->isVisible());
  QTest::keyClick(form->eSlave, Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(form->VL->isVisible());

  fillList();
  const auto names = [&] {
    QStringList out;
    for (const WatchEntry& entry : form->VLModel->entries()) out << QString::fromStdU16String(entry.Name);
    return out.join(u',');
  };
  form->VL->setFocus();
  form->VL->setCurrentIndex(form->VLModel->index(0, 0));
  EXPECT_FALSE(form->Przesunwgore1->isEnabled());
  QTest::keyClick(form->VL, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(names(), QStringLiteral("Wilgotność,Temp,Obcy,Opis,Tryb,Błąd"));
  form->Przesunwdol1->trigger();
  EXPECT_EQ(names(), QStringLiteral("Wilgotność,Obcy,Temp,Opis,Tryb,Błąd"));
  form->Przesunwgore1->trigger();
  form->Przesunwgore1->trigger();
  EXPECT_EQ(names(), QStringLiteral("Temp,Wilgotność,Obcy,Opis,Tryb,Błąd"));
  QTest::keyClick(form->VL, Qt::Key_Delete);
  EXPECT_EQ(names(), QStringLiteral("Wilgotność,Obcy,Opis,Tryb,Błąd"));
  form->VL->setCurrentIndex(form->VLModel->index(4, 0));
  form->Usunzlisty1->trigger();
  EXPECT_EQ(names(), QStringLiteral("Wilgotność,Obcy,Opis,Tryb"));
  EXPECT_FALSE(form->Przesunwdol1->isEnabled());  // the new last entry is selected
  EXPECT_TRUE(messages.empty());

  // "Otwórz folder nagrań" makes the folder and hands it to the file manager.
  QUrl opened;
  form->recordingOutputs.openUrl = [&](const QUrl& url) {
    opened = url;
    return true;
  };
  form->Otworzfoldernagran1->trigger();
  EXPECT_EQ(opened, QUrl::fromLocalFile(dir.filePath(QStringLiteral("recordings"))));
  EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("recordings"))).exists());
}

TEST_F(ListRecordingTest, TheCsvCarriesTheFloatTheTransducerHoldsNotTheTwoDecimalsShown) {
  connectTo(QStringLiteral("TEMP.dat"), {"--value", "200:REAL:2:23,4712"});
  const RegisterNode humidity{u"Wilgotność", {}, u"200", u"REAL", u"2", u"RO", {}};
  form->VLModel->AddToWatchList(&humidity, QStringLiteral("1"));
  startList();
  ASSERT_TRUE(WaitFor([&] { return form->listRecording.rounds() >= 2; }));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  EXPECT_TRUE(lines()[3].endsWith(QStringLiteral("\t23,47"))) << lines()[3].toStdString();
  const QList<QByteArray> csv = csvLines(csvFiles().value(0));
  ASSERT_GE(csv.size(), 3);
  const QByteArray cell = csv[1].chopped(1).split(',').value(1);
  EXPECT_EQ(cell, "23.4712");
  EXPECT_EQ(std::strtof(cell.constData(), nullptr), 23.4712f);
  EXPECT_EQ(form->chTrend->curves()[0].last(), static_cast<double>(23.4712f));
}

TEST_F(ListRecordingTest, ATransducerThatAnswersLateLeavesItsCellsEmptyNeverWrong) {
  // Both registers of one slave, one register each: a reply to the first that comes after the exchange gave
  // up on it looks exactly like a reply to the second. -1234 is $FB2E.
  connectTo(QStringLiteral("TEMP.dat"),
            {"--value", "10:INT:1:-1234", "--value", "11:HEX:1:$0011", "--delay-ms", "100"});
  const RegisterNode temp{u"Temp", {}, u"10", u"INT", u"1", u"RO", {}};
  const RegisterNode mode{u"Tryb", {}, u"11", u"HEX", u"1", u"RO", {}};
  form->VLModel->AddToWatchList(&temp, QStringLiteral("1"));
  form->VLModel->AddToWatchList(&mode, QStringLiteral("1"));
  // Read one by one: planned, both would be one request.
  form->listRecording.setBlockReads(false);
  startList();
  ASSERT_TRUE(form->listRecording.running());
  ASSERT_TRUE(WaitFor([&] { return form->listRecording.rounds() >= 4; }));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_EQ(csvFiles().size(), 1);
  const QList<QByteArray> csv = csvLines(csvFiles()[0]);
  ASSERT_GE(csv.size(), 5);
  for (qsizetype i = 1; i < csv.size(); ++i) {
    const QList<QByteArray> cells = csv[i].chopped(1).split(',');
    ASSERT_EQ(cells.size(), 3) << csv[i].toStdString();
    EXPECT_TRUE(cells[1].isEmpty() || cells[1] == "-1234") << csv[i].toStdString();
    EXPECT_TRUE(cells[2].isEmpty() || cells[2] == "$11") << csv[i].toStdString();
  }
  // The late replies came, and were counted as dropped rather than taken.
  EXPECT_GT(form->lineMonitor.log().counts().lateDropped, 0u);
}

TEST_F(ListRecordingTest, EveryEntryIsReadFromItsSlaveInListOrderIntoLogCsvAndTrend) {
  connectTo(QStringLiteral("TEMP.dat"), kSimulatorValues);
  fillList();
  startList();
  ASSERT_TRUE(form->listRecording.running());
  EXPECT_EQ(form->shRec->color(), kYellow);
  EXPECT_FALSE(form->VT->isEnabled());
  EXPECT_TRUE(form->Memo1->isReadOnly());
  EXPECT_TRUE(form->watchListPanel.locked());
  EXPECT_TRUE(form->chTrend->isVisible());
  ASSERT_TRUE(WaitFor([&] { return form->listRecording.rounds() >= 3; }));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_FALSE(form->listRecording.running());
  EXPECT_EQ(form->shRec->color(), kMediumGrey);
  EXPECT_TRUE(form->VT->isEnabled());
  EXPECT_FALSE(form->Memo1->isReadOnly());
  EXPECT_FALSE(form->watchListPanel.locked());
  EXPECT_FALSE(form->state.Recording);
  EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
  const uint64_t rounds = form->listRecording.rounds();

  // The simulator saw the list in order, once per round, each entry at its own slave; nothing else. Temp,
  // Wilgotność, Opis and Tryb lie within small gaps of each other, but the transducer does not map 101: it
  // refuses their block with exception 2 once, and from then on they are read one by one. Błąd lies too far.
  const std::vector<std::string> round = {ReadRequest(100, 1), ReadRequest(102, 2), ReadRequest(100, 1, 2),
                                          ReadRequest(110, 4), ReadRequest(120, 1), ReadRequest(130, 1)};
  std::vector<std::string> sent = requests();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0], ReadRequest(100, 21));
  EXPECT_EQ(form->listRecording.plan().refusals(), 1u);
  sent.erase(sent.begin());
  // A stop may fall between two reads of a round: the dropped round's requests are a prefix of the list.
  ASSERT_GE(sent.size(), rounds * round.size());
  for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i], round[i % round.size()]) << "request " << i;
  EXPECT_LT(sent.size(), (rounds + 1) * round.size());

  // The log: the date, one line per entry, the readings with a tab between the values, the stop's line.
  const QStringList log = lines();
  ASSERT_GE(log.size(), 8 + static_cast<int>(rounds) + 1) << form->Memo1->toPlainText().toStdString();
  EXPECT_TRUE(log[0].startsWith(QStringLiteral("Data:")));
  EXPECT_EQ(log[1], QStringLiteral("Slave:1\tRejestr:100(Temp)"));
  EXPECT_EQ(log[3], QStringLiteral("Slave:2\tRejestr:100(Obcy)"));
  EXPECT_EQ(log[7], QString());
  for (int i = 0; i < static_cast<int>(rounds); ++i)
    EXPECT_TRUE(log[8 + i].endsWith(QStringLiteral("\t-215\t21,50\t\tabc\t$FF\t")))
        << log[8 + i].toStdString();
  EXPECT_EQ(log.back(), QString());

  // The CSV file: the header names every register, then one line per round with the transducer's values.
  const QStringList files = csvFiles();
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(files[0].endsWith(QStringLiteral("_lista.csv"))) << files[0].toStdString();
  const QList<QByteArray> csv = csvLines(files[0]);
  ASSERT_EQ(csv.size(), static_cast<qsizetype>(rounds) + 1);
  EXPECT_EQ(QString::fromUtf8(csv[0]),
            QStringLiteral("czas,Temp [slave 1; rejestr 100; INT],Wilgotność [slave 1; rejestr 102; REAL],"
                           "Obcy [slave 2; rejestr 100; INT],Opis [slave 1; rejestr 110; TEXT],"
                           "Tryb [slave 1; rejestr 120; HEX],Błąd [slave 1; rejestr 130; WORD]\r"));
  QDateTime previous;
  for (qsizetype i = 1; i < csv.size(); ++i) {
    const QList<QByteArray> cells = csv[i].chopped(1).split(',');
    ASSERT_EQ(cells.size(), 7) << csv[i].toStdString();
    EXPECT_TRUE(kIsoTime.match(QString::fromLatin1(cells[0])).hasMatch()) << cells[0].toStdString();
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODateWithMs);
    if (previous.isValid()) {
      EXPECT_GT(at, previous);
    }
    previous = at;
    EXPECT_EQ(cells.mid(1), (QList<QByteArray>{"-215", "21.5", "", "abc", "$FF", ""}));
  }

  // The trend drew the numeric registers, one point per round where the read succeeded.
  ASSERT_EQ(form->chTrend->curves().size(), 4u);  // INT, REAL, INT (foreign), WORD (exception)
  EXPECT_EQ(form->chTrend->curves()[0].count(), rounds);
  EXPECT_EQ(form->chTrend->curves()[0].last(), -215);
  EXPECT_EQ(form->chTrend->curves()[1].last(), 21.5);
  EXPECT_EQ(form->chTrend->curves()[2].count(), 0u);
  EXPECT_EQ(form->chTrend->curves()[3].count(), 0u);
}

TEST_F(ListRecordingTest, PlannedRoundsRecordWhatOneByOneReadsRecordAndARefusedBlockCostsOneRequestOnce) {
  // Ten REAL channels side by side, and two WORD registers around three addresses the transducer does not
  // map.
  std::vector<std::string> args = {"--value", "200:WORD:1:7", "--value", "204:WORD:1:9"};
  for (int i = 0; i < 10; ++i) {
    args.push_back("--value");
    args.push_back(std::to_string(100 + 2 * i) + ":REAL:2:" + std::to_string(i) + ",25");
  }
  form->cbxBaud->setCurrentIndex(1);  // 19200 baud: twenty registers fit one request
  connectTo(QStringLiteral("TEMP.dat"), args);
  for (int i = 0; i < 10; ++i) {
    const RegisterNode channel{u"K",  {}, QString::number(100 + 2 * i).toStdU16String(), u"REAL", u"2",
                               u"RO", {}};
    form->VLModel->AddToWatchList(&channel, QStringLiteral("1"));
  }
  const RegisterNode low{u"A", {}, u"200", u"WORD", u"1", u"RO", {}};
  const RegisterNode high{u"B", {}, u"204", u"WORD", u"1", u"RO", {}};
  form->VLModel->AddToWatchList(&low, QStringLiteral("1"));
  form->VLModel->AddToWatchList(&high, QStringLiteral("1"));

  // One request per register, as before reads were planned.
  form->listRecording.setBlockReads(false);
  startList();
  ASSERT_TRUE(form->listRecording.running());
  ASSERT_TRUE(runRounds(3));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  const QStringList oneByOneFiles = csvFiles();
  ASSERT_EQ(oneByOneFiles.size(), 1);
  const size_t sentOneByOne = requests().size();
  EXPECT_EQ(sentOneByOne, 12 * form->listRecording.rounds());

  // Planned: a tenth of a second is allowed now, the channels are one request, the gapped pair is refused
  // once and then read register by register.
  form->listRecording.setBlockReads(true);
  startList(QStringLiteral("0,1"));
  ASSERT_TRUE(form->listRecording.running()) << (messages.empty() ? "" : messages.front().toStdString());
  ASSERT_TRUE(runRounds(4));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  const std::vector<std::string> all = requests();
  const std::vector<std::string> planned(all.begin() + static_cast<std::ptrdiff_t>(sentOneByOne), all.end());
  const std::vector<std::string> round = {ReadRequest(100, 20), ReadRequest(200, 1), ReadRequest(204, 1)};
  ASSERT_GE(planned.size(), 1 + 4 * round.size());
  EXPECT_EQ(planned[0], ReadRequest(100, 20));
  EXPECT_EQ(planned[1], ReadRequest(200, 5));
  for (size_t i = 2; i < planned.size(); ++i)
    EXPECT_EQ(planned[i], round[(i - 1) % round.size()]) << "request " << i;
  EXPECT_EQ(form->listRecording.plan().refusals(), 1u);

  // The traffic monitor shows a block as one transaction that names the registers it served.
  LineMonitorModel monitor(form->lineMonitor.log());
  QStringList blockRows;
  for (int row = 0; row < monitor.rowCount(); ++row)
    if (monitor.record(row) && monitor.record(row)->served.any())
      blockRows << monitor.cellText(row, LineMonitorModel::kAddress) + u'/' +
                       monitor.cellText(row, LineMonitorModel::kCount);
  ASSERT_GE(blockRows.size(), 5);
  EXPECT_EQ(blockRows[0], QStringLiteral("100, 102, 104, 106, 108, 110, 112, 114, 116, 118/20"));
  EXPECT_EQ(blockRows[1], QStringLiteral("200, 204/5"));
  EXPECT_EQ(blockRows.back(), blockRows[0]);

  // Both files hold the same values in every row.
  QStringList files = csvFiles();
  ASSERT_EQ(files.size(), 2);
  files.removeOne(oneByOneFiles[0]);
  const auto values = [](const QList<QByteArray>& csv) {
    std::vector<QList<QByteArray>> rows;
    for (qsizetype i = 1; i < csv.size(); ++i) rows.push_back(csv[i].chopped(1).split(',').mid(1));
    return rows;
  };
  const auto oneByOne = values(csvLines(oneByOneFiles[0]));
  const auto blocks = values(csvLines(files[0]));
  ASSERT_GE(oneByOne.size(), 3u);
  ASSERT_GE(blocks.size(), 4u);
  const QList<QByteArray> expected = {"0.25", "1.25", "2.25", "3.25", "4.25", "5.25",
                                      "6.25", "7.25", "8.25", "9.25", "7",    "9"};
  for (const auto& row : oneByOne) EXPECT_EQ(row, expected);
  for (const auto& row : blocks) EXPECT_EQ(row, expected);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ListRecordingTest, StartsOnlyWithAListAnIntervalThatFitsAndALine) {
  const auto refused = [&](const QString& expected) {
    messages.clear();
    QTest::mouseClick(form->btRec, Qt::LeftButton);
    EXPECT_FALSE(form->listRecording.running());
    EXPECT_EQ(messages, std::vector<QString>{expected});
  };
  form->cbxRecList->setChecked(true);
  form->eInterval->setText(QStringLiteral("1"));
  refused(QStringLiteral("lista rejestrów jest pusta"));
  fillList();
  refused(QStringLiteral("brak połączenia !"));
  connectTo(QStringLiteral("TEMP.dat"), kSimulatorValues);
  for (const char* interval : {"0", "0,05", "-1"}) {
    form->eInterval->setText(QString::fromLatin1(interval));
    refused(QStringLiteral("nieprawidłowy interwał"));
  }
  form->eInterval->setText(QStringLiteral("0.5"));
  refused(QStringLiteral("'0.5' is not a valid floating point value."));
  // Six entries at 9600 baud (the first item of "Szybkość:") need more than a tenth of a second.
  form->eInterval->setText(QStringLiteral("0,1"));
  refused(QStringLiteral("interwał krótszy niż odczyt listy (najmniej 0,2 s)"));
  const RegisterNode bad{u"Zły", {}, u"1", u"WORD", u"1", u"RO", {}};
  form->VLModel->AddToWatchList(&bad, QStringLiteral("abc"));
  form->eInterval->setText(QStringLiteral("1"));
  refused(QStringLiteral("'abc' is not a valid integer value."));
  // Nothing was written, sent or created; the one-register recording's rule for whole seconds is unchanged.
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(csvFiles().isEmpty());
  form->cbxRecList->setChecked(false);
  selectDevice(QStringLiteral("TEMP.dat"));
  click(u"Temp");
  form->eInterval->setText(QStringLiteral("0,5"));
  refused(QStringLiteral("'0,5' is not a valid integer value."));
}

TEST_F(ListRecordingTest, NoRoundRunsWhileAMessageIsOpenAndDisconnectingStopsTheList) {
  connectTo(QStringLiteral("TEMP.dat"), kSimulatorValues);
  fillList();
  startList();
  ASSERT_TRUE(WaitFor([&] { return form->listRecording.rounds() >= 1; }));
  size_t before = 0, after = 0;
  QString shown;
  SetMessageBoxHook([&](const ShownMessage& m) {
    shown = m.text;
    // Between rounds: six requests each, and the first round's block that the transducer refused.
    ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction() && (requests().size() - 1) % 6 == 0; }));
    before = requests().size();
    QTest::qWait(1600);  // three ticks pass while the operator reads the box
    after = requests().size();
  });
  const uint64_t skipped = form->listRecording.skippedTicks();
  // A file manager that cannot start: the operator is told in a message box.
  form->recordingOutputs.openUrl = [](const QUrl&) { return false; };
  form->Otworzfoldernagran1->trigger();
  EXPECT_EQ(shown, QStringLiteral("nie można otworzyć folderu nagrań: ") +
                       dir.filePath(QStringLiteral("recordings")));
  EXPECT_EQ(after, before);
  EXPECT_GE(form->listRecording.skippedTicks(), skipped + 2);
  ASSERT_TRUE(WaitFor([&] { return requests().size() > after; }, std::chrono::seconds(5)));

  // "Rozłącz" ends the list recording first: its stop line comes while the port is still open.
  QTest::mouseClick(form->btDisconnect, Qt::LeftButton);
  EXPECT_FALSE(form->listRecording.running());
  EXPECT_FALSE(form->ListRecordTimer.isActive());
  EXPECT_EQ(form->shRec->color(), kMediumGrey);
  EXPECT_EQ(lines().back(), QString());
}

TEST_F(ListRecordingTest, TheOneRegisterRecordingStreamsEveryValueAsItIsRead) {
  connectTo(QStringLiteral("TEMP.dat"), kSimulatorValues);
  selectDevice(QStringLiteral("TEMP.dat"));
  click(u"Temp");
  form->eInterval->setText(QStringLiteral("1"));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_TRUE(form->state.Recording);
  ASSERT_TRUE(WaitFor([&] { return requests().size() >= 3; }));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_FALSE(form->state.Recording);

  const QStringList files = csvFiles();
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(files[0].endsWith(QStringLiteral("_100_Temp.csv"))) << files[0].toStdString();
  const QList<QByteArray> csv = csvLines(files[0]);
  EXPECT_EQ(csv[0], QByteArray("czas,Temp [slave 1; rejestr 100; INT]\r"));
  // One row per read, each with the value read (the log's lines lag one interval behind).
  ASSERT_EQ(csv.size(), static_cast<qsizetype>(requests().size()) + 1);
  for (qsizetype i = 1; i < csv.size(); ++i) EXPECT_TRUE(csv[i].endsWith(",-215\r")) << csv[i].toStdString();
  ASSERT_EQ(form->chTrend->curves().size(), 1u);
  EXPECT_EQ(form->chTrend->curves()[0].count(), requests().size());
}

TEST_F(ListRecordingTest, AFileThatCannotBeMadeIsToldInTheLogAndTheStatusLineAndTheRecordingGoesOn) {
  // A file where the recordings folder should be: neither the folder nor a file in it can be made.
  QFile blocker(dir.filePath(QStringLiteral("recordings")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  connectTo(QStringLiteral("TEMP.dat"), kSimulatorValues);
  selectDevice(QStringLiteral("TEMP.dat"));
  click(u"Temp");
  form->eInterval->setText(QStringLiteral("1"));
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_TRUE(form->state.Recording);
  // No box stands between the header and the first reading.
  EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
  const QStringList log = lines();
  ASSERT_GE(log.size(), 6) << form->Memo1->toPlainText().toStdString();
  EXPECT_EQ(log[2], QStringLiteral("Rejestr:100(Temp)"));
  EXPECT_EQ(log[3], QString());
  EXPECT_TRUE(log[4].startsWith(QStringLiteral("nie można utworzyć folderu nagrań \"%1\": ")
                                    .arg(dir.filePath(QStringLiteral("recordings")))))
      << log[4].toStdString();
  EXPECT_TRUE(log[4].endsWith(QStringLiteral("; rejestracja trwa bez pliku"))) << log[4].toStdString();
  EXPECT_EQ(form->stBar->currentMessage(), log[4]);
  EXPECT_TRUE(log[5].endsWith(QStringLiteral("\t-215"))) << log[5].toStdString();
  // The readings go on in the log window and the trend.
  ASSERT_TRUE(WaitFor([&] { return lines().size() >= 7; }, std::chrono::seconds(5)));
  EXPECT_TRUE(lines()[6].endsWith(QStringLiteral("\t-215"))) << lines()[6].toStdString();
  EXPECT_TRUE(form->state.Recording);
  EXPECT_GE(form->chTrend->curves()[0].count(), 2u);
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ListRecordingTest, ALongRecordingKeepsTheNewestLinesAndSaysHowManyWentWhileTheFileKeepsThemAll) {
  connectTo(QStringLiteral("TEMP.dat"), kSimulatorValues);
  fillList();
  startList();
  form->listRecording.setLogWindowLimit(12, 5);
  const QStringList header = lines().mid(0, 8);  // the date, six registers, the empty line
  ASSERT_EQ(header.back(), QString());
  const auto isReading = [](const QString& line) {
    return line.endsWith(QStringLiteral("\t-215\t21,50\t\tabc\t$FF\t"));
  };
  const QString dropped =
      QStringLiteral("usunięto z okna %1 starszych wierszy; wszystkie odczyty są w pliku CSV");
  ASSERT_TRUE(runRounds(30));
  QStringList log = lines();
  EXPECT_EQ(log.mid(0, 8), header);
  EXPECT_EQ(log[8], dropped.arg(form->listRecording.droppedLogLines())) << log[8].toStdString();
  // The newest readings, at most twelve lines after the header; together with those dropped, every round.
  const QStringList kept = log.mid(9);
  EXPECT_LE(kept.size(), 12);
  EXPECT_TRUE(std::all_of(kept.begin(), kept.end(), isReading)) << log.join(u'\n').toStdString();
  EXPECT_EQ(form->listRecording.droppedLogLines() + static_cast<uint64_t>(kept.size()), 30u);
  ASSERT_TRUE(form->recordingOutputs.file());
  EXPECT_EQ(form->recordingOutputs.file()->rows(), 30u);

  // "Wyczyść" in between: the lines that follow are bounded alike, and counted from there.
  form->Wyczy1->trigger();
  const uint64_t droppedBefore = form->listRecording.droppedLogLines();
  ASSERT_TRUE(runRounds(60));
  log = lines();
  EXPECT_LE(log.size(), 14);
  EXPECT_EQ(log.filter(QStringLiteral("usunięto z okna ")).size(), 1);
  EXPECT_EQ(
      log.filter(QStringLiteral("\t-215\t")).size() + form->listRecording.droppedLogLines() - droppedBefore,
      30u);
  QTest::mouseClick(form->btRec, Qt::LeftButton);
  ASSERT_FALSE(form->listRecording.running());
  EXPECT_EQ(lines().back(), QString());
  EXPECT_TRUE(form->Memo1->isUndoRedoEnabled());

  // Without a file the window is the only record: every line stays.
  form->Wyczy1->trigger();
  form->recordingOutputs.setFolder(QString());
  startList();
  form->listRecording.setLogWindowLimit(12, 5);
  ASSERT_TRUE(runRounds(20));
  EXPECT_EQ(form->listRecording.droppedLogLines(), 0u);
  EXPECT_EQ(lines().filter(QStringLiteral("\t-215\t")).size(), 20);
  EXPECT_FALSE(form->Memo1->isUndoRedoEnabled());
  QTest::mouseClick(form->btRec, Qt::LeftButton);
}

// A recording killed outright: the child is the real window in a program of its own, recording the list
// against the simulator every tenth of a second.
TEST_F(ListRecordingTest, AKilledProgramLeavesOnlyWholeLines) {
  sim = std::make_unique<SimulatorProcess>(kSimulatorValues);
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    const QString folder = dir.filePath(QStringLiteral("child%1").arg(run));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromStdString(BinDir()) + QStringLiteral("/../tests/recording_child"),
                {QString::fromStdString(sim->path()), folder, QStringLiteral("0,3")});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child did not start recording";
    const QString path = QString::fromUtf8(child.readLine()).trimmed();
    ASSERT_TRUE(path.endsWith(QStringLiteral(".csv"))) << path.toStdString();
    // Killed at a different moment each run, while lines are being written.
    const int rows = 3 + 2 * run;
    ASSERT_TRUE(WaitFor([&] { return csvLines(path).size() > rows; }, std::chrono::seconds(30)));
    QTest::qWait(37 * run);
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("\r\n")) << "a torn last line";
    const QList<QByteArray> csv = csvLines(path);
    ASSERT_GT(csv.size(), rows);
    EXPECT_TRUE(csv[0].startsWith("czas,Temp [slave 1; rejestr 100; INT],"));
    for (qsizetype i = 1; i < csv.size(); ++i) {
      const QList<QByteArray> cells = csv[i].chopped(1).split(',');
      ASSERT_EQ(cells.size(), 7) << csv[i].toStdString();
      EXPECT_TRUE(kIsoTime.match(QString::fromLatin1(cells[0])).hasMatch()) << cells[0].toStdString();
      EXPECT_EQ(cells.mid(1), (QList<QByteArray>{"-215", "21.5", "", "abc", "$FF", ""}));
    }
  }
}

}  // namespace
}  // namespace velnorex::test
