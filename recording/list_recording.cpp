// The list recording: rounds over the watch list's planned reads, one queued step per transaction.
#include "recording/list_recording.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QCoreApplication>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include "recording/log_lines.h"
#include "registers/palette.h"
#include "serial/mode_string.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

QString FromU16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// The user state of the log window's line that stands for the lines dropped.
constexpr int kDroppedLinesMark = 0x44524f50;

}  // namespace

ReadPlan ListReadPlan(const std::vector<WatchEntry>& entries, const ReadLimits& limits) {
  std::vector<RegisterRequest> targets;
  targets.reserve(entries.size());
  for (const WatchEntry& entry : entries) targets.push_back(RegisterRequestOf(entry));
  return ReadPlan(std::move(targets), limits);
}

double ListRoundMs(const std::vector<WatchEntry>& entries, const PortSettings& line) {
  return ListReadPlan(entries).roundMs(line);
}

int ListIntervalMs(std::u16string_view text) {
  const double tenths = StrToFloat(text) * 10.0;
  const double whole = std::round(tenths);
  if (!(whole >= 1.0) || std::abs(tenths - whole) > 1e-6 || whole > INT_MAX / 100) return 0;
  return static_cast<int>(whole) * 100;
}

ListRecording::ListRecording(ListRecordingHost& host, Modbus& modbus, ExchangeDispatcher& dispatcher,
                             const Serial& serial, const WatchListModel& list, RecordingSink& sink)
    : host_(host),
      modbus_(modbus),
      dispatcher_(dispatcher),
      serial_(serial),
      list_(list),
      sink_(sink),
      steps_(modbus, [this](std::function<void()> step) { host_.postQueued(std::move(step)); }) {}

void ListRecording::btRecClick() {
  if (running_) {
    StopRecording();
    return;
  }
  // As every command that starts a transaction: ignored whole during a group operation or a transaction.
  if (host_.busy()) return;
  StartRecording();
}

void ListRecording::StartRecording() {
  if (running_) return;
  const std::vector<WatchEntry> entries = list_.entries();
  if (entries.empty()) {
    host_.showMessage(QCoreApplication::translate("Messages", "lista rejestrów jest pusta"));
    return;
  }
  const int interval = ListIntervalMs(host_.intervalText().toStdU16String());
  if (interval <= 0) {
    host_.showMessage(QCoreApplication::translate("Messages", "nieprawidłowy interwał"));
    return;
  }
  // Every entry is read at every round: a number that does not convert is reported before anything runs.
  ReadLimits limits = ExchangeReadLimits();
  if (!blockReads_) limits.registers = 1;
  ReadPlan plan = ListReadPlan(entries, limits);
  // Without a line every read of every round would ask for the connection; there is nothing to record.
  if (!serial_.PortOpen()) {
    host_.showMessage(QCoreApplication::translate("Messages", "brak połączenia !"));
    return;
  }
  // A round must fit into the interval, else every other tick would be skipped.
  const int minimum = static_cast<int>(std::ceil(plan.roundMs(serial_.DeviceControl()) / 100.0)) * 100;
  if (interval < minimum) {
    host_.showMessage(
        QCoreApplication::translate("Messages", "interwał krótszy niż odczyt listy (najmniej %1 s)")
            .arg(QString::number(minimum / 1000.0, 'f', 1).replace(u'.', u',')));
    return;
  }

  plan_ = std::move(plan);
  columns_.clear();
  for (const WatchEntry& entry : entries)
    columns_.push_back(RecordedColumn{entry.Slave, entry.Address, entry.Name, entry.Type});
  values_.assign(entries.size(), RecordedValue());
  running_ = true;
  steps_.begin();
  rounds_ = 0;
  skipped_ = 0;
  longestRoundMs_ = 0;
  totalRoundMs_ = 0;
  requests_ = 0;
  intervalMs_ = interval;

  QPlainTextEdit& memo = host_.logWindow();
  AppendLine(memo, DateLine(QDateTime::currentDateTime()));
  for (const WatchEntry& entry : entries)
    AppendLine(memo, QCoreApplication::translate("LogLines", "Slave:") + FromU16(entry.Slave) + u'\t' +
                         RegisterLine(FromU16(entry.Address), FromU16(entry.Name)));
  AppendLine(memo, QString());
  logStart_ = QTextCursor(memo.document()->lastBlock());
  // Lines appended at its very position (the empty line's end) come after it.
  logStart_.setKeepPositionOnInsert(true);
  droppedLines_ = 0;
  sink_.recordingStarted(columns_, u"lista");

  // Nobody undoes a recording's lines, and an undo history would keep every line dropped from the window.
  memo.setUndoRedoEnabled(false);
  memo.setReadOnly(true);
  host_.setRegisterTreeEnabled(false);
  host_.setWatchListLocked(true);
  host_.setRecordIndicator(kColorYellow);
  // Sub-second intervals: a coarse timer may be 5 % late, which would eat into the round's margin.
  host_.listRecordTimer().setTimerType(Qt::PreciseTimer);
  host_.listRecordTimer().start(interval);
  startRound();
}

