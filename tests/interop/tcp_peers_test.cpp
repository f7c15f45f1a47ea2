// The TCP servers the master's tests talk to, driven byte by byte from a bare socket: velnorex-sim, pymodbus
// and libmodbus give the same Modbus TCP replies for the same tables, and the simulator's RTU over TCP and
// its faults on a connection (late, torn, dropped replies, units nobody has) do what they promise.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/frames.h"
#include "tests/support/libmodbus_server.h"
#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

using namespace std::chrono_literals;

// A master reduced to a socket on 127.0.0.1: what it sends and receives are bytes, nothing else.
class RawClient {
 public:
  explicit RawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
  }
  ~RawClient() { ::close(fd_); }

  void send(const Bytes& bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }

  // Exactly `count` bytes, or fewer when the server closes or `timeout` passes first.
  Bytes receive(size_t count, std::chrono::milliseconds timeout = 10s) {
    Bytes bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buffer[300];
      const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
      if (n <= 0) break;
      ++pieces;
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }
  // A Modbus TCP frame: the header, then as much as its length field says.
  Bytes receiveMbap() {
    Bytes frame = receive(6);
    if (frame.size() < 6) return frame;
    const Bytes rest = receive(static_cast<size_t>(frame[4] << 8 | frame[5]));
    frame.insert(frame.end(), rest.begin(), rest.end());
    return frame;
  }
  // True when the server closes the connection (with nothing more to say) within `timeout`.
  bool closedByServer(std::chrono::milliseconds timeout = 10s) {
    pollfd p{fd_, POLLIN, 0};
    uint8_t byte = 0;
    return ::poll(&p, 1, static_cast<int>(timeout.count())) == 1 && ::recv(fd_, &byte, 1, 0) == 0;
  }

  // How many recv calls brought bytes.
  int pieces = 0;

 private:
  int fd_;
};

// Modbus TCP request: transaction id, protocol 0, length, unit id, PDU.
Bytes Mbap(uint16_t transaction, uint8_t unit, const Bytes& pdu) {
  Bytes frame{static_cast<uint8_t>(transaction >> 8),      static_cast<uint8_t>(transaction),    0,   0,
              static_cast<uint8_t>((pdu.size() + 1) >> 8), static_cast<uint8_t>(pdu.size() + 1), unit};
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  return frame;
}

// The same raw words in the four tables of every server.
PeerTables Tables() {
  PeerTables tables;
  tables.size = 128;
  tables.values = {{100, {0x1234, 0xABCD, 0x0001}}};
  tables.inputs = {{20, {0x41AC, 0x0000}}};
  tables.coils = {{5, {1, 0, 1}}};
  tables.discretes = {{6, {1}}};
  return tables;
}

