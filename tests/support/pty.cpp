// Pseudo-terminals for tests that open a real port.
#include "tests/support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace velnorex::test {

PseudoTerminal::PseudoTerminal() {
  int slave = -1;
  char name[256] = {};
  termios tio{};
  cfmakeraw(&tio);
  if (openpty(&master_, &slave, name, &tio, nullptr) != 0)
    throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
  slavePath_ = name;
  slaveKeepAlive_ = slave;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
  closeMaster();
  if (slaveKeepAlive_ >= 0) ::close(slaveKeepAlive_);
}

void PseudoTerminal::closeMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
  // The program sees the device vanish only when no other descriptor holds the slave side open.
  if (slaveKeepAlive_ >= 0) ::close(slaveKeepAlive_);
  slaveKeepAlive_ = -1;
}

void PseudoTerminal::send(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
    } else {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

std::vector<uint8_t> PseudoTerminal::receive(size_t count, std::chrono::milliseconds timeout) {
  std::vector<uint8_t> out;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    uint8_t buf[256];
    const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (n > 0) out.insert(out.end(), buf, buf + n);
    else if (n == 0 || (errno != EAGAIN && errno != EINTR && errno != EIO)) break;
  }
  return out;
}

std::vector<uint8_t> PseudoTerminal::drain(std::chrono::milliseconds quiet) {
  std::vector<uint8_t> out;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
    uint8_t buf[256];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

}  // namespace velnorex::test
