// The main window: wiring of the operator's events to the named handlers, start-up and shut-down, and the
// handlers themselves, each a forward to the folder that owns the behaviour.
#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QStandardPaths>

#include "app/file_locations.h"
#include "app/language.h"
#include "app/message_box.h"
#include "app/window_bounds.h"
#include "app/window_settings.h"
#include "app/word_order_dialog.h"
#include "recording/log_lines.h"
#include "recording/trend_view.h"
#include "registers/device_files.h"
#include "registers/palette.h"
#include "modbus/link_device.h"
#include "text/number_text.h"

using namespace velnorex;

TForm1::Paths TForm1::Paths::ForExecutable() {
  const FileLocations l = LocateProgramFiles();
  return Paths{l.settingsFile, l.logFile, l.watchListFile, l.deviceFolders, l.recordingsFolder};
}

TForm1::TForm1(const Paths& paths, std::unique_ptr<SerialDevice> device, QWidget* parent)
    : QMainWindow(parent),
      MainWindowLayout(this),
      bus(device ? std::move(device) : std::make_unique<LinkDevice>(), hosts_),
      paths_(paths) {
  HighlightTimer.setInterval(500);
  HighlightTimer.setSingleShot(true);
  VT->setRegisterModel(VTModel);
  SetVTModel(VTModel);
  SetVLModel(VLModel);
  watchListPanel.connectSelection();
  recording.setSink(&recordingOutputs);
  recordingOutputs.setFolder(paths_.recordingsFolder);
  recordingOutputs.setTrend(chTrend);
  chTrend->pngFolder = paths_.recordingsFolder;
  chTrend->showMessage = [this](const QString& text) { hosts_.showMessage(text); };
  wireEvents();
  wireRegisterTree();
  wireRecording();
  wireWatchList();
  try {
    FormCreate();
  } catch (...) {
    // The start-up ends at the failing step; the window opens all the same.
    HandleException(std::current_exception());
  }
}

TForm1::~TForm1() {
  // A running search holds the port and the Modbus unit, which go before the window's children do.
  delete searchDialog;
  searchDialog = nullptr;
  if (qApp) qApp->removeEventFilter(this);
  serial.setLostHandler(nullptr);
}

// ---------------------------------------------------------------------------------------------------------
// Wiring

void TForm1::wireEvents() {
  // Key preview: the window sees every key before the focused control, and the ports list is refilled when
  // the port box receives the focus.
  qApp->installEventFilter(this);

  connect(btConnect, &QPushButton::clicked, this, guarded([this] { btConnectClick(); }));
  connect(btDisconnect, &QPushButton::clicked, this, guarded([this] { btDisconnectClick(); }));
  connect(cbxBaud, &QComboBox::editTextChanged, this, guarded([this] { cbxBaudChange(); }));
  connect(cbxParity, &QComboBox::editTextChanged, this, guarded([this] { cbxParityChange(); }));
  connect(ComCBox, &QComboBox::editTextChanged, this, guarded([this] { ComCBoxChange(); }));
  connect(btSearch, &QPushButton::clicked, this, guarded([this] { btSearchClick(); }));

  connect(VT, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu2->popup(VT->viewport()->mapToGlobal(pos)); });
  connect(Memo1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(Memo1->viewport()->mapToGlobal(pos)); });

  serial.setLostHandler([this] { connection.PortLost(); });
}

void TForm1::wireRegisterTree() {
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
    hosts_.postQueued([this, at, newState] {
      if (at.isValid())
        VTChecking(VTModel->nodeAt(at),
                   newState == Qt::Checked ? CheckState::csCheckedNormal : CheckState::csUncheckedNormal);
    });
  });
  connect(Zapiszkonfiguracje1, &QAction::triggered, this, guarded([this] { Zapiszkonfiguracje1Click(); }));
  connect(Porownajzplikiem1, &QAction::triggered, this, guarded([this] { Porownajzplikiem1Click(); }));
  connect(Przywroczpliku1, &QAction::triggered, this, guarded([this] { Przywroczpliku1Click(); }));
  connect(VTModel, &RegisterTreeModel::valueEdited, this, [this](const QModelIndex& index) {
    const QPersistentModelIndex at(index);
    hosts_.postQueued([this, at] {
      if (at.isValid()) VTEdited(VTModel->nodeAt(at), at.column());
    });
  });
}