void ListRecording::RecordTick() {
  if (!running_) return;
  // A round never overlaps another one, a transaction or a modal message: that tick's row is not taken.
  if (roundActive_ || host_.busy()) {
    ++skipped_;
    return;
  }
  startRound();
}

void ListRecording::startRound() {
  roundActive_ = true;
  roundTime_ = RecordingClock::now();
  roundStart_ = std::chrono::steady_clock::now();
  index_ = 0;
  for (RecordedValue& value : values_) value.clear();
  readCurrent();
}

void ListRecording::readCurrent() {
  if (index_ >= plan_.blocks().size()) {
    finishRound();
    return;
  }
  const uint64_t before = results_;
  try {
    const ReadBlock& block = plan_.blocks()[index_];
    if (modbus_.BuildReadRequest(block.request)) {
      modbus_.SetServedRegisters(plan_.served(block));
      ++requests_;
      dispatcher_.Exchange(*this);
    }
  } catch (...) {
    StopRecording();
    throw;
  }
  // No result: the port is closed and the exchange has said so; no later read could do better.
  if (results_ == before) StopRecording();
}

void ListRecording::ShowValue(const TransactionResult& result) {
  if (!running_ || !roundActive_ || index_ >= plan_.blocks().size()) return;
  const ReadBlock& block = plan_.blocks()[index_];
  for (const size_t member : block.members) {
    RecordedValue& cell = values_[member];
    plan_.cut(block, member, result.value, cell.value);
    cell.text = DisplayText(cell.value);
  }
}

void ListRecording::UM_NEXT(const TransactionResult& result) {
  ++results_;
  if (!running_ || !roundActive_) return;
  // A block the transducer cannot serve as one is read again register by register, in its place, now and in
  // every later round.
  const bool split =
      result.outcome == TransactionOutcome::Exception && plan_.refuse(index_, result.exceptionCode);
  steps_.post([this, split] {
    if (!roundActive_) return;
    if (!split) ++index_;
    readCurrent();
  });
}

void ListRecording::finishRound() {
  roundActive_ = false;
  ++rounds_;
  const QDateTime at = QDateTime::fromMSecsSinceEpoch(
      std::chrono::duration_cast<std::chrono::milliseconds>(roundTime_.time_since_epoch()).count());
  lineBuffer_ = TimeText(at.time());
  for (const RecordedValue& value : values_) {
    lineBuffer_ += u'\t';
    lineBuffer_ += FromU16(value.text);
  }
  AppendLine(host_.logWindow(), lineBuffer_);
  sink_.readingTaken(roundTime_, values_);
  dropOldLogLines();
  const double roundMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - roundStart_).count();
  longestRoundMs_ = std::max(longestRoundMs_, roundMs);
  totalRoundMs_ += roundMs;
}

void ListRecording::dropOldLogLines() {
  // Only lines that a file keeps may leave the window.
  if (!sink_.keepsEveryReading()) return;
  QTextDocument* document = host_.logWindow().document();
  if (document->blockCount() <= logLinesKept_) return;
  // The readings follow the header's empty line (after "Wyczyść", the window's first line), and the line
  // that counts the dropped ones, once there is one.
  const QTextBlock start = logStart_.block();
  QTextBlock mark = start.next();
  if (mark.isValid() && mark.userState() != kDroppedLinesMark) mark = QTextBlock();
  const QTextBlock first = mark.isValid() ? mark.next() : start.next();
  if (!first.isValid()) return;
  const int lines = document->blockCount() - first.blockNumber();
  if (lines <= logLinesKept_) return;
  const int drop = lines - (logLinesKept_ - logLinesDropped_);

  QTextCursor cursor(first);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, drop);
  cursor.removeSelectedText();
  droppedLines_ += static_cast<uint64_t>(drop);

  const QString text =
      QCoreApplication::translate("Messages",
                                  "usunięto z okna %1 starszych wierszy; wszystkie odczyty są w pliku CSV")
          .arg(droppedLines_);
  if (mark.isValid()) {
    QTextCursor line(mark);
    line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    line.insertText(text);
  } else {
    QTextCursor line(logStart_.block());
    line.movePosition(QTextCursor::EndOfBlock);
    line.insertBlock();
    line.insertText(text);
    line.block().setUserState(kDroppedLinesMark);
  }
}

void ListRecording::StopRecording() {
  if (!running_) return;
  host_.listRecordTimer().stop();
  running_ = false;
  roundActive_ = false;
  steps_.cancel();
  host_.setRecordIndicator(kColorMediumGrey);
  QPlainTextEdit& memo = host_.logWindow();
  if (skipped_ > 0)
    AppendLine(memo, QCoreApplication::translate("LogLines", "pominięte odczyty: %1").arg(skipped_));
  AppendLine(memo, QString());
  memo.setReadOnly(false);
  memo.setUndoRedoEnabled(true);
  host_.setRegisterTreeEnabled(true);
  host_.setWatchListLocked(false);
  sink_.recordingStopped();
}

}  // namespace velnorex
