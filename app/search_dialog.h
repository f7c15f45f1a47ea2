// "Wyszukiwanie przetworników": the operator's side of the line search. The dialog only chooses, starts,
// shows and stops; the search itself is modbus/'s LineSearch, run one step per pass of the event loop so that
// the window stays responsive.
#pragma once

#include <memory>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "modbus/line_search.h"

namespace velnorex {

// What the dialog needs from the main window.
class SearchDialogHost {
 public:
  virtual ~SearchDialogHost() = default;
  // The port that the search probes: the connection panel's.
  virtual QString portName() const = 0;
  // Why no search may start now (a recording or a group operation runs); empty when it may.
  virtual QString whyNotNow() const = 0;
  // Puts the searched port and a found transducer's baud rate, parity and address into the connection
  // panel and connects.
  virtual void useResult(const QString& portName, const SearchHit& hit) = 0;
  // The operator's connection could not be opened again after the search.
  virtual void connectionLost() = 0;
};

class SearchDialog : public QDialog {
 public:
  // The baud rates offered, those ticked at first.
  static const std::vector<int32_t>& OfferedBaudRates();

  SearchDialog(Bus& bus, SearchDialogHost& host, QWidget* parent = nullptr);
  ~SearchDialog() override;

  // The plan that the controls describe now.
  SearchPlan planFromControls() const;
  bool searching() const { return search_ && search_->running(); }
  // Ends a running search at once and gives the line back (the window closing, the dialog closing).
  void stopSearch();
  const std::vector<SearchHit>& results() const { return results_; }

  // --- handlers ---
  void btStartClick();
  void btStopClick();
  void btUseClick();
  // Closing ends a running search first.
  void reject() override;

  // --- components ---
  QLabel* lbPort = nullptr;
  std::vector<QCheckBox*> cbxBauds;  // one per OfferedBaudRates()
  QCheckBox* cbxParityNone = nullptr;
  QCheckBox* cbxParityEven = nullptr;
  QCheckBox* cbxParityOdd = nullptr;
  QSpinBox* eFrom = nullptr;
  QSpinBox* eTo = nullptr;
  QComboBox* cbxProbe = nullptr;  // "odczyt rejestru", "echo (funkcja 8)"
  QSpinBox* eProbeRegister = nullptr;
  QSpinBox* eBudget = nullptr;
  QPushButton* btStart = nullptr;
  QPushButton* btStop = nullptr;
  QProgressBar* pbSearch = nullptr;
  QLabel* lbProgress = nullptr;
  QTableWidget* tbResults = nullptr;
  QLabel* lbStatus = nullptr;
  QPushButton* btUse = nullptr;
  QPushButton* btClose = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void runStep();
  void nextStep();
  void showProgress();
  void addNewResults();
  void searchEnded();
  void setControlsEnabled(bool idle);

  Bus& bus_;
  SearchDialogHost& host_;
  std::unique_ptr<LineSearch> search_;
  std::vector<SearchHit> results_;
  QString searchedPort_;  // as the operator typed it
};

// The reply of a hit as the dialog shows it: "wartość 1234", "wyjątek 2", "echo".
QString ReplyTextPl(const SearchHit& hit);

}  // namespace velnorex
