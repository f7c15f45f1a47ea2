// velnorex-scan: finds the transducers on a line, their addresses and line settings, with the search of the
// program's "Szukaj…" dialog. Results go to standard output, progress to standard error.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QCoreApplication>

#include "modbus/bus.h"
#include "modbus/line_search.h"
#include "modbus/link_device.h"
#include "serial/link_address.h"
#include "serial/serial.h"
#include "text/line_words.h"

namespace {

using namespace velnorex;

constexpr int kFound = 0, kNothing = 1, kUnusable = 2;

constexpr const char* kUsage = R"(usage: velnorex-scan --port PATH [options]

Searches a Modbus RTU line for transducers: for each baud rate and parity, every address of the range gets
one probe that changes nothing (a read of one register, or a diagnostics echo). Nothing is ever written and
the broadcast address 0 is never used.

  --port PATH            the serial port (a name such as ttyUSB0 means /dev/ttyUSB0), or a network link:
                         tcp://HOST:PORT (Modbus TCP; unit ids 1-247, then 255 for a device that
                         ignores the unit id) or rtu+tcp://HOST:PORT (RTU frames through a gateway);
                         --baud and --parity do not apply to a network link and are ignored
  --baud LIST            baud rates, comma-separated (default 9600,19200)
  --parity LIST          parities out of none, even, odd, or n, e, o (default none,even,odd); none goes
                         with 2 stop bits, even and odd with 1
  --from N, --to N       the address range, 1 to 247 (default 1 and 247)
  --probe read:REG|input:REG|echo  function 3 reading register REG (default read:0), function 4 reading
                         input register REG, or function 8 sub-function 0
  --budget-ms MS         how long a transducer is given to begin its answer after the request (default 30)
  --json                 print the results as one JSON array at the end
  --help                 show this text

Each result is a line "ADDRESS<tab>BAUD<tab>PARITY<tab>REPLY<tab>MS ms", REPLY being "value N",
"exception N" or "echo", for unit id 255 with the words any unit id in brackets after it; with --json an
array of objects with address, baud, parity, reply and ms. On a network link BAUD and PARITY are "-"
(null in the JSON).
Progress goes to standard error, a line per line setting. Ctrl+C stops the search and prints what was found.

Exit status: 0 something answered, 1 nothing answered, 2 wrong arguments or a port that cannot be opened.
)";

volatile sig_atomic_t interrupted = 0;
void onInterrupt(int) {
  interrupted = 1;
}

struct Arguments {
  SearchPlan plan;
  bool json = false;
};

struct UsageError {
  std::string complaint;
};

std::vector<std::string> splitList(std::string_view text) {
  std::vector<std::string> items;
  for (;;) {
    const size_t comma = text.find(',');
    items.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    text.remove_prefix(comma + 1);
  }
}

long number(const std::string& text, const char* what, long low, long high) {
  bool digits = !text.empty();
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  errno = 0;
  const long value = digits ? std::strtol(text.c_str(), nullptr, 10) : 0;
  if (!digits || errno != 0 || value < low || value > high)
    throw UsageError{std::string("bad ") + what + " \"" + text + "\""};
  return value;
}

Arguments parse(int argc, char** argv) {
  Arguments a;
  std::vector<int32_t> bauds{9600, 19200};
  std::vector<char> parities{'n', 'e', 'o'};
  std::string port;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(kFound);
    }
    if (option == "--json") {
      a.json = true;
      continue;
    }
    if (i + 1 >= argc) throw UsageError{option + " needs a value"};
    const std::string value = argv[++i];
    if (option == "--port") {
      port = value;
    } else if (option == "--baud") {
      bauds.clear();
      for (const auto& item : splitList(value))
        bauds.push_back(static_cast<int32_t>(number(item, "baud rate", 1, 4000000)));
    } else if (option == "--parity") {
      parities.clear();
      for (const auto& item : splitList(value)) {
        const char parity = ParseParity(item);
        if (!parity) throw UsageError{"bad parity \"" + item + "\" (none, even or odd)"};
        parities.push_back(parity);
      }
    } else if (option == "--from" || option == "--to") {
      const std::optional<int> address = ParseSlaveAddress(value);
      if (!address) throw UsageError{"bad address \"" + value + "\" (1 to 247)"};
      (option == "--from" ? a.plan.firstAddress : a.plan.lastAddress) = *address;
    } else if (option == "--probe") {
      if (value == "echo") {
        a.plan.probe = ProbeKind::Echo;
      } else if (value == "read" || value.rfind("read:", 0) == 0) {
        a.plan.probe = ProbeKind::ReadRegister;
        a.plan.probeRegister =
            value == "read" ? 0 : static_cast<uint16_t>(number(value.substr(5), "register", 0, 65535));
      } else if (value == "input" || value.rfind("input:", 0) == 0) {
        a.plan.probe = ProbeKind::ReadInput;
        a.plan.probeRegister =
            value == "input" ? 0 : static_cast<uint16_t>(number(value.substr(6), "register", 0, 65535));
      } else {
        throw UsageError{"bad probe \"" + value + "\" (read:REGISTER, input:REGISTER or echo)"};
      }
    } else if (option == "--budget-ms") {
      a.plan.budgetMs = static_cast<int>(number(value, "reply budget", 0, 60000));
    } else {
      throw UsageError{"unknown option " + option};
    }
  }
  if (port.empty()) throw UsageError{"--port is missing"};
  if (a.plan.firstAddress > a.plan.lastAddress) throw UsageError{"--from is above --to"};
  a.plan.portPath = Serial::PathForPortName(QString::fromStdString(port));
  // Every parity at one baud rate before the next baud rate: a transducer's parity is the likelier guess
  // to be wrong, and a refused baud rate then shows as one block.
  for (const int32_t baud : bauds)
    for (const char parity : parities) a.plan.settings.push_back({baud, parity});
  if (const std::string problem = CheckPlan(a.plan); !problem.empty()) throw UsageError{problem};
  return a;
}

