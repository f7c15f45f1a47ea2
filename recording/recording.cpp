// Recording one register into the log window at a fixed interval.
#include "recording/recording.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "recording/log_lines.h"
#include "registers/palette.h"
#include "registers/register_tree_model.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

std::u16string ToU16(const QString& text) {
  return text.toStdU16String();
}
QString FromU16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// The focused node and CurrentNode must be registers (RO, RW or RP), not groups or options.
bool IsRegister(const RegisterTreeNode* node) {
  return NodeAccessCode(node) > 0;
}

}  // namespace

void Recording::btRecClick() {
  if (host_.viewState().Recording) {
    StopRecording();
    return;
  }
  // Like every command that starts a transaction, a start during a group operation or a transaction is
  // ignored whole: its read would be refused and the header would describe a recording that never ran.
  if (host_.busy()) return;
  if (!IsRegister(host_.focusedNode())) {
    host_.showMessage(QCoreApplication::translate("Messages", "nie wybrano rejestru"));
    return;
  }
  StartRecording();
}

void Recording::StartRecording() {
  ViewState& state = host_.viewState();
  if (state.Recording) return;

  // The interval is taken before anything is written, so a bad one leaves no header and no half-started
  // recording behind.
  const int interval = StrToInt(ToU16(host_.intervalText()));
  if (interval <= 0 || interval > kMaxIntervalSeconds) {
    host_.showMessage(QCoreApplication::translate("Messages", "nieprawidłowy interwał"));
    return;
  }

  // The register recorded is CurrentNode, the one "Rejestr:" names. Only when it is no register (nothing
  // clicked since the start or since a definition was loaded, or a group clicked and the focus moved on with
  // the keyboard) does the focused register, which the button has checked, take its place and its name.
  if (!IsRegister(state.CurrentNode)) {
    RegisterTreeNode* focused = host_.focusedNode();
    if (!IsRegister(focused)) {
      host_.showMessage(QCoreApplication::translate("Messages", "nie wybrano rejestru"));
      return;
    }
    state.CurrentNode = focused;
    host_.setRegisterText(QString::fromStdU16String(focused->data.Name));
  }
  // The header names the recorded register, whatever record was read last.
  state.CurrentRecord = &state.CurrentNode->data;

  state.Recording = true;
  state.RecordNode = state.CurrentNode;
  errorShown_ = false;
  host_.refreshRegisterTree();

  QPlainTextEdit& memo = host_.logWindow();
  const RegisterNode& record = *state.CurrentRecord;
  AppendLine(memo, DateLine(QDateTime::currentDateTime()));
  AppendLine(memo, DeviceLine(host_.slaveText(), host_.deviceText()));
  AppendLine(memo, RegisterLine(FromU16(record.Address), FromU16(record.Name)));
  AppendLine(memo, QString());
  if (sink_) {
    const std::u16string slave = ToU16(host_.slaveText());
    sink_->recordingStarted({RecordedColumn{slave, record.Address, record.Name, record.Type}},
                            record.Address + u'_' + record.Name);
  }

  // A failing first read (a slave address that is no number) must not leave a half-started recording: the
  // start completes as a tick would, and the error is shown once.
  std::exception_ptr readError;
  try {
    host_.readNode(state.RecordNode);
  } catch (...) {
    readError = std::current_exception();
  }
  // The read lets pending messages run: the recording may have been stopped meanwhile.
  if (!state.Recording) {
    if (readError) std::rethrow_exception(readError);
    return;
  }
  handOnReading(readError != nullptr);
  LogReading();

  host_.recordTimer().start(interval * 1000);
  // An undo history of a recording's lines would only cost memory: nobody undoes them.
  memo.setUndoRedoEnabled(false);
  memo.setReadOnly(true);
  host_.setRegisterTreeEnabled(false);
  host_.setRecordIndicator(kColorYellow);

  if (readError) {
    errorShown_ = true;
    host_.showError(readError);
  }
}

void Recording::RecordTick() {
  ViewState& state = host_.viewState();
  if (!state.Recording || !state.RecordNode) return;
  // A tick never starts inside another one's read, a transaction or a modal message: it waits for the next.
  if (inTick_ || host_.busy()) return;
  inTick_ = true;
  try {
    LogReading();
    host_.readNode(state.RecordNode);
    errorShown_ = false;
    handOnReading(false);
  } catch (...) {
    inTick_ = false;
    handOnReading(true);
    // One box per run of failures: the timer keeps running and would otherwise stack a box every tick.
    if (!errorShown_) {
      errorShown_ = true;
      host_.showError(std::current_exception());
    }
    return;
  }
  inTick_ = false;
}

void Recording::LogReading() {
  const RegisterNode* record = host_.viewState().CurrentRecord;
  AppendLine(host_.logWindow(),
             ReadingLine(QTime::currentTime(), record ? FromU16(record->Value) : QString()));
}

void Recording::StopRecording() {
  ViewState& state = host_.viewState();
  if (!state.Recording) return;
  host_.recordTimer().stop();
  state.RecordNode = nullptr;
  host_.setRecordIndicator(kColorMediumGrey);
  state.Recording = false;
  AppendLine(host_.logWindow(), QString());
  host_.logWindow().setReadOnly(false);
  host_.logWindow().setUndoRedoEnabled(true);
  host_.setRegisterTreeEnabled(true);
  host_.refreshRegisterTree();
  if (sink_) sink_->recordingStopped();
}

void Recording::handOnReading(bool readFailed) {
  // The file gets the value as it is read; the log line, one interval behind, stays as it is.
  const ViewState& state = host_.viewState();
  if (!sink_ || !state.Recording || !state.RecordNode) return;
  values_.resize(1);
  values_[0].clear();
  if (!readFailed) {
    values_[0].value = host_.lastReadValue();
    values_[0].text = state.RecordNode->data.Value;
  }
  sink_->readingTaken(RecordingClock::now(), values_);
}

}  // namespace velnorex
