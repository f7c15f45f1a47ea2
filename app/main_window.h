// The main window TForm1: its layout and component names, settings at start and exit, the help panel, the
// connection panel, and the result events of the exchange. Behaviour that belongs to the register tree and to
// recording is wired in by those folders through the hooks below.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include <QAction>
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
#include <QTimer>
#include <QTreeView>

#include "app/application.h"
#include "app/indicator.h"
#include "modbus/exchange_host.h"
#include "modbus/exchange_results.h"
#include "modbus/modbus.h"
#include "recording/log_window_commands.h"
#include "recording/recording.h"
#include "registers/register_operations.h"
#include "registers/view_state.h"
#include "registers/watch_list_model.h"
#include "serial/serial.h"

namespace velnorex {

inline const QColor kColorNavy{0x00, 0x00, 0x80};
inline const QColor kColorRed{0xFF, 0x00, 0x00};
inline const QColor kColorLime{0x00, 0xFF, 0x00};
inline const QColor kColorGrey{0x80, 0x80, 0x80};
inline const QColor kColorMediumGrey{0xA0, 0xA0, 0xA4};
inline const QColor kColorYellow{0xFF, 0xFF, 0x00};

}  // namespace velnorex

class TForm1 : public QMainWindow, public velnorex::ExchangeHost {
 public:
  // Where the window keeps its files.
  struct Paths {
    QString settingsFile;   // ".INI"
    QString logFile;        // ".log"
    QString watchListFile;  // ".lst"
    QString deviceFolder;   // the *.dat files
    // Beside the executable, named after it.
    static Paths ForExecutable();
  };

  // A null device means the real serial port.
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

  // --- handlers ---
  void FormCreate();
  void FormClose();
  // The help toggle; sees every key before the focused control, which still receives it.
  void FormKeyDown(int key);
  void SetupLogWindow();
  // The insets of Memo1's formatting rectangle that SetupLogWindow set (none before it ran).
  QMargins LogWindowMargins() const;

  void Connect();
  void Disconnect();
  void btConnectClick();
  void btDisconnectClick();
  void ComCBoxEnter();
  void cbxBaudChange();
  void cbxParityChange();
  void ComCBoxChange();

  // --- register tree (forwarded to registers/) ---
  void cbxDeviceEnter();
  void cbxDeviceSelect();
  void VTClick();
  void VTColumnDblClick(int column, QPoint position);
  void VTEdited(velnorex::RegisterTreeNode* node, int column);
  void VTChecking(velnorex::RegisterTreeNode* node, velnorex::CheckState newState);
  void VTExpanding(velnorex::RegisterTreeNode* node);
  void HighlightTimerTimer();
  void btResetClick();

  // --- recording, the log window's menu and the watch list (forwarded to recording/ and registers/) ---
  void btRecClick();
  void RecordTimerTimer();
  void Wyczy1Click();
  void Kopiuj1Click();
  void Zapiszdopliku1Click();
  void Dodajdolisty1Click();

  // --- result events of the exchange ---
  void UM_REPLY();
  void UM_TIMEOUT();
  void UM_CRCERROR();
  void UM_NEXT();

  // ExchangeHost
  void Perform(velnorex::WindowMessage message) override;
  void ProcessPendingMessages() override;
  void ShowMessage(const std::u16string& text) override;
  void AppendLogLine(const std::u16string& line) override;

  // The item index of an editable combo box as the connection and the settings see it: the selected item
  // when the text still is that item's, else the item whose text matches exactly, else -1 (typed text).
  static int ItemIndex(const QComboBox* box);

  // --- hooks that the register tree and recording fill in ---
  // ShowValue: after a reply to a read or a write decoded without an exception.
  std::function<void()> showValueHook;
  // The UM_NEXT handler: the next step of a group operation.
  std::function<void()> nextStepHook;
  // StopRecording: called by btDisconnectClick (and so by changes of the port settings) when state.Recording.
  std::function<void()> stopRecordingHook;
  // Saves the watch list VL to the given path at exit; throws velnorex::Error when the file cannot be
  // written.
  std::function<void(const QString& path)> saveWatchListHook;

  // --- units and state ---
  velnorex::Serial serial;
  velnorex::Modbus modbus{serial};
  velnorex::ViewState state;
  QTimer HighlightTimer;
  QTimer RecordTimer;

  // --- components (objectName = member name; SerialBox's objectName is "Serial") ---
  QMainWindow* Form1 = this;
  QFrame* Panel1 = nullptr;
  QFrame* Panel2 = nullptr;
  QFrame* Panel3 = nullptr;
  velnorex::RegisterTreeView* VT = nullptr;
  QSplitter* splitY = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  QTreeView* VL = nullptr;

