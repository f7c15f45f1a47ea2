// velnorex-sim: transducers on a pseudo-terminal, a serial device or behind a TCP server on loopback for
// tests, benchmarks and bench-top trials. Each answers Modbus RTU functions 1 to 6, 8, 15 and 16 from
// registers seeded from a device definition; they can misbehave on request (silence, late answers, bad CRCs,
// exceptions, line timing, torn replies and dropped connections) and, on a pseudo-terminal, stay deaf to a
// master whose baud rate or stop bits differ from their own.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/line_words.h"
#include "text/number_text.h"
#include "tools/velnorex-sim/bus.h"
#include "tools/velnorex-sim/mbap.h"
#include "tools/velnorex-sim/register_map.h"
#include "tools/velnorex-sim/rtu_slave.h"

namespace {

using namespace velnorex::sim;

constexpr const char* kUsage = R"(usage: velnorex-sim [options]

Simulates Modbus RTU transducers on one line. Without --device it opens a pseudo-terminal and prints the
path of its slave side as the first line on standard output; a master opens that path as its serial port.
With --tcp or --rtu-tcp it serves on 127.0.0.1 instead and prints the address a master opens as the first
line: tcp://127.0.0.1:PORT or rtu+tcp://127.0.0.1:PORT.

Line:
  --link PATH            also make a symbolic link PATH to the pseudo-terminal (removed at exit)
  --device PATH          serve on a serial device instead of a pseudo-terminal
  --baud B               device: the line speed; pseudo-terminal: emulate the time of 11 bits per character,
                         and answer only a master whose port is set to B baud
  --parity P             none, even or odd (or n, e, o); device: the parity (default none, then with 2
                         stop bits); pseudo-terminal, which carries no parity: answer only a master whose
                         port has the stop bits that go with it (2 for none, 1 for even and odd)
  --echo                 return every byte the master sends at once, before any answer, as an RS-485
                         adapter with local echo does (the echo is not logged)
TCP (one master at a time; when it goes, the next is accepted; --baud adds no line time and --parity does
not apply):
  --tcp PORT             serve Modbus TCP: the MBAP header's unit id is the slave address, the reply
                         carries the request's transaction id and unit id and no CRC; PORT 0 picks a free one
  --rtu-tcp PORT         serve RTU frames, CRC and all, over TCP, as a serial gateway passes them on; a
                         request ends by its length, there is no silence between frames
  --any-unit             Modbus TCP: unit id 0 and 255 are answered by the first slave, as by a device
                         that ignores the unit id (without it 0 is a broadcast and 255 nobody's)
Transducers:
  --slave N              bus address (default 1); repeat it for several transducers on the line, each
                         with registers of its own seeded alike
  --definition FILE.dat  define and seed the registers of a device definition
  --registers START:COUNT  define a block of registers holding 0 (may be repeated)
  --value ADDR:TYPE:COUNT:TEXT  define registers and seed them with TEXT encoded by TYPE (may be repeated);
                         TYPE is a register's Type field: "F32 table=input order=CDAB", "BOOL table=coil",
                         "I16 scale=0.1 unit=°C" (TEXT then as the program shows it: -12,5)
  --wave ADDR:TYPE:COUNT:LOW:HIGH:SECONDS  define registers whose value follows a sine between LOW and HIGH
                         with a period of SECONDS, as a drifting measurement (may be repeated)
Faults:
  --silent-first N       ignore the first N requests
  --delay-ms M           answer M ms late
  --corrupt-crc N        corrupt the CRC of the Nth reply (not with --tcp: Modbus TCP has no CRC)
  --exception-at ADDR[:CODE]  answer exception CODE (default 4) to requests touching ADDR (may be repeated)
  --refuse-write ADDR[:CODE]  the same, but only for writes: reads of ADDR are answered (may be repeated)
  --split-reply          TCP: send every reply in three pieces (header, body, rest) 10 ms apart
  --close-after N        TCP: close the connection after answering N requests on it, then accept again
Other:
  --log FILE             write every request ("> 01 03 ...") and reply ("< 01 03 ...") as a line, as
                         it was on the line; lines starting with '#' say why a request got no answer
  --help                 show this text
Addresses not defined by --definition, --registers or --value answer exception 2.
)";

volatile sig_atomic_t stopRequested = 0;
void onStopSignal(int) {
  stopRequested = 1;
}

// Where the transducers are reached: a serial line (a pseudo-terminal or a device), or a TCP server.
enum class Serve { Line, ModbusTcp, RtuOverTcp };

struct Options {
  std::string link, device, definition, logPath;
  long baud = 0;
  char parity = 'n';
  bool parityGiven = false;
  std::vector<uint8_t> slaves;
  bool echo = false;
  long silentFirst = 0, delayMs = 0, corruptCrc = 0;
  Serve serve = Serve::Line;
  long tcpPort = 0;
  bool anyUnit = false, splitReply = false;
  long closeAfter = 0;
  struct Block {
    uint32_t start, count;
  };
  std::vector<Block> blocks;
  struct Value {
    uint32_t address, count;
    std::string type, text;
  };
  std::vector<Value> values;
  struct Wave {
    uint32_t address, count;
    std::string type;
    double low, high, seconds;
  };
  std::vector<Wave> waves;
  std::vector<ExceptionRule> exceptions;
};

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "velnorex-sim: %s\n", message.c_str());
  std::exit(2);
}

