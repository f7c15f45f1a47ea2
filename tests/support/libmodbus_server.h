// libmodbus's own Modbus TCP server, in a thread of the calling process on a free port of 127.0.0.1: an
// independent peer for the tests, and the server a benchmark's masters (velnorex's and libmodbus's) read
// from.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/peer_tables.h"
#include "tests/support/test_environment.h"

namespace velnorex::test {

class LibmodbusTcpServer {
 public:
  // Empty when the tests were built with libmodbus; else why not.
  static std::string unavailableReason();

  // Serves the four tables (PeerTables::slave aside: libmodbus's TCP server answers every unit id) to one
  // master at a time on 127.0.0.1:`port`, 0 for a free one, until it goes. Throws std::runtime_error when
  // it cannot listen, or when the tests were built without libmodbus.
  explicit LibmodbusTcpServer(const PeerTables& tables, int port = 0);
  ~LibmodbusTcpServer();
  LibmodbusTcpServer(const LibmodbusTcpServer&) = delete;
  LibmodbusTcpServer& operator=(const LibmodbusTcpServer&) = delete;

  int port() const { return port_; }
  // The address a master opens: tcp://127.0.0.1:N.
  const std::string& path() const { return address_; }
  // What the holding registers hold now.
  std::vector<uint16_t> holding() const;
  // The requests answered so far (exception replies included).
  long answered() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  int port_ = 0;
  std::string address_;
};

// Lets a test against libmodbus run only where the tests were built with it (and fail under CI otherwise).
#define VELNOREX_REQUIRE_LIBMODBUS()                                                          \
  do {                                                                                        \
    if (const std::string reason = ::velnorex::test::LibmodbusTcpServer::unavailableReason(); \
        !reason.empty())                                                                      \
      VELNOREX_MISSING(reason);                                                               \
  } while (0)

}  // namespace velnorex::test
