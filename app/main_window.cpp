// The main window: layout, settings at start and exit, help panel, connection panel and result events.
#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/help_text.h"
#include "app/ini_profile.h"
#include "app/message_box.h"
#include "recording/log_lines.h"
#include "registers/device_files.h"
#include "serial/port_list.h"
#include "serial/qt_serial_device.h"
#include "text/errors.h"
#include "text/number_text.h"

using namespace velnorex;

namespace {

// The formatting rectangle of the log window is the viewport inset by margins; Qt keeps those members
// protected.
class MarginTextEdit : public QPlainTextEdit {
 public:
  using QAbstractScrollArea::setViewportMargins;
  using QAbstractScrollArea::viewportMargins;
  using QPlainTextEdit::QPlainTextEdit;
};

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
  palette.setColor(QPalette::WindowText, kColorNavy);
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

TForm1::Paths TForm1::Paths::ForExecutable() {
  const QFileInfo exe(QCoreApplication::applicationFilePath());
  // A Windows program ends in ".exe", which the new extension replaces; a Linux one has none to replace.
  const QString base = exe.path() + u'/' + (exe.suffix().isEmpty() ? exe.fileName() : exe.completeBaseName());
  return Paths{base + QStringLiteral(".INI"), base + QStringLiteral(".log"), base + QStringLiteral(".lst"),
               QCoreApplication::applicationDirPath()};
}

TForm1::TForm1(const Paths& paths, std::unique_ptr<SerialDevice> device, QWidget* parent)
    : QMainWindow(parent),
      serial(device ? std::move(device) : std::make_unique<QtSerialDevice>()),
      paths_(paths) {
  HighlightTimer.setInterval(500);
  HighlightTimer.setSingleShot(true);
  buildLayout();
  wireEvents();
  wireRegisterTree();
  wireRecording();
  try {
    FormCreate();
  } catch (...) {
    // The start-up ends at the failing step; the window opens all the same.
    HandleException(std::current_exception());
  }
}

TForm1::~TForm1() {
  if (qApp) qApp->removeEventFilter(this);
  serial.setLostHandler(nullptr);
}

void TForm1::buildLayout() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("velnorex "));
  setFont(namedFont({QStringLiteral("Microsoft Sans Serif")}, QFont::SansSerif, 15));
  resize(952, 855);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Restored bounds are applied as stored, however small: what doesn't fit is cut off, not pushed outwards.
  Panel1->setMinimumSize(1, 1);
  setCentralWidget(Panel1);
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
  VT->setToolTip(QStringLiteral("Okno rejestrów"));
  windowFaceBackground(VT);
  VTModel = new RegisterTreeModel(state, this);
  VT->header()->setSectionsMovable(true);
  VT->header()->setStretchLastSection(false);
  VT->header()->setFixedHeight(25);
  SetVTModel(VTModel);
  VT->setRegisterModel(VTModel);
  VT->setContextMenuPolicy(Qt::CustomContextMenu);

  auto* memoArea = new QWidget(splitY);
  memoArea->setObjectName(QStringLiteral("memoArea"));
  auto* memoLayout = new QVBoxLayout(memoArea);
  memoLayout->setContentsMargins(0, 0, 0, 0);
  memoLayout->setSpacing(0);

  Memo1 = new MarginTextEdit(memoArea);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFont(namedFont({QStringLiteral("DejaVu LGC Sans Mono"), QStringLiteral("DejaVu Sans Mono")},
                           QFont::Monospace, 15));
  Memo1->setToolTip(QStringLiteral("Okno logów"));
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
  memoLayout->addWidget(Memo1);

  Memo2 = new QPlainTextEdit(memoArea);
  Memo2->setObjectName(QStringLiteral("Memo2"));
  Memo2->setReadOnly(true);
  Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo2->setTabChangesFocus(false);
  windowFaceBackground(Memo2);
  Memo2->setPlainText(HelpTextLines().join(u'\n'));
  Memo2->hide();
  memoLayout->addWidget(Memo2);

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
  panel2Layout->addWidget(VL);

  panel1Layout->addWidget(Panel2, 1);

  // --- control panel ---
  Panel3 = new QFrame(Panel1);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setFixedWidth(252);
  auto* panel3Layout = new QVBoxLayout(Panel3);
  panel3Layout->setContentsMargins(4, 4, 4, 0);

  GroupBox2 = new QGroupBox(QStringLiteral("Przetwornik"), Panel3);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  auto* device = new QGridLayout(GroupBox2);
  Label3 = navyLabel(QStringLiteral("Label3"), QStringLiteral("Typ:"), GroupBox2);
  cbxDevice = new QComboBox(GroupBox2);
  cbxDevice->setObjectName(QStringLiteral("cbxDevice"));
  Label5 = navyLabel(QStringLiteral("Label5"), QStringLiteral("Adres:"), GroupBox2);
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

  SerialBox = new QGroupBox(QStringLiteral("Połączenie"), Panel3);
  SerialBox->setObjectName(QStringLiteral("Serial"));
  auto* link = new QGridLayout(SerialBox);
  Label1 = navyLabel(QStringLiteral("Label1"), QStringLiteral("Port szer:"), SerialBox);
  ComCBox = editableCombo(QStringLiteral("ComCBox"), {}, SerialBox);
  Label2 = navyLabel(QStringLiteral("Label2"), QStringLiteral("Szybkość:"), SerialBox);
  cbxBaud =
      editableCombo(QStringLiteral("cbxBaud"), {QStringLiteral("9600"), QStringLiteral("19200")}, SerialBox);
  Label4 = navyLabel(QStringLiteral("Label4"), QStringLiteral("Parzystość:"), SerialBox);
  cbxParity =
      editableCombo(QStringLiteral("cbxParity"),
                    {QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")}, SerialBox);
  // The form's own choices; the settings replace them at start.
  cbxBaud->setCurrentIndex(1);
  cbxParity->setCurrentIndex(1);
  btConnect = button(QStringLiteral("btConnect"), QStringLiteral("Połącz"), SerialBox);
  shConnect = new IndicatorShape(SerialBox);
  shConnect->setObjectName(QStringLiteral("shConnect"));
  shConnect->setColor(kColorMediumGrey);
  btDisconnect = button(QStringLiteral("btDisconnect"), QStringLiteral("Rozłącz"), SerialBox);
  link->addWidget(Label1, 0, 0);
  link->addWidget(ComCBox, 0, 1);
  link->addWidget(Label2, 1, 0);
  link->addWidget(cbxBaud, 1, 1);
  link->addWidget(Label4, 2, 0);
  link->addWidget(cbxParity, 2, 1);
  link->addWidget(shConnect, 3, 0, Qt::AlignRight | Qt::AlignVCenter);
  link->addWidget(btConnect, 3, 1);
  link->addWidget(btDisconnect, 4, 1);
  link->setColumnStretch(1, 1);
  panel3Layout->addWidget(SerialBox);

  GroupBox1 = new QGroupBox(QStringLiteral("Log"), Panel3);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* log = new QGridLayout(GroupBox1);
  Label6 = navyLabel(QStringLiteral("Label6"), QStringLiteral("Rejestr:"), GroupBox1);
  eRegister = edit(QStringLiteral("eRegister"), QString(), GroupBox1);
  eRegister->setEnabled(false);
  Label7 = navyLabel(QStringLiteral("Label7"), QStringLiteral("Interwał:"), GroupBox1);
  eInterval = edit(QStringLiteral("eInterval"), QStringLiteral("1"), GroupBox1);
  btRec = button(QStringLiteral("btRec"), QStringLiteral("Rejestarcja"), GroupBox1);
  shRec = new IndicatorShape(GroupBox1);
  shRec->setObjectName(QStringLiteral("shRec"));
  shRec->setColor(kColorMediumGrey);
  log->addWidget(Label6, 0, 0);
  log->addWidget(eRegister, 0, 1);
  log->addWidget(Label7, 1, 0);
  log->addWidget(eInterval, 1, 1);
  log->addWidget(shRec, 2, 0, Qt::AlignRight | Qt::AlignVCenter);
  log->addWidget(btRec, 2, 1);
  log->setColumnStretch(1, 1);
  panel3Layout->addWidget(GroupBox1);

  panel3Layout->addStretch(1);
  stBar = new QStatusBar(Panel3);
  stBar->setObjectName(QStringLiteral("stBar"));
  stBar->setSizeGripEnabled(false);
  stBar->showMessage(QStringLiteral("F1 - pomoc"));
  panel3Layout->addWidget(stBar);

  panel1Layout->addWidget(Panel3);

  // --- non-visual components ---
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Wyczy1 = PopupMenu1->addAction(QStringLiteral("Wyczyść"));
  Wyczy1->setObjectName(QStringLiteral("Wyczy1"));
  Kopiuj1 = PopupMenu1->addAction(QStringLiteral("Kopiuj"));
  Kopiuj1->setObjectName(QStringLiteral("Kopiuj1"));
  Zapiszdopliku1 = PopupMenu1->addAction(QStringLiteral("Zapisz do pliku"));
  Zapiszdopliku1->setObjectName(QStringLiteral("Zapiszdopliku1"));

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  Dodajdolisty1 = PopupMenu2->addAction(QStringLiteral("Dodaj do listy"));
  Dodajdolisty1->setObjectName(QStringLiteral("Dodajdolisty1"));

  SaveDialog1 = new QFileDialog(this);
  SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->setFileMode(QFileDialog::AnyFile);
  SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);
  SaveDialog1->setDefaultSuffix(QString());
}