long parseNumber(const std::string& text, const char* what, long low, long high) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high)
    fail(std::string("bad ") + what + " '" + text + "'");
  return v;
}

Options parseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (arg == "--echo" || arg == "--any-unit" || arg == "--split-reply") {
      (arg == "--echo" ? o.echo : arg == "--any-unit" ? o.anyUnit : o.splitReply) = true;
      continue;
    }
    if (i + 1 >= argc) fail("option " + arg + " needs a value (see --help)");
    const std::string v = argv[++i];
    if (arg == "--link") {
      o.link = v;
    } else if (arg == "--device") {
      o.device = v;
    } else if (arg == "--baud") {
      o.baud = parseNumber(v, "baud rate", 1, 4000000);
    } else if (arg == "--parity") {
      o.parity = velnorex::ParseParity(v);
      if (!o.parity) fail("bad parity " + v + " (none, even or odd)");
      o.parityGiven = true;
    } else if (arg == "--slave") {
      const std::optional<int> parsed = velnorex::ParseSlaveAddress(v);
      if (!parsed) fail("bad slave address '" + v + "' (1 to 247)");
      const auto address = static_cast<uint8_t>(*parsed);
      if (std::find(o.slaves.begin(), o.slaves.end(), address) != o.slaves.end())
        fail("slave address " + v + " given twice");
      o.slaves.push_back(address);
    } else if (arg == "--definition") {
      o.definition = v;
    } else if (arg == "--registers") {
      const auto colon = v.find(':');
      if (colon == std::string::npos) fail("--registers wants START:COUNT");
      const long start = parseNumber(v.substr(0, colon), "register address", 0, 65535);
      const long count = parseNumber(v.substr(colon + 1), "register count", 1, 65536 - start);
      o.blocks.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(count)});
    } else if (arg == "--value") {
      // ADDR:TYPE:COUNT:TEXT; the text is the rest and may hold colons and commas.
      const auto c1 = v.find(':');
      const auto c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
      const auto c3 = c2 == std::string::npos ? c2 : v.find(':', c2 + 1);
      if (c3 == std::string::npos) fail("--value wants ADDR:TYPE:COUNT:TEXT");
      const long address = parseNumber(v.substr(0, c1), "register address", 0, 65535);
      const long count = parseNumber(v.substr(c2 + 1, c3 - c2 - 1), "register count", 1, 65536 - address);
      o.values.push_back({static_cast<uint32_t>(address), static_cast<uint32_t>(count),
                          v.substr(c1 + 1, c2 - c1 - 1), v.substr(c3 + 1)});
    } else if (arg == "--wave") {
      // ADDR:TYPE:COUNT:LOW:HIGH:SECONDS, the numbers with ',' or '.'.
      std::vector<std::string> parts;
      for (size_t from = 0;;) {
        const auto colon = v.find(':', from);
        parts.push_back(v.substr(from, colon == std::string::npos ? colon : colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
      }
      if (parts.size() != 6) fail("--wave wants ADDR:TYPE:COUNT:LOW:HIGH:SECONDS");
      const auto real = [](std::string text) {
        for (char& c : text)
          if (c == ',') c = '.';
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0') fail("bad number '" + text + "' in --wave");
        return d;
      };
      const long address = parseNumber(parts[0], "register address", 0, 65535);
      const long count = parseNumber(parts[2], "register count", 1, 65536 - address);
      const double seconds = real(parts[5]);
      if (!(seconds > 0)) fail("--wave wants a period above 0");
      o.waves.push_back({static_cast<uint32_t>(address), static_cast<uint32_t>(count), parts[1],
                         real(parts[3]), real(parts[4]), seconds});
    } else if (arg == "--silent-first") {
      o.silentFirst = parseNumber(v, "request count", 0, 1L << 30);
    } else if (arg == "--delay-ms") {
      o.delayMs = parseNumber(v, "delay", 0, 3600 * 1000);
    } else if (arg == "--corrupt-crc") {
      o.corruptCrc = parseNumber(v, "reply number", 1, 1L << 30);
    } else if (arg == "--exception-at" || arg == "--refuse-write") {
      const auto colon = v.find(':');
      ExceptionRule rule;
      rule.writesOnly = arg == "--refuse-write";
      rule.address = static_cast<uint16_t>(parseNumber(v.substr(0, colon), "register address", 0, 65535));
      if (colon != std::string::npos)
        rule.code = static_cast<uint8_t>(parseNumber(v.substr(colon + 1), "exception code", 1, 255));
      o.exceptions.push_back(rule);
    } else if (arg == "--log") {
      o.logPath = v;
    } else if (arg == "--tcp" || arg == "--rtu-tcp") {
      if (o.serve != Serve::Line) fail("--tcp and --rtu-tcp exclude each other");
      o.serve = arg == "--tcp" ? Serve::ModbusTcp : Serve::RtuOverTcp;
      o.tcpPort = parseNumber(v, "TCP port", 0, 65535);
    } else if (arg == "--close-after") {
      o.closeAfter = parseNumber(v, "request count", 1, 1L << 30);
    } else {
      fail("unknown option " + arg + " (see --help)");
    }
  }
  if (!o.device.empty() && !o.link.empty()) fail("--link and --device exclude each other");
  if (o.serve == Serve::Line) {
    if (o.anyUnit || o.splitReply || o.closeAfter)
      fail("--any-unit, --split-reply and --close-after need TCP");
  } else {
    if (!o.device.empty() || !o.link.empty() || o.echo)
      fail("--device, --link and --echo need a serial line");
    if (o.serve == Serve::ModbusTcp && o.corruptCrc) fail("--corrupt-crc: Modbus TCP carries no CRC");
    if (o.serve == Serve::RtuOverTcp && o.anyUnit) fail("--any-unit needs --tcp");
  }
  if (o.slaves.empty()) o.slaves.push_back(1);
  return o;
}