void TForm1::wireRecording() {
  connect(btRec, &QPushButton::clicked, this, guarded([this] { btRecClick(); }));
  connect(&RecordTimer, &QTimer::timeout, this, guarded([this] { RecordTimerTimer(); }));
  connect(Wyczy1, &QAction::triggered, this, guarded([this] { Wyczy1Click(); }));
  connect(Kopiuj1, &QAction::triggered, this, guarded([this] { Kopiuj1Click(); }));
  connect(Zapiszdopliku1, &QAction::triggered, this, guarded([this] { Zapiszdopliku1Click(); }));
  connect(Dodajdolisty1, &QAction::triggered, this, guarded([this] { Dodajdolisty1Click(); }));
  connect(Znajdzkolejnosc1, &QAction::triggered, this, guarded([this] { Znajdzkolejnosc1Click(); }));
  connect(Ruchnalinii1, &QAction::triggered, this, guarded([this] { Ruchnalinii1Click(); }));
  connect(&ListRecordTimer, &QTimer::timeout, this, guarded([this] { ListRecordTimerTimer(); }));
  connect(Otworzfoldernagran1, &QAction::triggered, this, guarded([this] { Otworzfoldernagran1Click(); }));
  connect(cbxRecList, &QCheckBox::toggled, this, guarded([this] { cbxRecListClick(); }));
  connect(Jezyk1, &QMenu::triggered, this, guarded([this](QAction* choice) { JezykClick(choice); }));
}

void TForm1::wireWatchList() {
  connect(VL, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu3->popup(VL->viewport()->mapToGlobal(pos)); });
  connect(Listarejestrow1, &QAction::triggered, this, guarded([this] { Listarejestrow1Click(); }));
  connect(Usunzlisty1, &QAction::triggered, this, guarded([this] { Usunzlisty1Click(); }));
  connect(Przesunwgore1, &QAction::triggered, this, guarded([this] { Przesunwgore1Click(); }));
  connect(Przesunwdol1, &QAction::triggered, this, guarded([this] { Przesunwdol1Click(); }));
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

  const WindowSettings settings = WindowSettings::Load(paths_.settingsFile);
  // Position of the frame and size of the client area, as pos() and size() give them back at exit; at least
  // large enough to show every control, and on the screen.
  RestoreBounds(*this, QRect(settings.left, settings.top, settings.width, settings.height));

  splitHeight_ = settings.split;
  splitY->setSizes({splitHeight_, std::max(1, settings.height - splitHeight_)});

  const auto restoreIndex = [](QComboBox* box, int index) {
    if (index >= 0 && index < box->count()) {
      box->setCurrentIndex(index);
    } else {
      box->setCurrentIndex(-1);
      box->setEditText(QString());
    }
  };
  restoreIndex(cbxParity, settings.parity);
  restoreIndex(cbxBaud, settings.baudRate);

  eInterval->setText(settings.interval);
  // The list's interval has a key of its own and is checked only when a list recording starts; it is taken
  // before the conversion below, which may end the start-up.
  otherInterval_ = settings.listInterval;
  // A text that isn't an integer ends the start-up here, with the conversion's message.
  StrToInt(eInterval->text().toStdU16String());

  eSlave->setText(settings.slave);

  SetupLogWindow();
}

