// velnorex-read against both peers, the simulator and pymodbus: one definition of every type, read with
// --json, each value checked against the words the peer holds, and the register the peer lacks reported
// with its reason after three attempts.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/libmodbus_server.h"
#include "tests/support/simulator.h"
#include "tests/support/test_environment.h"

namespace velnorex::test {
namespace {

struct ToolRun {
  int exitCode = -1;
  QByteArray out, err;
};

ToolRun Tool(const char* name, const QStringList& args) {
  QProcess tool;
  tool.start(QString::fromStdString(BinDir() + "/" + name), args);
  ToolRun run;
  if (!tool.waitForFinished(60000)) {
    tool.kill();
    tool.waitForFinished();
    return run;
  }
  run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
  run.out = tool.readAllStandardOutput();
  run.err = tool.readAllStandardError();
  return run;
}

uint16_t FloatWord(float value, int which) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return static_cast<uint16_t>(which == 0 ? bits & 0xFFFF : bits >> 16);
}

// One register of the definition: where it sits, what the peer holds (as the definition's value text for the
// simulator and as words for pymodbus), and what the tool must print.
struct Case {
  const char* group;
  const char* name;
  int address;
  const char* type;
  int count;
  const char* seed;             // the definition's value, which the simulator takes as its content
  std::vector<uint16_t> words;  // the same content as pymodbus holds it
  const char* text;             // the tree's text
  const char* json;             // how the value is printed in the JSON
};

const float kEnergy = 23.4712f;
const std::vector<Case> kCases = {
    {"Pomiary", "Napięcie", 100, "WORD", 1, "65535", {0xFFFF}, "65535", "65535"},
    {"Pomiary", "Moc bierna", 101, "INT", 1, "-120", {0xFF88}, "-120", "-120"},
    {"Pomiary",
     "Energia",
     110,
     "REAL",
     2,
     "23,4712",
     {FloatWord(kEnergy, 0), FloatWord(kEnergy, 1)},
     "23,47",
     "23.4712"},
    {"Pomiary", "Współczynnik", 112, "PREC", 2, "0,1", {0xCCCD, 0x3DCC}, "0,1000000015", "0.1"},
    {"Stan", "Alarmy", 102, "HEX", 1, "$1A2", {0x01A2}, "$1A2", "\"$1A2\""},
    {"Stan", "Nazwa", 130, "TEXT", 4, "Hello", {0x4865, 0x6C6C, 0x6F00, 0x0000}, "Hello", "\"Hello\""},
};
// Beyond what either peer holds: exception 2 every time.
constexpr int kMissingAddress = 240;

// The definition of the cases and the missing register, compiled by velnorex-dat.
std::string WriteDefinition(const QTemporaryDir& dir) {
  QJsonArray groups;
  for (const char* group : {"Pomiary", "Stan"}) {
    QJsonArray children;
    for (const Case& c : kCases) {
      if (std::strcmp(c.group, group) != 0) continue;
      children.append(QJsonObject{{"name", QString::fromUtf8(c.name)},
                                  {"address", QString::number(c.address)},
                                  {"type", c.type},
                                  {"count", QString::number(c.count)},
                                  {"access", "RO"},
                                  {"value", QString::fromUtf8(c.seed)}});
    }
    if (std::strcmp(group, "Stan") == 0)
      children.append(QJsonObject{{"name", "Brak"},
                                  {"address", QString::number(kMissingAddress)},
                                  {"type", "WORD"},
                                  {"count", "1"},
                                  {"access", "RO"},
                                  {"value", "0"}});
    groups.append(QJsonObject{{"name", QString::fromUtf8(group)}, {"children", children}});
  }
  const QJsonObject definition{{"format", "velnorex-definition"}, {"version", 1}, {"nodes", groups}};
  const QString json = dir.filePath("peer.json"), dat = dir.filePath("peer.dat");
  QFile file(json);
  if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(definition).toJson()) < 0) return {};
  file.close();
  const ToolRun compiled = Tool("velnorex-dat", {"compile", json, "-o", dat});
  EXPECT_EQ(compiled.exitCode, 0) << compiled.err.toStdString();
  return dat.toStdString();
}

