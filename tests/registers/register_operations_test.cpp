// Register reads, writes, group steps, option choices and Reset over the scripted serial device: the bytes on
// the line, the values in the tree and the view state afterwards.
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "register_tree_fixture.h"

namespace velnorex::test {
namespace {

TEST_F(OperationsTest, ReadsEachTypeIntoTheTree) {
  answer({0xFF, 0xFB});  // INT -5
  ops.ReadNode(node(u"Temperatura"));
  EXPECT_EQ(written(0), readRequest(100, 1));
  EXPECT_EQ(value(u"Temperatura"), u"-5");
  EXPECT_EQ(state.CurrentNode, node(u"Temperatura"));
  EXPECT_EQ(state.CurrentRecord, &node(u"Temperatura")->data);

  answer({0x00, 0x00, 0x3F, 0xC0});  // REAL 1,5 (first register the low half)
  ops.ReadNode(node(u"Napięcie"));
  EXPECT_EQ(written(1), readRequest(0x66, 2));
  EXPECT_EQ(value(u"Napięcie"), u"1,50");

  answer({0x41, 0x42, 0x00, 0x43});
  ops.ReadNode(node(u"Opis"));
  EXPECT_EQ(value(u"Opis"), u"AB");

  answerWord(0xFFFF);
  ops.ReadNode(node(u"Słowo"));
  EXPECT_EQ(value(u"Słowo"), u"65535");
  EXPECT_TRUE(window.queue.empty());  // a single read queues no step
  EXPECT_FALSE(state.GroupActive);
}

TEST_F(OperationsTest, FailedReadLeavesTheValueEmpty) {
  node(u"Słowo")->data.Value = u"12";
  silence();
  ops.ReadNode(node(u"Słowo"));
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_EQ(value(u"Słowo"), u"");
  EXPECT_FALSE(dispatcher.replyOk());

  fake->queueRead(WithCrc({1, 0x83, 2}));  // exception reply
  ops.ReadNode(node(u"Słowo"));
  EXPECT_EQ(value(u"Słowo"), u"");
  EXPECT_EQ(window.highlightRestarts, 0);
}

TEST_F(OperationsTest, GroupReadGoesThroughSiblingsOneStepAtATime) {
  answerWord(1);
  answer({0, 0, 0x3F, 0xC0});
  answer({0x41, 0x42, 0x43, 0x44});
  ops.ReadNode(node(u"Pomiary"));
  // Only the first transaction ran inside the double-click; the next step waits in the queue.
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_TRUE(state.GroupActive);
  EXPECT_EQ(window.queue.size(), 1u);

  EXPECT_EQ(window.runQueue(), 3);  // two reads and the step that ends the group
  ASSERT_EQ(fake->writes.size(), 3u);
  EXPECT_EQ(written(0), readRequest(100, 1));
  EXPECT_EQ(written(1), readRequest(0x66, 2));
  EXPECT_EQ(written(2), readRequest(110, 2));
  EXPECT_EQ(value(u"Temperatura"), u"1");
  EXPECT_EQ(value(u"Napięcie"), u"1,50");
  EXPECT_EQ(value(u"Opis"), u"ABCD");
  EXPECT_EQ(state.CurrentNode, nullptr);
  EXPECT_FALSE(state.GroupActive);

  // A click after the group selects normally.
  view.setCurrentIndex(model.indexOf(node(u"Opis")));
  ops.VTClick();
  EXPECT_EQ(state.CurrentNode, node(u"Opis"));
  EXPECT_EQ(window.registerText, QStringLiteral("Opis"));
}

TEST_F(OperationsTest, GroupReadRepeatsARegisterThatTimedOut) {
  answerWord(1);
  silence();  // the second register answers neither read once
  answer({0, 0, 0x3F, 0xC0});
  answer({0x41, 0x42, 0x43, 0x44});
  ops.ReadNode(node(u"Pomiary"));
  window.runQueue();
  ASSERT_EQ(fake->writes.size(), 4u);
  EXPECT_EQ(written(1), readRequest(0x66, 2));
  EXPECT_EQ(written(2), readRequest(0x66, 2));
  EXPECT_EQ(written(3), readRequest(110, 2));
  EXPECT_EQ(value(u"Napięcie"), u"1,50");
  EXPECT_FALSE(state.GroupActive);
}

TEST_F(OperationsTest, GroupReadRepeatsARegisterWhoseReplyDoesNotFitTheRequest) {
  // "Tryb" is a HEX register with options: a reply of byte count 0 with a good CRC once decoded into an empty
  // value, whose marks then stopped the group with "'' is not a valid integer value".
  answerWord(1);                        // Prędkość
  fake->queueRead(WithCrc({1, 3, 0}));  // Tryb: no data at all
  answer({0x00, 0x12, 0x00, 0x34});     // Tryb: two registers for the one asked
  answerWord(0x12);                     // Tryb, at last
  answerWord(7);                        // Słowo
  ops.ReadNode(node(u"Konfiguracja"));
  EXPECT_EQ(window.runQueue(4), 4);
  ASSERT_EQ(fake->writes.size(), 5u);
  EXPECT_EQ(written(1), readRequest(201, 1));
  EXPECT_EQ(written(2), readRequest(201, 1));
  EXPECT_EQ(written(3), readRequest(201, 1));
  EXPECT_EQ(written(4), readRequest(202, 1));
  EXPECT_EQ(value(u"Tryb"), u"$12");
  EXPECT_TRUE(node(u"B")->isChecked());
  EXPECT_EQ(value(u"Słowo"), u"7");
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(state.GroupActive);
  serial.ClosePort();
  window.runQueue();
  EXPECT_FALSE(state.GroupActive);

  // A single read of such a reply leaves the value empty, as a failed read does.
  ASSERT_TRUE(serial.OpenPort(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("19200,n,8,2")));
  window.messages.clear();
  fake->queueRead(WithCrc({1, 3, 0}));
  ops.ReadNode(node(u"Tryb"));
  EXPECT_EQ(value(u"Tryb"), u"");
  EXPECT_FALSE(dispatcher.replyOk());
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(OperationsTest, EndlessRetryEndsWhenThePortCloses) {
  answerWord(1);
  for (int i = 0; i < 5; ++i) fake->queueRead(WithCrc({1, 0x83, 2}));
  ops.ReadNode(node(u"Pomiary"));
  EXPECT_EQ(window.runQueue(5), 5);
  EXPECT_TRUE(state.GroupActive);
  EXPECT_EQ(fake->writes.size(), 6u);
  EXPECT_EQ(state.CurrentNode, node(u"Napięcie"));
  serial.ClosePort();  // "Rozłącz"
  window.runQueue();
  EXPECT_EQ(window.messages, (std::vector<QString>{QStringLiteral("brak połączenia !")}));
  EXPECT_FALSE(state.GroupActive);
  EXPECT_TRUE(window.queue.empty());
  EXPECT_EQ(state.CurrentNode, node(u"Napięcie"));  // stays where the step stopped
}

TEST_F(OperationsTest, GroupEndsWhenARequestCannotBeBuilt) {
  node(u"Napięcie")->data.Address = u"x1";
  answerWord(1);
  ops.ReadNode(node(u"Pomiary"));
  EXPECT_THROW(window.runQueue(), ConvertError);
  EXPECT_FALSE(state.GroupActive);
  EXPECT_EQ(fake->writes.size(), 1u);

  // With the port closed from the start, the group ends at once with one message.
  serial.ClosePort();
  ops.ReadNode(node(u"Pomiary"));
  EXPECT_FALSE(state.GroupActive);
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(window.queue.empty());
}

TEST_F(OperationsTest, EmptyGroupAndOptionSendNothing) {
  state.CurrentNode = node(u"Słowo");
  ops.ReadNode(node(u"Pusta"));
  EXPECT_EQ(state.CurrentNode, nullptr);
  ops.ReadNode(node(u"A"));
  EXPECT_EQ(state.CurrentNode, nullptr);
  EXPECT_TRUE(fake->writes.empty());
  EXPECT_FALSE(state.GroupActive);
  // A slave address that is not a number stops the read before anything changes.
  window.slave = u"abc";
  EXPECT_THROW(ops.ReadNode(node(u"Słowo")), ConvertError);
  EXPECT_TRUE(fake->writes.empty());
}

TEST_F(OperationsTest, EditWritesWithFunction6Or16AndHighlights) {
  fake->queueRead(WithCrc({1, 6, 0, 202, 0, 7}));
  model.setData(model.indexOf(node(u"Słowo"), 2), QStringLiteral("7"), Qt::EditRole);
  ops.VTEdited(node(u"Słowo"), 2);
  EXPECT_EQ(written(0), Hex(WithCrc({1, 6, 0, 202, 0, 7})));
  EXPECT_EQ(value(u"Słowo"), u"7");
  EXPECT_EQ(state.WrittenNode, node(u"Słowo"));
  EXPECT_EQ(view.focusedNode(), node(u"Słowo"));
  EXPECT_EQ(window.highlightRestarts, 2);  // the edit, then the good reply
  EXPECT_EQ(model.indexOf(node(u"Słowo"), 2).data(Qt::ForegroundRole), QVariant(QColor(0xFF, 0, 0)));

  // Accepting the unchanged text writes again; Count 2 goes out as function 16.
  ops.VTEdited(node(u"Słowo"), 2);
  EXPECT_EQ(written(1), written(0));
  node(u"Długie")->data.Value = u"-2";
  ops.VTEdited(node(u"Długie"), 2);
  EXPECT_EQ(written(2), Hex(WithCrc({1, 16, 0, 204, 0, 2, 4, 0xFF, 0xFE, 0xFF, 0xFF})));
  EXPECT_EQ(value(u"Długie"), u"-2");  // a failed write leaves the value as entered

  ops.HighlightTimerExpired();
  EXPECT_EQ(state.WrittenNode, nullptr);
  EXPECT_EQ(window.highlightStops, 1);
  EXPECT_EQ(model.indexOf(node(u"Długie"), 2).data(Qt::ForegroundRole), QVariant(kColorBlack));

  // Without the single-register box even one register goes out as function 16.
  window.singleReg = false;
  ops.VTEdited(node(u"Słowo"), 2);
  EXPECT_EQ(written(3), Hex(WithCrc({1, 16, 0, 202, 0, 1, 2, 0, 7})));
  // A read-only register is never written.
  ops.WriteRegister(node(u"Temperatura"));
  EXPECT_EQ(fake->writes.size(), 4u);
}

TEST_F(OperationsTest, OptionsSetTheRegisterValue) {
  // An option of a read-only register: shown red, nothing sent.
  ops.VTChecking(node(u"Siedem"), CheckState::csCheckedNormal);
  EXPECT_EQ(value(u"Stałe"), u"7");
  EXPECT_EQ(state.WrittenNode, node(u"Stałe"));
  EXPECT_EQ(state.CurrentNode, node(u"Stałe"));
  EXPECT_EQ(view.focusedNode(), node(u"Siedem"));
  EXPECT_EQ(window.highlightRestarts, 1);
  EXPECT_TRUE(fake->writes.empty());

  // An option of an "RP" register is written at once.
  ops.VTChecking(node(u"19200"), CheckState::csCheckedNormal);
  EXPECT_EQ(written(0), Hex(WithCrc({1, 6, 0, 200, 0, 1})));
  EXPECT_EQ(value(u"Prędkość"), u"1");

  // Unchecking changes no value.
  ops.VTChecking(node(u"C"), CheckState::csUncheckedNormal);
  EXPECT_EQ(value(u"Tryb"), u"");
  EXPECT_EQ(fake->writes.size(), 1u);

  // Sub-group options compose the bytes and send nothing.
  state.WrittenNode = nullptr;
  ops.VTChecking(node(u"H2"), CheckState::csCheckedNormal);
  EXPECT_EQ(value(u"Bajty"), u"$0234");
  ops.VTChecking(node(u"L5"), CheckState::csCheckedNormal);
  EXPECT_EQ(value(u"Bajty"), u"$0205");
  EXPECT_EQ(state.WrittenNode, nullptr);
  EXPECT_EQ(fake->writes.size(), 1u);
  // A register value that is not a number: the conversion error, the value unchanged.
  node(u"Bajty")->data.Value = u"";
  EXPECT_THROW(ops.VTChecking(node(u"H3"), CheckState::csCheckedNormal), ConvertError);
  EXPECT_EQ(value(u"Bajty"), u"");
}

TEST_F(OperationsTest, WordOrderFinderShowsTheLastReadInEveryOrderAndTakesTheChosenOne) {
  OrderReadings readings;
  EXPECT_FALSE(ops.ReadingsInEveryOrder(node(u"Napięcie"), readings));  // nothing read yet
  answer({0x41, 0xAC, 0x00, 0x00});  // a transducer that keeps its high word first
  ops.ReadNode(node(u"Napięcie"));
  EXPECT_EQ(value(u"Napięcie"), u"0,00");
  ASSERT_TRUE(ops.ReadingsInEveryOrder(node(u"Napięcie"), readings));
  EXPECT_EQ(readings.byOrder[static_cast<int>(WordOrder::ABCD)], u"21,50");
  EXPECT_EQ(readings.asReal, u"0,00");
  EXPECT_FALSE(ops.ReadingsInEveryOrder(node(u"Opis"), readings));  // not the last read
  answerWord(5);
  ops.ReadNode(node(u"Temperatura"));
  EXPECT_FALSE(ops.ReadingsInEveryOrder(node(u"Temperatura"), readings));  // one word: no order
  EXPECT_FALSE(ops.ReadingsInEveryOrder(node(u"Napięcie"), readings));     // its read is no longer the last

  answer({0x41, 0xAC, 0x00, 0x00});
  ops.ReadNode(node(u"Napięcie"));
  EXPECT_EQ(ops.UseWordOrder(node(u"Napięcie"), WordOrder::ABCD), u"\"order\": \"ABCD\"");
  EXPECT_EQ(node(u"Napięcie")->data.Type, u"REAL order=ABCD");
  EXPECT_EQ(value(u"Napięcie"), u"21,50");  // the same words shown again in the chosen order
  answer({0x41, 0xB0, 0x00, 0x00});
  ops.ReadNode(node(u"Napięcie"));
  EXPECT_EQ(value(u"Napięcie"), u"22,00");  // and every read after it
}

TEST_F(OperationsTest, HexReadMarksOnlyItsDirectBitOptions) {
  answerWord(0x12);
  ops.ReadNode(node(u"Tryb"));
  EXPECT_EQ(value(u"Tryb"), u"$12");
  EXPECT_FALSE(node(u"A")->isChecked());
  EXPECT_TRUE(node(u"B")->isChecked());  // "$12" == 18
  EXPECT_FALSE(node(u"C")->isChecked());
  EXPECT_TRUE(node(u"D")->isChecked());  // inside the untyped sub-group: not touched
  EXPECT_TRUE(node(u"X")->isChecked());  // another register's option

  // A lower-case type is decoded as HEX but its marks stay.
  node(u"Inny HEX")->data.Type = u"hex";
  answerWord(0);
  ops.ReadNode(node(u"Inny HEX"));
  EXPECT_EQ(value(u"Inny HEX"), u"$00");
  EXPECT_TRUE(node(u"X")->isChecked());

  // An option value that is no number: the error, and the tree's repainting is not left suspended.
  node(u"A")->data.Value = u"jeden";
  answerWord(1);
  EXPECT_THROW(ops.ReadNode(node(u"Tryb")), ConvertError);
  EXPECT_TRUE(view.updatesEnabled());
  EXPECT_EQ(value(u"Tryb"), u"$01");
}

TEST_F(OperationsTest, ExpandingAnUnreadHexClearsOnlyItsOwnMarks) {
  view.expand(model.indexOf(node(u"Konfiguracja")));
  node(u"Tryb")->data.Value = u"$01";
  ops.VTExpanding(node(u"Tryb"));
  EXPECT_TRUE(node(u"A")->isChecked());  // read: marks kept
  node(u"Tryb")->data.Value = u"";
  ops.VTExpanding(node(u"Tryb"));
  EXPECT_FALSE(node(u"A")->isChecked());
  EXPECT_FALSE(node(u"C")->isChecked());
  EXPECT_FALSE(node(u"D")->isChecked());
  EXPECT_TRUE(node(u"X")->isChecked());
  EXPECT_TRUE(node(u"9600")->isChecked());
  ops.VTExpanding(node(u"Prędkość"));  // not HEX: nothing
  EXPECT_TRUE(node(u"9600")->isChecked());
}

TEST_F(OperationsTest, ResetSendsTheDiagnosticsRequest) {
  state.Recording = true;
  fake->queueRead(WithCrc({1, 8, 0, 1, 0xFF, 0}));
  ops.btResetClick();
  EXPECT_EQ(window.recordingStops, 1);
  EXPECT_EQ(written(0), "01 08 00 01 FF 00 F0 3B");
  window.slave = u"0";
  ops.btResetClick();
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(OperationsTest, CommandsAreIgnoredWhileBusy) {
  answerWord(1);
  ops.ReadNode(node(u"Pomiary"));
  ASSERT_TRUE(state.GroupActive);
  ASSERT_TRUE(ops.busy());
  // A click does not move CurrentNode; a read, a write and Reset are ignored whole.
  view.setCurrentIndex(model.indexOf(node(u"Pusta")));
  ops.VTClick();
  EXPECT_EQ(state.CurrentNode, node(u"Temperatura"));
  ops.VTColumnDblClick(0, {});
  ops.VTEdited(node(u"Słowo"), 2);
  ops.btResetClick();
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_EQ(state.WrittenNode, nullptr);

  // Check marks that start no transaction still change and act: unchecking, a sub-group's byte, an option of
  // a read-only register. One that would write is refused, and the operator is told why.
  const auto check = [&](std::u16string_view name, Qt::CheckState mark) {
    return model.setData(model.indexOf(node(name)), mark, Qt::CheckStateRole);
  };
  EXPECT_TRUE(check(u"A", Qt::Unchecked));
  EXPECT_TRUE(check(u"H2", Qt::Checked));
  ops.VTChecking(node(u"H2"), CheckState::csCheckedNormal);
  EXPECT_EQ(value(u"Bajty"), u"$0234");
  EXPECT_TRUE(check(u"Siedem", Qt::Checked));
  ops.VTChecking(node(u"Siedem"), CheckState::csCheckedNormal);
  EXPECT_EQ(value(u"Stałe"), u"7");
  EXPECT_EQ(window.queue.size(), 1u);  // the group's step only
  EXPECT_FALSE(check(u"19200", Qt::Checked));
  EXPECT_TRUE(node(u"9600")->isChecked());
  EXPECT_FALSE(node(u"19200")->isChecked());
  ASSERT_EQ(window.queue.size(), 2u);
  window.queue.back()();
  EXPECT_EQ(window.messages, (std::vector<QString>{QStringLiteral("trwa transmisja")}));
  EXPECT_EQ(fake->writes.size(), 1u);
  EXPECT_EQ(state.CurrentNode, node(u"Temperatura"));  // the group's place is kept

  // Inside a transaction's pending messages, another read does nothing either; an option's write, let
  // through before that transaction began, follows once it has finished.
  state.GroupActive = false;
  window.queue.clear();
  int nested = 0;
  window.onPending = [&] {
    ++nested;
    ops.ReadNode(node(u"Słowo"));
    ops.VTChecking(node(u"19200"), CheckState::csCheckedNormal);
  };
  fake->queueSilence();  // the first read brings nothing: the pending messages run
  answerWord(3);
  ops.ReadNode(node(u"Temperatura"));
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(fake->writes.size(), 2u);
  EXPECT_EQ(value(u"Prędkość"), u"");
  window.onPending = nullptr;
  fake->queueRead(WithCrc({1, 6, 0, 200, 0, 1}));
  EXPECT_EQ(window.runQueue(), 1);
  EXPECT_EQ(written(2), Hex(WithCrc({1, 6, 0, 200, 0, 1})));
  EXPECT_EQ(value(u"Prędkość"), u"1");
}

TEST_F(OperationsTest, LoadingDuringAGroupReadStopsItSafely) {
  QTemporaryDir dir;
  SaveToFile(*SampleTree(), dir.filePath(QStringLiteral("inny.dat")).toStdString());
  answerWord(1);
  ops.ReadNode(node(u"Pomiary"));
  ASSERT_EQ(window.queue.size(), 1u);
  state.Recording = true;
  state.WrittenNode = node(u"Słowo");
  ops.cbxDeviceSelect(dir.path(), QStringLiteral("inny.dat"));
  EXPECT_EQ(window.recordingStops, 1);
  EXPECT_FALSE(state.GroupActive);
  EXPECT_EQ(state.CurrentNode, nullptr);
  EXPECT_EQ(state.CurrentRecord, nullptr);
  EXPECT_EQ(state.WrittenNode, nullptr);
  window.runQueue();  // the old group's step finds nothing to do
  EXPECT_EQ(fake->writes.size(), 1u);

  // A load from inside a transaction's pending messages: the reply finds no record and touches nothing.
  window.onPending = [&] { ops.cbxDeviceSelect(dir.path(), QStringLiteral("inny.dat")); };
  fake->queueSilence();
  answerWord(5);
  ops.ReadNode(node(u"Słowo"));
  EXPECT_EQ(value(u"Słowo"), u"");
  EXPECT_EQ(state.CurrentRecord, nullptr);

  // An unopenable file keeps the old tree and what points into it, and stops nothing: the group read goes on
  // and the recording with it.
  window.onPending = nullptr;
  window.queue.clear();
  answerWord(1);
  answer({0, 0, 0x3F, 0xC0});
  ops.ReadNode(node(u"Pomiary"));
  ASSERT_TRUE(state.GroupActive);
  state.Recording = true;
  const int stops = window.recordingStops;
  EXPECT_THROW(ops.cbxDeviceSelect(dir.path(), QStringLiteral("brak.dat")), FileOpenError);
  EXPECT_EQ(state.CurrentNode, node(u"Temperatura"));
  EXPECT_TRUE(state.GroupActive);
  EXPECT_TRUE(state.Recording);
  EXPECT_EQ(window.recordingStops, stops);
  window.runQueue(1);
  EXPECT_EQ(value(u"Napięcie"), u"1,50");
}

TEST_F(OperationsTest, WriteDuringAGroupContinuesAsAGroupWrite) {
  // Reached only when a write finishes while a group is active: the following siblings are written in turn,
  // up to the first that is not a writable register of a known type.
  state.GroupActive = true;
  state.CurrentNode = node(u"Słowo");
  node(u"Słowo")->data.Value = u"2";
  node(u"Długie")->data.Value = u"3";
  node(u"Małe")->data.Value = u"4";
  ops.WriteRegister(node(u"Słowo"));
  window.runQueue();
  ASSERT_EQ(fake->writes.size(), 3u);
  EXPECT_EQ(written(1), Hex(WithCrc({1, 16, 0, 204, 0, 2, 4, 0, 3, 0, 0})));
  EXPECT_EQ(written(2), Hex(WithCrc({1, 6, 0, 206, 0, 4})));
  EXPECT_FALSE(state.GroupActive);  // "Stałe" is read-only
  EXPECT_EQ(state.CurrentNode, node(u"Stałe"));
}

TEST_F(OperationsTest, DoubleClickOnTheValueByAccess) {
  view.show();
  view.expand(model.indexOf(node(u"Konfiguracja")));
  auto rowY = [&](std::u16string_view name) {
    return view.visualRect(model.indexOf(node(name))).center().y();
  };
  // Not the focused row: nothing.
  view.setCurrentIndex(model.indexOf(node(u"Słowo")));
  ops.VTColumnDblClick(2, QPoint(5, rowY(u"Prędkość")));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_FALSE(view.isEditing());
  // RP: refused with the message.
  view.setCurrentIndex(model.indexOf(node(u"Prędkość")));
  ops.VTColumnDblClick(2, QPoint(5, rowY(u"Prędkość")));
  EXPECT_EQ(window.messages, (std::vector<QString>{QStringLiteral("rejestr tylko do odczytu")}));
  EXPECT_FALSE(view.isEditing());
  // RW: the editor opens on the value.
  view.setCurrentIndex(model.indexOf(node(u"Słowo")));
  ops.VTColumnDblClick(2, QPoint(5, rowY(u"Słowo")));
  EXPECT_TRUE(view.isEditing());
  EXPECT_EQ(window.messages.size(), 1u);
  // Column 1: nothing at all.
  ops.VTColumnDblClick(1, QPoint(5, rowY(u"Prędkość")));
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(fake->writes.empty());
}

TEST_F(OperationsTest, ViewReportsClicksAndDoubleClicksAsTheOperatorMadeThem) {
  view.show();
  view.expand(model.indexOf(node(u"Konfiguracja")));
  QSignalSpy clicks(&view, &RegisterTreeView::treeClicked);
  QSignalSpy doubles(&view, &RegisterTreeView::columnDoubleClicked);
  const QRect value = view.visualRect(model.indexOf(node(u"Słowo"), 2));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, value.center());
  EXPECT_EQ(clicks.size(), 1);
  EXPECT_EQ(view.focusedNode(), node(u"Słowo"));
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, value.center());
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, value.center());
  // The release that ends a double-click is no click; Qt's own double-click editing stays off.
  EXPECT_EQ(clicks.size(), 1);
  ASSERT_EQ(doubles.size(), 1);
  EXPECT_EQ(doubles[0][0].toInt(), 2);
  EXPECT_FALSE(view.isEditing());
  // F2 on the name edits the row's value, through the gate: a read-only row opens nothing.
  QTest::keyClick(view.viewport(), Qt::Key_F2);
  EXPECT_TRUE(view.isEditing());
  QTest::keyClick(view.viewport()->findChild<QLineEdit*>(), Qt::Key_Escape);
  EXPECT_FALSE(view.isEditing());
  view.setCurrentIndex(model.indexOf(node(u"Stałe")));
  QTest::keyClick(view.viewport(), Qt::Key_F2);
  EXPECT_FALSE(view.isEditing());
}

}  // namespace
}  // namespace velnorex::test
