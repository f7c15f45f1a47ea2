// The search dialog: controls for the plan, a progress bar that moves with every probe, and the table of what
// answered.
#include "app/search_dialog.h"

#include "serial/link_address.h"

#include <algorithm>

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/message_box.h"
#include "serial/serial.h"

namespace velnorex {

namespace {

enum Column { kAddress, kBaud, kParity, kReply, kTime, kColumns };

QString timeLeftText(int64_t ms) {
  const int64_t seconds = (ms + 999) / 1000;
  if (seconds < 60) return QStringLiteral("ok. %1 s").arg(seconds);
  return QCoreApplication::translate("SearchDialog", "ok. %1 min %2 s").arg(seconds / 60).arg(seconds % 60);
}

QCheckBox* checkBox(const QString& name, const QString& caption, bool checked, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(checked);
  return box;
}

QSpinBox* spinBox(const QString& name, int low, int high, int value, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(low, high);
  box->setValue(value);
  return box;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

QString ReplyTextPl(const SearchHit& hit) {
  switch (hit.reply) {
    case SearchHit::Reply::Value:
      return QCoreApplication::translate("SearchDialog", "wartość %1").arg(hit.value);
    case SearchHit::Reply::Exception:
      return QCoreApplication::translate("SearchDialog", "wyjątek %1").arg(hit.value);
    case SearchHit::Reply::Echo:
      break;
  }
  return QStringLiteral("echo");
}

const std::vector<int32_t>& SearchDialog::OfferedBaudRates() {
  static const std::vector<int32_t> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return rates;
}

SearchDialog::SearchDialog(Bus& bus, SearchDialogHost& host, QWidget* parent)
    : QDialog(parent), bus_(bus), host_(host) {
  setObjectName(QStringLiteral("SearchDialog"));
  setWindowTitle(QCoreApplication::translate("SearchDialog", "Wyszukiwanie przetworników"));
  // The main window's commands wait while the dialog is open: its own search holds the line.
  setWindowModality(Qt::WindowModal);

  auto* layout = new QVBoxLayout(this);

  auto* plan = new QGridLayout;
  lbPort = new QLabel(this);
  lbPort->setObjectName(QStringLiteral("lbPort"));
  plan->addWidget(new QLabel(QCoreApplication::translate("SearchDialog", "Port szer:"), this), 0, 0);
  plan->addWidget(lbPort, 0, 1, 1, 3);

  auto* bauds = new QGroupBox(QCoreApplication::translate("SearchDialog", "Szybkość"), this);
  bauds->setObjectName(QStringLiteral("gbBauds"));
  auto* baudGrid = new QGridLayout(bauds);
  int i = 0;
  for (const int32_t rate : OfferedBaudRates()) {
    auto* box = checkBox(QStringLiteral("cbxBaud%1").arg(rate), QString::number(rate),
                         rate == 9600 || rate == 19200, bauds);
    baudGrid->addWidget(box, i / 4, i % 4);
    cbxBauds.push_back(box);
    ++i;
  }
  plan->addWidget(bauds, 1, 0, 1, 4);

  auto* parities = new QGroupBox(QCoreApplication::translate("SearchDialog", "Parzystość"), this);
  parities->setObjectName(QStringLiteral("gbParities"));
  auto* parityRow = new QHBoxLayout(parities);
  cbxParityNone = checkBox(QStringLiteral("cbxParityNone"), QStringLiteral("none"), true, parities);
  cbxParityEven = checkBox(QStringLiteral("cbxParityEven"), QStringLiteral("even"), true, parities);
  cbxParityOdd = checkBox(QStringLiteral("cbxParityOdd"), QStringLiteral("odd"), true, parities);
  parityRow->addWidget(cbxParityNone);
  parityRow->addWidget(cbxParityEven);
  parityRow->addWidget(cbxParityOdd);
  parityRow->addStretch(1);
  plan->addWidget(parities, 2, 0, 1, 4);

  plan->addWidget(new QLabel(QCoreApplication::translate("SearchDialog", "Adresy od:"), this), 3, 0);
  eFrom = spinBox(QStringLiteral("eFrom"), kFirstSlaveAddress, kLastSlaveAddress, kFirstSlaveAddress, this);
  plan->addWidget(eFrom, 3, 1);
  plan->addWidget(new QLabel(QCoreApplication::translate("SearchDialog", "do:"), this), 3, 2);
  eTo = spinBox(QStringLiteral("eTo"), kFirstSlaveAddress, kLastSlaveAddress, kLastSlaveAddress, this);
  plan->addWidget(eTo, 3, 3);

  plan->addWidget(new QLabel(QCoreApplication::translate("SearchDialog", "Zapytanie:"), this), 4, 0);
  cbxProbe = new QComboBox(this);
  cbxProbe->setObjectName(QStringLiteral("cbxProbe"));
  cbxProbe->addItems({QCoreApplication::translate("SearchDialog", "odczyt rejestru"),
                      QCoreApplication::translate("SearchDialog", "echo (funkcja 8)"),
                      QCoreApplication::translate("SearchDialog", "odczyt rejestru wejściowego")});
  plan->addWidget(cbxProbe, 4, 1);
  eProbeRegister = spinBox(QStringLiteral("eProbeRegister"), 0, 65535, 0, this);
  eProbeRegister->setToolTip(QCoreApplication::translate("SearchDialog", "Adres odczytywanego rejestru"));
  plan->addWidget(eProbeRegister, 4, 2, 1, 2);
  connect(cbxProbe, &QComboBox::currentIndexChanged, this,
          [this](int index) { eProbeRegister->setEnabled(index == 0); });

  plan->addWidget(new QLabel(QCoreApplication::translate("SearchDialog", "Czas na odpowiedź:"), this), 5, 0);
  eBudget = spinBox(QStringLiteral("eBudget"), 0, 10000, 30, this);
  eBudget->setSuffix(QStringLiteral(" ms"));
  plan->addWidget(eBudget, 5, 1);
  plan->setColumnStretch(1, 1);
  plan->setColumnStretch(3, 1);
  layout->addLayout(plan);

  auto* run = new QHBoxLayout;
  btStart = button(QStringLiteral("btStart"), QStringLiteral("Start"), this);
  btStop = button(QStringLiteral("btStop"), QCoreApplication::translate("SearchDialog", "Przerwij"), this);
  pbSearch = new QProgressBar(this);
  pbSearch->setObjectName(QStringLiteral("pbSearch"));
  pbSearch->setRange(0, 1);
  pbSearch->setValue(0);
  run->addWidget(btStart);
  run->addWidget(btStop);
  run->addWidget(pbSearch, 1);
  layout->addLayout(run);
  lbProgress = new QLabel(this);
  lbProgress->setObjectName(QStringLiteral("lbProgress"));
  layout->addWidget(lbProgress);

  tbResults = new QTableWidget(0, kColumns, this);
  tbResults->setObjectName(QStringLiteral("tbResults"));
  tbResults->setHorizontalHeaderLabels({QCoreApplication::translate("SearchDialog", "Adres"),
                                        QCoreApplication::translate("SearchDialog", "Szybkość"),
                                        QCoreApplication::translate("SearchDialog", "Parzystość"),
                                        QCoreApplication::translate("SearchDialog", "Odpowiedź"),
                                        QCoreApplication::translate("SearchDialog", "Czas [ms]")});
  tbResults->setSelectionBehavior(QAbstractItemView::SelectRows);
  tbResults->setSelectionMode(QAbstractItemView::SingleSelection);
  tbResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbResults->verticalHeader()->hide();
  tbResults->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(tbResults, 1);

  lbStatus = new QLabel(this);
  lbStatus->setObjectName(QStringLiteral("lbStatus"));
  layout->addWidget(lbStatus);

  auto* end = new QHBoxLayout;
  btUse = button(QStringLiteral("btUse"), QCoreApplication::translate("SearchDialog", "Użyj"), this);
  btUse->setToolTip(QCoreApplication::translate("SearchDialog", "Połącz z wybranym przetwornikiem"));
  btClose = button(QStringLiteral("btClose"), QCoreApplication::translate("SearchDialog", "Zamknij"), this);
  end->addStretch(1);
  end->addWidget(btUse);
  end->addWidget(btClose);
  layout->addLayout(end);

  connect(btStart, &QPushButton::clicked, this, [this] { btStartClick(); });
  connect(btStop, &QPushButton::clicked, this, [this] { btStopClick(); });
  connect(btUse, &QPushButton::clicked, this, [this] { btUseClick(); });
  connect(btClose, &QPushButton::clicked, this, [this] { reject(); });
  connect(tbResults, &QTableWidget::cellDoubleClicked, this, [this] { btUseClick(); });
  connect(tbResults, &QTableWidget::itemSelectionChanged, this, [this] { setControlsEnabled(!searching()); });
  setControlsEnabled(true);
  resize(560, 560);
}

SearchDialog::~SearchDialog() {
  stopSearch();
}

void SearchDialog::showEvent(QShowEvent* event) {
  lbPort->setText(host_.portName());
  // A TCP link has no baud rate or parity: its unit ids are searched once.
  const bool network = IsNetworkAddress(host_.portName());
  for (const char* name : {"gbBauds", "gbParities"})
    if (auto* box = findChild<QGroupBox*>(QLatin1String(name))) box->setEnabled(!network);
  QDialog::showEvent(event);
}

SearchPlan SearchDialog::planFromControls() const {
  SearchPlan plan;
  plan.portPath = Serial::PathForPortName(host_.portName());
  const std::pair<QCheckBox*, char> parities[] = {
      {cbxParityNone, 'n'}, {cbxParityEven, 'e'}, {cbxParityOdd, 'o'}};
  // Every parity at one baud rate before the next, the same order as velnorex-scan.
  for (size_t i = 0; i < cbxBauds.size(); ++i) {
    if (!cbxBauds[i]->isChecked()) continue;
    for (const auto& [box, parity] : parities)
      if (box->isChecked()) plan.settings.push_back({OfferedBaudRates()[i], parity});
  }
  plan.firstAddress = eFrom->value();
  plan.lastAddress = eTo->value();
  static constexpr ProbeKind kProbes[] = {ProbeKind::ReadRegister, ProbeKind::Echo, ProbeKind::ReadInput};
  plan.probe = kProbes[std::clamp(cbxProbe->currentIndex(), 0, 2)];
  plan.probeRegister = static_cast<uint16_t>(eProbeRegister->value());
  plan.budgetMs = eBudget->value();
  return plan;
}

void SearchDialog::btStartClick() {
  if (searching()) return;
  if (host_.portName().isEmpty()) {
    ShowModalMessage(this, QCoreApplication::translate("SearchDialog", "wybierz port szeregowy"));
    return;
  }
  if (const QString why = host_.whyNotNow(); !why.isEmpty()) {
    ShowModalMessage(this, why);
    return;
  }
  SearchPlan plan = planFromControls();
  if (plan.settings.empty() && !IsNetworkAddress(plan.portPath)) {
    ShowModalMessage(this, QCoreApplication::translate("SearchDialog", "wybierz szybkość i parzystość"));
    return;
  }
  if (plan.firstAddress > plan.lastAddress) {
    ShowModalMessage(this, QCoreApplication::translate("SearchDialog", "zły zakres adresów"));
    return;
  }
  searchedPort_ = host_.portName();
  lbPort->setText(searchedPort_);
  search_ = std::make_unique<LineSearch>(bus_, std::move(plan));
  if (!search_->start()) {
    search_.reset();
    ShowModalMessage(this, QCoreApplication::translate("SearchDialog", "linia jest zajęta"));
    return;
  }
  results_.clear();
  tbResults->setRowCount(0);
  lbStatus->clear();
  pbSearch->setRange(0, search_->progress().total);
  pbSearch->setValue(0);
  setControlsEnabled(false);
  showProgress();
  nextStep();
}

void SearchDialog::runStep() {
  if (!search_) return;
  // One probe's worth of waiting at most, then back to the event loop: input, painting and the progress
  // get their turn between any two steps.
  const bool more = search_->step();
  addNewResults();
  showProgress();
  if (more)
    nextStep();
  else
    searchEnded();
}

void SearchDialog::nextStep() {
  // A timer rather than a posted call: with the glib event loop, back-to-back posted calls let the loop poll
  // its descriptors (the display's input among them) only every other step (scan_bench measures it); a
  // 1 ms timer lets it poll after every step.
  QTimer::singleShot(1, Qt::PreciseTimer, this, &SearchDialog::runStep);
}

void SearchDialog::showProgress() {
  if (!search_) return;
  const SearchProgress p = search_->progress();
  pbSearch->setValue(p.done);
  QString text = QCoreApplication::translate("SearchDialog", "wykonano: %1, pozostało: %2")
                     .arg(p.done)
                     .arg(p.total - p.done);
  if (search_->running()) text += QStringLiteral(", ") + timeLeftText(p.msLeft);
  lbProgress->setText(text);
}

void SearchDialog::addNewResults() {
  const auto& hits = search_->hits();
  for (size_t i = results_.size(); i < hits.size(); ++i) {
    const SearchHit& hit = hits[i];
    results_.push_back(hit);
    const int row = tbResults->rowCount();
    tbResults->insertRow(row);
    const bool network = IsNetworkAddress(searchedPort_);
    const QString notApplicable = QStringLiteral("-");
    const QString address =
        hit.anyUnit()
            ? QCoreApplication::translate("SearchDialog", "%1 (dowolny identyfikator)").arg(hit.address)
            : QString::number(hit.address);
    const QString cells[kColumns] = {
        address, network ? notApplicable : QString::number(hit.setting.baudRate),
        network ? notApplicable : QString::fromLatin1(ParityName(hit.setting.parity)), ReplyTextPl(hit),
        QString::number(hit.ms, 'f', 1)};
    for (int column = 0; column < kColumns; ++column)
      tbResults->setItem(row, column, new QTableWidgetItem(cells[column]));
    if (row == 0) tbResults->selectRow(0);
  }
}

void SearchDialog::searchEnded() {
  const SearchEnd how = search_->end();
  QString status;
  switch (how) {
    case SearchEnd::PortError:
      status = QCoreApplication::translate("SearchDialog", "nie można otworzyć portu");
      break;
    case SearchEnd::Cancelled:
      status = QCoreApplication::translate("SearchDialog", "przerwano, znaleziono: %1").arg(results_.size());
      break;
    default:
      status = results_.empty()
                   ? QCoreApplication::translate("SearchDialog", "nie znaleziono przetworników")
                   : QCoreApplication::translate("SearchDialog", "znaleziono: %1").arg(results_.size());
      break;
  }
  if (search_->garbledReplies() > 0)
    status += QCoreApplication::translate("SearchDialog", " (zniekształcone odpowiedzi: %1)")
                  .arg(search_->garbledReplies());
  lbStatus->setText(status);
  if (!search_->lineRestored()) host_.connectionLost();
  setControlsEnabled(true);
}

void SearchDialog::stopSearch() {
  if (!searching()) return;
  search_->cancel();
  runStep();  // ends it now, and gives the line back
}

void SearchDialog::btStopClick() {
  if (searching()) search_->cancel();
}

void SearchDialog::btUseClick() {
  if (searching()) return;
  const int row = tbResults->currentRow();
  if (row < 0 || row >= static_cast<int>(results_.size())) return;
  const SearchHit hit = results_[static_cast<size_t>(row)];
  accept();
  host_.useResult(searchedPort_, hit);
}

void SearchDialog::reject() {
  stopSearch();
  QDialog::reject();
}

void SearchDialog::setControlsEnabled(bool idle) {
  for (QWidget* w : std::initializer_list<QWidget*>{cbxParityNone, cbxParityEven, cbxParityOdd, eFrom, eTo,
                                                    cbxProbe, eBudget, btStart})
    w->setEnabled(idle);
  for (QCheckBox* box : cbxBauds) box->setEnabled(idle);
  eProbeRegister->setEnabled(idle && cbxProbe->currentIndex() != 1);
  btStop->setEnabled(!idle);
  btUse->setEnabled(idle && tbResults->currentRow() >= 0);
}

}  // namespace velnorex