// Reads the whole definition with --json and checks every register against the table.
void ExpectEveryValue(const std::string& port, const std::string& definition, const char* baud) {
  const ToolRun run =
      Tool("velnorex-read", {"--port", QString::fromStdString(port), "--baud", baud, "--parity", "none",
                             "--definition", QString::fromStdString(definition), "--slave", "1", "--json"});
  // One register could not be read.
  ASSERT_EQ(run.exitCode, 1) << run.err.toStdString();
  const QJsonDocument json = QJsonDocument::fromJson(run.out);
  ASSERT_TRUE(json.isArray()) << run.out.toStdString();
  const QJsonArray items = json.array();
  ASSERT_EQ(items.size(), static_cast<int>(kCases.size()) + 1) << run.out.toStdString();
  // In tree order: the first group's four, then the second group's two and the missing one.
  for (size_t i = 0; i < kCases.size(); ++i) {
    const Case& c = kCases[i];
    const QJsonObject item = items[static_cast<int>(i)].toObject();
    SCOPED_TRACE(c.name);
    EXPECT_EQ(item["path"].toArray(), (QJsonArray{QString::fromUtf8(c.group), QString::fromUtf8(c.name)}));
    EXPECT_EQ(item["address"].toInt(), c.address);
    EXPECT_EQ(item["type"].toString(), c.type);
    EXPECT_EQ(item["text"].toString(), QString::fromUtf8(c.text));
    EXPECT_FALSE(item.contains("error"));
    // The value as printed, not only as parsed: a float at full precision is its shortest exact decimal.
    EXPECT_TRUE(run.out.contains(QByteArray("\"value\": ") + c.json + ", \"text\"")) << run.out.toStdString();
  }
  // The float the peer holds comes back exactly, which the tree's two decimals never could.
  EXPECT_EQ(static_cast<float>(items[2].toObject()["value"].toDouble()), kEnergy);
  const QJsonObject missing = items[static_cast<int>(kCases.size())].toObject();
  EXPECT_EQ(missing["path"].toArray(), (QJsonArray{"Stan", "Brak"}));
  EXPECT_EQ(missing["address"].toInt(), kMissingAddress);
  EXPECT_EQ(missing["error"].toString(), QString::fromUtf8("wyjątek 2"));
  EXPECT_FALSE(missing.contains("value"));
  EXPECT_FALSE(missing.contains("text"));
}

TEST(ReadTool, ReadsEveryTypeFromTheSimulatorAndAsksThreeTimesForAMissingRegister) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string definition = WriteDefinition(dir);
  ASSERT_FALSE(definition.empty());
  SimulatorProcess sim({"--definition", definition, "--baud", "19200", "--exception-at",
                        std::to_string(kMissingAddress) + ":2"});
  ExpectEveryValue(sim.path(), definition, "19200");
  // The missing register was asked for three times, each in a transaction of its own.
  int asked = 0;
  for (const WireFrame& f : sim.logLines())
    if (f.direction == '>' && f.bytes.size() >= 4 && (f.bytes[2] << 8 | f.bytes[3]) == kMissingAddress)
      ++asked;
  EXPECT_EQ(asked, 3);

  // A group alone, as lines: path, address and the tree's text; everything read, so exit 0.
  const ToolRun group =
      Tool("velnorex-read",
           {"--port", QString::fromStdString(sim.path()), "--baud", "19200", "--parity", "n", "--definition",
            QString::fromStdString(definition), "--slave", "1", "--group", "Pomiary"});
  ASSERT_EQ(group.exitCode, 0) << group.err.toStdString();
  EXPECT_EQ(QString::fromUtf8(group.out), QString::fromUtf8("Pomiary / Napięcie\t100\t65535\n"
                                                            "Pomiary / Moc bierna\t101\t-120\n"
                                                            "Pomiary / Energia\t110\t23,47\n"
                                                            "Pomiary / Współczynnik\t112\t0,1000000015\n"));
}

