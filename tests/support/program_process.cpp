// Child processes of the program under test.
#include "tests/support/program_process.h"

#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace velnorex::test {

namespace {

// The mask of caught signals from /proc/<pid>/status, or 0.
quint64 caughtSignals(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:")) return line.mid(7).trimmed().toULongLong(nullptr, 16);
  return 0;
}

}  // namespace

QProcessEnvironment ProgramEnvironment(const QString& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("HOME"), home);
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
  const QString runtime = home + QStringLiteral("/runtime");
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  return env;
}

bool CopyExecutable(const QString& from, const QString& to) {
  QFile::remove(to);
  return QFile::copy(from, to) && QFile::setPermissions(to, QFile::permissions(from));
}

ProgramProcess::ProgramProcess(const QString& program, const QStringList& arguments,
                               const QProcessEnvironment& environment) {
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.setProcessEnvironment(environment);
  process_.start(program, arguments);
  started_ = process_.waitForStarted(30000);
}

ProgramProcess::~ProgramProcess() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(10000);
  }
}

bool ProgramProcess::waitUntilHandles(int signal, int timeoutMs) {
  const quint64 bit = quint64(1) << (signal - 1);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    if (process_.state() != QProcess::Running) return false;
    if (caughtSignals(process_.processId()) & bit) return true;
    QThread::msleep(20);
  }
  return false;
}

void ProgramProcess::sendSignal(int signal) {
  if (process_.state() == QProcess::Running) ::kill(static_cast<pid_t>(process_.processId()), signal);
}

bool ProgramProcess::waitForExit(int timeoutMs) {
  return process_.state() == QProcess::NotRunning || process_.waitForFinished(timeoutMs);
}

bool ProgramProcess::exitedNormally() const {
  return process_.state() == QProcess::NotRunning && process_.exitStatus() == QProcess::NormalExit;
}

QString ProgramProcess::output() {
  output_ += QString::fromLocal8Bit(process_.readAll());
  return output_;
}

QString RunToEnd(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                 int* exitCode, int timeoutMs) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  const bool ended = process.waitForStarted(30000) && process.waitForFinished(timeoutMs);
  if (exitCode) *exitCode = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  if (!ended) process.kill();
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

}  // namespace velnorex::test
