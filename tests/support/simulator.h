// Peers on a real line for tests: the velnorex-sim transducer simulator and an independent pymodbus slave,
// each a child process on a fresh pseudo-terminal or serving TCP on 127.0.0.1, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/peer_tables.h"
#include "tests/support/test_environment.h"

namespace velnorex::test {

// The folder of the program, its tools and the compiled definitions: $VELNOREX_BIN_DIR, else the build's.
std::string BinDir();

// How a peer is reached: a pseudo-terminal, or a TCP server on a free port of 127.0.0.1 that speaks Modbus
// TCP (address tcp://127.0.0.1:N) or passes RTU frames over TCP as a gateway does (rtu+tcp://127.0.0.1:N).
enum class PeerLink { Pty, ModbusTcp, RtuOverTcp };

// The port of an address tcp://HOST:PORT or rtu+tcp://HOST:PORT; 0 for anything else (a pty path).
int TcpPortOf(const std::string& address);

// One line of the simulator's log: a request ('>') or a reply ('<') with the bytes on the wire.
struct WireFrame {
  char direction = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const WireFrame&) const = default;
};

// velnorex-sim from $VELNOREX_BIN_DIR (default: the build's bin folder), on a fresh pseudo-terminal or a free
// port of 127.0.0.1, logging every frame (over Modbus TCP with its MBAP header, as on the wire). Construction
// throws std::runtime_error when the simulator does not start or does not report its port within 10 s.
class SimulatorProcess {
 public:
  // `args` are velnorex-sim's own options, for example {"--value", "100:WORD:1:1234", "--delay-ms", "60"}.
  explicit SimulatorProcess(std::vector<std::string> args = {});
  // The same serving `link`: for TCP, --tcp 0 or --rtu-tcp 0 goes before `args`.
  explicit SimulatorProcess(PeerLink link, std::vector<std::string> args = {});
  ~SimulatorProcess();
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // The port a master opens: the pseudo-terminal (or the --link), or the TCP address the simulator printed.
  const std::string& path() const { return path_; }
  // The TCP port it serves on; 0 on a pseudo-terminal.
  int port() const { return TcpPortOf(path_); }
  // Requests and replies so far, in order.
  std::vector<WireFrame> logLines() const;
  // Waits until the log holds at least `count` frames (the simulator logs a reply after sending it).
  std::vector<WireFrame> waitForLogLines(size_t count,
                                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // Stops the simulator now (SIGTERM, then SIGKILL after 5 s); true when it ended by itself with status 0.
  bool stop();

 private:
  pid_t pid_ = -1;
  std::string dir_;
  std::string path_;
  std::string logPath_;
};

// A pymodbus 3 slave (tests/interop/pymodbus_slave.py, run by /usr/bin/python3) on one end of a socat pty
// pair, parity none, or serving TCP on a free port of 127.0.0.1 (Options::link). Use
// VELNOREX_REQUIRE_PYMODBUS() (VELNOREX_REQUIRE_PYMODBUS_TCP() for a TCP peer) first in a test: it ends the
// test where the peer cannot run.
class PymodbusPeer {
 public:
  struct Options : PeerTables {
    PeerLink link = PeerLink::Pty;
  };

  // Empty when /usr/bin/python3 can import what the peer needs on `link` (pymodbus; for a pty also
  // serial_asyncio, and socat); else why not.
  static std::string unavailableReason(PeerLink link = PeerLink::Pty);

  explicit PymodbusPeer(const Options& options);
  ~PymodbusPeer();
  PymodbusPeer(const PymodbusPeer&) = delete;
  PymodbusPeer& operator=(const PymodbusPeer&) = delete;

  // The master's end of the line, or the TCP address the peer printed (tcp://127.0.0.1:N, rtu+tcp://…).
  const std::string& path() const { return masterPath_; }
  // The TCP port it serves on; 0 on a pseudo-terminal.
  int port() const { return TcpPortOf(masterPath_); }
  // What the peer holds now, all `size` registers, as its own dump tells it.
  std::vector<uint16_t> holding() const;
  // The writes the peer applied, in order: the start address, then the values written.
  std::vector<std::vector<uint16_t>> writes() const;

 private:
  void openPtyPair();
  void kill(pid_t& pid);
  pid_t socat_ = -1;
  pid_t python_ = -1;
  std::string dir_;
  std::string masterPath_;
  std::string peerPath_;
};

// Lets the peer's tests run only where pymodbus is installed (and fail under CI where it is not).
#define VELNOREX_REQUIRE_PYMODBUS()                                                                      \
  do {                                                                                                   \
    if (const std::string reason = ::velnorex::test::PymodbusPeer::unavailableReason(); !reason.empty()) \
      VELNOREX_MISSING(reason);                                                                          \
  } while (0)

#define VELNOREX_REQUIRE_PYMODBUS_TCP()                                                               \
  do {                                                                                                \
    if (const std::string reason =                                                                    \
            ::velnorex::test::PymodbusPeer::unavailableReason(::velnorex::test::PeerLink::ModbusTcp); \
        !reason.empty())                                                                              \
      VELNOREX_MISSING(reason);                                                                       \
  } while (0)

}  // namespace velnorex::test
