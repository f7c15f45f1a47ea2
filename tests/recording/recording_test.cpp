// Recording against a stand-in window: the header, the reading lines, the locks and the choices the program
// makes where the simple algorithm would go wrong.
#include "recording/recording.h"

#include <gtest/gtest.h>
#include <QRegularExpression>

#include "recording/log_lines.h"
#include "registers/palette.h"
#include "test_host.h"
#include "text/errors.h"

namespace velnorex::test {
namespace {

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    group = tree->root().child(0);
    temp = group->child(0);
    mode = group->child(1);
    host.slave = QStringLiteral("12");
    // Each read returns the next value of the sequence.
    host.onRead = [this](RegisterTreeNode* node) {
      node->data.Value = QString::number(++readCount).toStdU16String();
    };
  }

  void clickOn(RegisterTreeNode* node) {
    host.focused = node;
    host.state.CurrentNode = node;
    host.state.CurrentRecord = node ? &node->data : nullptr;
  }

  bool idle() const {
    return !host.state.Recording && !host.state.RecordNode && !host.timer.isActive() &&
           !host.memo.isReadOnly() && host.treeEnabled && host.indicator == kColorMediumGrey;
  }

  std::unique_ptr<RegisterTree> tree = SampleTree();
  RegisterTreeNode* group = nullptr;
  RegisterTreeNode* temp = nullptr;
  RegisterTreeNode* mode = nullptr;
  TestHost host;
  Recording rec{host};
  int readCount = 0;
};

QString ReadingValue(const QString& line) {
  static const QRegularExpression pattern(QStringLiteral("^\\S+\\t(.*)$"));
  const auto match = pattern.match(line);
  return match.hasMatch() ? match.captured(1) : QStringLiteral("<no reading line: %1>").arg(line);
}

TEST_F(RecordingTest, StartTicksAndStopWriteHeaderReadingsAndSeparator) {
  clickOn(temp);
  host.interval = QStringLiteral("3");
  rec.btRecClick();

  ASSERT_TRUE(host.state.Recording);
  EXPECT_EQ(host.state.RecordNode, temp);
  EXPECT_TRUE(host.timer.isActive());
  EXPECT_EQ(host.timer.interval(), 3000);
  EXPECT_TRUE(host.memo.isReadOnly());
  EXPECT_FALSE(host.treeEnabled);
  EXPECT_EQ(host.indicator, QColor(0xFF, 0xFF, 0x00));

  QStringList lines = host.lines();
  ASSERT_EQ(lines.size(), 5);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Data:"))) << lines[0].toStdString();
  EXPECT_FALSE(lines[0].startsWith(QStringLiteral("Data: ")));
  EXPECT_EQ(lines[1], QStringLiteral("Urządzenie:12(X.dat)"));
  EXPECT_EQ(lines[2], QStringLiteral("Rejestr:100(Temperatura)"));
  EXPECT_EQ(lines[3], QString());
  EXPECT_EQ(ReadingValue(lines[4]), QStringLiteral("1"));

  // Each line carries the value read one interval earlier: the first two lines are equal.
  rec.RecordTick();
  rec.RecordTick();
  lines = host.lines();
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(ReadingValue(lines[5]), QStringLiteral("1"));
  EXPECT_EQ(ReadingValue(lines[6]), QStringLiteral("2"));
  EXPECT_EQ(host.reads, (std::vector<RegisterTreeNode*>{temp, temp, temp}));

  rec.btRecClick();
  EXPECT_TRUE(idle());
  lines = host.lines();
  ASSERT_EQ(lines.size(), 8);
  EXPECT_EQ(lines[7], QString());
  EXPECT_TRUE(host.messages.isEmpty());
  EXPECT_TRUE(host.errors.isEmpty());

  // Stopping again, as Reset and Disconnect do unconditionally, adds nothing.
  rec.StopRecording();
  EXPECT_EQ(host.lines().size(), 8);
  // A tick that was already queued when the recording stopped reads nothing.
  rec.RecordTick();
  EXPECT_EQ(host.reads.size(), 3u);
}

TEST_F(RecordingTest, NoRegisterFocusedIsRefusedWithoutWriting) {
  for (RegisterTreeNode* node : {static_cast<RegisterTreeNode*>(nullptr), group}) {
    host.messages.clear();
    clickOn(node);
    rec.btRecClick();
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("nie wybrano rejestru")});
    EXPECT_TRUE(host.memo.toPlainText().isEmpty());
    EXPECT_TRUE(host.reads.empty());
    EXPECT_TRUE(idle());
  }
  // During a group operation or a transaction the start is ignored whole.
  clickOn(mode);
  host.isBusy = true;
  host.messages.clear();
  rec.btRecClick();
  EXPECT_TRUE(host.messages.isEmpty());
  EXPECT_TRUE(host.memo.toPlainText().isEmpty());
  EXPECT_TRUE(idle());
  host.isBusy = false;
  // A lower-case access text still makes a register.
  clickOn(mode);
  rec.btRecClick();
  EXPECT_TRUE(host.state.Recording);
}

