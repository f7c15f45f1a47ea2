// The main job end to end: the operator reads, writes and resets a simulated transducer through the real
// window, and the simulator's log shows what went over the line.
#include <QClipboard>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include "e2e_fixture.h"

namespace velnorex::test {
namespace {

const QVariant kRed = QVariant(QColor(0xFF, 0x00, 0x00));

TEST_F(WindowTest, ReadsARegisterOfEachTypeByDoubleClickingItsName) {
  connectTo(QStringLiteral("THV-21.dat"), {"--value", "0:REAL:2:-3,75", "--value", "9:INT:1:-7", "--value",
                                           "8:WORD:1:65535", "--value", "200:TEXT:4:AB"});
  selectDevice(QStringLiteral("THV-21.dat"));
  ASSERT_NE(node(u"Temperatura"), nullptr);

  // The name is clicked (CurrentNode), then double-clicked (the read): real mouse events.
  doubleClick(u"Temperatura");
  ASSERT_TRUE(waitForRequests(1));
  EXPECT_EQ(requests()[0], ReadRequest(0, 2));
  EXPECT_TRUE(WaitFor([&] { return value(u"Temperatura") == u"-3,75"; })) << ToUtf8(value(u"Temperatura"));
  EXPECT_EQ(form->state.CurrentNode, node(u"Temperatura"));
  EXPECT_EQ(form->eRegister->text(), QStringLiteral("Temperatura"));

  const struct {
    std::u16string name;
    std::u16string text;
  } cases[] = {
      {u"Temperatura precyzyjna", u"21,5000000000"},
      {u"Licznik pomiarów", u"65535"},
      {u"Temperatura minimalna", u"-7"},
      {u"Słowo statusu", u"$12"},
      {u"Numer seryjny", u"AB"},
  };
  size_t sent = 1;
  for (const auto& c : cases) {
    doubleClick(c.name);
    ASSERT_TRUE(waitForRequests(++sent)) << ToUtf8(c.name);
    EXPECT_TRUE(WaitFor([&] { return value(c.name) == c.text; }))
        << ToUtf8(c.name) << ": " << ToUtf8(value(c.name));
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, GroupReadGoesInSiblingOrderAndEnds) {
  connectTo(QStringLiteral("THV-21.dat"));
  selectDevice(QStringLiteral("THV-21.dat"));
  ASSERT_FALSE(form->VT->isExpanded(index(u"Pomiary")));
  doubleClick(u"Pomiary");
  // The group opens, so its values are seen as they come.
  EXPECT_TRUE(form->VT->isExpanded(index(u"Pomiary")));
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_EQ(requests(), (std::vector<std::string>{ReadRequest(0, 2), ReadRequest(2, 2), ReadRequest(4, 2),
                                                  ReadRequest(6, 2), ReadRequest(8, 1), ReadRequest(9, 1),
                                                  ReadRequest(10, 1)}));
  EXPECT_EQ(form->state.CurrentNode, nullptr);
  EXPECT_FALSE(form->state.GroupActive);
  EXPECT_EQ(value(u"Wilgotność względna"), u"45,20");
  EXPECT_EQ(value(u"Temperatura maksymalna"), u"312");

  // A click afterwards selects normally.
  click(u"Punkt rosy");
  EXPECT_EQ(form->state.CurrentNode, node(u"Punkt rosy"));
  EXPECT_EQ(form->eRegister->text(), QStringLiteral("Punkt rosy"));
}

// A name cut off by its column shows in full as a tool tip; one that fits leaves the tree's own hint.
TEST_F(WindowTest, ALongNameShowsItsFullTextAsAToolTip) {
  selectDevice(QStringLiteral("THV-21.dat"));
  const QPoint at = cellPoint(u"Wilgotność względna");
  const auto toolTipAt = [&](QPoint point) {
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, point, form->VT->viewport()->mapToGlobal(point));
    QApplication::sendEvent(form->VT->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  form->VT->setColumnWidth(0, 400);
  EXPECT_EQ(toolTipAt(at), QStringLiteral("Okno rejestrów"));
  form->VT->setColumnWidth(0, 90);
  QApplication::processEvents();
  EXPECT_EQ(toolTipAt(QPoint(60, at.y())), QStringLiteral("Wilgotność względna"));
  QToolTip::hideText();
}

TEST_F(WindowTest, GroupReadRepeatsARegisterThatTimedOutOnce) {
  connectTo(QStringLiteral("THV-21.dat"), {"--silent-first", "1"});
  selectDevice(QStringLiteral("THV-21.dat"));
  doubleClick(u"Identyfikacja");
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_EQ(requests(), (std::vector<std::string>{ReadRequest(200, 4), ReadRequest(200, 4),
                                                  ReadRequest(204, 1), ReadRequest(210, 8)}));
  EXPECT_EQ(value(u"Numer seryjny"), u"SN12345");
  EXPECT_EQ(value(u"Nazwa stanowiska"), u"Hala 2");
}

TEST_F(WindowTest, ExceptionIsRetriedUntilDisconnectAndTheGroupEnds) {
  // The second register is requested again and again; the window stays responsive meanwhile.
  ASSERT_NO_FATAL_FAILURE(startEndlessGroupRead(u"Identyfikacja", "204", 6));
  EXPECT_EQ(value(u"Wersja oprogramowania"), u"");  // a failed read leaves the value empty
  EXPECT_TRUE(messages.empty());
  QTest::mouseClick(form->btDisconnect, Qt::LeftButton);
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral("brak połączenia !")}));
  const auto sent = requests();
  for (size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i], ReadRequest(204, 1)) << i;
  EXPECT_EQ(value(u"Wersja oprogramowania"), u"");
  EXPECT_EQ(value(u"Nazwa stanowiska"), u"Hala 2");  // never reached
}

