// Child processes that serve a Modbus line for tests: the simulator, and pymodbus behind a socat pty pair or
// on a TCP port of its own.
#include "tests/support/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace velnorex::test {

namespace {

using namespace std::chrono_literals;

std::string environmentOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

std::string makeTempDir(const char* prefix) {
  std::string pattern = environmentOr("TMPDIR", "/tmp") + "/" + prefix + "-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  return pattern;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Starts `argv` with stdout into a pipe (returned in `stdoutFd`, -1 for none) and stderr into `stderrPath`.
// The child gets SIGTERM when the test program dies, so a crashed test leaves no peer behind.
pid_t spawn(const std::vector<std::string>& argv, int* stdoutFd, const std::string& stderrPath) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int out[2] = {-1, -1};
  if (stdoutFd && ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec: the test program may have threads.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    if (stdoutFd) ::dup2(out[1], STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  if (err >= 0) ::close(err);
  if (stdoutFd) {
    ::close(out[1]);
    *stdoutFd = out[0];
  }
  if (pid < 0) {
    if (stdoutFd) ::close(out[0]);
    throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  }
  return pid;
}

// The first line the child prints, or empty when it ends or stays silent for `timeout`.
std::string readFirstLine(int fd, std::chrono::milliseconds timeout) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) return {};
    if (c == '\n') return line;
    line.push_back(c);
  }
}

// SIGTERM, a wait of up to 5 s, then SIGKILL. True when the child ended by itself with status 0.
bool terminate(pid_t pid) {
  if (pid <= 0) return false;
  ::kill(pid, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (r < 0) return false;
    std::this_thread::sleep_for(10ms);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return false;
}

std::vector<WireFrame> parseLog(std::string text) {
  // A line being written has no newline yet: it is left for the next look.
  text.erase(text.find_last_of('\n') == std::string::npos ? 0 : text.find_last_of('\n') + 1);
  std::vector<WireFrame> frames;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    // Notes start with '#'.
    if (line.empty() || (line[0] != '>' && line[0] != '<')) continue;
    WireFrame f;
    f.direction = line[0];
    std::istringstream bytes(line.substr(1));
    std::string hex;
    while (bytes >> hex) f.bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
    frames.push_back(std::move(f));
  }
  return frames;
}

// The option that makes a peer serve `link` on a free port.
std::vector<std::string> TcpOption(PeerLink link) {
  if (link == PeerLink::ModbusTcp) return {"--tcp", "0"};
  if (link == PeerLink::RtuOverTcp) return {"--rtu-tcp", "0"};
  return {};
}

}  // namespace

int TcpPortOf(const std::string& address) {
  if (address.rfind("tcp://", 0) != 0 && address.rfind("rtu+tcp://", 0) != 0) return 0;
  const auto colon = address.rfind(':');
  const int port = std::atoi(address.c_str() + colon + 1);
  return port > 0 && port <= 65535 ? port : 0;
}

std::string BinDir() {
  return environmentOr("VELNOREX_BIN_DIR", VELNOREX_DEFAULT_BIN_DIR);
}

SimulatorProcess::SimulatorProcess(PeerLink link, std::vector<std::string> args)
    : SimulatorProcess([&] {
        std::vector<std::string> all = TcpOption(link);
        all.insert(all.end(), args.begin(), args.end());
        return all;
      }()) {}

SimulatorProcess::SimulatorProcess(std::vector<std::string> args) {
  const std::string bin = BinDir();
  dir_ = makeTempDir("velnorex-sim");
  logPath_ = dir_ + "/wire.log";
  std::vector<std::string> argv{bin + "/velnorex-sim", "--log", logPath_};
  argv.insert(argv.end(), args.begin(), args.end());
  int out = -1;
  pid_ = spawn(argv, &out, dir_ + "/stderr.txt");
  path_ = readFirstLine(out, 10s);
  ::close(out);
  if (path_.empty()) {
    terminate(pid_);
    pid_ = -1;
    const std::string why = readFile(dir_ + "/stderr.txt");
    std::filesystem::remove_all(dir_);
    throw std::runtime_error("velnorex-sim did not start: " + why);
  }
  // With --link the link is the port to open; the simulator made it before it printed its line.
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "--link") path_ = args[i + 1];
}