void TForm1::SetVTModel(QAbstractItemModel* model) {
  VT->setModel(model);
  VT->header()->setSectionResizeMode(QHeaderView::Interactive);
  setColumnWidths(VT, {180, 80, 414});
}

void TForm1::SetVLModel(QAbstractItemModel* model) {
  VL->setModel(model);
  setColumnWidths(VL, {70, 150, 200});
}

void TForm1::wireEvents() {
  // Key preview: the window sees every key before the focused control, and the ports list is refilled when
  // the port box receives the focus.
  qApp->installEventFilter(this);

  connect(btConnect, &QPushButton::clicked, this, guarded([this] { btConnectClick(); }));
  connect(btDisconnect, &QPushButton::clicked, this, guarded([this] { btDisconnectClick(); }));
  connect(cbxBaud, &QComboBox::editTextChanged, this, guarded([this] { cbxBaudChange(); }));
  connect(cbxParity, &QComboBox::editTextChanged, this, guarded([this] { cbxParityChange(); }));
  connect(ComCBox, &QComboBox::editTextChanged, this, guarded([this] { ComCBoxChange(); }));

  connect(VT, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu2->popup(VT->viewport()->mapToGlobal(pos)); });
  connect(Memo1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(Memo1->viewport()->mapToGlobal(pos)); });

  serial.setLostHandler([this] { shConnect->setColor(kColorRed); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* widget = qobject_cast<QWidget*>(watched);
      // While a key travels up from an unwilling control to its parents, the filter sees it at every step;
      // the toggle is idempotent, so that is harmless.
      if (widget && widget->window() == this) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        guarded([this, key] { FormKeyDown(key); })();
      }
      return false;  // never consumed
    }
    case QEvent::FocusIn:
      if (watched == cbxDevice) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
          guarded([this] { cbxDeviceEnter(); })();
      }
      if (watched == ComCBox) {
        // Closing the drop-down list or switching back to the window is no entry into the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
          guarded([this] { ComCBoxEnter(); })();
      }
      return false;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------------------