TEST(ReadTool, ReadsEveryTypeFromPymodbus) {
  VELNOREX_REQUIRE_PYMODBUS();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string definition = WriteDefinition(dir);
  ASSERT_FALSE(definition.empty());
  PymodbusPeer::Options options;
  options.size = kMissingAddress;  // the register after the last one held answers exception 2
  for (const Case& c : kCases) options.values.push_back({static_cast<uint16_t>(c.address), c.words});
  PymodbusPeer peer(options);
  ExpectEveryValue(peer.path(), definition, "9600");
}

// The same definition through a gateway and from Modbus TCP servers: pymodbus with both framings and
// libmodbus, the line settings left out or given (they are ignored); then what a script sees of a link that
// fails.
TEST(ReadTool, ReadsEveryTypeOverTcpFromPymodbusAndLibmodbusAndTellsWhyALinkFails) {
  VELNOREX_REQUIRE_PYMODBUS_TCP();
  VELNOREX_REQUIRE_LIBMODBUS();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string definition = WriteDefinition(dir);
  ASSERT_FALSE(definition.empty());
  PeerTables tables;
  tables.size = kMissingAddress;
  for (const Case& c : kCases) tables.values.push_back({static_cast<uint16_t>(c.address), c.words});
  for (const PeerLink link : {PeerLink::ModbusTcp, PeerLink::RtuOverTcp}) {
    PymodbusPeer::Options options;
    static_cast<PeerTables&>(options) = tables;
    options.link = link;
    PymodbusPeer peer(options);
    SCOPED_TRACE(peer.path());
    ExpectEveryValue(peer.path(), definition, "9600");
  }
  LibmodbusTcpServer server(tables);
  ExpectEveryValue(server.path(), definition, "not a baud rate");

  const QStringList rest = {"--definition", QString::fromStdString(definition), "--slave", "1", "--json"};
  const ToolRun refused = Tool("velnorex-read", QStringList{"--port", "tcp://127.0.0.1:1"} + rest);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(refused.err.contains("connection refused")) << refused.err.toStdString();
  // A name no resolver can hold (an empty label): unknown without asking a name server.
  const ToolRun unknown = Tool("velnorex-read", QStringList{"--port", "rtu+tcp://no..such-host"} + rest);
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_TRUE(unknown.err.contains("host unknown")) << unknown.err.toStdString();
  // Connected, but nobody answers: every register is a failed read.
  SimulatorProcess silent(PeerLink::ModbusTcp, {"--definition", definition, "--silent-first", "1000000000"});
  const ToolRun unanswered =
      Tool("velnorex-read", QStringList{"--port", QString::fromStdString(silent.path())} +
                                QStringList{"--group", "Pomiary"} + rest);
  EXPECT_EQ(unanswered.exitCode, 1) << unanswered.err.toStdString();
  const QJsonArray items = QJsonDocument::fromJson(unanswered.out).array();
  ASSERT_EQ(items.size(), 4) << unanswered.out.toStdString();
  for (const QJsonValue& item : items) EXPECT_EQ(item.toObject()["error"].toString(), "brak odpowiedzi");
}