SimulatorProcess::~SimulatorProcess() {
  stop();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

bool SimulatorProcess::stop() {
  const bool clean = terminate(pid_);
  pid_ = -1;
  return clean;
}

std::vector<WireFrame> SimulatorProcess::logLines() const {
  return parseLog(readFile(logPath_));
}

std::vector<WireFrame> SimulatorProcess::waitForLogLines(size_t count,
                                                         std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto frames = logLines();
  while (frames.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
    frames = logLines();
  }
  return frames;
}

std::string PymodbusPeer::unavailableReason(PeerLink link) {
  if (link != PeerLink::Pty) {
    static const std::string tcpReason = [] {
      if (::access("/usr/bin/python3", X_OK) != 0) return std::string("/usr/bin/python3 is not installed");
      if (std::system("/usr/bin/python3 -c 'import pymodbus.server' >/dev/null 2>&1") != 0)
        return std::string("/usr/bin/python3 cannot import pymodbus (install python3-pymodbus)");
      return std::string();
    }();
    return tcpReason;
  }
  static const std::string reason = [] {
    if (::access("/usr/bin/python3", X_OK) != 0) return std::string("/usr/bin/python3 is not installed");
    if (std::system("/usr/bin/python3 -c 'import pymodbus.server, serial_asyncio' >/dev/null 2>&1") != 0)
      return std::string(
          "/usr/bin/python3 cannot import pymodbus and serial_asyncio (install python3-pymodbus "
          "python3-serial-asyncio)");
    if (std::system("command -v socat >/dev/null 2>&1") != 0) return std::string("socat is not installed");
    return std::string();
  }();
  return reason;
}

PymodbusPeer::PymodbusPeer(const Options& options) {
  const std::string source = environmentOr("VELNOREX_SOURCE_DIR", VELNOREX_DEFAULT_SOURCE_DIR);
  dir_ = makeTempDir("velnorex-peer");
  const bool tcp = options.link != PeerLink::Pty;
  if (!tcp) openPtyPair();
  std::vector<std::string> argv{"/usr/bin/python3", source + "/tests/interop/pymodbus_slave.py"};
  if (tcp) {
    const auto where = TcpOption(options.link);
    argv.insert(argv.end(), where.begin(), where.end());
  } else {
    argv.insert(argv.end(), {"--port", peerPath_});
  }
  argv.insert(argv.end(), {"--slave", std::to_string(options.slave), "--size", std::to_string(options.size),
                           "--dump", dir_ + "/holding.txt", "--writes", dir_ + "/writes.txt"});
  const auto setAll = [&argv](const char* option, const auto& values) {
    for (const auto& [address, words] : values) {
      std::string set = std::to_string(address) + "=";
      for (size_t i = 0; i < words.size(); ++i) set += (i ? "," : "") + std::to_string(words[i]);
      argv.push_back(option);
      argv.push_back(set);
    }
  };
  setAll("--set", options.values);
  setAll("--set-input", options.inputs);
  setAll("--set-coil", options.coils);
  setAll("--set-discrete", options.discretes);
  int out = -1;
  python_ = spawn(argv, &out, dir_ + "/python.txt");
  // pymodbus takes about a second to import; it says "ready" once its port is open, or over TCP prints the
  // address it listens on.
  const std::string line = readFirstLine(out, 30s);
  ::close(out);
  if (tcp ? TcpPortOf(line) == 0 : line.rfind("ready", 0) != 0) {
    kill(python_);
    kill(socat_);
    const std::string why = readFile(dir_ + "/python.txt");
    std::filesystem::remove_all(dir_);
    throw std::runtime_error("the pymodbus peer did not start: " + why);
  }
  if (tcp) masterPath_ = line;
}

void PymodbusPeer::openPtyPair() {
  masterPath_ = dir_ + "/master";
  peerPath_ = dir_ + "/peer";
  socat_ =
      spawn({"socat", "-d", "-d", "pty,raw,echo=0,link=" + peerPath_, "pty,raw,echo=0,link=" + masterPath_},
            nullptr, dir_ + "/socat.txt");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  struct stat st {};
  while ((::stat(peerPath_.c_str(), &st) != 0 || ::stat(masterPath_.c_str(), &st) != 0) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  if (::stat(peerPath_.c_str(), &st) != 0 || ::stat(masterPath_.c_str(), &st) != 0) {
    kill(socat_);
    const std::string why = readFile(dir_ + "/socat.txt");
    std::filesystem::remove_all(dir_);
    throw std::runtime_error("socat made no pty pair: " + why);
  }
}

PymodbusPeer::~PymodbusPeer() {
  kill(python_);
  kill(socat_);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void PymodbusPeer::kill(pid_t& pid) {
  terminate(pid);
  pid = -1;
}

std::vector<uint16_t> PymodbusPeer::holding() const {
  std::vector<uint16_t> values;
  std::istringstream in(readFile(dir_ + "/holding.txt"));
  unsigned long v = 0;
  while (in >> v) values.push_back(static_cast<uint16_t>(v));
  return values;
}

std::vector<std::vector<uint16_t>> PymodbusPeer::writes() const {
  std::vector<std::vector<uint16_t>> result;
  std::istringstream lines(readFile(dir_ + "/writes.txt"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::vector<uint16_t> w;
    unsigned long v = 0;
    while (in >> v) w.push_back(static_cast<uint16_t>(v));
    if (!w.empty()) result.push_back(std::move(w));
  }
  return result;
}

}  // namespace velnorex::test