std::string settingText(const SearchSetting& s) {
  return std::to_string(s.baudRate) + " " + ParityName(s.parity);
}

// A Modbus TCP device that answered unit id 255 answers whatever unit id it is sent.
std::string hitReplyText(const SearchHit& hit) {
  return ReplyText(hit) + (hit.anyUnit() ? " (any unit id)" : "");
}

// A network link has no baud rate or parity: "-" in the lines, null in the JSON.
void printHit(const SearchHit& hit, bool network) {
  const std::string baud = network ? "-" : std::to_string(hit.setting.baudRate);
  std::printf("%d\t%s\t%s\t%s\t%.1f ms\n", hit.address, baud.c_str(),
              network ? "-" : ParityName(hit.setting.parity), hitReplyText(hit).c_str(), hit.ms);
  std::fflush(stdout);
}

void printJson(const std::vector<SearchHit>& hits, bool network) {
  std::printf("[");
  for (size_t i = 0; i < hits.size(); ++i) {
    const SearchHit& h = hits[i];
    const std::string baud = network ? "null" : std::to_string(h.setting.baudRate);
    const std::string parity = network ? "null" : std::string("\"") + ParityName(h.setting.parity) + "\"";
    std::printf("%s\n  {\"address\": %d, \"baud\": %s, \"parity\": %s, \"reply\": \"%s\", \"ms\": %.1f}",
                i ? "," : "", h.address, baud.c_str(), parity.c_str(), hitReplyText(h).c_str(), h.ms);
  }
  std::printf(hits.empty() ? "]\n" : "\n]\n");
  std::fflush(stdout);
}

int percent(const SearchProgress& p) {
  return p.total > 0 ? static_cast<int>(100LL * p.done / p.total) : 100;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  try {
    args = parse(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "velnorex-scan: %s (see --help)\n", e.complaint.c_str());
    return kUnusable;
  }
  // QSerialPort wants an application object, though it is used synchronously here.
  QCoreApplication app(argc, argv);
  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  ToolWindow window("velnorex-scan");
  Bus bus(std::make_unique<LinkDevice>(), window, Bus::Setup::WithoutMonitor());
  LineSearch search(bus, args.plan);
  const bool network = IsNetworkAddress(args.plan.portPath);
  if (!search.start()) {
    std::fprintf(stderr, "velnorex-scan: the search cannot start\n");
    return kUnusable;
  }
  const auto& settings = search.plan().settings;
  size_t shownHits = 0, refusedShown = 0;
  int announced = -1;
  const auto report = [&] {
    const SearchProgress p = search.progress();
    for (; refusedShown < search.refusedSettings().size(); ++refusedShown)
      std::fprintf(stderr, "velnorex-scan: %s: the port cannot be opened with this setting\n",
                   settingText(search.refusedSettings()[refusedShown]).c_str());
    if (p.setting != announced && p.setting < static_cast<int>(settings.size())) {
      announced = p.setting;
      std::fprintf(stderr, "velnorex-scan: %s: %d %% done, %zu found\n",
                   settingText(settings[p.setting]).c_str(), percent(p), search.hits().size());
    }
    if (!args.json)
      for (; shownHits < search.hits().size(); ++shownHits) printHit(search.hits()[shownHits], network);
  };
  report();
  search.run([&] {
    report();
    return interrupted == 0;
  });
  report();

  const SearchProgress p = search.progress();
  if (search.end() == SearchEnd::PortError) {
    std::fprintf(stderr, "velnorex-scan: cannot open %s: %s\n", qPrintable(args.plan.portPath),
                 FailureReason(bus.serial().LastFailure()).c_str());
    return kUnusable;
  }
  if (search.end() == SearchEnd::Cancelled)
    std::fprintf(stderr, "velnorex-scan: stopped at %d %%, %zu found", percent(p), search.hits().size());
  else
    std::fprintf(stderr, "velnorex-scan: finished, %zu found", search.hits().size());
  if (search.garbledReplies() > 0)
    std::fprintf(stderr, ", %d garbled answers (a transducer at a similar setting?)",
                 search.garbledReplies());
  std::fputc('\n', stderr);
  if (args.json) printJson(search.hits(), network);
  return search.hits().empty() ? kNothing : kFound;
}