TEST_F(RecordingTest, BadIntervalIsRefusedBeforeAnythingIsWritten) {
  clickOn(temp);
  for (const char* text : {"0", "-5", "2147484"}) {
    host.messages.clear();
    host.interval = QString::fromUtf8(text);
    rec.btRecClick();
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("nieprawidłowy interwał")}) << text;
    EXPECT_TRUE(host.memo.toPlainText().isEmpty()) << text;
    EXPECT_TRUE(idle()) << text;
  }
  // Not an integer: the conversion error, still before the header, and no recording left half-started.
  host.interval = QStringLiteral("1,5");
  try {
    rec.btRecClick();
    ADD_FAILURE() << "no conversion error";
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'1,5' is not a valid integer value");
  }
  EXPECT_TRUE(host.memo.toPlainText().isEmpty());
  EXPECT_TRUE(host.reads.empty());
  EXPECT_TRUE(idle());

  // Hexadecimal is an integer text like any other.
  host.interval = QStringLiteral("$2");
  rec.btRecClick();
  EXPECT_TRUE(host.state.Recording);
  EXPECT_EQ(host.timer.interval(), 2000);
}

TEST_F(RecordingTest, CurrentNodeIsRecordedAndTheFocusedRegisterStandsInOnlyForNoRegister) {
  // Focus moved with the keyboard only: CurrentNode is none.
  host.focused = temp;
  rec.btRecClick();
  EXPECT_EQ(host.state.RecordNode, temp);
  EXPECT_EQ(host.state.CurrentRecord, &temp->data);
  EXPECT_EQ(host.lines()[2], QStringLiteral("Rejestr:100(Temperatura)"));
  EXPECT_EQ(host.registerText, QStringLiteral("Temperatura"));  // "Rejestr:" names what is recorded
  rec.btRecClick();

  // CurrentRecord is another register's record (the one read last), CurrentNode the focused one.
  host.memo.clear();
  clickOn(temp);
  host.state.CurrentRecord = &mode->data;
  rec.btRecClick();
  EXPECT_EQ(host.lines()[2], QStringLiteral("Rejestr:100(Temperatura)"));
  EXPECT_EQ(host.state.CurrentRecord, &temp->data);
  rec.btRecClick();

  // The keyboard moved the focus to another register than CurrentNode: CurrentNode is recorded, and
  // "Rejestr:" keeps naming it.
  host.memo.clear();
  clickOn(temp);
  host.registerText = QStringLiteral("Temperatura");
  host.focused = mode;
  rec.btRecClick();
  EXPECT_EQ(host.state.RecordNode, temp);
  EXPECT_EQ(host.lines()[2], QStringLiteral("Rejestr:100(Temperatura)"));
  EXPECT_EQ(host.registerText, QStringLiteral("Temperatura"));
  EXPECT_EQ(host.reads.back(), temp);
  rec.btRecClick();

  // A group clicked, the focus moved on to a register: a group cannot be recorded, the focused register is.
  host.memo.clear();
  clickOn(group);
  host.registerText = QStringLiteral("Pomiary");
  host.focused = mode;
  rec.btRecClick();
  EXPECT_EQ(host.state.RecordNode, mode);
  EXPECT_EQ(host.lines()[2], QStringLiteral("Rejestr:101(Tryb)"));
  EXPECT_EQ(host.registerText, QStringLiteral("Tryb"));
  EXPECT_EQ(host.reads.back(), mode);
}

TEST_F(RecordingTest, TheStopsEmptyLineInAClearedWindowIsALineAndTheNextLineFollowsIt) {
  clickOn(temp);
  rec.btRecClick();
  host.memo.clear();  // "Wyczyść" during the recording
  EXPECT_FALSE(HoldsALine(host.memo));
  rec.btRecClick();
  EXPECT_TRUE(HoldsALine(host.memo));
  EXPECT_EQ(LogFileBytes(host.memo), "\r\n");
  AppendLine(host.memo, QStringLiteral("."));
  AppendLine(host.memo, QString());
  EXPECT_EQ(host.lines(), (QStringList{QString(), QStringLiteral("."), QString()}));
  EXPECT_EQ(LogFileBytes(host.memo), "\r\n.\r\n\r\n");
  // A window cleared, or emptied by the operator, holds nothing.
  host.memo.clear();
  EXPECT_EQ(LogFileBytes(host.memo), "");
  AppendLine(host.memo, QString());
  host.memo.setPlainText(QString());
  EXPECT_FALSE(HoldsALine(host.memo));
}

TEST_F(RecordingTest, TicksAreSkippedWhileBusyOrInsideAnotherTick) {
  clickOn(temp);
  rec.btRecClick();
  const qsizetype linesAtStart = host.lines().size();

  host.isBusy = true;  // a transaction on the line, or a modal message open
  rec.RecordTick();
  EXPECT_EQ(host.reads.size(), 1u);
  EXPECT_EQ(host.lines().size(), linesAtStart);
  host.isBusy = false;

  // A timer event dispatched from inside the read (pending messages of the exchange) does not nest.
  int nested = 0;
  host.onRead = [&](RegisterTreeNode* node) {
    node->data.Value = u"5";
    if (nested++ == 0) rec.RecordTick();
  };
  rec.RecordTick();
  EXPECT_EQ(host.reads.size(), 2u);
  EXPECT_EQ(host.lines().size(), linesAtStart + 1);
  EXPECT_TRUE(host.state.Recording);
}