TEST_F(WindowTest, ClosingTheWindowDuringAGroupReadEndsItWithoutAMessage) {
  ASSERT_NO_FATAL_FAILURE(startEndlessGroupRead(u"Identyfikacja", "204", 4));
  // The next step is queued whenever no transaction runs; the window closes between two of them.
  ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  form->close();
  EXPECT_FALSE(form->state.GroupActive);
  EXPECT_FALSE(form->serial.PortOpen());
  QTest::qWait(300);  // every step queued before the close has had its turn
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(form->state.GroupActive);
  // Nothing starts a transaction any more, not even a command that arrives late.
  form->VTColumnDblClick(0, {});
  form->btResetClick();
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, EmptyGroupAndOptionSendNothing) {
  connectTo(QStringLiteral("KSZTALTY.dat"), {"--registers", "300:2"});
  selectDevice(QStringLiteral("KSZTALTY.dat"));
  doubleClick(u"Pusta grupa");
  doubleClick(u"L5");
  QTest::qWait(300);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(form->state.CurrentNode, nullptr);
  EXPECT_FALSE(form->state.GroupActive);
}

TEST_F(WindowTest, EditingWritesWithFunction6Or16AndHighlightsRed) {
  connectTo(QStringLiteral("THV-21.dat"));
  selectDevice(QStringLiteral("THV-21.dat"));
  // Click the value, double-click it: the editor opens; type and accept with Enter.
  click(u"Adres urządzenia", 2);
  doubleClick(u"Adres urządzenia", 2);
  ASSERT_TRUE(form->VT->isEditing());
  auto* editor = form->VT->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("7"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(waitForRequests(1));
  EXPECT_EQ(requests()[0], Request({1, 6, 0, 0x64, 0, 7}));
  EXPECT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  EXPECT_EQ(colour(u"Adres urządzenia", 2), kRed);  // red right after the write
  EXPECT_EQ(value(u"Adres urządzenia"), u"7");
  // ... and the normal colour once the highlight has run out.
  EXPECT_TRUE(WaitFor([&] { return colour(u"Adres urządzenia", 2) != kRed; }, std::chrono::seconds(5)));
  EXPECT_EQ(form->state.WrittenNode, nullptr);

  // F2 and Enter with the text unchanged writes again.
  QTest::keyClick(form->VT, Qt::Key_F2);
  ASSERT_TRUE(form->VT->isEditing());
  QTest::keyClick(form->VT->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
  ASSERT_TRUE(waitForRequests(2));
  EXPECT_EQ(requests()[1], requests()[0]);

  // Two registers go out with function 16.
  click(u"Próg alarmu wilgotności", 2);
  doubleClick(u"Próg alarmu wilgotności", 2);
  ASSERT_TRUE(form->VT->isEditing());
  editor = form->VT->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("1,5"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(waitForRequests(3));
  EXPECT_EQ(requests()[2], Request({1, 16, 0, 108, 0, 2, 4, 0, 0, 0x3F, 0xC0}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, ValueOfAnRpRegisterIsRefusedAndItsOptionsWrite) {
  connectTo(QStringLiteral("THV-21.dat"));
  selectDevice(QStringLiteral("THV-21.dat"));
  click(u"Szybkość transmisji", 2);
  doubleClick(u"Szybkość transmisji", 2);
  EXPECT_FALSE(form->VT->isEditing());
  EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral("rejestr tylko do odczytu")}));

  tick(u"38400");
  ASSERT_TRUE(waitForRequests(1));
  EXPECT_EQ(requests()[0], Request({1, 6, 0, 101, 0, 2}));
  EXPECT_EQ(value(u"Szybkość transmisji"), u"2");
  EXPECT_FALSE(node(u"19200")->isChecked());
}

TEST_F(WindowTest, OptionOfAReadOnlyRegisterShowsRedAndSendsNothing) {
  connectTo(QStringLiteral("THV-21.dat"));
  selectDevice(QStringLiteral("THV-21.dat"));
  tick(u"Pomiar w toku");
  ASSERT_TRUE(WaitFor([&] { return value(u"Słowo statusu") == u"$0001"; }));
  EXPECT_EQ(colour(u"Słowo statusu", 2), kRed);
  EXPECT_EQ(form->state.CurrentNode, node(u"Słowo statusu"));
  QTest::qWait(200);
  EXPECT_TRUE(requests().empty());
}

TEST_F(WindowTest, SubGroupOptionsComposeTheBytes) {
  connectTo(QStringLiteral("KSZTALTY.dat"), {"--registers", "300:2"});
  selectDevice(QStringLiteral("KSZTALTY.dat"));
  tick(u"H2");
  ASSERT_TRUE(WaitFor([&] { return value(u"Bajty") == u"$0234"; })) << ToUtf8(value(u"Bajty"));
  tick(u"L5");
  ASSERT_TRUE(WaitFor([&] { return value(u"Bajty") == u"$0205"; })) << ToUtf8(value(u"Bajty"));
  EXPECT_NE(colour(u"Bajty", 2), kRed);
  QTest::qWait(200);
  EXPECT_TRUE(requests().empty());
}

TEST_F(WindowTest, DuringAGroupReadOnlyAnOptionThatWritesIsRefusedAndSaysSo) {
  // "Adres urządzenia", the group's first register, answers with an exception again and again.
  ASSERT_NO_FATAL_FAILURE(startEndlessGroupRead(u"Konfiguracja", "100", 2));
  // A byte of "Tryb pracy" ($0101) is set: nothing is sent for it, and the group keeps its place.
  tick(u"filtr 10 s");
  ASSERT_TRUE(WaitFor([&] { return value(u"Tryb pracy") == u"$0102"; })) << ToUtf8(value(u"Tryb pracy"));
  EXPECT_TRUE(node(u"filtr 10 s")->isChecked());
  EXPECT_EQ(form->state.CurrentNode, node(u"Adres urządzenia"));
  EXPECT_TRUE(messages.empty());
  // An option of "Szybkość transmisji" would write while the group runs: refused, its mark unchanged.
  const bool wasChecked = node(u"38400")->isChecked();
  tick(u"38400");
  ASSERT_TRUE(WaitFor([&] { return !messages.empty(); }));
  EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral("trwa transmisja")}));
  EXPECT_EQ(node(u"38400")->isChecked(), wasChecked);
  EXPECT_EQ(value(u"Szybkość transmisji"), u"1");
  QTest::mouseClick(form->btDisconnect, Qt::LeftButton);
  ASSERT_TRUE(waitForGroupEnd());
  for (const std::string& request : requests()) EXPECT_EQ(request, ReadRequest(100, 1));
}

