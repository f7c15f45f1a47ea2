// The configuration commands of the register tree's pop-up menu, run step by step from the event queue.
#include "app/config_commands.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

#include "text/number_text.h"

namespace velnorex {

namespace {

QString Q(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// The configuration run's fixed reasons, plain C++ without Qt's translations: translated where they are
// shown.
[[maybe_unused]] const char* const kRunReasons[] = {
    QT_TRANSLATE_NOOP("ConfigCommands", "nie ma w definicji"),
    QT_TRANSLATE_NOOP("ConfigCommands", "inny typ w definicji"),
    QT_TRANSLATE_NOOP("ConfigCommands", "inna liczba rejestrów w definicji"),
    QT_TRANSLATE_NOOP("ConfigCommands", "w pliku bez wartości"),
    QT_TRANSLATE_NOOP("ConfigCommands", "niepełna odpowiedź"),
    QT_TRANSLATE_NOOP("ConfigCommands", "błąd CRC"),
    QT_TRANSLATE_NOOP("ConfigCommands", "brak odpowiedzi"),
    QT_TRANSLATE_NOOP("ConfigCommands", "nie odczytano"),
};
QString Reason(const std::u16string& text) {
  // The engine joins an exception's code to its word: the word is translated, the code kept.
  constexpr std::u16string_view kException = u"wyjątek ";
  if (text.starts_with(kException))
    return QCoreApplication::translate("ConfigCommands", "wyjątek %1").arg(Q(text.substr(kException.size())));
  return QCoreApplication::translate("ConfigCommands", Q(text).toUtf8().constData());
}

QString PathOf(const ConfigRun::Item& item) {
  return Q(PathText(item.path));
}

// The option whose value a line-setting register now holds ("19200" for a baud-rate code), if it has one.
QString OptionName(const RegisterTreeNode* node, const std::u16string& value) {
  int32_t wanted = 0, option = 0;
  if (!node || !TryStrToInt(value, wanted)) return {};
  for (const RegisterTreeNode* child = node->firstChild(); child; child = child->nextSibling())
    if (NodeAccessCode(child) == kAccessGroup && TryStrToInt(child->data.Value, option) && option == wanted)
      return Q(child->data.Name);
  return {};
}

QString OutcomeText(const ConfigRun::Item& item) {
  switch (item.outcome) {
    case ConfigRun::Outcome::Written:
      return QStringLiteral("zapisano");
    case ConfigRun::Outcome::Failed:
      return QCoreApplication::translate("ConfigCommands", "błąd: ") + Reason(item.writeError);
    case ConfigRun::Outcome::StillDiffers:
      return QCoreApplication::translate("ConfigCommands", "nadal ") + Q(item.after.value);
    case ConfigRun::Outcome::Unconfirmed:
      return QCoreApplication::translate("ConfigCommands", "niepotwierdzone: ") + Reason(item.after.error);
    default:
      return QCoreApplication::translate("ConfigCommands", "nie zapisano");
  }
}

}  // namespace

ConfigCommands::ConfigCommands(ViewState& state, Serial& serial, Modbus& modbus,
                               ExchangeDispatcher& dispatcher, ReadRefusals& refusals,
                               RegisterTreeModel& model, RegisterTreeView& view,
                               RegisterOperations& operations, ConfigCommandsHost& host)
    : state_(state),
      serial_(serial),
      modbus_(modbus),
      dispatcher_(dispatcher),
      refusals_(refusals),
      model_(model),
      view_(view),
      operations_(operations),
      host_(host),
      steps_(modbus, [this](std::function<void()> step) { host_.postQueued(std::move(step)); }) {
  chooseFile = [this](bool save) -> QString {
    const QString filter =
        QCoreApplication::translate("ConfigCommands", "konfiguracja (*.json);;wszystkie pliki (*)");
    QFileDialog dialog(host_.dialogParent(), QString(), QString(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  };
  confirmRestore = [this](const QString& changes) {
    QWidget* parent = host_.dialogParent();
    QMessageBox box(QMessageBox::Question, parent ? parent->windowTitle() : QString(), changes,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  };
  // The run holds nodes of the tree: a new tree ends it.
  resetConnection_ =
      QObject::connect(&model_, &QAbstractItemModel::modelAboutToBeReset, &view_, [this] { abandon(); });
}

ConfigCommands::~ConfigCommands() {
  QObject::disconnect(resetConnection_);
  delete progress_;
}

bool ConfigCommands::mayStart() {
  if (run_) return false;
  if (state_.Recording || operations_.busy()) {
    host_.showMessage(QCoreApplication::translate("ConfigCommands", "trwa inna operacja"));
    return false;
  }
  if (!serial_.PortOpen()) {
    host_.showMessage(QCoreApplication::translate("ConfigCommands", "brak połączenia !"));
    return false;
  }
  // Address 0 reaches every transducer on the line and none answers.
  if (ConfigRun::IsBroadcast(host_.slaveText().toStdU16String())) {
    host_.showMessage(QCoreApplication::translate("ConfigCommands", "adres 0 niedozwolony"));
    return false;
  }
  return true;
}

void ConfigCommands::Zapiszkonfiguracje1Click() {
  if (!mayStart()) return;
  RegisterTreeNode* scope = ScopeGroup(view_.focusedNode());
  auto run = std::make_unique<ConfigRun>(modbus_, dispatcher_, refusals_, host_.slaveText().toStdU16String(),
                                         host_.singleRegisterWrites());
  run->prepareSave(scope ? *scope : model_.tree().root());
  if (run->items().empty()) {
    host_.showMessage(QCoreApplication::translate("ConfigCommands", "brak rejestrów konfiguracji"));
    return;
  }
  const QString fileName = chooseFile(true);
  if (fileName.isEmpty()) return;
  heading_ = ConfigFile{};
  heading_.definition = host_.deviceText().toStdU16String();
  heading_.slave = StrToInt(host_.slaveText().toStdU16String()) & 0xFF;
  heading_.savedAt = CurrentDateTimeText();
  heading_.line = serial_.DeviceControl();
  if (scope) heading_.scope = NodePath(scope);
  model_.clearComparison();
  start(Job::Save, std::move(run), fileName);
}

void ConfigCommands::Porownajzplikiem1Click() {
  startWithFile(Job::Compare);
}

void ConfigCommands::Przywroczpliku1Click() {
  startWithFile(Job::Restore);
}

void ConfigCommands::startWithFile(Job job) {
  if (!mayStart()) return;
  const QString fileName = chooseFile(false);
  if (fileName.isEmpty()) return;
  const ConfigFile file = LoadConfigFile(fileName.toStdString());
  auto run = std::make_unique<ConfigRun>(modbus_, dispatcher_, refusals_, host_.slaveText().toStdU16String(),
                                         host_.singleRegisterWrites());
  run->prepareCompare(model_.tree().root(), ScopeGroup(view_.focusedNode()), file);
  if (run->items().empty()) {
    host_.showMessage(QCoreApplication::translate("ConfigCommands", "brak rejestrów do porównania"));
    return;
  }
  if (Q(file.definition) != host_.deviceText())
    host_.appendLogLine(QCoreApplication::translate("ConfigCommands", "plik zapisano dla typu %1")
                            .arg(Q(file.definition))
                            .toStdU16String());
  start(job, std::move(run), fileName);
}

void ConfigCommands::start(Job job, std::unique_ptr<ConfigRun> run, const QString& fileName) {
  job_ = job;
  run_ = std::move(run);
  plan_.clear();
  fileName_ = fileName;
  steps_.begin();
  showProgress(QCoreApplication::translate("ConfigCommands", "odczyt rejestrów…"));
  postStep();
}

void ConfigCommands::postStep() {
  steps_.post([this] {
    if (run_) runStep();
  });
}

void ConfigCommands::showProgress(const QString& label) {
  if (!progress_) {
    progress_ = new QProgressDialog(host_.dialogParent());
    progress_->setObjectName(QStringLiteral("ConfigProgress"));
    progress_->setCancelButtonText(QStringLiteral("Przerwij"));
    // Modal to the window: no other command can start between the steps, yet the window keeps painting.
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    QObject::connect(progress_, &QProgressDialog::canceled, &view_, [this] { cancel(); });
  }
  progress_->reset();
  progress_->setLabelText(label);
  progress_->setRange(0, run_ ? run_->progressTotal() : 0);
  progress_->setValue(0);
  progress_->show();
}

void ConfigCommands::cancel() {
  if (run_) run_->cancel();
}

void ConfigCommands::runStep() {
  try {
    const bool more = run_->step();
    // A new tree came while the transaction let the window process its events: nothing here is valid.
    if (!steps_.active() || !run_) return;
    for (const ConfigRun::Item* item : run_->lastItems()) {
      if (!item->node) continue;
      const Reading& reading =
          run_->phase() == ConfigRun::Phase::Writing || run_->phase() == ConfigRun::Phase::Finished
              ? item->after
              : item->before;
      // As a read in the tree shows it: the value, or nothing after a failed read.
      if (reading.ok || !reading.error.empty()) model_.setValue(item->node, reading.ok ? reading.value : u"");
    }
    if (progress_) progress_->setValue(std::min(run_->progressDone(), progress_->maximum()));
    if (more) {
      postStep();
      return;
    }
    switch (run_->phase()) {
      case ConfigRun::Phase::Read:
        afterReading();
        return;
      case ConfigRun::Phase::Finished:
        showComparison(true);
        finish(reportRestore());
        return;
      case ConfigRun::Phase::Cancelled:
        if (job_ == Job::Save) {
          finish(QCoreApplication::translate("ConfigCommands", "przerwano, pliku nie zapisano"));
        } else if (plan_.empty()) {
          finish(QStringLiteral("przerwano"));
        } else {
          // Some registers may have been written already: the operator learns which.
          showComparison(true);
          finish(QCoreApplication::translate("ConfigCommands", "przerwano\n") + reportRestore());
        }
        return;
      default:
        finish(QString());  // the port closed: the exchange has said so
        return;
    }
  } catch (...) {
    finish(QString());
    throw;
  }
}

void ConfigCommands::afterReading() {
  int unread = 0, skipped = 0;
  for (const ConfigRun::Item& item : run_->items()) {
    if (!item.problem.empty()) {
      ++skipped;
      host_.appendLogLine(
          (PathOf(item) +
           QCoreApplication::translate("ConfigCommands", ": nie porównano (%1)").arg(Reason(item.problem)))
              .toStdU16String());
    } else if (!item.before.ok) {
      ++unread;
      host_.appendLogLine(
          (PathOf(item) + QCoreApplication::translate("ConfigCommands", ": nie odczytano (%1)")
                              .arg(Reason(item.before.error)))
              .toStdU16String());
    }
  }
  QString notes;
  if (unread) notes += QCoreApplication::translate("ConfigCommands", "\nnie odczytano: %1").arg(unread);
  if (skipped) notes += QCoreApplication::translate("ConfigCommands", "\nnie porównano: %1").arg(skipped);

  if (job_ == Job::Save) {
    SaveConfigFile(run_->snapshot(heading_), fileName_.toStdString());
    const int saved = static_cast<int>(run_->items().size()) - unread;
    host_.appendLogLine((QCoreApplication::translate("ConfigCommands", "zapisano konfigurację: ") + fileName_)
                            .toStdU16String());
    finish(QCoreApplication::translate("ConfigCommands", "zapisano rejestrów: %1").arg(saved) + notes);
    return;
  }

  int differences = 0;
  for (const ConfigRun::Item& item : run_->items()) {
    if (!item.differs()) continue;
    ++differences;
    host_.appendLogLine(
        (PathOf(item) + QCoreApplication::translate("ConfigCommands", ": w pliku %1, w urządzeniu %2")
                            .arg(Q(item.fileText()), Q(item.before.value)))
            .toStdU16String());
  }
  showComparison(false);
  if (job_ == Job::Compare) {
    finish(QCoreApplication::translate("ConfigCommands", "%1 różnic").arg(differences) + notes);
    return;
  }

  plan_ = run_->planRestore();
  if (plan_.empty()) {
    const int readOnly = differences;  // every difference that is not planned may not be written
    finish(QCoreApplication::translate("ConfigCommands", "nic do przywrócenia") + notes +
           (readOnly ? QCoreApplication::translate("ConfigCommands", "\npominięte (tylko do odczytu): %1")
                           .arg(readOnly)
                     : QString()));
    return;
  }
  if (progress_) progress_->hide();
  if (!confirmRestore(restoreList())) {
    finish(QString());
    return;
  }
  run_->startRestore();
  showProgress(QCoreApplication::translate("ConfigCommands", "zapis rejestrów…"));
  postStep();
}

QString ConfigCommands::restoreList() const {
  // In the order of writing.
  QString text = QCoreApplication::translate("ConfigCommands", "rejestry do zmiany:");
  for (const ConfigRun::Item* item : plan_) {
    text += QCoreApplication::translate("ConfigCommands", "\n%1: %2 → %3")
                .arg(PathOf(*item), Q(item->before.value), Q(item->fileText()));
    if (item->lineSetting) text += QCoreApplication::translate("ConfigCommands", " (ustawienie linii)");
  }
  int readOnly = 0;
  for (const ConfigRun::Item& item : run_->items())
    readOnly += item.outcome == ConfigRun::Outcome::None && item.differs();
  if (readOnly)
    text += QCoreApplication::translate("ConfigCommands", "\npominięte (tylko do odczytu): %1").arg(readOnly);
  return text + QCoreApplication::translate("ConfigCommands", "\nzapisać ?");
}

QString ConfigCommands::reportRestore() {
  int written = 0, failed = 0, differ = 0, unconfirmed = 0;
  QString lineSetting;
  for (const ConfigRun::Item* planned : plan_) {
    const ConfigRun::Item& item = *planned;
    host_.appendLogLine((PathOf(item) +
                         QStringLiteral(": %1 → %2: ").arg(Q(item.before.value), Q(item.fileText())) +
                         OutcomeText(item))
                            .toStdU16String());
    written += item.outcome == ConfigRun::Outcome::Written;
    failed += item.outcome == ConfigRun::Outcome::Failed;
    differ += item.outcome == ConfigRun::Outcome::StillDiffers;
    unconfirmed += item.outcome == ConfigRun::Outcome::Unconfirmed;
    if (item.lineSetting && item.writeError.empty()) {
      const QString option = OptionName(item.node, item.wanted.text);
      lineSetting += QCoreApplication::translate("ConfigCommands", "\n%1: %2")
                         .arg(Q(item.path.back()), Q(item.fileText())) +
                     (option.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(option));
    }
  }
  QString text = QCoreApplication::translate("ConfigCommands", "zapisano: %1").arg(written);
  if (failed) text += QCoreApplication::translate("ConfigCommands", "\nbłędy: %1").arg(failed);
  if (differ) text += QCoreApplication::translate("ConfigCommands", "\nnadal różne: %1").arg(differ);
  if (unconfirmed)
    text += QCoreApplication::translate("ConfigCommands", "\nniepotwierdzone: %1").arg(unconfirmed);
  if (!lineSetting.isEmpty())
    text += QCoreApplication::translate(
                "ConfigCommands", "\nzmieniono ustawienia linii – naciśnij Reset i połącz się ponownie:") +
            lineSetting;
  return text;
}

void ConfigCommands::showComparison(bool afterRestore) {
  std::vector<std::pair<const RegisterTreeNode*, RegisterTreeModel::FileMark>> marks;
  for (const ConfigRun::Item& item : run_->items()) {
    if (!item.node) continue;
    bool differs = !item.problem.empty() || !item.before.ok || item.differs();
    if (afterRestore && item.outcome != ConfigRun::Outcome::None &&
        item.outcome != ConfigRun::Outcome::Planned)
      differs = !Satisfies(item.after, item.wanted);
    marks.emplace_back(item.node, RegisterTreeModel::FileMark{item.fileText(), differs});
  }
  model_.showComparison(std::move(marks));
  if (view_.columnWidth(RegisterTreeModel::kColumnFile) < 150)
    view_.setColumnWidth(RegisterTreeModel::kColumnFile, 200);
}

void ConfigCommands::finish(const QString& summary) {
  run_.reset();
  steps_.cancel();
  if (progress_) progress_->hide();
  if (!summary.isEmpty()) host_.showMessage(summary);
}

void ConfigCommands::abandon() {
  if (!run_) return;
  host_.appendLogLine(
      QCoreApplication::translate("ConfigCommands", "przerwano: wczytano inną definicję").toStdU16String());
  // A step that is running finds its generation gone and leaves everything alone.
  if (modbus_.InTransaction()) {
    run_->cancel();
    steps_.cancel();
    pendingDelete_ = std::move(run_);
    if (progress_) progress_->hide();
    return;
  }
  finish(QString());
}

}  // namespace velnorex