TEST_F(RecordingTest, AnErrorOfTicksIsShownOncePerRunOfFailures) {
  clickOn(temp);
  rec.btRecClick();
  host.onRead = [](RegisterTreeNode*) { throw ConvertError("'x' is not a valid integer value"); };
  rec.RecordTick();
  rec.RecordTick();
  EXPECT_EQ(host.errors, QStringList{QStringLiteral("'x' is not a valid integer value")});
  // The recording goes on: each failing tick still wrote its line and the timer runs.
  EXPECT_EQ(host.lines().size(), 7);
  EXPECT_TRUE(host.timer.isActive());

  // A good read ends the run; the next failure is shown again.
  host.onRead = [](RegisterTreeNode* node) { node->data.Value = u"9"; };
  rec.RecordTick();
  host.onRead = [](RegisterTreeNode*) { throw ConvertError("'y' is not a valid integer value"); };
  rec.RecordTick();
  rec.RecordTick();
  EXPECT_EQ(host.errors.size(), 2);

  // A new recording starts with a clean slate.
  rec.btRecClick();
  host.onRead = nullptr;
  rec.btRecClick();
  host.onRead = [](RegisterTreeNode*) { throw ConvertError("'z' is not a valid integer value"); };
  rec.RecordTick();
  EXPECT_EQ(host.errors.size(), 3);
}

TEST_F(RecordingTest, AFailingFirstReadStillLeavesAConsistentRecording) {
  clickOn(temp);
  host.onRead = [](RegisterTreeNode*) { throw ConvertError("'a' is not a valid integer value"); };
  rec.btRecClick();
  EXPECT_EQ(host.errors.size(), 1);
  EXPECT_TRUE(host.state.Recording);
  EXPECT_TRUE(host.timer.isActive());
  EXPECT_FALSE(host.treeEnabled);
  EXPECT_EQ(ReadingValue(host.lines()[4]), QString());
  rec.RecordTick();  // the same failure: not shown again
  EXPECT_EQ(host.errors.size(), 1);
  rec.btRecClick();
  EXPECT_TRUE(idle());
}

TEST_F(RecordingTest, StopDuringTheFirstReadLeavesTheWindowIdle) {
  clickOn(temp);
  host.onRead = [this](RegisterTreeNode*) { rec.StopRecording(); };
  rec.btRecClick();
  EXPECT_TRUE(idle());
  EXPECT_EQ(host.lines().size(), 5);  // header, separator, and the stop's empty line
  EXPECT_EQ(host.lines().back(), QString());
}

TEST_F(RecordingTest, ClearingDuringARecordingMakesTheNextReadingTheFirstLine) {
  clickOn(temp);
  rec.btRecClick();
  host.memo.clear();
  rec.RecordTick();
  const QStringList lines = host.lines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(ReadingValue(lines[0]), QStringLiteral("1"));
}

TEST_F(RecordingTest, ALoadOfAnotherDefinitionEndsTheRecordingBeforeTheTreeGoes) {
  clickOn(temp);
  rec.btRecClick();
  // What the device selection does before it loads: stop, then the tree goes and the view state with it.
  rec.StopRecording();
  tree->clear();
  host.state.CurrentNode = nullptr;
  host.state.CurrentRecord = nullptr;
  host.focused = nullptr;
  const size_t reads = host.reads.size();
  rec.RecordTick();
  EXPECT_EQ(host.reads.size(), reads);
  EXPECT_TRUE(idle());
  // A reading line without a record shows an empty value rather than touching freed data.
  rec.LogReading();
  EXPECT_EQ(ReadingValue(host.lines().back()), QString());
}

TEST(LogLines, PiecesAreJoinedWithoutBlanksAndTheTimeHasNoZone) {
  EXPECT_EQ(DeviceLine(QStringLiteral("12"), QStringLiteral("X.dat")),
            QStringLiteral("Urządzenie:12(X.dat)"));
  EXPECT_EQ(RegisterLine(QStringLiteral("100"), QStringLiteral("Temperatura")),
            QStringLiteral("Rejestr:100(Temperatura)"));
  const QString format = LongTimeFormat();
  EXPECT_FALSE(format.contains(u't')) << format.toStdString();
  EXPECT_EQ(format, format.trimmed());
  const QTime time(14, 5, 9);
  EXPECT_TRUE(TimeText(time).contains(QStringLiteral("05:09"))) << TimeText(time).toStdString();
  EXPECT_EQ(ReadingLine(time, QStringLiteral("21,5")), TimeText(time) + QStringLiteral("\t21,5"));
  const QDateTime moment(QDate(2026, 3, 4), time);
  EXPECT_EQ(DateLine(moment), QStringLiteral("Data:") +
                                  QLocale::system().toString(moment.date(), QLocale::ShortFormat) + u' ' +
                                  TimeText(time));
}

}  // namespace
}  // namespace velnorex::test
