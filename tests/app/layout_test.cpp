// The window's components: names, kinds, captions and the appearance other parts rely on.
#include <QAbstractButton>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTextBlock>

#include "app/help_text.h"
#include "tests/app/app_fixture.h"
#include "recording/trend_view.h"

namespace velnorex::test {
namespace {

QString captionOf(QObject* object) {
  if (auto* label = qobject_cast<QLabel*>(object)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->text();
  if (auto* box = qobject_cast<QGroupBox*>(object)) return box->title();
  if (auto* action = qobject_cast<QAction*>(object)) return action->text();
  if (auto* edit = qobject_cast<QLineEdit*>(object)) return edit->text();
  if (auto* window = qobject_cast<QMainWindow*>(object)) return window->windowTitle();
  return QStringLiteral("<no caption>");
}

TEST_F(AppTest, EveryComponentIsThereWithItsNameKindAndCaption) {
  auto w = makeWindow();
  struct Row {
    const char* name;
    QObject* member;
    const char* className;
    const char* caption;  // nullptr: no caption to check
  };
  const Row rows[] = {
      {"Form1", w->Form1, "QMainWindow", "velnorex "},
      {"Panel1", w->Panel1, "QFrame", nullptr},
      {"Panel2", w->Panel2, "QFrame", nullptr},
      {"Panel3", w->Panel3, "QFrame", nullptr},
      {"VT", w->VT, "QTreeView", nullptr},
      {"splitY", w->splitY, "QSplitter", nullptr},
      {"Memo1", w->Memo1, "QPlainTextEdit", nullptr},
      {"Memo2", w->Memo2, "QPlainTextEdit", nullptr},
      {"VL", w->VL, "QTreeView", nullptr},
      {"GroupBox2", w->GroupBox2, "QGroupBox", "Przetwornik"},
      {"Label3", w->Label3, "QLabel", "Typ:"},
      {"cbxDevice", w->cbxDevice, "QComboBox", nullptr},
      {"Label5", w->Label5, "QLabel", "Adres:"},
      {"eSlave", w->eSlave, "QLineEdit", "1"},
      {"btReset", w->btReset, "QPushButton", "Reset"},
      {"cbxSingleReg", w->cbxSingleReg, "QCheckBox", "SingleReg"},
      {"Serial", w->SerialBox, "QGroupBox", "Połączenie"},
      {"Label1", w->Label1, "QLabel", "Port szer:"},
      {"ComCBox", w->ComCBox, "QComboBox", nullptr},
      {"Label2", w->Label2, "QLabel", "Szybkość:"},
      {"cbxBaud", w->cbxBaud, "QComboBox", nullptr},
      {"Label4", w->Label4, "QLabel", "Parzystość:"},
      {"cbxParity", w->cbxParity, "QComboBox", nullptr},
      {"btConnect", w->btConnect, "QPushButton", "Połącz"},
      {"shConnect", w->shConnect, "QWidget", nullptr},
      {"btDisconnect", w->btDisconnect, "QPushButton", "Rozłącz"},
      {"btSearch", w->btSearch, "QPushButton", "Szukaj…"},
      {"GroupBox1", w->GroupBox1, "QGroupBox", "Log"},
      {"Label6", w->Label6, "QLabel", "Rejestr:"},
      {"eRegister", w->eRegister, "QLineEdit", ""},
      {"Label7", w->Label7, "QLabel", "Interwał:"},
      {"eInterval", w->eInterval, "QLineEdit", "1"},
      {"btRec", w->btRec, "QPushButton", "Rejestarcja"},
      {"shRec", w->shRec, "QWidget", nullptr},
      {"stBar", w->stBar, "QStatusBar", nullptr},
      {"PopupMenu1", w->PopupMenu1, "QMenu", nullptr},
      {"Wyczy1", w->Wyczy1, "QAction", "Wyczyść"},
      {"Kopiuj1", w->Kopiuj1, "QAction", "Kopiuj"},
      {"Zapiszdopliku1", w->Zapiszdopliku1, "QAction", "Zapisz do pliku"},
      {"PopupMenu2", w->PopupMenu2, "QMenu", nullptr},
      {"Dodajdolisty1", w->Dodajdolisty1, "QAction", "Dodaj do listy"},
      {"Zapiszkonfiguracje1", w->Zapiszkonfiguracje1, "QAction", "Zapisz konfigurację…"},
      {"Porownajzplikiem1", w->Porownajzplikiem1, "QAction", "Porównaj z plikiem…"},
      {"Przywroczpliku1", w->Przywroczpliku1, "QAction", "Przywróć z pliku…"},
      {"SaveDialog1", w->SaveDialog1, "QFileDialog", nullptr},
      // Beside them: the list recording's choice, the trend, the watch list's menu and the recordings folder.
      {"cbxRecList", w->cbxRecList, "QCheckBox", "cała lista"},
      {"chTrend", w->chTrend, "QWidget", nullptr},
      {"Otworzfoldernagran1", w->Otworzfoldernagran1, "QAction", "Otwórz folder nagrań"},
      {"Listarejestrow1", w->Listarejestrow1, "QAction", "Lista rejestrów"},
      {"PopupMenu3", w->PopupMenu3, "QMenu", nullptr},
      {"Usunzlisty1", w->Usunzlisty1, "QAction", "Usuń z listy"},
      {"Przesunwgore1", w->Przesunwgore1, "QAction", "Przesuń w górę"},
      {"Przesunwdol1", w->Przesunwdol1, "QAction", "Przesuń w dół"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_NE(row.member, nullptr);
    EXPECT_EQ(row.member->objectName(), QString::fromLatin1(row.name));
    EXPECT_TRUE(row.member->inherits(row.className)) << row.member->metaObject()->className();
    // Reachable by name from the window, as other parts look components up.
    if (row.member != w.get()) {
      EXPECT_EQ(w->findChild<QObject*>(QString::fromLatin1(row.name)), row.member);
    }
    if (row.caption) {
      EXPECT_EQ(captionOf(row.member), QString::fromUtf8(row.caption));
    }
  }

  // The labels are navy and stand left of their control in the same row.
  for (QLabel* label : {w->Label1, w->Label2, w->Label3, w->Label4, w->Label5, w->Label6, w->Label7})
    EXPECT_EQ(label->palette().color(QPalette::WindowText), kColorNavy) << label->objectName().toStdString();
}

TEST_F(AppTest, ComponentsStartAsDesigned) {
  auto w = makeWindow();
  showAndSettle(*w);

  // The control panel at the right edge, the register tree above the log.
  EXPECT_EQ(w->Panel3->geometry().right(), w->Panel1->contentsRect().right() - 2);
  EXPECT_EQ(w->splitY->widget(0), w->VT);

  // Register tree: its columns, empty; a model put on the tree later keeps the columns' widths.
  const QAbstractItemModel* vt = w->VT->model();
  ASSERT_EQ(vt->columnCount(), 3);
  EXPECT_EQ(vt->rowCount(), 0);
  EXPECT_EQ(vt->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Rejestr"));
  EXPECT_EQ(vt->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Adres"));
  EXPECT_EQ(vt->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Wartość"));
  const int widths[] = {w->VT->columnWidth(0), w->VT->columnWidth(1), w->VT->columnWidth(2)};
  QStandardItemModel other(0, 3);
  w->SetVTModel(&other);
  EXPECT_EQ(w->VT->model(), &other);
  for (int column = 0; column < 3; ++column) EXPECT_EQ(w->VT->columnWidth(column), widths[column]);
  EXPECT_TRUE(w->VT->header()->sectionsMovable());
  EXPECT_EQ(w->VT->header()->sectionResizeMode(0), QHeaderView::Interactive);
  w->SetVTModel(w->VTModel);
  EXPECT_EQ(w->VT->contextMenuPolicy(), Qt::CustomContextMenu);

  // The trend appears only with a recording; "cała lista" starts unticked.
  EXPECT_FALSE(w->chTrend->isVisible());
  EXPECT_FALSE(w->cbxRecList->isChecked());

  // Watch list: hidden, with its columns.
  EXPECT_FALSE(w->VL->isVisible());
  ASSERT_EQ(w->VL->model()->columnCount(), 3);
  EXPECT_EQ(w->VL->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Slave"));
  EXPECT_EQ(w->VL->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Rejestr"));
  EXPECT_EQ(w->VL->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Opis"));

  // Log window shown and editable with its formatting rectangle; help panel hidden and read-only.
  EXPECT_TRUE(w->Memo1->isVisible());
  EXPECT_FALSE(w->Memo1->isReadOnly());
  EXPECT_FALSE(w->Memo1->tabChangesFocus());  // a tab goes into the text
  EXPECT_EQ(w->LogWindowMargins(), QMargins(10, 5, 10, 2));
  EXPECT_GT(w->Memo1->tabStopDistance(), 0.0);
  EXPECT_FALSE(w->Memo2->isVisible());
  EXPECT_TRUE(w->Memo2->isReadOnly());

  // Control panel.
  EXPECT_FALSE(w->cbxSingleReg->isVisible());
  EXPECT_TRUE(w->cbxSingleReg->isChecked());
  EXPECT_FALSE(w->eRegister->isEnabled());
  for (QComboBox* box : {w->ComCBox, w->cbxBaud, w->cbxParity}) EXPECT_TRUE(box->isEditable());
  EXPECT_EQ(w->ComCBox->count(), 0);
  EXPECT_EQ(w->ComCBox->currentText(), QString());
  ASSERT_EQ(w->cbxBaud->count(), 2);
  EXPECT_EQ(w->cbxBaud->itemText(1), QStringLiteral("19200"));
  ASSERT_EQ(w->cbxParity->count(), 3);
  EXPECT_EQ(w->cbxParity->itemText(2), QStringLiteral("odd"));
  EXPECT_EQ(w->shConnect->color(), kColorMediumGrey);
  EXPECT_EQ(w->shRec->color(), kColorMediumGrey);
  EXPECT_LT(w->shConnect->mapTo(w.get(), QPoint()).x(), w->btConnect->mapTo(w.get(), QPoint()).x());
  EXPECT_LT(w->shRec->mapTo(w.get(), QPoint()).x(), w->btRec->mapTo(w.get(), QPoint()).x());
  EXPECT_EQ(w->stBar->currentMessage(), QStringLiteral("F1 - pomoc"));
  // "Zapisz do pliku" asks no question before replacing and adds no extension.
  EXPECT_EQ(w->SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_TRUE(w->SaveDialog1->defaultSuffix().isEmpty());
  EXPECT_TRUE(w->SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));

  // View state starts unset; the highlight timer is 500 ms and not running.
  EXPECT_EQ(w->state.CurrentNode, nullptr);
  EXPECT_FALSE(w->state.GroupActive);
  EXPECT_FALSE(w->state.Recording);
  EXPECT_EQ(w->HighlightTimer.interval(), 500);
  EXPECT_FALSE(w->HighlightTimer.isActive());
  EXPECT_TRUE(messages.empty());
}

TEST_F(AppTest, HelpPanelHoldsTheSeventyLinesWithTheirBlanks) {
  auto w = makeWindow();
  const QTextDocument* doc = w->Memo2->document();
  ASSERT_EQ(doc->blockCount(), kHelpLineCount);
  const auto line = [doc](int n) { return doc->findBlockByNumber(n - 1).text(); };
  EXPECT_EQ(line(1), QStringLiteral("velnorex v2.1.1.2"));
  EXPECT_EQ(line(2), QString());
  EXPECT_EQ(line(5), QStringLiteral("    1° wybrać port szeregowy"));
  EXPECT_EQ(line(9), QStringLiteral("    3°  wcisnąć klawisz 'Połącz'"));
  EXPECT_EQ(line(11), QStringLiteral("Gdy nie wystąpiły żadne błędy podczas inicjalizacji połączenia "));
  EXPECT_EQ(line(21), QStringLiteral("jego adres na magistrali (adresy z zakresu 1÷247, domyślnie 1)"));
  EXPECT_EQ(line(36), QStringLiteral("w kolumnie 'Wartosc' dla wybranego rejestru. "));
  EXPECT_EQ(line(57), QStringLiteral("III. REJESTRACJA"));
  EXPECT_EQ(line(60), QStringLiteral("Rejestracja uruchomiona zostaje klawiszem 'Rejestracja'.  "));
  EXPECT_EQ(line(69), QStringLiteral("'zapisz do pliku')"));
  EXPECT_EQ(line(70), QString());
  for (int n : {2, 10, 14, 18, 23, 24, 30, 34, 41, 46, 54, 55, 56, 61, 65, 70})
    EXPECT_EQ(line(n), QString()) << n;
  EXPECT_EQ(HelpTextLines().size(), kHelpLineCount);
  // The recording's files, the list and the trend follow the seventy lines.
  EXPECT_EQ(line(71), QStringLiteral("IV. LISTA REJESTRÓW, NAGRANIA I WYKRES"));
  EXPECT_EQ(line(kHelpLineCount), QString());
}

}  // namespace
}  // namespace velnorex::test