// The baud rate of a termios speed, 0 for one we do not know.
long baudOf(speed_t speed) {
  switch (speed) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

speed_t speedOf(long baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      fail("the device cannot be set to " + std::to_string(baud) + " baud");
  }
}

// The line: the descriptor we serve on, and for a pseudo-terminal its slave side, held open so that a master
// closing and reopening the port does not hang up our end.
struct Line {
  int fd = -1;
  int keepAlive = -1;
  std::string path;
};

Line openPseudoTerminal() {
  Line line;
  line.fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (line.fd < 0 || grantpt(line.fd) != 0 || unlockpt(line.fd) != 0)
    fail(std::string("no pseudo-terminal: ") + std::strerror(errno));
  const char* name = ptsname(line.fd);
  if (!name) fail("no pseudo-terminal name");
  line.path = name;
  line.keepAlive = ::open(name, O_RDWR | O_NOCTTY);
  if (line.keepAlive < 0) fail("cannot open " + line.path + ": " + std::strerror(errno));
  termios tio{};
  tcgetattr(line.keepAlive, &tio);
  cfmakeraw(&tio);
  tcsetattr(line.keepAlive, TCSANOW, &tio);
  return line;
}

Line openDevice(const Options& o) {
  Line line;
  line.path = o.device;
  line.fd = ::open(o.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (line.fd < 0) fail("cannot open " + o.device + ": " + std::strerror(errno));
  termios tio{};
  if (tcgetattr(line.fd, &tio) != 0) fail(o.device + " is not a serial device");
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(PARENB | PARODD | CSTOPB);
  if (o.parity == 'e') tio.c_cflag |= PARENB;
  if (o.parity == 'o') tio.c_cflag |= PARENB | PARODD;
  if (o.parity == 'n') tio.c_cflag |= CSTOPB;
  if (o.baud > 0) {
    cfsetispeed(&tio, speedOf(o.baud));
    cfsetospeed(&tio, speedOf(o.baud));
  }
  if (tcsetattr(line.fd, TCSANOW, &tio) != 0) fail("cannot set up " + o.device + ": " + std::strerror(errno));
  tcflush(line.fd, TCIOFLUSH);
  return line;
}

using Clock = timespec;

Clock now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t;
}

