// The built program itself as a child process, offscreen, with its files pointed where a test wants them:
// started, asked to end by a signal once it handles signals, and waited for.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace velnorex::test {

// The environment of a program started by a test: offscreen, with the user's folders ($XDG_CONFIG_HOME,
// $XDG_DATA_HOME) and a private runtime folder under `home`.
QProcessEnvironment ProgramEnvironment(const QString& home);

// Copies a file keeping its permissions; false when it cannot.
bool CopyExecutable(const QString& from, const QString& to);

class ProgramProcess {
 public:
  ProgramProcess(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment);
  ~ProgramProcess();

  bool started() const { return started_; }
  // True once the program has installed its own handler for `signal` (it shows in /proc/<pid>/status).
  bool waitUntilHandles(int signal, int timeoutMs = 60000);
  void sendSignal(int signal);
  // True when the program ended by itself in time.
  bool waitForExit(int timeoutMs = 60000);
  bool exitedNormally() const;
  int exitCode() const { return process_.exitCode(); }
  // Everything it printed, stdout and stderr together.
  QString output();

 private:
  QProcess process_;
  bool started_ = false;
  QString output_;
};

// Runs a program to its end and returns what it printed on stdout; `exitCode` gets its exit code (-1 when it
// did not start or end).
QString RunToEnd(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                 int* exitCode, int timeoutMs = 120000);

}  // namespace velnorex::test
