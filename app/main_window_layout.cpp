// The main window's components: created, named, captioned and placed as the operator knows them.
#include "app/main_window_layout.h"

#include <algorithm>
#include <cmath>

#include <QActionGroup>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTextBlock>
#include <QVBoxLayout>

#include "app/help_text.h"
#include "recording/trend_view.h"
#include "registers/palette.h"

namespace velnorex {

namespace {

// The named font where it is installed, else a generic family of the same kind.
QFont namedFont(const QStringList& families, QFont::StyleHint hint, int pixelSize) {
  QStringList all = families;
  if (hint == QFont::Monospace) {
    all << QStringLiteral("Monospace") << QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  } else {
    all << QStringLiteral("Sans Serif") << QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  }
  QFont font;
  font.setFamilies(all);
  font.setStyleHint(hint);
  font.setPixelSize(pixelSize);
  return font;
}

void setColumnWidths(QTreeView* view, std::initializer_list<int> widths) {
  int column = 0;
  for (int width : widths) view->setColumnWidth(column++, width);
}

QLabel* navyLabel(const QString& name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ReadableOnWindow(kColorNavy, palette));
  label->setPalette(palette);
  return label;
}

QComboBox* editableCombo(const QString& name, const QStringList& items, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(items);
  return box;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  return b;
}

QLineEdit* edit(const QString& name, const QString& text, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  return e;
}

// The window-face colour behind the text of a view.
void windowFaceBackground(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  widget->setPalette(palette);
}

}  // namespace

QSize StatusLine::minimumSizeHint() const {
  QSize size = QLabel::minimumSizeHint();
  if (!text().isEmpty()) size.setHeight(std::max(size.height(), heightForWidth(width())));
  return size;
}

void StatusLine::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  // A new width wraps the text anew: the layout asks again how tall the line must be.
  if (event->size().width() != event->oldSize().width()) updateGeometry();
}

LogArea::LogArea(QWidget* parent, LogTextEdit* log, QPlainTextEdit* help, TrendView* trend)
    : QWidget(parent), log_(log), help_(help), trend_(trend) {
  log->setParent(this);
  help->setParent(this);
  trend->setParent(this);
  layout_ = new QBoxLayout(QBoxLayout::LeftToRight, this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  layout_->addWidget(log, 1);
  layout_->addWidget(help, 1);
  layout_->addWidget(trend, 2);
  trend->installEventFilter(this);
  // Only what is added is measured, so a week of readings costs one line's measure each.
  connect(log->document(), &QTextDocument::contentsChange, this,
          [this](int position, int, int added) { measure(position, added); });
}

void LogArea::measure(int position, int added) {
  const QTextDocument* document = log_->document();
  if (document->isEmpty()) {
    longest_ = 0;
    arrange();
    return;
  }
  const QFontMetricsF metrics(log_->font());
  const double tab = log_->tabStopDistance() > 0 ? log_->tabStopDistance() : metrics.averageCharWidth() * 8;
  const double before = longest_;
  const QTextBlock last = document->findBlock(position + added);
  for (QTextBlock block = document->findBlock(position); block.isValid(); block = block.next()) {
    double x = 0;
    const QStringList pieces = block.text().split(u'\t');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
      if (i > 0) x = (std::floor(x / tab) + 1) * tab;
      x += metrics.horizontalAdvance(pieces[i]);
    }
    longest_ = std::max(longest_, x);
    if (block == last) break;
  }
  if (longest_ != before) arrange();
}

int LogArea::logWidthNeeded() const {
  const QMargins margins = log_->viewportMargins();
  return static_cast<int>(std::ceil(longest_ + 2 * log_->document()->documentMargin())) + margins.left() +
         margins.right() + 2 * log_->frameWidth() + log_->cursorWidth() +
         log_->fontMetrics().averageCharWidth();  // a character to spare for the font's own rounding
}

int LogArea::trendWidthNeeded() const {
  // Room for the commands above the chart and for a plot that still shows a few ticks of the time axis.
  return std::max(trend_->minimumSizeHint().width(), log_->fontMetrics().averageCharWidth() * 32);
}

bool LogArea::trendBelow() const {
  return layout_->direction() == QBoxLayout::TopToBottom;
}

bool LogArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == trend_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) arrange();
  return QWidget::eventFilter(watched, event);
}

void LogArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->size().width() != event->oldSize().width()) arrange();
}