Clock plusNs(Clock t, long long ns) {
  long long total = t.tv_nsec + ns;
  t.tv_sec += static_cast<time_t>(total / 1000000000LL);
  t.tv_nsec = static_cast<long>(total % 1000000000LL);
  if (t.tv_nsec < 0) t.tv_nsec += 1000000000L, t.tv_sec -= 1;
  return t;
}

long long nsBetween(Clock a, Clock b) {
  return (static_cast<long long>(b.tv_sec) - a.tv_sec) * 1000000000LL + (b.tv_nsec - a.tv_nsec);
}

void sleepUntil(Clock t) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR && !stopRequested) {
  }
}

class Log {
 public:
  explicit Log(const std::string& path) {
    if (!path.empty()) {
      file_ = std::fopen(path.c_str(), "w");
      if (!file_) fail("cannot write " + path + ": " + std::strerror(errno));
    }
  }
  ~Log() {
    if (file_) std::fclose(file_);
  }
  void frame(char direction, const uint8_t* bytes, size_t count) {
    if (!file_) return;
    std::fputc(direction, file_);
    for (size_t i = 0; i < count; ++i) std::fprintf(file_, " %02X", bytes[i]);
    std::fputc('\n', file_);
    std::fflush(file_);
  }
  // Lines that are neither request nor reply start with '#'.
  void note(const char* text) {
    if (!file_) return;
    std::fprintf(file_, "# %s\n", text);
    std::fflush(file_);
  }

 private:
  std::FILE* file_ = nullptr;
};

void writeAll(int fd, const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count && !stopRequested) {
    const ssize_t n = ::write(fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 10);
    } else {
      return;  // the master went away; the reply is lost as on a dead line
    }
  }
}

// The loopback socket a TCP server listens on; PORT 0 takes a free one, `bound` says which.
int listenOnLoopback(long port, uint16_t& bound) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) fail(std::string("socket: ") + std::strerror(errno));
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0)
    fail("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  bound = ntohs(address.sin_port);
  return fd;
}

