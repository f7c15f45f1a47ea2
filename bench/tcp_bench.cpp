// Network links on loopback. First the rate of one WORD register read: velnorex's bus (without the traffic
// monitor, as a tool has it, and with it, as the window has it) against libmodbus's own TCP client reading
// the same register from the same server, libmodbus's TCP server in this process and then velnorex-sim; RTU
// over TCP against the simulator, whose rate has no such baseline. Then a server that never answers: the time
// one transaction costs against the bus's read time-outs, and the window's input latency while a list
// recording and a group read run against it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <modbus.h>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "app/message_box.h"
#include "bench/allocation_count.h"
#include "bench/bench_window.h"
#include "modbus/bus.h"
#include "modbus/exchange_dispatcher.h"
#include "modbus/link_device.h"
#include "modbus/modbus.h"
#include "tests/support/libmodbus_server.h"
#include "tests/support/simulator.h"
#include "tests/support/transaction_recorder.h"
#include "tests/support/tree_builder.h"

using namespace velnorex;

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kValue = 1234;  // what register 0 holds on every server
constexpr int kBlocks = 40;        // each design's reads go in this many blocks, the designs taking turns

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}
double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// What a run of reads did: its time and how many reads brought the register's value.
struct Run {
  double seconds = 0;
  long good = 0, failed = 0;
};

struct Total {
  Run sum;
  void add(const Run& r) {
    sum.seconds += r.seconds;
    sum.good += r.good;
    sum.failed += r.failed;
  }
  double rate() const { return sum.seconds > 0 ? (sum.good + sum.failed) / sum.seconds : 0; }
};

// The client of the benchmark's reads: keeps what the last one brought.
class ValueClient final : public TransactionClient {
 public:
  void ShowValue(const TransactionResult& result) override {
    value = result.value.wordCount > 0 ? result.value.words[0] : -1;
  }
  void UM_NEXT(const TransactionResult&) override {}
  long value = -1;
};

// velnorex's master as the program builds it, on the exchange's road: a bus over the link device, its
// dispatcher's Exchange for a client that keeps the value; the window's part is counted, not kept.
class VelnorexMaster {
 public:
  explicit VelnorexMaster(bool monitor)
      : bus_(std::make_unique<LinkDevice>(), window_, monitor ? Bus::Setup{} : Bus::Setup::WithoutMonitor()) {
    window_.keepEntries = false;
    window_.onPending = [] { QCoreApplication::processEvents(); };
  }

  Bus& bus() { return bus_; }

  void open(const std::string& path) {
    if (!bus_.open(QString::fromStdString(path), QStringLiteral("19200,n,8,1"))) {
      std::fprintf(stderr, "velnorex cannot open %s\n", path.c_str());
      std::exit(1);
    }
  }

  // One read of register 0 from unit 1; true when it brought the register's value.
  bool read() {
    client_.value = -1;
    bus_.modbus().BuildReadRequest(node_, u"1");
    bus_.dispatcher().Exchange(client_);
    return client_.value == kValue;
  }

  // `reads` reads on a connection of its own to `path`; the connection's making is not timed.
  Run run(const std::string& path, int reads) {
    open(path);
    Run r;
    const auto start = Clock::now();
    for (int i = 0; i < reads; ++i) {
      if (read())
        ++r.good;
      else
        ++r.failed;
    }
    r.seconds = Seconds(Clock::now() - start);
    bus_.close();
    return r;
  }

 private:
  test::TransactionRecorder window_;
  Bus bus_;
  ValueClient client_;
  const RegisterNode node_ = test::RegisterRecord(u"0", u"WORD", u"1", u"RO");
};

// libmodbus's own TCP client on a connection of its own to `port`.
Run RunLibmodbus(int port, int reads) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
    std::fprintf(stderr, "libmodbus cannot connect to 127.0.0.1:%d\n", port);
    std::exit(1);
  }
  Run r;
  uint16_t word = 0;
  const auto start = Clock::now();
  for (int i = 0; i < reads; ++i) {
    if (modbus_read_registers(ctx, 0, 1, &word) == 1 && word == kValue)
      ++r.good;
    else
      ++r.failed;
  }
  r.seconds = Seconds(Clock::now() - start);
  modbus_close(ctx);
  modbus_free(ctx);
  return r;
}