  QGroupBox* GroupBox2 = nullptr;
  QLabel* Label3 = nullptr;  // "Typ:"
  QComboBox* cbxDevice = nullptr;
  QLabel* Label5 = nullptr;  // "Adres:"
  QLineEdit* eSlave = nullptr;
  QPushButton* btReset = nullptr;
  QCheckBox* cbxSingleReg = nullptr;

  QGroupBox* SerialBox = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* ComCBox = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* cbxBaud = nullptr;
  QLabel* Label4 = nullptr;
  QComboBox* cbxParity = nullptr;
  QPushButton* btConnect = nullptr;
  velnorex::IndicatorShape* shConnect = nullptr;
  QPushButton* btDisconnect = nullptr;

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label6 = nullptr;  // "Rejestr:"
  QLineEdit* eRegister = nullptr;
  QLabel* Label7 = nullptr;  // "Interwał:"
  QLineEdit* eInterval = nullptr;
  QPushButton* btRec = nullptr;
  velnorex::IndicatorShape* shRec = nullptr;

  QStatusBar* stBar = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* Wyczy1 = nullptr;
  QAction* Kopiuj1 = nullptr;
  QAction* Zapiszdopliku1 = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QAction* Dodajdolisty1 = nullptr;
  QFileDialog* SaveDialog1 = nullptr;

  // Put a model on a tree and give its columns their widths again (a new model resets the header).
  void SetVTModel(QAbstractItemModel* model);
  void SetVLModel(QAbstractItemModel* model);

  // The register tree's model over the loaded definition, and the reads and writes on it.
  velnorex::RegisterTreeModel* VTModel = nullptr;
  std::unique_ptr<velnorex::RegisterOperations> registerOps;
  // Recording into the log window, the log window's menu, and the watch list VL's model.
  std::unique_ptr<velnorex::Recording> recording;
  std::unique_ptr<velnorex::LogWindowCommands> logCommands;
  velnorex::WatchListModel* VLModel = nullptr;
  // The models the trees start with: empty, with their columns (VT shows VTModel from the start).

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Lets the shared result handlers reach the window's hooks and timer.
  class ResultsWindow : public velnorex::ExchangeResults::Window {
   public:
    explicit ResultsWindow(TForm1& form) : form_(form) {}
    void ShowValue() override;
    void StartHighlightTimer() override;
    void PerformNext() override;

   private:
    TForm1& form_;
  };

  // What the register operations ask of the window.
  class RegisterHost : public velnorex::RegisterOperationsHost {
   public:
    explicit RegisterHost(TForm1& form) : form_(form) {}
    std::u16string slaveText() const override;
    bool singleRegisterWrites() const override;
    void restartHighlightTimer() override;
    void stopHighlightTimer() override;
    void postQueued(std::function<void()> step) override;
    void showMessage(const QString& text) override;
    void setRegisterText(const QString& text) override;
    void stopRecording() override;
    velnorex::ExchangeHost& exchangeHost() override;

   private:
    TForm1& form_;
  };

  // What a recording asks of the window.
  class RecordingWindow : public velnorex::RecordingHost {
   public:
    explicit RecordingWindow(TForm1& form) : form_(form) {}
    velnorex::ViewState& viewState() override;
    QPlainTextEdit& logWindow() override;
    QTimer& recordTimer() override;
    void setRegisterTreeEnabled(bool enabled) override;
    void refreshRegisterTree() override;
    void setRecordIndicator(const QColor& color) override;
    QString intervalText() const override;
    QString slaveText() const override;
    QString deviceText() const override;
    velnorex::RegisterTreeNode* focusedNode() const override;
    void setRegisterText(const QString& name) override;
    void readNode(velnorex::RegisterTreeNode* node) override;
    bool busy() const override;
    void showMessage(const QString& text) override;
    void showError(std::exception_ptr error) override;

   private:
    TForm1& form_;
  };

  void buildLayout();
  void wireRegisterTree();
  void wireRecording();
  void wireEvents();
  // Runs one shut-down step; a failure is reported and the next step still runs.
  void runExitStep(const std::function<void()>& step);
  void saveSettings();
  void saveLog();

  Paths paths_;
  ResultsWindow resultsWindow_{*this};
  RegisterHost registerHost_{*this};
  RecordingWindow recordingHost_{*this};
  velnorex::ExchangeResults results_{modbus, state.ReplyOk, state.ReplyText, resultsWindow_};
  int splitHeight_ = 240;  // VT's height as restored, until the window is laid out
  bool closed_ = false;
};