class Simulator {
 public:
  // Serves `line`, or with TCP the masters that connect to `listening`.
  Simulator(const Options& o, Line line, int listening, Bus& bus, Log& log)
      : o_(o), line_(std::move(line)), listening_(listening), bus_(bus), log_(log) {
    fd_ = line_.fd;
    // On a pseudo-terminal the master's own port setting is what a transducer at another setting would fail
    // to understand; a real device's line garbles such frames by itself, and TCP has no line setting.
    if (o.device.empty() && o.serve == Serve::Line) {
      own_.baud = o.baud;
      if (o.parityGiven) own_.stopBits = o.parity == 'n' ? 2 : 1;
    }
    // On a pseudo-terminal the line time is ours to add; a real device's line takes it by itself.
    if (o.baud > 0 && o.device.empty() && o.serve == Serve::Line) byteNs_ = 11LL * 1000000000LL / o.baud;
    // A partial frame is given up after a silence of 3.5 characters, and never sooner than 5 ms: the pty
    // delivers a master's write at once, but a scheduler pause can split it.
    gapNs_ = 5000000LL;
    if (o.baud > 0) gapNs_ = std::max(gapNs_, 385LL * 100000000LL / o.baud);
  }

  void run() {
    sigset_t unblocked;
    sigemptyset(&unblocked);
    while (!stopRequested) {
      const bool accepting = fd_ < 0;
      pollfd p{accepting ? listening_ : fd_, POLLIN, 0};
      timespec timeout{};
      timespec* timeoutPtr = nullptr;
      if (!accepting && waitsForGap()) {
        const long long left = gapNs_ - nsBetween(lastByte_, now());
        timeout = plusNs(Clock{}, std::max(0LL, left));
        timeoutPtr = &timeout;
      }
      const int r = ppoll(&p, 1, timeoutPtr, &unblocked);
      if (r < 0) {
        if (errno == EINTR) continue;
        fail(std::string("poll: ") + std::strerror(errno));
      }
      if (r == 0) {
        onGap();
        continue;
      }
      if (accepting) {
        accept();
      } else if (p.revents & POLLIN) {
        receive();
      } else if (p.revents & (POLLHUP | POLLERR)) {
        if (o_.serve != Serve::Line) {
          hangUp("the connection broke");
          continue;
        }
        // No master holds the line (possible only for a device); wait for one without spinning.
        Clock t = plusNs(now(), 20000000LL);
        sleepUntil(t);
      }
    }
    if (o_.serve != Serve::Line && fd_ >= 0) ::close(fd_);
  }

