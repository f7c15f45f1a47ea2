// The main window's side of the lower layers' interfaces.
#include "app/window_hosts.h"

#include <QCoreApplication>

#include "app/main_window.h"
#include "app/message_box.h"
#include "recording/log_lines.h"
#include "registers/palette.h"

namespace velnorex {

void WindowHosts::showMessage(const QString& text) {
  ShowModalMessage(&form_, text);
}
void WindowHosts::restartHighlightTimer() {
  form_.HighlightTimer.start(500);
}
QString WindowHosts::slaveText() const {
  return form_.eSlave->text();
}
void WindowHosts::setRegisterText(const QString& text) {
  form_.eRegister->setText(text);
}

void WindowHosts::processPendingMessages() {
  // A transaction usually runs inside a queued step. Under the GLib event loop a nested processEvents()
  // delivers the queue only when something new joined it since that step's delivery began: the events
  // already waiting behind the step (input among them) would wait out the whole transaction, or a
  // quiet-line wait of several reads. They are delivered first.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}
// The fixed messages of the lower layers, which are plain C++ without Qt's translations: they are
// translated here, on their way to the operator.
[[maybe_unused]] const char* const kLowerLayerMessages[] = {
    QT_TRANSLATE_NOOP("Messages", "brak połączenia !"),
};

void WindowHosts::showMessage(const std::u16string& text) {
  showMessage(QCoreApplication::translate("Messages", QString::fromStdU16String(text).toUtf8().constData()));
}
void WindowHosts::appendLogLine(const std::u16string& line) {
  AppendLine(*form_.Memo1, QString::fromStdU16String(line));
}

bool WindowHosts::singleRegisterWrites() const {
  return form_.cbxSingleReg->isChecked();
}
void WindowHosts::stopHighlightTimer() {
  form_.HighlightTimer.stop();
}
void WindowHosts::postQueued(std::function<void()> step) {
  QMetaObject::invokeMethod(&form_, TForm1::guarded(std::move(step)), Qt::QueuedConnection);
}
void WindowHosts::stopRecording() {
  form_.recording.StopRecording();
}

ViewState& WindowHosts::viewState() {
  return form_.state;
}
QPlainTextEdit& WindowHosts::logWindow() {
  return *form_.Memo1;
}
QTimer& WindowHosts::recordTimer() {
  return form_.RecordTimer;
}
void WindowHosts::setRegisterTreeEnabled(bool enabled) {
  form_.VT->setEnabled(enabled);
}
void WindowHosts::refreshRegisterTree() {
  form_.VT->viewport()->update();
}
void WindowHosts::setRecordIndicator(const QColor& color) {
  form_.shRec->setColor(color);
}
QString WindowHosts::intervalText() const {
  return form_.eInterval->text();
}
QString WindowHosts::deviceText() const {
  return form_.cbxDevice->currentText();
}
RegisterTreeNode* WindowHosts::focusedNode() const {
  return form_.VT->focusedNode();
}
void WindowHosts::readNode(RegisterTreeNode* node) {
  form_.registerOps.ReadNode(node);
}
const RegisterValue& WindowHosts::lastReadValue() const {
  return form_.registerOps.lastValue();
}
bool WindowHosts::busy() const {
  return form_.registerOps.busy() || ModalMessageDepth() > 0;
}
void WindowHosts::showError(std::exception_ptr error) {
  HandleException(error);
}

QString WindowHosts::portName() const {
  return form_.ComCBox->currentText();
}
QString WindowHosts::whyNotNow() const {
  // A search takes the port away from whatever uses it: it waits for the operator's own work to end.
  if (form_.state.Recording) return QCoreApplication::translate("Messages", "trwa rejestracja");
  if (form_.registerOps.busy())
    return QCoreApplication::translate("Messages", "trwa odczyt lub zapis rejestrów");
  return {};
}
void WindowHosts::useResult(const QString& portName, const SearchHit& hit) {
  form_.eSlave->setText(QString::number(hit.address));
  form_.connection.UseLine(portName, hit.setting.baudRate, hit.setting.parity);
}
void WindowHosts::connectionLost() {
  form_.shConnect->setColor(kColorRed);
}
QTimer& WindowHosts::listRecordTimer() {
  return form_.ListRecordTimer;
}
void WindowHosts::setWatchListLocked(bool locked) {
  form_.watchListPanel.setLocked(locked);
}
QWidget* WindowHosts::dialogParent() {
  return &form_;
}
void WindowHosts::reportLine(const QString& text) {
  AppendLine(*form_.Memo1, text);
  form_.stBar->showMessage(text);
}

}  // namespace velnorex
