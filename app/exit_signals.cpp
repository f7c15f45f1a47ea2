// The self-pipe: the only thing done inside the signal handler is one write(), which is async-signal-safe.
#include "app/exit_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <stdexcept>
#endif

namespace velnorex {

#ifdef Q_OS_UNIX
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The write end for the handler, and the handlers it replaced. A signal handler gets no argument of ours, so
// these live at file scope; only ExitSignals, of which there is one at a time, touches them.
volatile sig_atomic_t signalPipe = -1;
struct sigaction previous[std::size(kSignals)];

extern "C" void onExitSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  // A full pipe means exit requests are already waiting: dropping this one loses nothing.
  [[maybe_unused]] const ssize_t n = ::write(signalPipe, &byte, 1);
  errno = saved;
}

}  // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent) {
  if (signalPipe != -1) throw std::logic_error("only one ExitSignals at a time");
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("no pipe for the exit signals");
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  signalPipe = writeEnd_;
  notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { readPipe(); });
  struct sigaction action {};
  action.sa_handler = onExitSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls (a serial read) carry on; the request is handled once the loop runs again.
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

ExitSignals::~ExitSignals() {
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  signalPipe = -1;
  delete notifier_;
  ::close(readEnd_);
  ::close(writeEnd_);
}

void ExitSignals::readPipe() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = ::read(readEnd_, bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < n; ++i)
      if (onSignal) onSignal(bytes[i]);
  }
}

#else

// Windows has no such signals for a window program: the session ends it through the window's close.
ExitSignals::ExitSignals(QObject* parent) : QObject(parent) {}
ExitSignals::~ExitSignals() = default;
void ExitSignals::readPipe() {}

#endif

}  // namespace velnorex