void PrintRate(const char* what, const Total& t) {
  std::printf("  %-36s %9.0f reads/s  (%ld good, %ld failed, %.2f s)\n", what, t.rate(), t.sum.good,
              t.sum.failed, t.sum.seconds);
}

struct Spread {
  double min = 0, median = 0, p99 = 0, max = 0;
  size_t n = 0;
};

Spread SpreadOf(std::vector<double> v) {
  Spread s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.n = v.size();
  s.min = v.front();
  s.median = v[v.size() / 2];
  s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
  s.max = v.back();
  return s;
}

// velnorex without and with the monitor against libmodbus on one Modbus TCP server, `reads` each in blocks
// that take turns (the order rotating), so that a burst of load on the shared machine falls on all three.
void CompareOnServer(const char* server, const std::string& path, int port, int reads, VelnorexMaster& bare,
                     VelnorexMaster& monitored) {
  Total tool, window, libmodbus;
  // Each round's blocks follow each other within milliseconds: the ratio of their rates sees the same load,
  // and the median of the rounds' ratios leaves out a round that a burst fell on.
  std::vector<double> toolRatios, windowRatios;
  const int block = std::max(1, reads / kBlocks);
  for (int b = 0; b < kBlocks; ++b) {
    Run runs[3];
    for (int k = 0; k < 3; ++k) {
      const int design = (b + k) % 3;
      runs[design] = design == 0   ? bare.run(path, block)
                     : design == 1 ? monitored.run(path, block)
                                   : RunLibmodbus(port, block);
    }
    tool.add(runs[0]);
    window.add(runs[1]);
    libmodbus.add(runs[2]);
    toolRatios.push_back(runs[2].seconds / runs[0].seconds);
    windowRatios.push_back(runs[2].seconds / runs[1].seconds);
  }
  std::printf("Modbus TCP, %s (%s), %d reads each in %d rounds of one block each, the order turning\n",
              server, path.c_str(), block * kBlocks, kBlocks);
  PrintRate("(a) velnorex, bus without monitor", tool);
  PrintRate("(b) velnorex, bus with monitor", window);
  PrintRate("(c) libmodbus TCP client", libmodbus);
  const Spread a = SpreadOf(toolRatios), b = SpreadOf(windowRatios);
  std::printf(
      "  velnorex / libmodbus, median of the rounds: %.2f without the monitor (rounds %.2f to %.2f), "
      "%.2f with it (%.2f to %.2f); of the totals %.2f and %.2f (goal >= 0.9)\n",
      a.median, a.min, a.max, b.median, b.min, b.max, tool.rate() / libmodbus.rate(),
      window.rate() / libmodbus.rate());
}

// --- a server that never answers ---

// The time of each of `count` reads on a bus against a server that never answers.
Spread SilentTransactions(const std::string& path, int count) {
  VelnorexMaster master(false);
  master.open(path);
  std::vector<double> ms;
  const uint64_t timeoutsBefore = master.bus().dispatcher().counts().timeouts;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    if (master.read()) std::fprintf(stderr, "a silent server answered\n");
    ms.push_back(Ms(Clock::now() - start));
  }
  if (master.bus().dispatcher().counts().timeouts - timeoutsBefore != static_cast<uint64_t>(count))
    std::fprintf(stderr, "a silent server's read did not end at its time-out\n");
  master.bus().close();
  return SpreadOf(ms);
}

// Input from the system arrives whatever the main thread does: a thread of its own posts a timestamped event
// to the main thread every 10 ms, and the delay of each until the main thread handles it is kept.
class LatencyProbe final : public QObject {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 21);

  ~LatencyProbe() override { stopPosting(); }

  void start() {
    delays_.clear();
    stop_ = false;
    thread_ = std::thread([this] {
      auto next = Clock::now();
      while (!stop_) {
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
        QCoreApplication::postEvent(this, new Probe(Clock::now()));
      }
    });
  }

  // Stops posting and lets the main thread handle what is still queued; the delays in milliseconds.
  std::vector<double> stop() {
    stopPosting();
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    return delays_;
  }

  bool event(QEvent* e) override {
    if (e->type() != kType) return QObject::event(e);
    delays_.push_back(Ms(Clock::now() - static_cast<Probe*>(e)->posted));
    return true;
  }

 private:
  struct Probe final : QEvent {
    explicit Probe(Clock::time_point at) : QEvent(kType), posted(at) {}
    Clock::time_point posted;
  };

  void stopPosting() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<double> delays_;
};

