// velnorex-config: saves a transducer's writable registers into a configuration file, compares the
// transducer with such a file, and restores the file's values, from the command line for commissioning
// scripts. The engine is the window's own (config/); this file only handles the command line and the output.
#include <QCoreApplication>
#include <QString>

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "config/config_run.h"
#include "modbus/bus.h"
#include "modbus/link_device.h"
#include "serial/link_address.h"
#include "serial/mode_string.h"
#include "serial/serial.h"
#include "text/json_text.h"
#include "text/line_words.h"
#include "text/number_text.h"

namespace {

using namespace velnorex;

constexpr int kOk = 0, kDifferent = 1, kUnusable = 2;

const char* kUsage =
    "Usage:\n"
    "  velnorex-config save    OPTIONS FILE   read every writable register into FILE\n"
    "  velnorex-config compare OPTIONS FILE   list the registers whose value differs from FILE\n"
    "  velnorex-config restore OPTIONS [--dry-run] FILE\n"
    "                                         write the differing writable registers from FILE, read each\n"
    "                                         back; --dry-run only lists what would be written\n"
    "  velnorex-config --help                 this text\n"
    "\n"
    "OPTIONS (all but --group required):\n"
    "  --port P            serial port (a name such as ttyUSB0, or a path), or a network link:\n"
    "                      tcp://HOST:PORT (Modbus TCP) or rtu+tcp://HOST:PORT (RTU frames through a\n"
    "                      gateway); port 502 when left out. --baud and --parity do not apply to a\n"
    "                      network link: they may be left out and are ignored if given\n"
    "  --baud B            baud rate\n"
    "  --parity P          none, even or odd, or n, e, o (none goes with 2 stop bits)\n"
    "  --definition D.dat  the transducer's definition file\n"
    "  --slave N           bus address 1..247 (0, the broadcast address, is refused)\n"
    "  --group \"A / B\"     only the registers of this group of the definition\n"
    "\n"
    "Output (stdout, JSON): save lists the registers that could not be read; compare the differing ones\n"
    "(address, path, file, device); restore what it wrote with the outcome (written, failed, differs,\n"
    "unconfirmed) and what it skipped. Progress and a summary go to stderr.\n"
    "\n"
    "Exit status: 0 success (saved whole, equal, restored and confirmed); 1 a register could not be read\n"
    "(save), different (compare, restore --dry-run), or not everything written and confirmed (restore);\n"
    "2 wrong arguments, or a port or file error.\n";

int Usage(const std::string& complaint) {
  std::cerr << "velnorex-config: " << complaint << "\n" << kUsage;
  return kUnusable;
}

struct Arguments {
  std::string command, port, baud, definition, file;
  char parity = 0;
  std::u16string slave;
  std::vector<std::u16string> group;
  bool dryRun = false;
};

// ---- output ----

int32_t AddressOf(const ConfigRun::Item& item) {
  if (item.saved) return item.saved->address;
  return StrToInt(item.node->data.Address) & 0xFFFF;
}

// One line of the output array: address and path, then the given fields.
std::string Line(const ConfigRun::Item& item, const std::string& fields) {
  return "  {\"address\": " + std::to_string(AddressOf(item)) + ", \"path\": " + JsonStringArray(item.path) +
         fields + "}";
}

std::string DeviceJson(const Reading& reading) {
  return reading.ok ? JsonString(reading.value) : std::string("null");
}

void PrintArray(const std::vector<std::string>& lines) {
  std::cout << "[";
  for (size_t i = 0; i < lines.size(); ++i) std::cout << (i ? ",\n" : "\n") << lines[i];
  std::cout << (lines.empty() ? "]\n" : "\n]\n");
}

const char* OutcomeName(ConfigRun::Outcome outcome) {
  switch (outcome) {
    case ConfigRun::Outcome::Written:
      return "written";
    case ConfigRun::Outcome::Failed:
      return "failed";
    case ConfigRun::Outcome::StillDiffers:
      return "differs";
    case ConfigRun::Outcome::Unconfirmed:
      return "unconfirmed";
    default:
      return "planned";
  }
}

// What an item that cannot be compared, or was not read, says: empty when it was compared.
std::u16string TroubleOf(const ConfigRun::Item& item) {
  if (!item.problem.empty()) return item.problem;
  if (!item.before.ok) return item.before.error;
  return {};
}

// ---- the commands ----

void RunSteps(ConfigRun& run, const char* what) {
  for (bool more = true; more;) {
    more = run.step();
    if (const ConfigRun::Item* item = run.lastItem())
      std::cerr << what << " " << run.progressDone() << "/" << run.progressTotal() << ": "
                << ToUtf8(PathText(item->path)) << "\n";
  }
}

int Save(ConfigRun& run, RegisterTree& tree, RegisterTreeNode* scope, const Arguments& a,
         const Serial& serial) {
  run.prepareSave(scope ? *scope : tree.root());
  if (run.items().empty()) {
    std::cerr << "velnorex-config: no writable registers in the definition\n";
    return kUnusable;
  }
  RunSteps(run, "read");
  if (run.phase() != ConfigRun::Phase::Read) return kUnusable;
  ConfigFile heading;
  heading.definition = FromUtf8(std::filesystem::path(a.definition).filename().string());
  heading.slave = StrToInt(a.slave) & 0xFF;
  heading.savedAt = CurrentDateTimeText();
  heading.line = serial.DeviceControl();
  if (scope) heading.scope = NodePath(scope);
  SaveConfigFile(run.snapshot(heading), a.file);
  std::vector<std::string> lines;
  for (const ConfigRun::Item& item : run.items())
    if (!item.before.ok) lines.push_back(Line(item, ", \"error\": " + JsonString(item.before.error)));
  PrintArray(lines);
  std::cerr << "saved " << run.items().size() - lines.size() << " registers to " << a.file;
  if (!lines.empty()) std::cerr << ", " << lines.size() << " could not be read";
  std::cerr << "\n";
  return lines.empty() ? kOk : kDifferent;
}

int Compare(ConfigRun& run) {
  RunSteps(run, "read");
  if (run.phase() != ConfigRun::Phase::Read) return kUnusable;
  std::vector<std::string> lines;
  for (const ConfigRun::Item& item : run.items()) {
    const std::u16string trouble = TroubleOf(item);
    if (!trouble.empty())
      lines.push_back(Line(item, ", \"file\": " + JsonString(item.fileText()) +
                                     ", \"device\": null, \"error\": " + JsonString(trouble)));
    else if (item.differs())
      lines.push_back(Line(
          item, ", \"file\": " + JsonString(item.fileText()) + ", \"device\": " + DeviceJson(item.before)));
  }
  PrintArray(lines);
  std::cerr << lines.size() << " differences\n";
  return lines.empty() ? kOk : kDifferent;
}

int Restore(ConfigRun& run, bool dryRun) {
  RunSteps(run, "read");
  if (run.phase() != ConfigRun::Phase::Read) return kUnusable;
  const std::vector<const ConfigRun::Item*> plan = run.planRestore();
  if (!dryRun) {
    run.startRestore();
    RunSteps(run, "write");
    if (run.phase() != ConfigRun::Phase::Finished) return kUnusable;
  }
  std::vector<std::string> lines;
  bool complete = true, lineSettingWritten = false;
  for (const ConfigRun::Item& item : run.items()) {
    std::string fields =
        ", \"file\": " + JsonString(item.fileText()) + ", \"device\": " + DeviceJson(item.before);
    const std::u16string trouble = TroubleOf(item);
    if (item.outcome != ConfigRun::Outcome::None) {
      fields += std::string(", \"result\": \"") + OutcomeName(item.outcome) + "\"";
      if (!item.writeError.empty()) fields += ", \"error\": " + JsonString(item.writeError);
      if (item.outcome == ConfigRun::Outcome::StillDiffers)
        fields += ", \"readBack\": " + DeviceJson(item.after);
      if (item.lineSetting) fields += ", \"lineSetting\": true";
      complete = complete && item.outcome == ConfigRun::Outcome::Written;
      lineSettingWritten = lineSettingWritten || (item.lineSetting && item.writeError.empty());
    } else if (!trouble.empty() || item.differs()) {
      // Not written: it could not be compared, or the transducer's definition or the file forbids writing it.
      fields += ", \"result\": \"skipped\", \"error\": " +
                JsonString(trouble.empty() ? u"tylko do odczytu" : trouble);
      complete = false;
    } else {
      continue;
    }
    lines.push_back(Line(item, fields));
  }
  PrintArray(lines);
  if (dryRun) {
    std::cerr << plan.size() << " registers would be written\n";
    return lines.empty() ? kOk : kDifferent;
  }
  std::cerr << "wrote " << plan.size() << " registers"
            << (complete ? ", all confirmed" : "; not all confirmed") << "\n";
  if (lineSettingWritten)
    std::cerr
        << "the transducer's line setting was written: restart its communication and reconnect with the "
           "new setting\n";
  return complete ? kOk : kDifferent;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("no command given");
  Arguments a;
  a.command = args[0];
  if (a.command == "--help" || a.command == "-h" || a.command == "help") {
    std::cout << kUsage;
    return kOk;
  }
  if (a.command != "save" && a.command != "compare" && a.command != "restore")
    return Usage("unknown command \"" + a.command + "\"");
  std::string slave, group, parity;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--dry-run" && a.command == "restore") {
      a.dryRun = true;
      continue;
    }
    std::string* target = arg == "--port"         ? &a.port
                          : arg == "--baud"       ? &a.baud
                          : arg == "--parity"     ? &parity
                          : arg == "--definition" ? &a.definition
                          : arg == "--slave"      ? &slave
                          : arg == "--group"      ? &group
                                                  : nullptr;
    if (target) {
      if (i + 1 >= args.size()) return Usage(arg + " needs a value");
      *target = args[++i];
    } else if (arg.rfind("--", 0) == 0) {
      return Usage("unknown option " + arg);
    } else if (a.file.empty()) {
      a.file = arg;
    } else {
      return Usage("unexpected argument \"" + arg + "\"");
    }
  }
  // A network link takes no line settings: --baud and --parity may be left out, and are ignored if given.
  const bool network = IsNetworkAddress(QString::fromStdString(a.port));
  if (a.port.empty() || a.definition.empty() || slave.empty() ||
      (!network && (a.baud.empty() || parity.empty())))
    return Usage("--port, --baud, --parity, --definition and --slave are required");
  if (a.file.empty()) return Usage("no configuration file given");
  a.parity = ParseParity(parity);
  if (!a.parity && !network) return Usage("--parity must be none, even or odd");
  const std::optional<int> slaveNumber = ParseSlaveAddress(slave);
  if (!slaveNumber) return Usage("--slave must be 1..247 (0 is the broadcast address)");
  a.slave = IntToStr(*slaveNumber);
  const std::optional<std::string> lineMode = ToolLineMode(a.port, a.baud, a.parity);
  if (!lineMode) return Usage("bad baud rate \"" + a.baud + "\"");
  const std::string mode = *lineMode;

  RegisterTree tree;
  LoadFromFile(tree, a.definition);
  RegisterTreeNode* scope = nullptr;
  if (!group.empty()) {
    scope = GroupAtPath(tree, FromUtf8(group));
    if (!scope) {
      std::cerr << "velnorex-config: no group \"" << group << "\" in " << a.definition << "\n";
      return kUnusable;
    }
  }
  std::optional<ConfigFile> file;
  if (a.command != "save") {
    file = LoadConfigFile(a.file);
    const std::u16string name = FromUtf8(std::filesystem::path(a.definition).filename().string());
    if (file->definition != name)
      std::cerr << "velnorex-config: note: " << a.file << " was saved with " << ToUtf8(file->definition)
                << "\n";
  }

  ToolWindow window("velnorex-config");
  Bus bus(std::make_unique<LinkDevice>(), window, Bus::Setup::WithoutMonitor());
  if (!bus.open(Serial::PathForPortName(QString::fromStdString(a.port)), QString::fromStdString(mode))) {
    std::cerr << "velnorex-config: cannot open " << a.port << ": "
              << FailureReason(bus.serial().LastFailure()) << "\n";
    return kUnusable;
  }
  ConfigRun run(bus.modbus(), bus.dispatcher(), bus.readRefusals(), a.slave, true);
  if (a.command == "save") return Save(run, tree, scope, a, bus.serial());
  run.prepareCompare(tree.root(), scope, *file);
  return a.command == "compare" ? Compare(run) : Restore(run, a.dryRun);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const std::exception& e) {
    // File errors carry the program's own message texts.
    std::cerr << "velnorex-config: " << e.what() << "\n";
    return kUnusable;
  }
}