// The simulator seeded with Tables(), everything else undefined; over `link`.
std::vector<std::string> SimulatorArgs(std::vector<std::string> more = {}) {
  const PeerTables tables = Tables();
  std::vector<std::string> args;
  const auto add = [&args](const auto& held, const std::string& field) {
    for (const auto& [address, words] : held)
      for (size_t i = 0; i < words.size(); ++i)
        args.insert(args.end(), {"--value", std::to_string(address + i) + ":" + field +
                                                ":1:" + std::to_string(words[i])});
  };
  add(tables.values, "U16");
  add(tables.inputs, "U16 table=input");
  add(tables.coils, "BOOL table=coil");
  add(tables.discretes, "BOOL table=discrete");
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

enum class Server { Simulator, Pymodbus, Libmodbus };
void PrintTo(Server server, std::ostream* out) {
  *out << (server == Server::Simulator  ? "velnorex-sim"
           : server == Server::Pymodbus ? "pymodbus"
                                        : "libmodbus");
}

class ModbusTcpServers : public ::testing::TestWithParam<Server> {
 protected:
  void SetUp() override {
    if (GetParam() == Server::Pymodbus) {
      VELNOREX_REQUIRE_PYMODBUS_TCP();
      PymodbusPeer::Options options;
      static_cast<PeerTables&>(options) = Tables();
      options.link = PeerLink::ModbusTcp;
      pymodbus.emplace(options);
      port = pymodbus->port();
    } else if (GetParam() == Server::Libmodbus) {
      VELNOREX_REQUIRE_LIBMODBUS();
      libmodbus.emplace(Tables());
      port = libmodbus->port();
    } else {
      sim.emplace(PeerLink::ModbusTcp, SimulatorArgs());
      port = sim->port();
    }
    ASSERT_GT(port, 0);
  }

  std::optional<SimulatorProcess> sim;
  std::optional<PymodbusPeer> pymodbus;
  std::optional<LibmodbusTcpServer> libmodbus;
  int port = 0;
};

TEST_P(ModbusTcpServers, AnswerTheSameBytesForTheSameTables) {
  RawClient master(port);
  // Each reply under the request's own transaction id and unit id, the PDU as the tables say.
  const std::vector<std::pair<Bytes, Bytes>> exchanges = {
      {Mbap(0x1A2B, 1, {0x03, 0x00, 0x64, 0x00, 0x03}),
       Mbap(0x1A2B, 1, {0x03, 0x06, 0x12, 0x34, 0xAB, 0xCD, 0x00, 0x01})},
      {Mbap(0x1A2C, 1, {0x04, 0x00, 0x14, 0x00, 0x02}),
       Mbap(0x1A2C, 1, {0x04, 0x04, 0x41, 0xAC, 0x00, 0x00})},
      {Mbap(0x0001, 1, {0x01, 0x00, 0x05, 0x00, 0x03}), Mbap(0x0001, 1, {0x01, 0x01, 0x05})},
      {Mbap(0xFFFF, 1, {0x02, 0x00, 0x06, 0x00, 0x01}), Mbap(0xFFFF, 1, {0x02, 0x01, 0x01})},
      // A write is answered by its echo and read back.
      {Mbap(0x0100, 1, {0x06, 0x00, 0x65, 0xBE, 0xEF}), Mbap(0x0100, 1, {0x06, 0x00, 0x65, 0xBE, 0xEF})},
      {Mbap(0x0101, 1, {0x03, 0x00, 0x65, 0x00, 0x01}), Mbap(0x0101, 1, {0x03, 0x02, 0xBE, 0xEF})},
      // Beyond the tables: exception 2.
      {Mbap(0x0200, 1, {0x03, 0x01, 0x00, 0x00, 0x01}), Mbap(0x0200, 1, {0x83, 0x02})},
  };
  for (const auto& [request, reply] : exchanges) {
    master.send(request);
    EXPECT_EQ(Hex(master.receiveMbap()), Hex(reply)) << "request " << Hex(request);
  }
}

INSTANTIATE_TEST_SUITE_P(TcpPeers, ModbusTcpServers,
                         ::testing::Values(Server::Simulator, Server::Pymodbus, Server::Libmodbus));

TEST(RtuOverTcp, SimulatorAndPymodbusAnswerWithTheSameCrcFrames) {
  VELNOREX_REQUIRE_PYMODBUS_TCP();
  SimulatorProcess sim(PeerLink::RtuOverTcp, SimulatorArgs());
  PymodbusPeer::Options options;
  static_cast<PeerTables&>(options) = Tables();
  options.link = PeerLink::RtuOverTcp;
  PymodbusPeer pymodbus(options);
  Bytes broken = WithCrc({0x01, 0x03, 0x00, 0x64, 0x00, 0x01});
  broken.back() ^= 0xFF;
  const Bytes read = WithCrc({0x01, 0x03, 0x00, 0x64, 0x00, 0x02});
  const Bytes answer = WithCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD});
  for (const int port : {sim.port(), pymodbus.port()}) {
    SCOPED_TRACE(port == sim.port() ? "velnorex-sim" : "pymodbus");
    RawClient master(port);
    master.send(read);
    EXPECT_EQ(Hex(master.receive(answer.size())), Hex(answer));
    // Two requests in one segment get two replies, in order.
    Bytes both = WithCrc({0x01, 0x01, 0x00, 0x05, 0x00, 0x03});
    const Bytes second = WithCrc({0x01, 0x03, 0x01, 0x00, 0x00, 0x01});
    both.insert(both.end(), second.begin(), second.end());
    master.send(both);
    EXPECT_EQ(Hex(master.receive(6)), Hex(WithCrc({0x01, 0x01, 0x01, 0x05})));
    EXPECT_EQ(Hex(master.receive(5)), Hex(WithCrc({0x01, 0x83, 0x02})));
  }
  // A request with a bad CRC is not answered, and the simulator takes the one after it in the same segment
  // by its length: the first reply to come is that one's. (pymodbus drops what came with the bad frame.)
  RawClient master(sim.port());
  Bytes brokenThenRead = broken;
  brokenThenRead.insert(brokenThenRead.end(), read.begin(), read.end());
  master.send(brokenThenRead);
  EXPECT_EQ(Hex(master.receive(answer.size())), Hex(answer));
  // Its log has the frames as they went over the connections.
  const auto log = sim.waitForLogLines(9);
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(Hex(log[6].bytes), Hex(broken));
  EXPECT_EQ(Hex(log[7].bytes), Hex(read));
  EXPECT_EQ(log[8], (WireFrame{'<', answer}));
}

const Bytes kRead = Mbap(0x0042, 1, {0x03, 0x00, 0x64, 0x00, 0x02});
const Bytes kAnswer = Mbap(0x0042, 1, {0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD});

TEST(SimulatorOverTcp, SplitReplyComesInPiecesOnBothLinks) {
  for (const auto link : {PeerLink::ModbusTcp, PeerLink::RtuOverTcp}) {
    SCOPED_TRACE(link == PeerLink::ModbusTcp ? "Modbus TCP" : "RTU over TCP");
    SimulatorProcess sim(link, SimulatorArgs({"--split-reply"}));
    RawClient master(sim.port());
    const bool mbap = link == PeerLink::ModbusTcp;
    const Bytes answer = mbap ? kAnswer : WithCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD});
    master.send(mbap ? kRead : WithCrc({0x01, 0x03, 0x00, 0x64, 0x00, 0x02}));
    EXPECT_EQ(Hex(master.receive(answer.size())), Hex(answer));
    EXPECT_GT(master.pieces, 1);
  }
}