 private:
  void accept() {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd =
        ::accept4(listening_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // the master gave up before we took it
    // Each piece of a split reply must leave as a segment of its own.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    fd_ = fd;
    count_ = 0;
    skipping_ = false;
    answered_ = 0;
    char text[64];
    std::snprintf(text, sizeof text, "connection from %s:%u", inet_ntoa(peer.sin_addr), ntohs(peer.sin_port));
    log_.note(text);
  }

  // The master is gone, or we send it away: whatever it had sent is dropped, and the next one is accepted.
  void hangUp(const char* why) {
    ::close(fd_);
    fd_ = -1;
    count_ = 0;
    skipping_ = false;
    log_.note(why);
  }

  // A serial line ends a frame by silence; RTU over TCP only one whose length its function does not tell,
  // and a burst too long for any frame; Modbus TCP frames by its header alone.
  bool waitsForGap() const {
    switch (o_.serve) {
      case Serve::Line:
        return count_ > 0 || skipping_;
      case Serve::RtuOverTcp:
        return skipping_ || (count_ > 0 && RequestLength(buffer_, count_) == kUnknownLength);
      case Serve::ModbusTcp:
        break;
    }
    return false;
  }

  void receive() {
    const size_t room = sizeof buffer_ - count_;
    const ssize_t n = ::read(fd_, buffer_ + count_, room);
    if (n == 0 || (n < 0 && o_.serve != Serve::Line && errno != EAGAIN && errno != EINTR)) {
      if (o_.serve != Serve::Line) hangUp("the master closed the connection");
      return;
    }
    if (n < 0) return;
    // The adapter hears the master's own bytes as they go out, garbled ones and other slaves' included.
    if (o_.echo) writeAll(fd_, buffer_ + count_, static_cast<size_t>(n));
    const Clock t = now();
    if (count_ == 0) frameStart_ = t;
    lastByte_ = t;
    if (skipping_) {
      count_ = 0;  // the rest of a garbled burst; dropped until the line falls silent
      return;
    }
    count_ += static_cast<size_t>(n);
    if (o_.serve == Serve::ModbusTcp) {
      receiveMbap();
      return;
    }
    while (count_ > 0) {
      const size_t need = RequestLength(buffer_, count_);
      if (need == 0 || need == kUnknownLength || need > count_) break;
      process(need);
    }
    if (count_ == sizeof buffer_) {
      log_.note("dropped a burst that is no frame");
      count_ = 0;
      skipping_ = true;
    }
  }

  void receiveMbap() {
    while (count_ > 0 && fd_ >= 0) {
      MbapHeader header;
      size_t length = 0;
      const MbapFraming framing = FrameMbap(buffer_, count_, header, length);
      if (framing == MbapFraming::NeedMore) return;
      if (framing == MbapFraming::BadLength) {
        log_.frame('>', buffer_, count_);
        hangUp("a length out of range in the MBAP header: connection closed");
        return;
      }
      processMbap(header, length);
    }
  }

  void onGap() {
    skipping_ = false;
    if (count_ == 0) return;
    // A function whose length we do not know ends with the silence; anything else is a torn frame, which
    // only a serial line gives up on: over TCP the rest of it is still on its way.
    if (RequestLength(buffer_, count_) == kUnknownLength) {
      process(count_);
    } else if (o_.serve == Serve::Line) {
      log_.note("dropped an incomplete frame");
      log_.frame('>', buffer_, count_);
    } else {
      return;
    }
    count_ = 0;
  }

  // The setting the master gave its end of the pseudo-terminal, as the slave side's termios carries it.
  LineSetting masterSetting() const {
    termios tio{};
    if (tcgetattr(line_.fd, &tio) != 0) return {};
    return {baudOf(cfgetospeed(&tio)), (tio.c_cflag & CSTOPB) ? 2 : 1};
  }

  // The drifting registers take the value of this moment.
  void updateWaves() {
    if (o_.waves.empty()) return;
    const double t = static_cast<double>(nsBetween(started_, now())) / 1e9;
    for (const auto& wave : o_.waves) {
      const double value =
          wave.low + (wave.high - wave.low) * (0.5 + 0.5 * std::sin(2 * 3.14159265358979 * t / wave.seconds));
      const velnorex::RegisterFormat format = velnorex::RegisterFormatOf(velnorex::FromUtf8(wave.type));
      const velnorex::RegisterTypeInfo* type = velnorex::RegisterTypeOf(format.type);
      const bool integral = type && type->kind == velnorex::ValueKind::Integer && !format.meaning.scaled();
      velnorex::RegisterTable table = velnorex::RegisterTable::Holding;
      const auto words = EncodeFieldValue(velnorex::FromUtf8(wave.type), wave.count,
                                          velnorex::FormatFloat(value, integral ? 0 : 4), table);
      for (size_t i = 0; i < words.size(); ++i)
        for (const uint8_t address : o_.slaves)
          bus_.registers(address)->set(static_cast<uint16_t>(wave.address + i), words[i], table);
    }
  }

  // What follows a request in the buffer belongs to a later one.
  void consume(size_t length) {
    std::memmove(buffer_, buffer_ + length, count_ - length);
    count_ -= length;
    frameStart_ = now();
  }

  // Whether a request that got an answer from a slave is answered; it counts towards --silent-first.
  bool answers() {
    ++requests_;
    if (requests_ <= o_.silentFirst) {
      log_.note("silent as asked");
      return false;
    }
    ++replies_;
    return true;
  }

  // Logs why a slave's verdict brings no answer; true when it does bring one.
  bool replied(RtuSlave::Outcome outcome) {
    switch (outcome) {
      case RtuSlave::Outcome::BadCrc:
        log_.note(o_.serve == Serve::ModbusTcp ? "malformed request: no answer" : "bad CRC: no answer");
        return false;
      case RtuSlave::Outcome::ForeignSlave:
        log_.note("another slave's request: no answer");
        return false;
      case RtuSlave::Outcome::Broadcast:
        log_.note("broadcast: carried out, no answer");
        return false;
      case RtuSlave::Outcome::Reply:
        break;
    }
    return true;
  }

  void process(size_t length) {
    log_.frame('>', buffer_, length);
    updateWaves();
    size_t replyLength = 0;
    const LineSetting master = o_.serve == Serve::Line ? masterSetting() : LineSetting{};
    const bool heard = Hears(own_, master);
    const auto outcome = heard ? bus_.handle(buffer_, length, reply_, replyLength) : RtuSlave::Outcome::Reply;
    const Clock started = frameStart_;
    consume(length);
    if (!heard) {
      const std::string why = "the master's line is " + std::to_string(master.baud) + " baud, " +
                              std::to_string(master.stopBits) + " stop bits: not understood, no answer";
      log_.note(why.c_str());
      return;
    }
    if (!replied(outcome)) {
      // A line resynchronises on the silence after a garbled burst; over TCP the frame's length already
      // told where the next request starts.
      if (outcome == RtuSlave::Outcome::BadCrc && o_.serve == Serve::Line) {
        count_ = 0;
        skipping_ = true;
      }
      return;
    }
    if (!answers()) return;
    if (replies_ == o_.corruptCrc) reply_[replyLength - 1] ^= 0x5A;
    // A gateway's reply is the RTU frame; its header is address and function.
    answer(started, length, reply_, replyLength, 2);
  }

  void processMbap(const MbapHeader& header, size_t length) {
    log_.frame('>', buffer_, length);
    updateWaves();
    const Clock started = frameStart_;
    if (header.protocol != 0) {
      consume(length);
      log_.note("protocol id is not 0 (no Modbus): no answer");
      return;
    }
    // A device that ignores the unit id answers the ids that name no slave of a line.
    uint8_t address = header.unit;
    if (o_.anyUnit && (address == 0 || address == 255)) address = o_.slaves.front();
    uint8_t rtu[kMbapMaxLength + 2];
    const size_t rtuLength = RtuFromMbap(buffer_, length, address, rtu);
    consume(length);
    size_t replyLength = 0;
    const auto outcome = bus_.handle(rtu, rtuLength, reply_, replyLength);
    if (!replied(outcome) || !answers()) return;
    uint8_t reply[kMbapHeader + sizeof reply_];
    const size_t tcpLength = MbapFromRtu(header, reply_, replyLength, reply);
    answer(started, length, reply, tcpLength, kMbapHeader);
  }

  void answer(Clock requestStart, size_t requestLength, const uint8_t* reply, size_t replyLength,
              size_t headerLength) {
    // The request's last byte arrives requestLength character times after its first; the slave knows the
    // frame ended after 3.5 more; then the reply leaves one character time per byte.
    Clock t = plusNs(requestStart, byteNs_ * static_cast<long long>(requestLength) + byteNs_ * 35 / 10);
    t = plusNs(t, o_.delayMs * 1000000LL);
    if (o_.splitReply) {
      // Header, the first half of the rest, the other half: each piece a segment of its own on the wire.
      if (o_.delayMs > 0) sleepUntil(t);
      const size_t middle = headerLength + (replyLength - headerLength) / 2;
      writeAll(fd_, reply, headerLength);
      sleepUntil(plusNs(now(), kSplitPauseNs));
      writeAll(fd_, reply + headerLength, middle - headerLength);
      sleepUntil(plusNs(now(), kSplitPauseNs));
      writeAll(fd_, reply + middle, replyLength - middle);
    } else if (byteNs_ == 0) {
      if (o_.delayMs > 0) sleepUntil(t);
      writeAll(fd_, reply, replyLength);
    } else {
      for (size_t i = 0; i < replyLength && !stopRequested; ++i) {
        t = plusNs(t, byteNs_);
        sleepUntil(t);
        writeAll(fd_, reply + i, 1);
      }
    }
    log_.frame('<', reply, replyLength);
    if (o_.closeAfter > 0 && ++answered_ >= o_.closeAfter) hangUp("closed the connection as asked");
  }

  static constexpr long long kSplitPauseNs = 10000000LL;

  const Options& o_;
  Line line_;
  // The socket a TCP server accepts on (-1 on a line), and the descriptor requests come in on: the line,
  // or the connected master (-1 while there is none).
  int listening_ = -1;
  int fd_ = -1;
  Bus& bus_;
  const Clock started_ = now();
  Log& log_;
  LineSetting own_;
  long long byteNs_ = 0;
  long long gapNs_ = 0;
  uint8_t buffer_[512] = {};
  size_t count_ = 0;
  bool skipping_ = false;
  Clock frameStart_{}, lastByte_{};
  uint8_t reply_[RtuSlave::kMaxFrame + 8] = {};
  long requests_ = 0, replies_ = 0;
  // Replies sent on the present connection.
  long answered_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const Options o = parseOptions(argc, argv);

  static RegisterMap registers;
  try {
    if (!o.definition.empty()) SeedFromDefinition(registers, o.definition);
  } catch (const std::exception& e) {
    fail(o.definition + ": " + e.what());
  }
  for (const auto& b : o.blocks) registers.define(b.start, b.count);
  for (const auto& w : o.waves)
    registers.define(w.address, w.count, velnorex::RegisterFormatOf(velnorex::FromUtf8(w.type)).table);
  for (const auto& v : o.values) {
    velnorex::RegisterTable table = velnorex::RegisterTable::Holding;
    const auto words =
        EncodeFieldValue(velnorex::FromUtf8(v.type), v.count, velnorex::FromUtf8(v.text), table);
    registers.define(v.address, v.count, table);
    for (size_t i = 0; i < words.size(); ++i)
      registers.set(static_cast<uint16_t>(v.address + i), words[i], table);
  }
  Bus bus(registers, o.slaves, o.exceptions);

  // The stop signals are let through only while waiting for the line, so a reply is never cut in half.
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  sigprocmask(SIG_BLOCK, &stops, nullptr);

  Log log(o.logPath);
  Line line;
  int listening = -1;
  if (o.serve != Serve::Line) {
    uint16_t port = 0;
    listening = listenOnLoopback(o.tcpPort, port);
    line.path =
        (o.serve == Serve::ModbusTcp ? "tcp://127.0.0.1:" : "rtu+tcp://127.0.0.1:") + std::to_string(port);
  } else {
    line = o.device.empty() ? openPseudoTerminal() : openDevice(o);
  }
  if (!o.link.empty()) {
    ::unlink(o.link.c_str());
    if (::symlink(line.path.c_str(), o.link.c_str()) != 0)
      fail("cannot link " + o.link + ": " + std::strerror(errno));
  }
  std::printf("%s\n", line.path.c_str());
  std::fflush(stdout);

  {
    Simulator sim(o, line, listening, bus, log);
    sim.run();
  }
  if (!o.link.empty()) ::unlink(o.link.c_str());
  if (line.keepAlive >= 0) ::close(line.keepAlive);
  if (line.fd >= 0) ::close(line.fd);
  if (listening >= 0) ::close(listening);
  return 0;
}
