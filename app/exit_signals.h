// SIGINT, SIGTERM and SIGHUP (Ctrl+C in a terminal, a kill, a log-out) end the program through its normal
// exit steps instead of killing it: the signal handler only writes a byte into a pipe, and the event loop
// reads it and calls the handler given here.
#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace velnorex {

class ExitSignals : public QObject {
 public:
  // One at a time: a signal handler can reach only one pipe. `onSignal` runs on the GUI thread, once per
  // signal received; it may be set later (a signal before then waits in the pipe).
  explicit ExitSignals(QObject* parent = nullptr);
  ~ExitSignals() override;
  ExitSignals(const ExitSignals&) = delete;
  ExitSignals& operator=(const ExitSignals&) = delete;

  std::function<void(int signal)> onSignal;

 private:
  void readPipe();

  int readEnd_ = -1;
  int writeEnd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace velnorex