// Start-up and shut-down

void TForm1::FormCreate() {
  // The decimal separator ',' is fixed in the number-text unit; nothing here converts reals.
  state.GroupActive = false;

  VT->collapseAll();
  VL->collapseAll();

  const IniProfile ini(paths_.settingsFile);
  const int top = ini.ReadInteger(QStringLiteral("Form"), QStringLiteral("Top"), 100);
  const int left = ini.ReadInteger(QStringLiteral("Form"), QStringLiteral("Left"), 100);
  const int height = ini.ReadInteger(QStringLiteral("Form"), QStringLiteral("Height"), 340);
  const int width = ini.ReadInteger(QStringLiteral("Form"), QStringLiteral("Width"), 800);
  // Position of the frame and size of the client area, as pos() and size() give them back at exit.
  move(left, top);
  resize(width, height);

  splitHeight_ = ini.ReadInteger(QStringLiteral("Form"), QStringLiteral("Split"), 240);
  splitY->setSizes({splitHeight_, std::max(1, height - splitHeight_)});

  const auto restoreIndex = [](QComboBox* box, int index) {
    if (index >= 0 && index < box->count()) {
      box->setCurrentIndex(index);
    } else {
      box->setCurrentIndex(-1);
      box->setEditText(QString());
    }
  };
  restoreIndex(cbxParity, ini.ReadInteger(QStringLiteral("Cfg"), QStringLiteral("Parity"), 0));
  restoreIndex(cbxBaud, ini.ReadInteger(QStringLiteral("Cfg"), QStringLiteral("BaudRate"), 0));

  eInterval->setText(ini.ReadString(QStringLiteral("Cfg"), QStringLiteral("Interval"), QStringLiteral("1")));
  // A text that isn't an integer ends the start-up here, with the conversion's message.
  StrToInt(eInterval->text().toStdU16String());

  eSlave->setText(ini.ReadString(QStringLiteral("Data"), QStringLiteral("Slave"), QStringLiteral("1")));

  SetupLogWindow();
}