TEST_F(WindowTest, HexReadMarksItsDirectOptionsAndExpandingAnUnreadOneClears) {
  connectTo(QStringLiteral("THV-21.dat"));
  selectDevice(QStringLiteral("THV-21.dat"));
  // Expanding the unread sub-group register "Tryb pracy" clears only its own marks.
  node(u"Tryb pracy")->data.Value.clear();
  form->VT->expand(index(u"Konfiguracja"));
  form->VT->expand(index(u"Tryb pracy"));
  QApplication::processEvents();
  EXPECT_FALSE(node(u"filtr 1 s")->isChecked());
  EXPECT_FALSE(node(u"stopnie Celsjusza")->isChecked());
  EXPECT_TRUE(node(u"19200")->isChecked());
  EXPECT_TRUE(node(u"Przekroczenie progu i błąd czujnika")->isChecked());

  // Reading the status word ($12) marks exactly its "BIT" option with the value 18.
  tick(u"Pomiar w toku");
  ASSERT_TRUE(WaitFor([&] { return node(u"Pomiar w toku")->isChecked(); }));
  doubleClick(u"Słowo statusu");
  ASSERT_TRUE(WaitFor([&] { return value(u"Słowo statusu") == u"$12"; }));
  EXPECT_TRUE(node(u"Przekroczenie progu i błąd czujnika")->isChecked());
  EXPECT_FALSE(node(u"Pomiar w toku")->isChecked());
  EXPECT_FALSE(node(u"Praca normalna")->isChecked());

  // Reading "Tryb pracy" (options only in untyped sub-groups) leaves their marks alone. Choosing a byte while
  // the register has no value is the conversion error; the mark is set all the same.
  tick(u"filtr 10 s");
  ASSERT_TRUE(WaitFor([&] { return node(u"filtr 10 s")->isChecked() && !messages.empty(); }));
  EXPECT_TRUE(messages[0].contains(QStringLiteral("is not a valid integer value")))
      << messages[0].toStdString();
  EXPECT_EQ(value(u"Tryb pracy"), u"");
  doubleClick(u"Tryb pracy");
  ASSERT_TRUE(WaitFor([&] { return value(u"Tryb pracy") == u"$101"; })) << ToUtf8(value(u"Tryb pracy"));
  EXPECT_TRUE(node(u"filtr 10 s")->isChecked());
}

