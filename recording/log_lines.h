// The lines a recording writes into the log window, and the log window's text as the log files hold it.
#pragma once

#include <string>

#include <QDateTime>
#include <QString>

class QPlainTextEdit;

namespace velnorex {

// The system's long time format without its time-zone part (e.g. "HH:mm:ss").
QString LongTimeFormat();
// The system's short date format, one blank, the long time: the date line's moment.
QString DateTimeText(const QDateTime& moment);
// The time of day as a reading line starts with it (e.g. 14:05:09).
QString TimeText(const QTime& time);

QString DateLine(const QDateTime& moment);
QString DeviceLine(const QString& slaveText, const QString& deviceText);
QString RegisterLine(const QString& address, const QString& name);
QString ReadingLine(const QTime& time, const QString& value);

// Appends one line at the end of the log window and shows it, whatever the operator's cursor is doing. An
// empty line appended to an empty window is kept as a line.
void AppendLine(QPlainTextEdit& memo, const QString& line);
// The log window holds at least one line, an empty one included: what decides whether a ".log" is written.
bool HoldsALine(const QPlainTextEdit& memo);

// The whole text of the log window as a log file holds it: code page 1250, every line ending with CR LF; an
// empty window gives no bytes.
std::string LogFileBytes(const QPlainTextEdit& memo);
// Replaces `path` atomically with LogFileBytes (in place when its folder takes no new file but the file may
// be written); a failure of the atomic replace leaves any earlier file whole and throws
// FileCreateError "Cannot create file "<path>". <reason>".
void SaveLogFile(const QPlainTextEdit& memo, const QString& path);
// Replaces `path` atomically with `bytes`, with the same failure as SaveLogFile.
void SaveFileBytes(const QString& path, const std::string& bytes);

}  // namespace velnorex
