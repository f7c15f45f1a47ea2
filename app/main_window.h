// The main window TForm1: its components (built by the layout), the view state, and the named handlers of
// the operator's events, each forwarded to the folder that owns the behaviour.
#pragma once

#include <exception>
#include <memory>
#include <type_traits>
#include <utility>

#include <QMainWindow>
#include <QTimer>

#include "app/application.h"
#include "app/config_commands.h"
#include "app/connection_panel.h"
#include "app/line_monitor.h"
#include "app/main_window_layout.h"
#include "app/window_hosts.h"
#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "recording/list_recording.h"
#include "recording/log_window_commands.h"
#include "recording/recording.h"
#include "recording/recording_outputs.h"
#include "registers/register_operations.h"
#include "registers/view_state.h"
#include "registers/watch_list_model.h"
#include "registers/watch_list_panel.h"
#include "serial/serial.h"

class TForm1 : public QMainWindow, public velnorex::MainWindowLayout {
 public:
  // Where the window keeps its files.
  struct Paths {
    QString settingsFile;       // ".INI"
    QString logFile;            // ".log"
    QString watchListFile;      // ".lst"
    QStringList deviceFolders;  // the *.dat files; a name in several comes from the first
    QString recordingsFolder;   // recordings, in the data folder
    // Beside the executable, named after it, for a copied or portable program whose folder takes files;
    // else in the user's folders (app/file_locations.h).
    static Paths ForExecutable();
  };

  // A null device means the real serial port; either is put under the line tap of the traffic monitor.
  explicit TForm1(const Paths& paths = Paths::ForExecutable(),
                  std::unique_ptr<velnorex::SerialDevice> device = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  const Paths& paths() const { return paths_; }

  // Runs a handler from a signal connection: an exception ends the handler and goes to the top-level error
  // handler here, since throwing through Qt's signal machinery is not safe.
  template <class F>
  static auto guarded(F f) {
    return
        [f = std::move(f)](auto&&... args) -> std::enable_if_t<std::is_invocable_v<F&, decltype(args)...>> {
          try {
            f(std::forward<decltype(args)>(args)...);
          } catch (...) {
            velnorex::HandleException(std::current_exception());
          }
        };
  }

  // --- start-up, shut-down, help ---
  void FormCreate();
  void FormClose();
  // The help toggle; sees every key before the focused control, which still receives it.
  void FormKeyDown(int key);
  void SetupLogWindow();
  // The insets of Memo1's formatting rectangle that SetupLogWindow set (none before it ran).
  QMargins LogWindowMargins() const { return Memo1->viewportMargins(); }

  // --- connection panel ---
  void Connect();
  void Disconnect();
  void btConnectClick();
  void btDisconnectClick();
  void ComCBoxEnter();
  void cbxBaudChange();
  void cbxParityChange();
  void ComCBoxChange();
  // "Szukaj…": the search of the line for transducers, in a dialog of its own.
  void btSearchClick();

  // --- register tree ---
  void cbxDeviceEnter();
  void cbxDeviceSelect();
  void VTClick();
  void VTColumnDblClick(int column, QPoint position);
  void VTEdited(velnorex::RegisterTreeNode* node, int column);
  void VTChecking(velnorex::RegisterTreeNode* node, velnorex::CheckState newState);
  void VTExpanding(velnorex::RegisterTreeNode* node);
  void HighlightTimerTimer();
  void btResetClick();

  // --- recording, the log window's menu and the watch list ---
  void btRecClick();
  void cbxRecListClick();
  void RecordTimerTimer();
  void Wyczy1Click();
  void Kopiuj1Click();
  void Zapiszdopliku1Click();
  void Dodajdolisty1Click();
  void Znajdzkolejnosc1Click();
  void Ruchnalinii1Click();
  void ListRecordTimerTimer();
  void Otworzfoldernagran1Click();
  void Listarejestrow1Click();
  void Usunzlisty1Click();
  void Przesunwgore1Click();
  void Przesunwdol1Click();

  // --- the register tree's configuration commands ---
  void Zapiszkonfiguracje1Click();
  void Porownajzplikiem1Click();
  void Przywroczpliku1Click();

  // The language the window was made in ("pl" or "en"), ticked in "Język (Language)"; a choice there is
  // kept in the settings file for the next start.
  void setLanguage(const QString& language);
  const QString& language() const { return language_; }
  void JezykClick(QAction* choice);

  // --- units and state ---
  velnorex::ViewState state;
  QTimer HighlightTimer;
  QTimer RecordTimer;
  QTimer ListRecordTimer;

 private:
  velnorex::WindowHosts hosts_{*this};

 public:
  // The line: the port under the traffic monitor's tap, the Modbus unit, the dispatcher through which every
  // transaction's result goes to whoever started it, the traffic log and the time-outs.
  velnorex::Bus bus;
  velnorex::Serial& serial = bus.serial();
  velnorex::Modbus& modbus = bus.modbus();
  velnorex::ExchangeDispatcher& dispatcher = bus.dispatcher();
  velnorex::ConnectionPanel connection{bus, *ComCBox, *cbxBaud, *cbxParity, *shConnect, stPort};
  // The register tree's model over the loaded definition, and the reads and writes on it.
  velnorex::RegisterTreeModel* VTModel = new velnorex::RegisterTreeModel(state, this);
  velnorex::RegisterOperations registerOps{state, modbus, dispatcher, *VTModel, *VT, hosts_};
  // Recording into the log window, the log window's menu, and the watch list VL's model.
  velnorex::Recording recording{hosts_};
  velnorex::LogWindowCommands logCommands{*Memo1, *SaveDialog1};
  velnorex::WatchListModel* VLModel = new velnorex::WatchListModel(this);
  // "Wyszukiwanie przetworników", made on first use.
  velnorex::SearchDialog* searchDialog = nullptr;
  // The window "Ruch na linii" over the bus's traffic log.
  velnorex::LineMonitor lineMonitor{*bus.trafficLog(), this};
  // Every recording also streams into a CSV file and the trend; the watch list can be recorded whole.
  velnorex::RecordingOutputs recordingOutputs{[this](const QString& text) { hosts_.showMessage(text); },
                                              [this](const QString& text) { hosts_.reportLine(text); }};
  velnorex::ListRecording listRecording{hosts_, modbus, dispatcher, serial, *VLModel, recordingOutputs};
  velnorex::WatchListPanel watchListPanel{*VL,          *VLModel,       *Listarejestrow1,
                                          *Usunzlisty1, *Przesunwgore1, *Przesunwdol1};
  // Saving, comparing and restoring the transducer's configuration.
  velnorex::ConfigCommands configCommands{state,    serial, modbus,      dispatcher, bus.readRefusals(),
                                          *VTModel, *VT,    registerOps, hosts_};

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void wireEvents();
  void wireRegisterTree();
  void wireRecording();
  void wireWatchList();
  void saveSettings();
  void saveLog();

  Paths paths_;
  // The interval of the kind of recording that "cała lista" does not choose now.
  QString otherInterval_ = QStringLiteral("1");
  QString language_ = QStringLiteral("pl");
  int splitHeight_ = 240;  // VT's height as restored, until the window is laid out
  bool closed_ = false;
};
