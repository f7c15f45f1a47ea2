// The recording's CSV file: header and rows as a spreadsheet reads them, names that never replace a file,
// and the operator's message when the folder cannot be made.
#include "recording/csv_recording_file.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "tests/recording/recorded_values.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::test {
namespace {

using namespace std::chrono_literals;

QByteArray ReadAll(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(CsvRecordingFile, HeaderAndRowsWithDotsQuotesAndEmptyCells) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::vector<RecordedColumn> columns = {
      {u"1", u"100", u"Temperatura", u"REAL"},
      {u"12", u"$0010", u"Tryb, pracy", u"hex"},
      {u"1", u"200", u"Opis \"A\"", u"TEXT"},
      {u"3", u"7", u"Licznik", u"int"},
  };
  const auto start = RecordingClock::now();
  // A folder that does not exist yet is made.
  const std::string folder = dir.filePath(QStringLiteral("nagrania/dzisiaj")).toStdString();
  std::string path;
  {
    CsvRecordingFile file(folder, start, columns, u"lista");
    path = file.path();
    file.writeRow(start, {RealReading(21.5f), Reading(kTypeHex, {0x00FF}),
                          Reading(kTypeText, {0x6162, 0x2C63}), Reading(kTypeInt, {0xFF29})});
    // A failed read leaves its cell empty; a row shorter than the columns is padded.
    file.writeRow(start + 500ms,
                  {FailedReading(), Reading(kTypeHex, {0x0001}), Reading(kTypeText, {0x7800})});
    EXPECT_EQ(file.rows(), 2u);
    // Every line is in the file as soon as it was written, before the file is closed.
    EXPECT_EQ(ReadAll(path).count("\r\n"), 3);
  }
  const QList<QByteArray> lines = ReadAll(path).split('\n');
  ASSERT_EQ(lines.size(), 4);  // three lines and nothing after the last CR LF
  EXPECT_EQ(
      lines[0],
      QByteArray(
          "czas,Temperatura [slave 1; rejestr 100; REAL],\"Tryb, pracy [slave 12; rejestr $0010; hex]\","
          "\"Opis \"\"A\"\" [slave 1; rejestr 200; TEXT]\",Licznik [slave 3; rejestr 7; int]\r"));
  const QString stamp = QString::fromStdString(IsoLocalTime(start));
  EXPECT_EQ(lines[1], (stamp + QStringLiteral(",21.5,$FF,\"ab,c\",-215\r")).toUtf8());
  EXPECT_EQ(lines[2],
            (QString::fromStdString(IsoLocalTime(start + 500ms)) + QStringLiteral(",,$01,x,\r")).toUtf8());
  EXPECT_TRUE(lines[3].isEmpty());
  EXPECT_TRUE(QString::fromStdString(path).endsWith(QStringLiteral("_lista.csv"))) << path;
}

TEST(CsvRecordingFile, TimesAreIsoLocalWithMillisecondsAndOffset) {
  // 2024-01-15 12:00:00.007 UTC, in whatever zone the machine is set to.
  const RecordingClock::time_point moment{std::chrono::milliseconds(1705320000007LL)};
  const QString text = QString::fromStdString(IsoLocalTime(moment));
  static const QRegularExpression pattern(
      QStringLiteral("^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\\.007([+-]\\d\\d):(\\d\\d)$"));
  const auto match = pattern.match(text);
  ASSERT_TRUE(match.hasMatch()) << text.toStdString();
  // The local time minus its offset is the moment itself.
  QDateTime local = QDateTime::fromString(match.captured(1), Qt::ISODate);
  local.setTimeSpec(Qt::UTC);
  const int sign = match.captured(2).startsWith(u'-') ? -1 : 1;
  const int offsetMinutes = sign * (match.captured(2).mid(1).toInt() * 60 + match.captured(3).toInt());
  EXPECT_EQ(local.addSecs(-offsetMinutes * 60).toMSecsSinceEpoch(), 1705320000000LL);
}

TEST(CsvRecordingFile, NamesNeverReplaceAFileAndCarryNoForbiddenCharacters) {
  QTemporaryDir dir;
  const auto start = RecordingClock::now();
  const std::vector<RecordedColumn> columns = {{u"1", u"100", u"Temp", u"INT"}};
  const std::u16string label = u"100_T/e:m*p?\"<ą>|";
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i)
    paths.push_back(CsvRecordingFile(dir.path().toStdString(), start, columns, label).path());
  const QString name = QFileInfo(QString::fromStdString(paths[0])).fileName();
  EXPECT_TRUE(name.endsWith(QStringLiteral("_100_T_e_m_p___ą__.csv"))) << name.toStdString();
  EXPECT_TRUE(QString::fromStdString(paths[1]).endsWith(QStringLiteral("__2.csv"))) << paths[1];
  EXPECT_TRUE(QString::fromStdString(paths[2]).endsWith(QStringLiteral("__3.csv"))) << paths[2];
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
  for (const std::string& path : paths) EXPECT_TRUE(ReadAll(path).startsWith("czas,Temp [slave 1;"));
  EXPECT_EQ(RecordingFileName(start, u"...", 1).substr(19), "_rejestr.csv");