// The window's input latency over `seconds` of whatever it runs, and the reads that timed out meanwhile.
struct Responsiveness {
  Spread latency;
  size_t overOneRead = 0;  // events that waited longer than one read's time-out
  uint64_t timeouts = 0;
};

Responsiveness MeasureWindow(TForm1& form, LatencyProbe& probe, int seconds) {
  const double readMs = form.bus.timeouts().readTotalMs;
  const uint64_t before = form.dispatcher.counts().timeouts;
  probe.start();
  // The main loop itself, not a wait that sleeps between its rounds of events.
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  Responsiveness r;
  const std::vector<double> delays = probe.stop();
  r.latency = SpreadOf(delays);
  r.overOneRead = static_cast<size_t>(
      std::count_if(delays.begin(), delays.end(), [readMs](double d) { return d > readMs; }));
  r.timeouts = form.dispatcher.counts().timeouts - before;
  return r;
}

void PrintLatency(const char* what, const Responsiveness& r, double transactionMs) {
  std::printf(
      "  %-30s input latency median %.1f ms, 99%% %.1f ms, max %.1f ms (%zu events, %zu later than "
      "one read's time-out; %llu reads timed out); max / transaction's time-out %.2f\n",
      what, r.latency.median, r.latency.p99, r.latency.max, r.latency.n, r.overOneRead,
      static_cast<unsigned long long>(r.timeouts), r.latency.max / transactionMs);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int reads = argc > 1 ? std::max(kBlocks, std::atoi(argv[1])) : 20000;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  const std::vector<std::string> seeded = {"--value", "0:WORD:1:" + std::to_string(kValue)};

  // --- the rate of one WORD register read ---
  VelnorexMaster bare(false), monitored(true);
  {
    test::PeerTables tables;
    tables.values = {{0, {kValue}}};
    test::LibmodbusTcpServer server(tables);
    CompareOnServer("libmodbus's server in this process", server.path(), server.port(), reads, bare,
                    monitored);
    // A transaction over Modbus TCP allocates nothing, as on a serial line: the first read may set things
    // up, the later ones are counted.
    for (VelnorexMaster* master : {&bare, &monitored}) {
      master->open(server.path());
      master->read();
      const uint64_t before = bench::gAllocations.load();
      int good = 0;
      for (int i = 0; i < 10000; ++i) good += master->read() ? 1 : 0;
      std::printf("allocations in 10000 Modbus TCP reads after the first (%s the monitor): %llu (%d good)\n",
                  master == &bare ? "without" : "with",
                  static_cast<unsigned long long>(bench::gAllocations.load() - before), good);
      master->bus().close();
    }
  }
  {
    test::SimulatorProcess sim(test::PeerLink::ModbusTcp, seeded);
    CompareOnServer("velnorex-sim", sim.path(), sim.port(), reads, bare, monitored);
  }
  {
    test::SimulatorProcess sim(test::PeerLink::RtuOverTcp, seeded);
    Total tool, window;
    const int block = reads / kBlocks;
    for (int b = 0; b < kBlocks; ++b) {
      tool.add(bare.run(sim.path(), block));
      window.add(monitored.run(sim.path(), block));
    }
    std::printf(
        "RTU over TCP, velnorex-sim (%s), %d reads each (no baseline: libmodbus has no such client)\n",
        sim.path().c_str(), block * kBlocks);
    PrintRate("(a) velnorex, bus without monitor", tool);
    PrintRate("(b) velnorex, bus with monitor", window);
  }

  // --- a server that never answers ---
  const LineTimeouts timeouts;
  const double transactionMs = 2.0 * timeouts.readTotalMs;
  test::SimulatorProcess silent(test::PeerLink::ModbusTcp, {"--silent-first", "1000000000"});
  test::SimulatorProcess silentRtu(test::PeerLink::RtuOverTcp, {"--silent-first", "1000000000"});
  std::printf(
      "a server that never answers: the bus's read time-out %u ms (interval %u ms), read twice when nothing "
      "came: %.0f ms a transaction\n",
      timeouts.readTotalMs, timeouts.readIntervalMs, transactionMs);
  for (const auto* server : {&silent, &silentRtu}) {
    const Spread s = SilentTransactions(server->path(), 25);
    std::printf(
        "  %-36s per transaction: min %.1f ms, median %.1f ms, max %.1f ms; median / %.0f ms = %.2f\n",
        server->path().c_str(), s.min, s.median, s.max, transactionMs, s.median / transactionMs);
  }

  // The window connected to the silent Modbus TCP server: idle, with a list recording of five registers that
  // each need a request of their own, and with a group read of them (it asks a register again until it
  // answers).
  QTemporaryDir dir;
  test::TreeBuilder tree;
  tree.group(u"Pomiary");
  for (int i = 0; i < 5; ++i)
    tree.reg(u"Kanał " + QString::number(i + 1).toStdU16String(), QString::number(100 * i).toStdU16String(),
             u"WORD", u"1", u"RO");
  tree.save(dir.filePath(QStringLiteral("BENCH.dat")).toStdString());
  TForm1 form(bench::WindowPaths(dir));
  bench::ShowAndConnect(form, QString::fromStdString(silent.path()), -1);
  const double windowTransactionMs = 2.0 * form.bus.timeouts().readTotalMs;
  form.registerOps.cbxDeviceSelect(dir.path(), QStringLiteral("BENCH.dat"));
  RegisterTreeNode* group = form.VTModel->tree().root().child(0);
  for (RegisterTreeNode* node = group->firstChild(); node; node = node->nextSibling())
    form.VLModel->AddToWatchList(&node->data, QStringLiteral("1"));
  LatencyProbe probe;
  std::printf(
      "the window against the servers that never answer, %d s each, an event posted every 10 ms; the "
      "transaction's time-out %.0f ms (goal: max latency <= it)\n",
      seconds, windowTransactionMs);
  PrintLatency("connected, idle (baseline)", MeasureWindow(form, probe, std::min(seconds, 3)),
               windowTransactionMs);

  form.cbxRecList->setChecked(true);
  form.eInterval->setText(QStringLiteral("0,5"));
  for (const auto* server : {&silent, &silentRtu}) {
    if (server != &silent) {
      form.btDisconnectClick();
      form.ComCBox->setEditText(QString::fromStdString(server->path()));
      form.Connect();
      if (!form.serial.PortOpen()) {
        std::fprintf(stderr, "cannot open %s\n", server->path().c_str());
        return 1;
      }
    }
    std::printf("  on %s:\n", server->path().c_str());
    form.btRecClick();
    if (!form.listRecording.running()) {
      std::fprintf(stderr, "the list recording did not start\n");
      return 1;
    }
    const Responsiveness listRun = MeasureWindow(form, probe, seconds);
    const uint64_t listRounds = form.listRecording.rounds();
    form.btRecClick();
    PrintLatency("list recording, 5 registers", listRun, windowTransactionMs);
    std::printf("      (%llu rounds started)\n", static_cast<unsigned long long>(listRounds));

    form.registerOps.ReadNode(group);
    if (!form.state.GroupActive) {
      std::fprintf(stderr, "the group read did not start\n");
      return 1;
    }
    PrintLatency("group read, 5 registers", MeasureWindow(form, probe, seconds), windowTransactionMs);
    // "Rozłącz" ends the group; its next step then finds no connection.
    const auto hook = [](const ShownMessage&) {};
    SetMessageBoxHook(hook);
    form.btDisconnectClick();
    QTest::qWait(200);
    SetMessageBoxHook(
        [](const ShownMessage& m) { std::fprintf(stderr, "message: %s\n", qPrintable(m.text)); });
  }
  form.close();
  return 0;
}