void TForm1::SetupLogWindow() {
  // Text laid out 10 px in from the sides, 5 px below the top and 2 px above the bottom edge.
  static_cast<MarginTextEdit*>(Memo1)->setViewportMargins(10, 5, 10, 2);
  Memo1->clear();
  // One tab stop value of 45 dialog units: a dialog unit is a quarter of the average character width.
  Memo1->setTabStopDistance(QFontMetricsF(Memo1->font()).averageCharWidth() * 45.0 / 4.0);
  Memo1->viewport()->update();
}

QMargins TForm1::LogWindowMargins() const {
  return static_cast<const MarginTextEdit*>(Memo1)->viewportMargins();
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TForm1::runExitStep(const std::function<void()>& step) {
  try {
    step();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TForm1::FormClose() {
  if (closed_) return;
  closed_ = true;
  runExitStep([this] { Disconnect(); });
  runExitStep([this] { saveSettings(); });
  runExitStep([this] {
    if (serial.PortOpen) serial.ClosePort();
  });
  runExitStep([this] { saveLog(); });
  runExitStep([this] {
    if (saveWatchListHook) saveWatchListHook(paths_.watchListFile);
  });
}

void TForm1::saveSettings() {
  IniProfile ini(paths_.settingsFile);
  const QString form = QStringLiteral("Form");
  ini.WriteInteger(form, QStringLiteral("Top"), pos().y());
  ini.WriteInteger(form, QStringLiteral("Left"), pos().x());
  ini.WriteInteger(form, QStringLiteral("Height"), height());
  ini.WriteInteger(form, QStringLiteral("Width"), width());
  // A window that was never shown has no laid-out tree: its height is still the one restored.
  ini.WriteInteger(form, QStringLiteral("Split"), VT->isVisible() ? VT->height() : splitHeight_);
  const QString cfg = QStringLiteral("Cfg");
  ini.WriteInteger(cfg, QStringLiteral("BaudRate"), ItemIndex(cbxBaud));
  ini.WriteInteger(cfg, QStringLiteral("Parity"), ItemIndex(cbxParity));
  ini.WriteString(cfg, QStringLiteral("Interval"), eInterval->text());
  ini.WriteString(QStringLiteral("Data"), QStringLiteral("Slave"), eSlave->text());
  if (!ini.Save())
    throw Error(QStringLiteral("Unable to write to %1: %2")
                    .arg(paths_.settingsFile, ini.errorString())
                    .toStdString());
}

void TForm1::saveLog() {
  // An empty log has no line and leaves an earlier file as it was.
  if (Memo1->document()->isEmpty()) return;
  SaveLogFile(*Memo1, paths_.logFile);
}

// ---------------------------------------------------------------------------------------------------------
// Help panel

void TForm1::FormKeyDown(int key) {
  if (key == Qt::Key_F1) {
    Memo1->hide();
    Memo2->show();
    stBar->showMessage(QStringLiteral("Esc - zamknij pomoc"));
  } else if (key == Qt::Key_Escape) {
    Memo1->show();
    Memo2->hide();
    stBar->showMessage(QStringLiteral("F1 - pomoc"));
  }
}

// ---------------------------------------------------------------------------------------------------------
// Connection panel

int TForm1::ItemIndex(const QComboBox* box) {
  const QString text = box->currentText();
  const int current = box->currentIndex();
  if (current >= 0 && box->itemText(current) == text) return current;
  return box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TForm1::Connect() {
  if (serial.PortOpen) Disconnect();
  const QString path = Serial::PathForPortName(ComCBox->currentText());
  QString mode = cbxBaud->currentText();
  switch (ItemIndex(cbxParity)) {
    case 1:
      mode += QStringLiteral(",e,8,1");
      break;
    case 2:
      mode += QStringLiteral(",o,8,1");
      break;
    default:
      mode += QStringLiteral(",n,8,2");
      break;
  }
  serial.PortPath = path;
  serial.PortMode = mode;
  serial.OpenPort(path, mode);
  if (!serial.PortOpen) {
    shConnect->setColor(kColorRed);
    return;
  }
  if (serial.SetPortTimeouts(30, 0, 40, 0, 30)) {
    shConnect->setColor(kColorLime);
  } else {
    serial.ClosePort();
    shConnect->setColor(kColorRed);
  }
}

void TForm1::Disconnect() {
  if (serial.PortOpen) serial.ClosePort();
  shConnect->setColor(kColorGrey);
}

void TForm1::btConnectClick() {
  if (ComCBox->currentText().isEmpty()) {
    ShowModalMessage(this, QStringLiteral("wybierz port szeregowy"));
    return;
  }
  Connect();
}

void TForm1::btDisconnectClick() {
  if (state.Recording && stopRecordingHook) stopRecordingHook();
  Disconnect();
}

void TForm1::ComCBoxEnter() {
  const QString text = ComCBox->currentText();
  // Refilling is no change of the port by the operator.
  const QSignalBlocker blocker(ComCBox);
  ComCBox->clear();
  ComCBox->addItems(SplitCommaText(ListSerialPorts()));
  ComCBox->setCurrentIndex(-1);
  ComCBox->setEditText(text);
}

void TForm1::cbxBaudChange() {
  if (serial.PortOpen) btDisconnectClick();
}

void TForm1::cbxParityChange() {
  if (serial.PortOpen) btDisconnectClick();
}

void TForm1::ComCBoxChange() {
  if (serial.PortOpen) btDisconnectClick();
}

// ---------------------------------------------------------------------------------------------------------
// Register tree: every handler forwards to registers/

void TForm1::wireRegisterTree() {
  registerOps = std::make_unique<RegisterOperations>(state, modbus, *VTModel, *VT, registerHost_);
  showValueHook = [this] { registerOps->ShowValue(); };
  nextStepHook = [this] { registerOps->UM_NEXT(); };
  connect(cbxDevice, &QComboBox::activated, this, guarded([this] { cbxDeviceSelect(); }));
  connect(btReset, &QPushButton::clicked, this, guarded([this] { btResetClick(); }));
  connect(&HighlightTimer, &QTimer::timeout, this, guarded([this] { HighlightTimerTimer(); }));
  connect(VT, &RegisterTreeView::treeClicked, this, guarded([this] { VTClick(); }));
  connect(VT, &RegisterTreeView::columnDoubleClicked, this,
          guarded([this](int column, QPoint position) { VTColumnDblClick(column, position); }));
  connect(VT, &RegisterTreeView::nodeExpanding, this,
          guarded([this](const QModelIndex& index) { VTExpanding(VTModel->nodeAt(index)); }));
  // A check mark or an accepted edit acts once the view has finished with the gesture: the write it may
  // start then never runs inside the view's own event handling, and a tree replaced meanwhile is noticed.
  connect(VTModel, &RegisterTreeModel::checkChanged, this, [this](const QModelIndex& index, int newState) {
    const QPersistentModelIndex at(index);
    registerHost_.postQueued([this, at, newState] {
      if (at.isValid())
        VTChecking(VTModel->nodeAt(at),
                   newState == Qt::Checked ? CheckState::csCheckedNormal : CheckState::csUncheckedNormal);
    });
  });
  connect(VTModel, &RegisterTreeModel::valueEdited, this, [this](const QModelIndex& index) {
    const QPersistentModelIndex at(index);
    registerHost_.postQueued([this, at] {
      if (at.isValid()) VTEdited(VTModel->nodeAt(at), at.column());
    });
  });
}

void TForm1::cbxDeviceEnter() {
  RefillDeviceBox(cbxDevice, paths_.deviceFolder);
}
void TForm1::cbxDeviceSelect() {
  registerOps->cbxDeviceSelect(paths_.deviceFolder, cbxDevice->currentText());
}
void TForm1::VTClick() {
  registerOps->VTClick();
}
void TForm1::VTColumnDblClick(int column, QPoint position) {
  registerOps->VTColumnDblClick(column, position);
}
void TForm1::VTEdited(RegisterTreeNode* node, int column) {
  registerOps->VTEdited(node, column);
}
void TForm1::VTChecking(RegisterTreeNode* node, CheckState newState) {
  registerOps->VTChecking(node, newState);
}
void TForm1::VTExpanding(RegisterTreeNode* node) {
  registerOps->VTExpanding(node);
}
void TForm1::HighlightTimerTimer() {
  registerOps->HighlightTimerExpired();
}
void TForm1::btResetClick() {
  registerOps->btResetClick();
}

std::u16string TForm1::RegisterHost::slaveText() const {
  return form_.eSlave->text().toStdU16String();
}
bool TForm1::RegisterHost::singleRegisterWrites() const {
  return form_.cbxSingleReg->isChecked();
}
void TForm1::RegisterHost::restartHighlightTimer() {
  form_.HighlightTimer.start(500);
}
void TForm1::RegisterHost::stopHighlightTimer() {
  form_.HighlightTimer.stop();
}
void TForm1::RegisterHost::postQueued(std::function<void()> step) {
  QMetaObject::invokeMethod(&form_, guarded(std::move(step)), Qt::QueuedConnection);
}
void TForm1::RegisterHost::showMessage(const QString& text) {
  ShowModalMessage(&form_, text);
}
void TForm1::RegisterHost::setRegisterText(const QString& text) {
  form_.eRegister->setText(text);
}
void TForm1::RegisterHost::stopRecording() {
  if (form_.stopRecordingHook) form_.stopRecordingHook();
}
ExchangeHost& TForm1::RegisterHost::exchangeHost() {
  return form_;
}

// ---------------------------------------------------------------------------------------------------------
// Recording, the log window's menu and the watch list: every handler forwards to recording/ or registers/

void TForm1::wireRecording() {
  recording = std::make_unique<Recording>(recordingHost_);
  logCommands = std::make_unique<LogWindowCommands>(*Memo1, *SaveDialog1);
  VLModel = new WatchListModel(this);
  SetVLModel(VLModel);
  stopRecordingHook = [this] { recording->StopRecording(); };
  saveWatchListHook = [this](const QString& path) { VLModel->SaveToFile(path.toStdString()); };
  connect(btRec, &QPushButton::clicked, this, guarded([this] { btRecClick(); }));
  connect(&RecordTimer, &QTimer::timeout, this, guarded([this] { RecordTimerTimer(); }));
  connect(Wyczy1, &QAction::triggered, this, guarded([this] { Wyczy1Click(); }));
  connect(Kopiuj1, &QAction::triggered, this, guarded([this] { Kopiuj1Click(); }));
  connect(Zapiszdopliku1, &QAction::triggered, this, guarded([this] { Zapiszdopliku1Click(); }));
  connect(Dodajdolisty1, &QAction::triggered, this, guarded([this] { Dodajdolisty1Click(); }));
}

void TForm1::btRecClick() {
  recording->btRecClick();
}
void TForm1::RecordTimerTimer() {
  recording->RecordTick();
}
void TForm1::Wyczy1Click() {
  logCommands->Wyczy1Click();
}
void TForm1::Kopiuj1Click() {
  logCommands->Kopiuj1Click();
}
void TForm1::Zapiszdopliku1Click() {
  logCommands->Zapiszdopliku1Click();
}
void TForm1::Dodajdolisty1Click() {
  if (!VLModel->AddToWatchList(state.CurrentRecord, eSlave->text()))
    ShowModalMessage(this, QStringLiteral("nie wybrano rejestru"));
}

ViewState& TForm1::RecordingWindow::viewState() {
  return form_.state;
}
QPlainTextEdit& TForm1::RecordingWindow::logWindow() {
  return *form_.Memo1;
}
QTimer& TForm1::RecordingWindow::recordTimer() {
  return form_.RecordTimer;
}
void TForm1::RecordingWindow::setRegisterTreeEnabled(bool enabled) {
  form_.VT->setEnabled(enabled);
}
void TForm1::RecordingWindow::refreshRegisterTree() {
  form_.VT->viewport()->update();
}
void TForm1::RecordingWindow::setRecordIndicator(const QColor& color) {
  form_.shRec->setColor(color);
}
QString TForm1::RecordingWindow::intervalText() const {
  return form_.eInterval->text();
}
QString TForm1::RecordingWindow::slaveText() const {
  return form_.eSlave->text();
}
QString TForm1::RecordingWindow::deviceText() const {
  return form_.cbxDevice->currentText();
}
void TForm1::RecordingWindow::setRegisterText(const QString& name) {
  form_.eRegister->setText(name);
}
RegisterTreeNode* TForm1::RecordingWindow::focusedNode() const {
  return form_.VT->focusedNode();
}
void TForm1::RecordingWindow::readNode(RegisterTreeNode* node) {
  form_.registerOps->ReadNode(node);
}
bool TForm1::RecordingWindow::busy() const {
  return form_.registerOps->busy() || ModalMessageDepth() > 0;
}
void TForm1::RecordingWindow::showMessage(const QString& text) {
  ShowModalMessage(&form_, text);
}
void TForm1::RecordingWindow::showError(std::exception_ptr error) {
  HandleException(error);
}

// ---------------------------------------------------------------------------------------------------------
// Result events of the exchange

void TForm1::UM_REPLY() {
  results_.OnReply();
}
void TForm1::UM_TIMEOUT() {
  results_.OnTimeout();
}
void TForm1::UM_CRCERROR() {
  results_.OnCrcError();
}

void TForm1::UM_NEXT() {
  if (nextStepHook) nextStepHook();
}

void TForm1::ResultsWindow::ShowValue() {
  if (form_.showValueHook) form_.showValueHook();
}

void TForm1::ResultsWindow::StartHighlightTimer() {
  form_.HighlightTimer.start(500);
}

void TForm1::ResultsWindow::PerformNext() {
  form_.Perform(WindowMessage::UM_NEXT);
}

void TForm1::Perform(WindowMessage message) {
  switch (message) {
    case WindowMessage::UM_REPLY:
      UM_REPLY();
      break;
    case WindowMessage::UM_TIMEOUT:
      UM_TIMEOUT();
      break;
    case WindowMessage::UM_CRCERROR:
      UM_CRCERROR();
      break;
    case WindowMessage::UM_NEXT:
      UM_NEXT();
      break;
  }
}

void TForm1::ProcessPendingMessages() {
  QCoreApplication::processEvents();
}

void TForm1::ShowMessage(const std::u16string& text) {
  ShowModalMessage(this, QString::fromStdU16String(text));
}

void TForm1::AppendLogLine(const std::u16string& line) {
  Memo1->appendPlainText(QString::fromStdU16String(line));
}