TEST(ReadTool, EveryTableWordOrderAndUnitFromPymodbus) {
  // An input F32 in CDAB, a holding I32 in ABCD, an I16 at 0.1 °C, a coil and a discrete input, as a
  // definition says them in JSON, read from the independent peer.
  VELNOREX_REQUIRE_PYMODBUS();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const auto reg = [](const char* name, int address, const char* type, const char* table, int count) {
    QJsonObject node{{"name", name},   {"address", QString::number(address)},
                     {"type", type},   {"count", QString::number(count)},
                     {"access", "RO"}, {"table", table}};
    return node;
  };
  QJsonObject f32 = reg("Przepływ", 0, "F32", "input", 2);
  f32["order"] = "CDAB";
  QJsonObject i32 = reg("Licznik", 10, "I32", "holding", 2);
  i32["order"] = "ABCD";
  QJsonObject i16 = reg("Temperatura", 20, "I16", "holding", 1);
  i16["scale"] = 0.1;
  i16["unit"] = QString::fromUtf8("°C");
  const QJsonArray nodes{
      QJsonObject{{"name", "Pomiary"},
                  {"children", QJsonArray{f32, i32, i16, reg("Pompa", 5, "BOOL", "coil", 1),
                                          reg("Drzwi", 6, "BOOL", "discrete", 1)}}}};
  const QString json = dir.filePath("tables.json"), dat = dir.filePath("tables.dat");
  QFile file(json);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QJsonDocument(QJsonObject{{"format", "velnorex-definition"}, {"version", 1}, {"nodes", nodes}})
                 .toJson());
  file.close();
  const ToolRun compiled = Tool("velnorex-dat", {"compile", json, "-o", dat});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.err.toStdString();

  PymodbusPeer::Options options;
  options.size = 64;
  options.inputs = {{0, {0x0000, 0x41AC}}};  // 21.5f, low word first
  options.values = {{10, {0xFFFE, 0x1DC0}},  // -123456, high word first
                    {20, {0xFF83}}};         // -125: -12,5 °C
  options.coils = {{5, {1}}};
  options.discretes = {{6, {0}}};
  PymodbusPeer peer(options);
  const ToolRun run =
      Tool("velnorex-read", {"--port", QString::fromStdString(peer.path()), "--baud", "9600", "--parity",
                             "none", "--definition", dat, "--slave", "1", "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QJsonArray items = QJsonDocument::fromJson(run.out).array();
  ASSERT_EQ(items.size(), 5) << run.out.toStdString();
  const auto item = [&](int i) { return items[i].toObject(); };
  EXPECT_EQ(item(0)["table"].toString(), "input");
  EXPECT_EQ(item(0)["type"].toString(), "F32");
  EXPECT_EQ(item(0)["value"].toDouble(), 21.5);
  EXPECT_EQ(item(0)["words"].toArray(), (QJsonArray{0x0000, 0x41AC}));
  EXPECT_EQ(item(1)["table"].toString(), "holding");
  EXPECT_EQ(item(1)["value"].toDouble(), -123456);
  EXPECT_EQ(item(2)["value"].toDouble(), -12.5);
  EXPECT_EQ(item(2)["unit"].toString(), QString::fromUtf8("°C"));
  EXPECT_EQ(item(2)["text"].toString(), QString::fromUtf8("-12,5 °C"));
  EXPECT_EQ(item(3)["table"].toString(), "coil");
  EXPECT_EQ(item(3)["value"], QJsonValue(true));
  EXPECT_EQ(item(4)["table"].toString(), "discrete");
  EXPECT_EQ(item(4)["value"], QJsonValue(false));
}

TEST(ReadTool, UsageAndPortErrorsExitWithTwo) {
  EXPECT_EQ(Tool("velnorex-read", {"--help"}).exitCode, 0);
  const ToolRun missing = Tool("velnorex-read", {"--port", "/dev/null"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_TRUE(missing.out.isEmpty());
  const ToolRun parity = Tool("velnorex-read", {"--port", "x", "--baud", "9600", "--parity", "mark",
                                                "--definition", "x.dat", "--slave", "1"});
  EXPECT_EQ(parity.exitCode, 2);
  EXPECT_TRUE(parity.err.contains("--parity")) << parity.err.toStdString();
}

}  // namespace
}  // namespace velnorex::test
