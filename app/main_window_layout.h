// The components of the main window Form1, each named as the operator's documents and the tests know it, and
// the code that creates and places them.
#pragma once

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>

#include "app/indicator.h"
#include "registers/register_tree_view.h"

namespace velnorex {

class TrendView;

// The log window: its formatting rectangle is the viewport inset by margins, which Qt keeps protected.
class LogTextEdit : public QPlainTextEdit {
 public:
  using QAbstractScrollArea::setViewportMargins;
  using QAbstractScrollArea::viewportMargins;
  using QPlainTextEdit::QPlainTextEdit;
};

// A word-wrapped line of the status area that asks for the height its text needs at its width, so the
// window's minimum grows with a long text instead of squeezing the controls above it.
class StatusLine : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

// The lower part of the work area: the log window (or the help panel in its place) and a recording's trend.
// While the trend shows, the log keeps the width of its longest line and the trend takes what is left beside
// it; when what is left is too narrow for the trend, the trend goes below the log.
class LogArea : public QWidget {
 public:
  LogArea(QWidget* parent, LogTextEdit* log, QPlainTextEdit* help, TrendView* trend);

  // The width the log's longest line asks for, its margins and frame included.
  int logWidthNeeded() const;
  // The narrowest the trend can be beside the log.
  int trendWidthNeeded() const;
  bool trendBelow() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void measure(int position, int added);
  void arrange();

  LogTextEdit* log_;
  QPlainTextEdit* help_;
  TrendView* trend_;
  QBoxLayout* layout_;
  double longest_ = 0;  // the longest line, in pixels, since the log was last emptied
};

class MainWindowLayout {
 public:
  // Creates every component on `form` (objectName = member name; SerialBox's objectName is "Serial"), so
  // that they exist before the window's own members are made.
  explicit MainWindowLayout(QMainWindow* form) { setupUi(form); }
  void setupUi(QMainWindow* form);

  // Puts a model on a tree and gives its columns their widths again (a new model resets the header).
  void SetVTModel(QAbstractItemModel* model);
  void SetVLModel(QAbstractItemModel* model);

  QMainWindow* Form1 = nullptr;
  QFrame* Panel1 = nullptr;
  QFrame* Panel2 = nullptr;
  QFrame* Panel3 = nullptr;
  RegisterTreeView* VT = nullptr;
  QSplitter* splitY = nullptr;
  LogTextEdit* Memo1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  QTreeView* VL = nullptr;
  TrendView* chTrend = nullptr;  // beside (or below) the log window while recording
  LogArea* memoArea = nullptr;

  QGroupBox* GroupBox2 = nullptr;
  QLabel* Label3 = nullptr;  // "Typ:"
  QComboBox* cbxDevice = nullptr;
  QLabel* Label5 = nullptr;  // "Adres:"
  QLineEdit* eSlave = nullptr;
  QPushButton* btReset = nullptr;
  QCheckBox* cbxSingleReg = nullptr;

  QGroupBox* SerialBox = nullptr;
  QLabel* Label1 = nullptr;  // "Port szer:"
  QComboBox* ComCBox = nullptr;
  QLabel* Label2 = nullptr;  // "Szybkość:"
  QComboBox* cbxBaud = nullptr;
  QLabel* Label4 = nullptr;  // "Parzystość:"
  QComboBox* cbxParity = nullptr;
  QPushButton* btConnect = nullptr;
  IndicatorShape* shConnect = nullptr;
  QPushButton* btDisconnect = nullptr;
  QPushButton* btSearch = nullptr;  // "Szukaj…", below the panel's own controls

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label6 = nullptr;  // "Rejestr:"
  QLineEdit* eRegister = nullptr;
  QLabel* Label7 = nullptr;  // "Interwał:"
  QLineEdit* eInterval = nullptr;
  QPushButton* btRec = nullptr;
  IndicatorShape* shRec = nullptr;
  QCheckBox* cbxRecList = nullptr;  // "cała lista": "Rejestarcja" records the watch list

  QStatusBar* stBar = nullptr;
  // The status area's second line, above stBar: why the port could not be opened or went away. Hidden while
  // there is nothing to say; stBar keeps the help toggle's text.
  StatusLine* stPort = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* Wyczy1 = nullptr;
  QAction* Kopiuj1 = nullptr;
  QAction* Zapiszdopliku1 = nullptr;
  QAction* Ruchnalinii1 = nullptr;  // "Ruch na linii", also Ctrl+T
  QAction* Otworzfoldernagran1 = nullptr;
  QMenu* Jezyk1 = nullptr;  // "Język (Language)": the window's language at the next start
  QAction* JezykPolski1 = nullptr;
  QAction* JezykAngielski1 = nullptr;
  QAction* Wykres1 = nullptr;  // "Wykres nagrania": the trend shows with a recording; "ukryj" unticks it
  QMenu* PopupMenu2 = nullptr;
  QAction* Dodajdolisty1 = nullptr;
  QAction* Znajdzkolejnosc1 = nullptr;  // "Znajdź kolejność słów…" of a 32- or 64-bit register
  QAction* Listarejestrow1 = nullptr;   // shows or hides VL; in PopupMenu2 and PopupMenu3, Ctrl+L
  QMenu* PopupMenu3 = nullptr;          // on VL
  QAction* Usunzlisty1 = nullptr;
  QAction* Przesunwgore1 = nullptr;
  QAction* Przesunwdol1 = nullptr;
  QAction* Zapiszkonfiguracje1 = nullptr;  // "Zapisz konfigurację…"
  QAction* Porownajzplikiem1 = nullptr;    // "Porównaj z plikiem…"
  QAction* Przywroczpliku1 = nullptr;      // "Przywróć z pliku…"
  QFileDialog* SaveDialog1 = nullptr;
};

}  // namespace velnorex