  // A folder under a regular file cannot be made, not even by root: the operator is told which.
  QFile blocker(dir.filePath(QStringLiteral("plik")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  try {
    CsvRecordingFile(dir.filePath(QStringLiteral("plik/nagrania")).toStdString(), start, columns, u"x");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_TRUE(
        QString::fromUtf8(e.what()).startsWith(QStringLiteral("nie można utworzyć folderu nagrań \"")))
        << e.what();
  }
}

TEST(CsvRecordingFile, ACellCarriesTheValueTheTransducerHolds) {
  // The tree shows two decimals of a REAL and ten of a PREC; the file keeps the single itself: its cell reads
  // back as the very float, whatever the decimals shown.
  for (const float held : {23.4712f, -0.0000012345f, 0.1f, 3.4028235e38f, 1.0e-45f, -1.5f}) {
    for (const uint8_t type : {kTypeReal, kTypePrec}) {
      const std::string cell = ToUtf8(CsvValueCell(RealReading(held, type)));
      EXPECT_EQ(std::strtof(cell.c_str(), nullptr), held) << cell;
      EXPECT_EQ(cell.find(','), std::string::npos) << cell;
    }
  }
  EXPECT_EQ(CsvValueCell(RealReading(23.4712f)), u"23.4712");
  EXPECT_EQ(RealReading(23.4712f).text, u"23,47");
  // Integers as integers; HEX and TEXT as the tree shows them; a failed read as nothing.
  EXPECT_EQ(CsvValueCell(Reading(kTypeWord, {0xFFFF})), u"65535");
  EXPECT_EQ(CsvValueCell(Reading(kTypeInt, {0xFFFF})), u"-1");
  EXPECT_EQ(CsvValueCell(Reading(kTypeHex, {0x01A2})), u"$1A2");
  EXPECT_EQ(CsvValueCell(Reading(kTypeText, {0x3132, 0x2C35})), u"12,5");
  EXPECT_EQ(CsvValueCell(FailedReading()), u"");

  // A number with a meaning: the cell is raw × scale + offset unrounded, the header says the unit once.
  const std::u16string field = u"I16 table=input scale=0.1 decimals=0 unit=°C";
  RecordedValue scaled;
  const uint16_t raw[] = {static_cast<uint16_t>(-125)};
  DecodeWords(RegisterFormatOf(field), raw, 1, scaled.value);
  scaled.text = DisplayText(scaled.value);
  EXPECT_EQ(scaled.text, u"-13 °C");  // decimals shape the tree's text only
  EXPECT_EQ(CsvValueCell(scaled), u"-12.5");
  EXPECT_EQ(CsvHeaderCell({u"1", u"3", u"Temperatura", field}),
            u"Temperatura [slave 1; rejestr 3; I16 table=input; °C]");
  EXPECT_EQ(CsvHeaderCell({u"1", u"4", u"Stan", u"BOOL table=coil"}),
            u"Stan [slave 1; rejestr 4; BOOL table=coil]");
}

}  // namespace
}  // namespace velnorex::test
