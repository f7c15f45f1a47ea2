// velnorex-read: reads the registers of a device definition from a transducer, one transaction at a time
// over the bus, and prints each value as the register tree shows it (or, with --json, the value at full
// precision beside that text). Results go to stdout, progress to stderr.
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QString>

#include "config/config_run.h"
#include "modbus/bus.h"
#include "modbus/function_codes.h"
#include "modbus/link_device.h"
#include "modbus/read_planner.h"
#include "serial/link_address.h"
#include "serial/mode_string.h"
#include "text/json_text.h"
#include "text/line_words.h"
#include "text/number_text.h"

namespace {

using namespace velnorex;

constexpr int kOk = 0, kNotAllRead = 1, kUnusable = 2;
// As the configuration run: a failed read is repeated, as in a group read, but not for ever.
constexpr int kReadAttempts = 3;

const char* kUsage =
    "Usage: velnorex-read --port P --baud B --parity n|e|o --definition D.dat --slave N [--group \"A / B\"]\n"
    "                     [--json]\n"
    "\n"
    "Reads every register of the definition (or of one group of it) from the transducer, one transaction at "
    "a\n"
    "time, neighbouring registers with one request; a request that gets no answer is asked again, three "
    "times\n"
    "at most, and a block of registers the transducer refuses is read register by register.\n"
    "\n"
    "  --port P            serial port (a name such as ttyUSB0, or a path), or a network link:\n"
    "                      tcp://HOST:PORT (Modbus TCP) or rtu+tcp://HOST:PORT (RTU frames through a\n"
    "                      gateway); port 502 when left out. --baud and --parity do not apply to a\n"
    "                      network link: they may be left out and are ignored if given\n"
    "  --baud B            baud rate\n"
    "  --parity n|e|o      parity, also none, even or odd (none goes with 2 stop bits)\n"
    "  --definition D.dat  the transducer's definition file\n"
    "  --slave N           bus address 1..247\n"
    "  --group \"A / B\"     only the registers of this group (the names from the top, joined by \" / \")\n"
    "  --json              print a JSON array instead of lines\n"
    "  --help              this text\n"
    "\n"
    "Output (stdout): a line per register, \"PATH<tab>ADDRESS<tab>VALUE\" with the value as the register "
    "tree\n"
    "shows it; a register that could not be read has an empty value and a fourth column with the reason.\n"
    "With --json an array of objects with path (array of names), address, table (holding, input, coil or\n"
    "discrete), type, unit (where the definition gives one), value (a number at full precision after scale\n"
    "and offset, true or false for a BOOL, a string for TEXT and HEX; null for a value that is no finite\n"
    "number), text (the tree's text) and words (the raw 16-bit words in address order); a register that\n"
    "could not be read has error instead of value, text and words.\n"
    "Progress goes to stderr.\n"
    "\n"
    "Exit status: 0 every register read, 1 some register could not be read, 2 wrong arguments, or a port or\n"
    "file error.\n";

int Usage(const std::string& complaint) {
  std::cerr << "velnorex-read: " << complaint << "\n" << kUsage;
  return kUnusable;
}

// One register's read: the tree's text and the words, or why it failed.
struct Result {
  bool ok = false;
  RegisterValue value;
  std::u16string text;
  std::u16string error;
};

// Starts the reads and receives their results. Neighbouring registers are read with one request (the read
// planner's blocks); a block the transducer refuses as a block is read register by register, and a block
// that fails otherwise is asked again, three attempts at most, as a group read does.
class Reader final : public TransactionClient {
 public:
  explicit Reader(Bus& bus) : bus_(bus) {}

  // Fills one result per target; false when the port went away (the results not read say so).
  bool readAll(const std::vector<RegisterRequest>& targets, std::vector<Result>& results) {
    ReadPlan plan(targets, ExchangeReadLimits());
    results.assign(targets.size(), Result{});
    for (size_t index = 0; index < plan.blocks().size();) {
      const ReadBlock block = plan.blocks()[index];  // a refusal replaces it in the plan
      std::u16string error;
      bool done = false, split = false;
      for (int attempt = 0; attempt < kReadAttempts && !done && !split; ++attempt) {
        replied_ = ended_ = false;
        if (!bus_.modbus().BuildReadRequest(block.request)) return lost(plan, index, results);
        bus_.modbus().SetServedRegisters(plan.served(block));
        bus_.dispatcher().Exchange(*this);
        if (!ended_) return lost(plan, index, results);
        if (outcome_ == TransactionOutcome::Exception && plan.refuse(index, exceptionCode_)) {
          split = true;
        } else if (replied_) {
          for (const size_t member : block.members) {
            Result& result = results[member];
            result.ok = plan.cut(block, member, reply_, result.value);
            result.text = DisplayText(result.value);
            if (!result.ok) result.error = u"niepełna odpowiedź";
          }
          done = true;
        } else {
          error = FailureReason(outcome_, exceptionCode_);
        }
      }
      if (split) continue;  // the same index is now the first register of the split block
      if (!done)
        for (const size_t member : block.members) results[member].error = error;
      ++index;
    }
    return true;
  }

  void ShowValue(const TransactionResult& r) override {
    replied_ = true;
    reply_ = r.value;
  }
  void UM_NEXT(const TransactionResult& r) override {
    ended_ = true;
    outcome_ = r.outcome;
    exceptionCode_ = r.exceptionCode;
  }