TEST_F(WindowTest, LowerCaseRwIsWritableInTheNormalColour) {
  connectTo(QStringLiteral("KSZTALTY.dat"), {"--registers", "300:2"});
  selectDevice(QStringLiteral("KSZTALTY.dat"));
  EXPECT_FALSE(colour(u"Małe rw", 0).isValid());
  EXPECT_FALSE(colour(u"Małe rw", 1).isValid());
  EXPECT_FALSE(colour(u"Małe rw", 2).isValid());
  click(u"Małe rw", 2);
  doubleClick(u"Małe rw", 2);
  ASSERT_TRUE(form->VT->isEditing());
  QTest::keyClick(form->VT->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
  ASSERT_TRUE(waitForRequests(1));
  EXPECT_EQ(requests()[0], Request({1, 6, 0x01, 0x2C, 0, 1}));
}

TEST_F(WindowTest, ResetSendsTheDiagnosticsRequestToANonZeroSlave) {
  connectTo(QStringLiteral("THV-21.dat"));
  selectDevice(QStringLiteral("THV-21.dat"));
  form->eSlave->setText(QStringLiteral("1"));
  QTest::mouseClick(form->btReset, Qt::LeftButton);
  ASSERT_TRUE(waitForRequests(1));
  EXPECT_EQ(requests()[0], "01 08 00 01 FF 00 F0 3B");
  form->eSlave->setText(QStringLiteral("0"));
  QTest::mouseClick(form->btReset, Qt::LeftButton);
  QTest::qWait(300);
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, LoadingAnotherDefinitionDuringAGroupReadStopsIt) {
  ASSERT_NO_FATAL_FAILURE(startEndlessGroupRead(u"Pomiary", "2", 4));
  selectDevice(QStringLiteral("PMV-3.dat"));
  EXPECT_FALSE(form->state.GroupActive);
  EXPECT_EQ(form->state.CurrentNode, nullptr);
  EXPECT_EQ(form->state.CurrentRecord, nullptr);
  EXPECT_EQ(form->state.WrittenNode, nullptr);
  ASSERT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  const size_t sent = requests().size();
  QTest::qWait(300);
  EXPECT_EQ(requests().size(), sent);  // nothing more goes out
  ASSERT_NE(node(u"Napięcie L1"), nullptr);
  // The new tree works as usual (the simulator still holds the other transducer's registers: at address 0
  // the low half of the single 21,5).
  doubleClick(u"Napięcie L1");
  ASSERT_TRUE(waitForRequests(sent + 1));
  EXPECT_EQ(requests().back(), ReadRequest(0, 1));
  EXPECT_TRUE(WaitFor([&] { return value(u"Napięcie L1") == u"0"; })) << ToUtf8(value(u"Napięcie L1"));
}

TEST_F(WindowTest, InputRegistersAndCoilsReadWithTheirFunctionsAndShowTheirUnits) {
  connectTo(QStringLiteral("PMV-3.dat"));
  selectDevice(QStringLiteral("PMV-3.dat"));
  doubleClick(u"Rejestry wejściowe");
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_EQ(requests(), (std::vector<std::string>{Request({1, 4, 0, 0, 0, 2}), Request({1, 4, 0, 2, 0, 1}),
                                                  Request({1, 4, 0, 3, 0, 1}), Request({1, 4, 0, 4, 0, 4}),
                                                  Request({1, 4, 0, 8, 0, 2})}));
  EXPECT_EQ(value(u"Napięcie średnie"), u"230,1 V");
  EXPECT_EQ(value(u"Częstotliwość sieci"), u"49,98 Hz");
  EXPECT_EQ(value(u"Temperatura modułu"), u"-12,5 °C");
  EXPECT_EQ(value(u"Energia pobrana"), u"123456,789 kWh");
  EXPECT_EQ(value(u"Moc chwilowa"), u"10363 W");

  doubleClick(u"Wyjścia i wejścia");
  ASSERT_TRUE(waitForGroupEnd());
  EXPECT_EQ(value(u"Przekaźnik alarmu"), u"0");
  EXPECT_EQ(value(u"Wejście zdalnego kasowania"), u"1");
  EXPECT_EQ(value(u"Współczynnik przekładnika"), u"1,5");
  const size_t before = requests().size();
  EXPECT_EQ(requests()[before - 4], Request({1, 1, 0, 0, 0, 1}));
  EXPECT_EQ(requests()[before - 3], Request({1, 2, 0, 0, 0, 1}));

  // The relay switched on from the tree: function 5.
  click(u"Przekaźnik alarmu", 2);
  doubleClick(u"Przekaźnik alarmu", 2);
  ASSERT_TRUE(form->VT->isEditing());
  auto* editor = form->VT->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("1"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(waitForRequests(before + 1));
  EXPECT_EQ(requests()[before], Request({1, 5, 0, 0, 0xFF, 0}));
  EXPECT_TRUE(WaitFor([&] { return !form->modbus.InTransaction(); }));
  EXPECT_TRUE(messages.empty());

  // The word-order finder: only for a value of two or four words, and only from its own last read.
  click(u"Częstotliwość sieci");
  form->Znajdzkolejnosc1->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages.back(), QStringLiteral("rejestr bez kolejności słów"));
  click(u"Moc chwilowa");
  form->Znajdzkolejnosc1->trigger();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages.back(), QStringLiteral("najpierw odczytaj rejestr"));
  doubleClick(u"Moc chwilowa");
  EXPECT_TRUE(WaitFor([&] { return value(u"Moc chwilowa") == u"10363 W"; }));
  // The dialog lists the words in each order; the technician picks ABCD and uses it.
  QStringList rows;
  QTimer::singleShot(0, [&rows] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() != QStringLiteral("WordOrderDialog")) continue;
      auto* list = widget->findChild<QListWidget*>(QStringLiteral("lbOrders"));
      for (int row = 0; list && row < list->count(); ++row) rows << list->item(row)->text();
      if (list) list->setCurrentRow(0);
      if (auto* use = widget->findChild<QPushButton*>(QStringLiteral("btUse"))) use->click();
    }
  });
  form->Znajdzkolejnosc1->trigger();
  ASSERT_EQ(rows.size(), 5);
  EXPECT_EQ(rows[1], QStringLiteral("CDAB\t10363 W"));
  EXPECT_TRUE(rows[4].startsWith(QStringLiteral("REAL\t10363,00"))) << rows[4].toStdString();
  EXPECT_EQ(node(u"Moc chwilowa")->data.Type, u"F32 table=input order=ABCD unit=W");
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\"order\": \"ABCD\""));
  EXPECT_EQ(messages.size(), 2u);
}

}  // namespace
}  // namespace velnorex::test