void LogArea::arrange() {
  const bool trend = trend_->isVisibleTo(this);
  const int need = logWidthNeeded();
  const bool below = trend && width() < need + trendWidthNeeded();
  const auto direction = below ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
  if (layout_->direction() != direction) layout_->setDirection(direction);
  const int minimum = trend && !below ? need : 0;
  log_->setMinimumWidth(minimum);
  help_->setMinimumWidth(minimum);
  // Below the log, the trend shares the height; beside it, it takes what the log's lines leave.
  layout_->setStretchFactor(trend_, below ? 1 : 2);
}

void MainWindowLayout::setupUi(QMainWindow* form) {
  Form1 = form;
  form->setObjectName(QStringLiteral("Form1"));
  form->setWindowTitle(QStringLiteral("velnorex "));
  form->setFont(namedFont({QStringLiteral("Microsoft Sans Serif")}, QFont::SansSerif, 15));
  form->resize(952, 855);

  Panel1 = new QFrame(form);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // No minimum of its own: the layouts give the window the smallest size that shows every control of the
  // control panel at its natural height, so nothing there is ever squeezed into its neighbour.
  form->setCentralWidget(Panel1);
  auto* panel1Layout = new QHBoxLayout(Panel1);
  panel1Layout->setContentsMargins(2, 2, 2, 2);
  panel1Layout->setSpacing(2);

  // --- work area ---
  Panel2 = new QFrame(Panel1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  auto* panel2Layout = new QVBoxLayout(Panel2);
  panel2Layout->setContentsMargins(0, 0, 0, 0);
  panel2Layout->setSpacing(0);

  splitY = new QSplitter(Qt::Vertical, Panel2);
  splitY->setObjectName(QStringLiteral("splitY"));
  splitY->setHandleWidth(3);
  splitY->setChildrenCollapsible(false);

  VT = new RegisterTreeView(splitY);
  VT->setObjectName(QStringLiteral("VT"));
  VT->setFont(namedFont({QStringLiteral("DejaVu Sans Mono")}, QFont::Monospace, 15));
  VT->setToolTip(QCoreApplication::translate("Form1", "Okno rejestrów"));
  windowFaceBackground(VT);
  VT->header()->setFixedHeight(25);
  VT->setContextMenuPolicy(Qt::CustomContextMenu);

  Memo1 = new LogTextEdit();
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFont(namedFont({QStringLiteral("DejaVu LGC Sans Mono"), QStringLiteral("DejaVu Sans Mono")},
                           QFont::Monospace, 15));
  Memo1->setToolTip(QCoreApplication::translate("Form1", "Okno logów"));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setTabChangesFocus(false);
  Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
  {
    // The margins of the formatting rectangle belong to the text area and share its background.
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    Memo1->setPalette(palette);
    Memo1->setAutoFillBackground(true);
  }

  Memo2 = new QPlainTextEdit();
  Memo2->setObjectName(QStringLiteral("Memo2"));
  Memo2->setReadOnly(true);
  Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo2->setTabChangesFocus(false);
  windowFaceBackground(Memo2);
  Memo2->setPlainText(HelpTextLines().join(u'\n'));
  Memo2->hide();

  chTrend = new TrendView();
  chTrend->setObjectName(QStringLiteral("chTrend"));
  chTrend->hide();
  memoArea = new LogArea(splitY, Memo1, Memo2, chTrend);
  memoArea->setObjectName(QStringLiteral("memoArea"));

  // A restored split is applied as stored: neither side insists on room of its own.
  VT->setMinimumSize(1, 1);
  memoArea->setMinimumSize(1, 1);
  splitY->addWidget(VT);
  splitY->addWidget(memoArea);
  // The register tree keeps its height when the window is resized; the log takes the rest.
  splitY->setStretchFactor(0, 0);
  splitY->setStretchFactor(1, 1);
  panel2Layout->addWidget(splitY, 1);

  VL = new QTreeView(Panel2);
  VL->setObjectName(QStringLiteral("VL"));
  VL->setFont(namedFont({QStringLiteral("Consolas")}, QFont::Monospace, 15));
  VL->header()->setFixedHeight(24);
  VL->setFixedHeight(242);
  VL->hide();
  VL->setContextMenuPolicy(Qt::CustomContextMenu);
  panel2Layout->addWidget(VL);

  panel1Layout->addWidget(Panel2, 1);

  // --- control panel ---
  Panel3 = new QFrame(Panel1);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setFixedWidth(252);
  auto* panel3Layout = new QVBoxLayout(Panel3);
  panel3Layout->setContentsMargins(4, 4, 4, 0);

  GroupBox2 = new QGroupBox(QCoreApplication::translate("Form1", "Przetwornik"), Panel3);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  auto* device = new QGridLayout(GroupBox2);
  Label3 = navyLabel(QStringLiteral("Label3"), QCoreApplication::translate("Form1", "Typ:"), GroupBox2);
  cbxDevice = new QComboBox(GroupBox2);
  cbxDevice->setObjectName(QStringLiteral("cbxDevice"));
  Label5 = navyLabel(QStringLiteral("Label5"), QCoreApplication::translate("Form1", "Adres:"), GroupBox2);
  eSlave = edit(QStringLiteral("eSlave"), QStringLiteral("1"), GroupBox2);
  btReset = button(QStringLiteral("btReset"), QStringLiteral("Reset"), GroupBox2);
  cbxSingleReg = new QCheckBox(QStringLiteral("SingleReg"), GroupBox2);
  cbxSingleReg->setObjectName(QStringLiteral("cbxSingleReg"));
  cbxSingleReg->setChecked(true);
  cbxSingleReg->hide();
  device->addWidget(Label3, 0, 0);
  device->addWidget(cbxDevice, 0, 1);
  device->addWidget(Label5, 1, 0);
  device->addWidget(eSlave, 1, 1);
  device->addWidget(btReset, 2, 1);
  device->addWidget(cbxSingleReg, 3, 1);
  device->setColumnStretch(1, 1);
  panel3Layout->addWidget(GroupBox2);

  SerialBox = new QGroupBox(QCoreApplication::translate("Form1", "Połączenie"), Panel3);
  SerialBox->setObjectName(QStringLiteral("Serial"));
  auto* link = new QGridLayout(SerialBox);
  Label1 = navyLabel(QStringLiteral("Label1"), QCoreApplication::translate("Form1", "Port szer:"), SerialBox);
  ComCBox = editableCombo(QStringLiteral("ComCBox"), {}, SerialBox);
  Label2 = navyLabel(QStringLiteral("Label2"), QCoreApplication::translate("Form1", "Szybkość:"), SerialBox);
  cbxBaud =
      editableCombo(QStringLiteral("cbxBaud"), {QStringLiteral("9600"), QStringLiteral("19200")}, SerialBox);
  Label4 =
      navyLabel(QStringLiteral("Label4"), QCoreApplication::translate("Form1", "Parzystość:"), SerialBox);
  cbxParity =
      editableCombo(QStringLiteral("cbxParity"),
                    {QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")}, SerialBox);
  // The form's own choices; the settings replace them at start.
  cbxBaud->setCurrentIndex(1);
  cbxParity->setCurrentIndex(1);
  btConnect = button(QStringLiteral("btConnect"), QCoreApplication::translate("Form1", "Połącz"), SerialBox);
  shConnect = new IndicatorShape(SerialBox);
  shConnect->setObjectName(QStringLiteral("shConnect"));
  shConnect->setColor(kColorMediumGrey);
  btDisconnect =
      button(QStringLiteral("btDisconnect"), QCoreApplication::translate("Form1", "Rozłącz"), SerialBox);
  btSearch = button(QStringLiteral("btSearch"), QCoreApplication::translate("Form1", "Szukaj…"), SerialBox);
  btSearch->setToolTip(QCoreApplication::translate("Form1", "Wyszukiwanie przetworników na linii"));
  link->addWidget(Label1, 0, 0);
  link->addWidget(ComCBox, 0, 1);
  link->addWidget(Label2, 1, 0);
  link->addWidget(cbxBaud, 1, 1);
  link->addWidget(Label4, 2, 0);
  link->addWidget(cbxParity, 2, 1);
  link->addWidget(shConnect, 3, 0, Qt::AlignRight | Qt::AlignVCenter);
  link->addWidget(btConnect, 3, 1);
  link->addWidget(btDisconnect, 4, 1);
  link->addWidget(btSearch, 5, 1);
  link->setColumnStretch(1, 1);
  panel3Layout->addWidget(SerialBox);

  GroupBox1 = new QGroupBox(QStringLiteral("Log"), Panel3);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* log = new QGridLayout(GroupBox1);
  Label6 = navyLabel(QStringLiteral("Label6"), QCoreApplication::translate("Form1", "Rejestr:"), GroupBox1);
  eRegister = edit(QStringLiteral("eRegister"), QString(), GroupBox1);
  eRegister->setEnabled(false);
  Label7 = navyLabel(QStringLiteral("Label7"), QCoreApplication::translate("Form1", "Interwał:"), GroupBox1);
  eInterval = edit(QStringLiteral("eInterval"), QStringLiteral("1"), GroupBox1);
  btRec = button(QStringLiteral("btRec"), QCoreApplication::translate("Form1", "Rejestarcja"), GroupBox1);
  shRec = new IndicatorShape(GroupBox1);
  shRec->setObjectName(QStringLiteral("shRec"));
  shRec->setColor(kColorMediumGrey);
  log->addWidget(Label6, 0, 0);
  log->addWidget(eRegister, 0, 1);
  log->addWidget(Label7, 1, 0);
  log->addWidget(eInterval, 1, 1);
  log->addWidget(shRec, 2, 0, Qt::AlignRight | Qt::AlignVCenter);
  log->addWidget(btRec, 2, 1);
  cbxRecList = new QCheckBox(QCoreApplication::translate("Form1", "cała lista"), GroupBox1);
  cbxRecList->setObjectName(QStringLiteral("cbxRecList"));
  cbxRecList->setToolTip(QCoreApplication::translate(
      "Form1", "rejestruj wszystkie rejestry listy (interwał także w dziesiątych s)"));
  log->addWidget(cbxRecList, 3, 1);
  log->setColumnStretch(1, 1);
  panel3Layout->addWidget(GroupBox1);

  panel3Layout->addStretch(1);
  stPort = new StatusLine(Panel3);
  stPort->setObjectName(QStringLiteral("stPort"));
  stPort->setWordWrap(true);
  stPort->setContentsMargins(2, 2, 2, 2);
  {
    QPalette palette = stPort->palette();
    palette.setColor(QPalette::WindowText, ReadableOnWindow(kColorMaroon, palette));
    stPort->setPalette(palette);
  }
  stPort->hide();
  panel3Layout->addWidget(stPort);
  stBar = new QStatusBar(Panel3);
  stBar->setObjectName(QStringLiteral("stBar"));
  stBar->setSizeGripEnabled(false);
  stBar->showMessage(QCoreApplication::translate("Form1", "F1 - pomoc"));
  panel3Layout->addWidget(stBar);

  panel1Layout->addWidget(Panel3);

  // --- non-visual components ---
  PopupMenu1 = new QMenu(form);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Wyczy1 = PopupMenu1->addAction(QCoreApplication::translate("Form1", "Wyczyść"));
  Wyczy1->setObjectName(QStringLiteral("Wyczy1"));
  Kopiuj1 = PopupMenu1->addAction(QCoreApplication::translate("Form1", "Kopiuj"));
  Kopiuj1->setObjectName(QStringLiteral("Kopiuj1"));
  Zapiszdopliku1 = PopupMenu1->addAction(QCoreApplication::translate("Form1", "Zapisz do pliku"));
  Zapiszdopliku1->setObjectName(QStringLiteral("Zapiszdopliku1"));
  Ruchnalinii1 = PopupMenu1->addAction(QCoreApplication::translate("Form1", "Ruch na linii"));
  Ruchnalinii1->setObjectName(QStringLiteral("Ruchnalinii1"));
  Ruchnalinii1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  // On the window too, so that Ctrl+T works wherever the focus is, not only while the menu is open.
  form->addAction(Ruchnalinii1);
  Otworzfoldernagran1 = PopupMenu1->addAction(QCoreApplication::translate("Form1", "Otwórz folder nagrań"));
  Otworzfoldernagran1->setObjectName(QStringLiteral("Otworzfoldernagran1"));
  // The operator who hid the trend keeps it hidden through later recordings, until ticked again.
  Wykres1 = PopupMenu1->addAction(QCoreApplication::translate("Form1", "Wykres nagrania"));
  Wykres1->setObjectName(QStringLiteral("Wykres1"));
  Wykres1->setCheckable(true);
  Wykres1->setChecked(chTrend->shownWithRecordings());
  QObject::connect(Wykres1, &QAction::toggled, chTrend,
                   [this](bool on) { chTrend->setShownWithRecordings(on); });
  chTrend->shownWithRecordingsChanged = [this](bool on) { Wykres1->setChecked(on); };
  // Each language named in its own words, so that either operator finds the way back.
  Jezyk1 = PopupMenu1->addMenu(QCoreApplication::translate("Form1", "Język (Language)"));
  Jezyk1->setObjectName(QStringLiteral("Jezyk1"));
  auto* languages = new QActionGroup(Jezyk1);
  JezykPolski1 = Jezyk1->addAction(QStringLiteral("polski"));
  JezykPolski1->setObjectName(QStringLiteral("JezykPolski1"));
  JezykPolski1->setData(QStringLiteral("pl"));
  JezykAngielski1 = Jezyk1->addAction(QStringLiteral("English"));
  JezykAngielski1->setObjectName(QStringLiteral("JezykAngielski1"));
  JezykAngielski1->setData(QStringLiteral("en"));
  for (QAction* language : {JezykPolski1, JezykAngielski1}) {
    language->setCheckable(true);
    languages->addAction(language);
  }
  JezykPolski1->setChecked(true);

  PopupMenu2 = new QMenu(form);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  Dodajdolisty1 = PopupMenu2->addAction(QCoreApplication::translate("Form1", "Dodaj do listy"));
  Dodajdolisty1->setObjectName(QStringLiteral("Dodajdolisty1"));
  Znajdzkolejnosc1 = PopupMenu2->addAction(QCoreApplication::translate("Form1", "Znajdź kolejność słów…"));
  Znajdzkolejnosc1->setObjectName(QStringLiteral("Znajdzkolejnosc1"));
  PopupMenu2->addSeparator();
  Zapiszkonfiguracje1 = PopupMenu2->addAction(QCoreApplication::translate("Form1", "Zapisz konfigurację…"));
  Zapiszkonfiguracje1->setObjectName(QStringLiteral("Zapiszkonfiguracje1"));
  Porownajzplikiem1 = PopupMenu2->addAction(QCoreApplication::translate("Form1", "Porównaj z plikiem…"));
  Porownajzplikiem1->setObjectName(QStringLiteral("Porownajzplikiem1"));
  Przywroczpliku1 = PopupMenu2->addAction(QCoreApplication::translate("Form1", "Przywróć z pliku…"));
  Przywroczpliku1->setObjectName(QStringLiteral("Przywroczpliku1"));

  // The watch list's own menu, and the switch of its panel, which also works from the keyboard anywhere in
  // the window.
  Listarejestrow1 = new QAction(QCoreApplication::translate("Form1", "Lista rejestrów"), form);
  Listarejestrow1->setObjectName(QStringLiteral("Listarejestrow1"));
  Listarejestrow1->setCheckable(true);
  Listarejestrow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  form->addAction(Listarejestrow1);
  PopupMenu2->addAction(Listarejestrow1);
  PopupMenu3 = new QMenu(form);
  PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
  const auto listAction = [this](const char* name, const QString& caption, const QKeySequence& keys) {
    QAction* action = PopupMenu3->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    VL->addAction(action);
    return action;
  };
  Usunzlisty1 = listAction("Usunzlisty1", QCoreApplication::translate("Form1", "Usuń z listy"),
                           QKeySequence(Qt::Key_Delete));
  Przesunwgore1 = listAction("Przesunwgore1", QCoreApplication::translate("Form1", "Przesuń w górę"),
                             QKeySequence(Qt::CTRL | Qt::Key_Up));
  Przesunwdol1 = listAction("Przesunwdol1", QCoreApplication::translate("Form1", "Przesuń w dół"),
                            QKeySequence(Qt::CTRL | Qt::Key_Down));
  PopupMenu3->addSeparator();
  PopupMenu3->addAction(Listarejestrow1);

  SaveDialog1 = new QFileDialog(form);
  SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->setFileMode(QFileDialog::AnyFile);
  SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);
  SaveDialog1->setDefaultSuffix(QString());
}

void MainWindowLayout::SetVTModel(QAbstractItemModel* model) {
  VT->setModel(model);
  VT->header()->setSectionResizeMode(QHeaderView::Interactive);
  setColumnWidths(VT, {180, 80, 414});
}

void MainWindowLayout::SetVLModel(QAbstractItemModel* model) {
  VL->setModel(model);
  setColumnWidths(VL, {70, 150, 200});
}

}  // namespace velnorex