 private:
  bool lost(const ReadPlan& plan, size_t from, std::vector<Result>& results) const {
    for (size_t b = from; b < plan.blocks().size(); ++b)
      for (const size_t member : plan.blocks()[b].members) results[member].error = u"brak połączenia";
    return false;
  }

  Bus& bus_;
  bool replied_ = false;
  bool ended_ = false;
  TransactionOutcome outcome_ = TransactionOutcome::NoAnswer;
  uint8_t exceptionCode_ = 0;
  RegisterValue reply_;
};

int Run(const std::vector<std::string>& args) {
  std::string port, baud, parity, definition, slave, group;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return kOk;
    }
    if (arg == "--json") {
      json = true;
      continue;
    }
    std::string* target = arg == "--port"         ? &port
                          : arg == "--baud"       ? &baud
                          : arg == "--parity"     ? &parity
                          : arg == "--definition" ? &definition
                          : arg == "--slave"      ? &slave
                          : arg == "--group"      ? &group
                                                  : nullptr;
    if (!target) return Usage("unknown argument \"" + arg + "\"");
    if (i + 1 >= args.size()) return Usage(arg + " needs a value");
    *target = args[++i];
  }
  // A network link takes no line settings: --baud and --parity may be left out, and are ignored if given.
  const bool network = IsNetworkAddress(QString::fromStdString(port));
  if (port.empty() || definition.empty() || slave.empty() || (!network && (baud.empty() || parity.empty())))
    return Usage("--port, --baud, --parity, --definition and --slave are required");
  const char parityLetter = ParseParity(parity);
  if (!network && !parityLetter) return Usage("--parity must be n, e or o (none, even or odd)");
  if (!ParseSlaveAddress(slave)) return Usage("--slave must be 1..247");
  const std::optional<std::string> lineMode = ToolLineMode(port, baud, parityLetter);
  if (!lineMode) return Usage("bad baud rate \"" + baud + "\"");
  const std::string& mode = *lineMode;

  RegisterTree tree;
  LoadFromFile(tree, definition);
  RegisterTreeNode* scope = &tree.root();
  if (!group.empty()) {
    scope = GroupAtPath(tree, FromUtf8(group));
    if (!scope) {
      std::cerr << "velnorex-read: no group \"" << group << "\" in " << definition << "\n";
      return kUnusable;
    }
  }
  const std::vector<RegisterTreeNode*> registers = RegistersBelow(*scope);
  if (registers.empty()) {
    std::cerr << "velnorex-read: no registers to read in " << definition << "\n";
    return kUnusable;
  }

  ToolWindow window("velnorex-read");
  Bus bus(std::make_unique<LinkDevice>(), window, Bus::Setup::WithoutMonitor());
  if (!bus.open(Serial::PathForPortName(QString::fromStdString(port)), QString::fromStdString(mode))) {
    std::cerr << "velnorex-read: cannot open " << port << ": " << FailureReason(bus.serial().LastFailure())
              << "\n";
    return kUnusable;
  }
  Reader reader(bus);
  std::vector<RegisterRequest> targets;
  for (const RegisterTreeNode* node : registers)
    targets.push_back(RegisterRequestOf(node->data, FromUtf8(slave)));
  std::vector<Result> results;
  const bool lineLost = !reader.readAll(targets, results);
  std::vector<std::string> items;
  size_t failed = 0;
  for (size_t i = 0; i < registers.size(); ++i) {
    const RegisterTreeNode* node = registers[i];
    const std::vector<std::u16string> path = NodePath(node);
    const Result& result = results[i];
    std::cerr << "read " << i + 1 << "/" << registers.size() << ": " << ToUtf8(PathText(path))
              << (result.ok ? "" : " - " + ToUtf8(result.error)) << "\n";
    if (!result.ok) ++failed;
    const int32_t address = StrToInt(node->data.Address) & 0xFFFF;
    if (json) {
      const RegisterFormat format = RegisterFormatOf(node->data.Type);
      const RegisterTypeInfo* type = RegisterTypeOf(format.type);
      std::string item =
          "  {\"path\": " + JsonStringArray(path) + ", \"address\": " + std::to_string(address) +
          ", \"table\": " + JsonString(std::u16string(kTableNames[static_cast<int>(format.table)])) +
          ", \"type\": " + JsonString(type ? std::u16string(type->name) : node->data.Type);
      if (!format.meaning.unitText().empty())
        item += ", \"unit\": " + JsonString(std::u16string(format.meaning.unitText()));
      if (result.ok)
        item += ", \"value\": " + JsonValueText(result.value) + ", \"text\": " + JsonString(result.text) +
                ", \"words\": " + JsonWordsText(result.value);
      else
        item += ", \"error\": " + JsonString(result.error);
      items.push_back(item + "}");
    } else {
      std::cout << ToUtf8(PathText(path)) << "\t" << address << "\t" << ToUtf8(result.text);
      if (!result.ok) std::cout << "\t" << ToUtf8(result.error);
      std::cout << "\n" << std::flush;
    }
  }
  if (json) {
    std::cout << "[";
    for (size_t i = 0; i < items.size(); ++i) std::cout << (i ? ",\n" : "\n") << items[i];
    std::cout << "\n]\n";
  }
  std::cerr << "read " << registers.size() - failed << " of " << registers.size() << " registers\n";
  if (lineLost) {
    std::cerr << "velnorex-read: the port " << port << " went away\n";
    return kUnusable;
  }
  return failed ? kNotAllRead : kOk;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const std::exception& e) {
    // File errors carry the program's own message texts.
    std::cerr << "velnorex-read: " << e.what() << "\n";
    return kUnusable;
  }
}
