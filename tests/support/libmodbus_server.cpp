// The libmodbus TCP server of the tests: libmodbus frames and answers, this file only accepts masters one at
// a time and stops the thread.
#include "tests/support/libmodbus_server.h"

#include <stdexcept>

#ifdef VELNOREX_HAVE_LIBMODBUS

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include <modbus.h>

namespace velnorex::test {

struct LibmodbusTcpServer::State {
  modbus_t* context = nullptr;
  modbus_mapping_t* mapping = nullptr;
  int listening = -1;
  int wake[2] = {-1, -1};
  size_t size = 0;
  mutable std::mutex mutex;
  long answered = 0;
  std::thread thread;

  ~State() {
    if (thread.joinable()) {
      const char stop = 1;
      [[maybe_unused]] const ssize_t ignored = ::write(wake[1], &stop, 1);
      thread.join();
    }
    for (const int fd : {listening, wake[0], wake[1]})
      if (fd >= 0) ::close(fd);
    if (mapping) modbus_mapping_free(mapping);
    if (context) modbus_free(context);
  }

  void serve() {
    int master = -1;
    for (;;) {
      pollfd p[2] = {{wake[0], POLLIN, 0}, {master >= 0 ? master : listening, POLLIN, 0}};
      if (::poll(p, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (p[0].revents) break;
      if (!p[1].revents) continue;
      if (master < 0) {
        master = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (master < 0) continue;
        const int on = 1;
        ::setsockopt(master, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        modbus_set_socket(context, master);
        continue;
      }
      uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
      const int length = modbus_receive(context, query);
      if (length > 0) {
        std::lock_guard<std::mutex> lock(mutex);
        if (modbus_reply(context, query, length, mapping) >= 0) ++answered;
      } else if (length < 0) {
        // The master went, or sent what libmodbus cannot frame: the stream is lost either way.
        ::close(master);
        master = -1;
        modbus_set_socket(context, -1);
      }
    }
    if (master >= 0) ::close(master);
  }
};

std::string LibmodbusTcpServer::unavailableReason() {
  return {};
}

LibmodbusTcpServer::LibmodbusTcpServer(const PeerTables& tables, int port)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.size = static_cast<size_t>(tables.size);
  s.context = modbus_new_tcp("127.0.0.1", port);
  s.mapping =
      modbus_mapping_new_start_address(0, tables.size, 0, tables.size, 0, tables.size, 0, tables.size);
  if (!s.context || !s.mapping) throw std::runtime_error("libmodbus: no context or mapping");
  // An illegal value's exception waits for the response time-out before it goes (libmodbus flushes the line
  // first): keep that short, as a transducer would.
  modbus_set_response_timeout(s.context, 0, 20000);
  const auto seed = [&tables](const auto& values, auto* table) {
    for (const auto& [address, words] : values)
      for (size_t i = 0; i < words.size() && address + i < static_cast<size_t>(tables.size); ++i)
        table[address + i] = static_cast<std::remove_pointer_t<decltype(table)>>(words[i]);
  };
  seed(tables.values, s.mapping->tab_registers);
  seed(tables.inputs, s.mapping->tab_input_registers);
  seed(tables.coils, s.mapping->tab_bits);
  seed(tables.discretes, s.mapping->tab_input_bits);

  s.listening = modbus_tcp_listen(s.context, 1);
  if (s.listening < 0)
    throw std::runtime_error("libmodbus cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                             modbus_strerror(errno));
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  ::getsockname(s.listening, reinterpret_cast<sockaddr*>(&bound), &size);
  port_ = ntohs(bound.sin_port);
  address_ = "tcp://127.0.0.1:" + std::to_string(port_);
  if (::pipe2(s.wake, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  s.thread = std::thread([&s] { s.serve(); });
}

std::vector<uint16_t> LibmodbusTcpServer::holding() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return std::vector<uint16_t>(state_->mapping->tab_registers, state_->mapping->tab_registers + state_->size);
}

long LibmodbusTcpServer::answered() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->answered;
}

LibmodbusTcpServer::~LibmodbusTcpServer() = default;

}  // namespace velnorex::test

#else  // the tests were built without libmodbus

namespace velnorex::test {

struct LibmodbusTcpServer::State {};

std::string LibmodbusTcpServer::unavailableReason() {
  return "the tests were built without libmodbus (install libmodbus-dev and configure again)";
}

LibmodbusTcpServer::LibmodbusTcpServer(const PeerTables&, int) {
  throw std::runtime_error(unavailableReason());
}

std::vector<uint16_t> LibmodbusTcpServer::holding() const {
  return {};
}

long LibmodbusTcpServer::answered() const {
  return 0;
}

LibmodbusTcpServer::~LibmodbusTcpServer() = default;

}  // namespace velnorex::test

#endif
