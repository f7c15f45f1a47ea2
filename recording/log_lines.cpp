// The lines a recording writes into the log window, and the log files made from the window's text.
#include "recording/log_lines.h"

#include <filesystem>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "text/cp1250.h"
#include "text/file_replace.h"
#include "text/number_text.h"
#include "treefile/tree_stream.h"

namespace velnorex {

QString LongTimeFormat() {
  // Drop the time-zone letters ('t', outside quoted text) and the blanks they leave behind.
  const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  QString result;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u't') continue;
    result += c;
  }
  return result.trimmed();
}

QString DateTimeText(const QDateTime& moment) {
  const QLocale locale = QLocale::system();
  return locale.toString(moment.date(), QLocale::ShortFormat) + u' ' + TimeText(moment.time());
}

QString TimeText(const QTime& time) {
  return QLocale::system().toString(time, LongTimeFormat());
}

QString DateLine(const QDateTime& moment) {
  return QCoreApplication::translate("LogLines", "Data:") + DateTimeText(moment);
}

QString DeviceLine(const QString& slaveText, const QString& deviceText) {
  return QCoreApplication::translate("LogLines", "Urządzenie:") + slaveText + u'(' + deviceText + u')';
}

QString RegisterLine(const QString& address, const QString& name) {
  return QCoreApplication::translate("LogLines", "Rejestr:") + address + u'(' + name + u')';
}

QString ReadingLine(const QTime& time, const QString& value) {
  return TimeText(time) + u'\t' + value;
}

namespace {

// A document cannot tell one empty line from no text at all: its first block carries this state while it
// stands for an empty line that was appended. Wyczyść and setPlainText make new blocks without it.
constexpr int kEmptyLineHeld = 0x4c494e45;

}  // namespace

bool HoldsALine(const QPlainTextEdit& memo) {
  const QTextDocument* document = memo.document();
  return !document->isEmpty() || document->firstBlock().userState() == kEmptyLineHeld;
}

void AppendLine(QPlainTextEdit& memo, const QString& line) {
  QTextDocument* document = memo.document();
  if (document->isEmpty() && document->firstBlock().userState() == kEmptyLineHeld) {
    // appendPlainText would write into the empty line instead of after it.
    document->firstBlock().setUserState(-1);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText(line);
  } else {
    memo.appendPlainText(line);
    if (document->isEmpty()) document->firstBlock().setUserState(kEmptyLineHeld);
  }
  if (QScrollBar* bar = memo.verticalScrollBar()) bar->setValue(bar->maximum());
}

std::string LogFileBytes(const QPlainTextEdit& memo) {
  if (!HoldsALine(memo)) return {};
  const QTextDocument* document = memo.document();
  std::string bytes;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    bytes += ToCp1250(block.text().toStdU16String());
    bytes += "\r\n";
  }
  return bytes;
}

void SaveLogFile(const QPlainTextEdit& memo, const QString& path) {
  SaveFileBytes(path, LogFileBytes(memo));
}

void SaveFileBytes(const QString& path, const std::string& bytes) {
  if (const int error = ReplaceFileAtomically(std::filesystem::path(path.toStdU16String()), bytes)) {
    throw FileCreateError(
        (QStringLiteral("Cannot create file \"%1\". %2")
             .arg(QFileInfo(path).absoluteFilePath(), QString::fromStdString(SystemErrorText(error))))
            .toStdString());
  }
}

}  // namespace velnorex