void TForm1::SetupLogWindow() {
  // Text laid out 10 px in from the sides, 5 px below the top and 2 px above the bottom edge.
  Memo1->setViewportMargins(10, 5, 10, 2);
  Memo1->clear();
  // One tab stop value of 45 dialog units: a dialog unit is a quarter of the average character width.
  Memo1->setTabStopDistance(QFontMetricsF(Memo1->font()).averageCharWidth() * 45.0 / 4.0);
  Memo1->viewport()->update();
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TForm1::FormClose() {
  if (closed_) return;
  closed_ = true;
  // Each step runs even when an earlier one failed; a failure is reported and the window still closes.
  const auto step = [](const auto& run) {
    try {
      run();
    } catch (...) {
      HandleException(std::current_exception());
    }
  };
  // A search holds the line; a group step already queued, a check mark's write or a recording tick would
  // otherwise find the port closed and say "brak połączenia !" as the window goes.
  step([this] {
    if (searchDialog) searchDialog->stopSearch();
    registerOps.Shutdown();
    RecordTimer.stop();
  });
  step([this] { Disconnect(); });
  step([this] { saveSettings(); });
  step([this] {
    if (serial.PortOpen()) serial.ClosePort();
  });
  step([this] { saveLog(); });
  step([this] { VLModel->SaveToFile(paths_.watchListFile.toStdString()); });
}

void TForm1::saveSettings() {
  WindowSettings settings;
  settings.top = pos().y();
  settings.left = pos().x();
  settings.height = height();
  settings.width = width();
  // A window that was never shown has no laid-out tree: its height is still the one restored.
  settings.split = VT->isVisible() ? VT->height() : splitHeight_;
  settings.baudRate = ItemIndex(cbxBaud);
  settings.parity = ItemIndex(cbxParity);
  const bool list = cbxRecList->isChecked();
  settings.interval = list ? otherInterval_ : eInterval->text();
  settings.listInterval = list ? eInterval->text() : otherInterval_;
  settings.slave = eSlave->text();
  settings.Save(paths_.settingsFile);
}

void TForm1::saveLog() {
  // An empty log has no line and leaves an earlier file as it was.
  if (!HoldsALine(*Memo1)) return;
  SaveLogFile(*Memo1, paths_.logFile);
}

void TForm1::FormKeyDown(int key) {
  if (key == Qt::Key_F1) {
    Memo1->hide();
    Memo2->show();
    stBar->showMessage(QCoreApplication::translate("Form1", "Esc - zamknij pomoc"));
  } else if (key == Qt::Key_Escape) {
    Memo1->show();
    Memo2->hide();
    stBar->showMessage(QCoreApplication::translate("Form1", "F1 - pomoc"));
  }
}

// ---------------------------------------------------------------------------------------------------------
// Connection panel

void TForm1::Connect() {
  connection.Connect();
}

void TForm1::Disconnect() {
  connection.Disconnect();
}

void TForm1::btConnectClick() {
  if (ComCBox->currentText().isEmpty()) {
    ShowModalMessage(this, QCoreApplication::translate("Form1", "wybierz port szeregowy"));
    return;
  }
  Connect();
}

void TForm1::btDisconnectClick() {
  if (state.Recording) recording.StopRecording();
  listRecording.StopRecording();
  Disconnect();
}

void TForm1::ComCBoxEnter() {
  connection.ComCBoxEnter();
}

// A change of the line setting while connected ends the connection; the new setting applies at the next
// "Połącz".
void TForm1::cbxBaudChange() {
  if (serial.PortOpen()) btDisconnectClick();
}
void TForm1::cbxParityChange() {
  if (serial.PortOpen()) btDisconnectClick();
}
void TForm1::ComCBoxChange() {
  connection.PortTextChanged();
  if (serial.PortOpen()) btDisconnectClick();
}

void TForm1::btSearchClick() {
  if (!searchDialog) searchDialog = new SearchDialog(bus, hosts_, this);
  searchDialog->open();
}

// ---------------------------------------------------------------------------------------------------------
// Register tree

void TForm1::cbxDeviceEnter() {
  RefillDeviceBox(cbxDevice, paths_.deviceFolders);
}
void TForm1::cbxDeviceSelect() {
  const QString name = cbxDevice->currentText();
  registerOps.cbxDeviceSelect(DeviceFolderOf(paths_.deviceFolders, name), name);
}
void TForm1::VTClick() {
  registerOps.VTClick();
}
void TForm1::VTColumnDblClick(int column, QPoint position) {
  registerOps.VTColumnDblClick(column, position);
}
void TForm1::VTEdited(RegisterTreeNode* node, int column) {
  registerOps.VTEdited(node, column);
}
void TForm1::VTChecking(RegisterTreeNode* node, CheckState newState) {
  registerOps.VTChecking(node, newState);
}
void TForm1::VTExpanding(RegisterTreeNode* node) {
  registerOps.VTExpanding(node);
}
void TForm1::HighlightTimerTimer() {
  registerOps.HighlightTimerExpired();
}
void TForm1::btResetClick() {
  // A reset ends a list recording first, as it ends the one-register recording.
  if (!registerOps.busy()) listRecording.StopRecording();
  registerOps.btResetClick();
}

// ---------------------------------------------------------------------------------------------------------
// Recording, the log window's menu and the watch list

void TForm1::btRecClick() {
  // "cała lista" chooses what a start records; a press during either recording stops that one.
  if (listRecording.running() || (!state.Recording && cbxRecList->isChecked()))
    listRecording.btRecClick();
  else
    recording.btRecClick();
}
void TForm1::cbxRecListClick() {
  // Each kind of recording keeps its own interval: the list's may hold tenths, the register's is whole
  // seconds, and "Interwał:" shows the one that "Rejestarcja" would start with.
  const QString shown = eInterval->text();
  eInterval->setText(otherInterval_);
  otherInterval_ = shown;
}
void TForm1::RecordTimerTimer() {
  recording.RecordTick();
}
void TForm1::Wyczy1Click() {
  logCommands.Wyczy1Click();
}
void TForm1::Kopiuj1Click() {
  logCommands.Kopiuj1Click();
}
void TForm1::Zapiszdopliku1Click() {
  logCommands.Zapiszdopliku1Click();
}
void TForm1::Dodajdolisty1Click() {
  if (!VLModel->AddToWatchList(state.CurrentRecord, eSlave->text()))
    ShowModalMessage(this, QCoreApplication::translate("Form1", "nie wybrano rejestru"));
}
void TForm1::Znajdzkolejnosc1Click() {
  FindWordOrder(registerOps, VT->focusedNode(), this);
}
void TForm1::Ruchnalinii1Click() {
  lineMonitor.show();
}
void TForm1::ListRecordTimerTimer() {
  listRecording.RecordTick();
}
void TForm1::Otworzfoldernagran1Click() {
  recordingOutputs.openFolder();
}
void TForm1::Listarejestrow1Click() {
  watchListPanel.toggle();
}
void TForm1::Usunzlisty1Click() {
  watchListPanel.removeSelected();
}
void TForm1::Przesunwgore1Click() {
  watchListPanel.moveSelected(-1);
}
void TForm1::Przesunwdol1Click() {
  watchListPanel.moveSelected(1);
}

// ---------------------------------------------------------------------------------------------------------
// The register tree's configuration commands

void TForm1::Zapiszkonfiguracje1Click() {
  configCommands.Zapiszkonfiguracje1Click();
}
void TForm1::Porownajzplikiem1Click() {
  configCommands.Porownajzplikiem1Click();
}
void TForm1::Przywroczpliku1Click() {
  configCommands.Przywroczpliku1Click();
}

void TForm1::setLanguage(const QString& language) {
  language_ = language;
  (language == QLatin1String("en") ? JezykAngielski1 : JezykPolski1)->setChecked(true);
}

void TForm1::JezykClick(QAction* choice) {
  const QString language = choice->data().toString();
  QString error;
  if (!StoreLanguage(paths_.settingsFile, language, &error)) {
    hosts_.showMessage(QCoreApplication::translate("Form1", "nie można zapisać ustawień: %1").arg(error));
    return;
  }
  if (language != language_)
    hosts_.showMessage(language == QLatin1String("en")
                           ? QStringLiteral("English from the next start of the program")
                           : QStringLiteral("język polski od następnego uruchomienia programu"));
}