TEST(SimulatorOverTcp, CloseAfterOneAnswersOnceThenClosesAndAcceptsTheNextMaster) {
  SimulatorProcess sim(PeerLink::ModbusTcp, SimulatorArgs({"--close-after", "1"}));
  for (int master = 0; master < 2; ++master) {
    RawClient client(sim.port());
    // The second request, sent with the first, goes unanswered with the connection.
    Bytes two = kRead;
    const Bytes another = Mbap(0x0043, 1, {0x03, 0x00, 0x64, 0x00, 0x01});
    two.insert(two.end(), another.begin(), another.end());
    client.send(two);
    EXPECT_EQ(Hex(client.receiveMbap()), Hex(kAnswer)) << "master " << master;
    EXPECT_TRUE(client.closedByServer()) << "master " << master;
  }
}

TEST(SimulatorOverTcp, LateReplyCarriesTheEarlierTransactionId) {
  SimulatorProcess sim(PeerLink::ModbusTcp, SimulatorArgs({"--delay-ms", "300"}));
  RawClient master(sim.port());
  master.send(Mbap(7, 1, {0x03, 0x00, 0x64, 0x00, 0x02}));
  // A master that waits 100 ms for an answer due in 300 gives up and asks again.
  EXPECT_TRUE(master.receive(1, 100ms).empty());
  master.send(Mbap(8, 1, {0x03, 0x00, 0x65, 0x00, 0x01}));
  EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(7, 1, {0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD})));
  EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(8, 1, {0x03, 0x02, 0xAB, 0xCD})));
}

TEST(SimulatorOverTcp, TheUnitIdNamesTheSlave) {
  const Bytes readUnit1 = Mbap(3, 1, {0x03, 0x00, 0x64, 0x00, 0x01});
  {
    SimulatorProcess sim(PeerLink::ModbusTcp, SimulatorArgs({"--slave", "1", "--slave", "2"}));
    RawClient master(sim.port());
    master.send(Mbap(1, 2, {0x06, 0x00, 0x64, 0x55, 0x55}));
    EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(1, 2, {0x06, 0x00, 0x64, 0x55, 0x55})));
    // Unit 255 is nobody's and unit 0 a broadcast (carried out by both, answered by neither): the next
    // reply to come is unit 1's, which the broadcast wrote too.
    master.send(Mbap(2, 255, {0x03, 0x00, 0x64, 0x00, 0x01}));
    master.send(Mbap(2, 0, {0x06, 0x00, 0x65, 0x77, 0x77}));
    master.send(readUnit1);
    EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(3, 1, {0x03, 0x02, 0x12, 0x34})));
    master.send(Mbap(4, 2, {0x03, 0x00, 0x64, 0x00, 0x02}));
    EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(4, 2, {0x03, 0x04, 0x55, 0x55, 0x77, 0x77})));
  }
  // A device that ignores the unit id answers 255 and 0 as its own, under the id it was asked by.
  SimulatorProcess sim(PeerLink::ModbusTcp, SimulatorArgs({"--slave", "9", "--any-unit"}));
  RawClient master(sim.port());
  for (const uint8_t unit : {255, 0}) {
    master.send(Mbap(unit, unit, {0x03, 0x00, 0x64, 0x00, 0x01}));
    EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(unit, unit, {0x03, 0x02, 0x12, 0x34})));
  }
  // Other units still need their slave.
  master.send(Mbap(5, 1, {0x03, 0x00, 0x64, 0x00, 0x01}));
  master.send(Mbap(6, 9, {0x03, 0x00, 0x64, 0x00, 0x01}));
  EXPECT_EQ(Hex(master.receiveMbap()), Hex(Mbap(6, 9, {0x03, 0x02, 0x12, 0x34})));
}

TEST(SimulatorOverTcp, AForeignProtocolIsIgnoredAndABrokenLengthEndsTheConnection) {
  SimulatorProcess sim(PeerLink::ModbusTcp, SimulatorArgs());
  RawClient master(sim.port());
  // Protocol id 1 is no Modbus: skipped by its length, so the next frame is the first answered.
  Bytes foreign = Mbap(1, 1, {0x03, 0x00, 0x64, 0x00, 0x02});
  foreign[3] = 1;
  master.send(foreign);
  master.send(kRead);
  EXPECT_EQ(Hex(master.receiveMbap()), Hex(kAnswer));
  // A length field of 0 leaves nothing to frame the stream by: the simulator hangs up, and serves the next.
  master.send({0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03});
  EXPECT_TRUE(master.closedByServer());
  RawClient next(sim.port());
  next.send(kRead);
  EXPECT_EQ(Hex(next.receiveMbap()), Hex(kAnswer));
}

}  // namespace
}  // namespace velnorex::test
