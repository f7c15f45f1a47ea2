// velnorex-config as a commissioning script runs it: save, compare equal, compare after the transducer
// changed, list a restore, restore, compare equal again; and the exit status of a usage, port or file error.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

struct ToolResult {
  int status = -1;
  std::string out;
};

ToolResult RunProgram(const std::string& program, const std::string& args) {
  ToolResult result;
  const std::string command = BinDir() + "/" + program + " " + args + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ToolResult RunTool(const std::string& args) {
  return RunProgram("velnorex-config", args);
}

// The addresses of the output array's entries, in order.
std::vector<int> Addresses(const std::string& json) {
  std::vector<int> out;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
  EXPECT_TRUE(doc.isArray()) << json;
  for (const QJsonValue& v : doc.array()) out.push_back(v.toObject().value("address").toInt(-1));
  return out;
}

class ConfigTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(BinDir() + "/velnorex-config")) << BinDir();
    dir = std::filesystem::temp_directory_path() / ("velnorex-config-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    file = (dir / "THV-21 konfiguracja.json").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string options(const SimulatorProcess& sim, const std::string& slave = "1") const {
    return "--port " + sim.path() + " --baud 19200 --parity n --definition " + BinDir() +
           "/THV-21.dat --slave " + slave + " '" + file + "'";
  }
  static int writes(const SimulatorProcess& sim) {
    int n = 0;
    for (const WireFrame& f : sim.logLines()) n += f.direction == '>' && f.bytes[1] != 3;
    return n;
  }

  std::filesystem::path dir;
  std::string file;
};

TEST_F(ConfigTool, SaveCompareRestoreCompareAsAScriptDoes) {
  {
    SimulatorProcess old({"--definition", BinDir() + "/THV-21.dat"});
    const ToolResult saved = RunTool("save " + options(old));
    EXPECT_EQ(saved.status, 0);
    EXPECT_EQ(saved.out, "[]\n");
    ASSERT_TRUE(std::filesystem::exists(file));
    const ToolResult same = RunTool("compare " + options(old));
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "[]\n");
  }

  // The replacement transducer came with other settings.
  SimulatorProcess fresh(
      {"--definition", BinDir() + "/THV-21.dat", "--value", "101:WORD:1:0", "--value", "108:REAL:2:70,5"});
  const ToolResult different = RunTool("compare " + options(fresh));
  EXPECT_EQ(different.status, 1);
  EXPECT_EQ(Addresses(different.out), (std::vector<int>{101, 108}));
  const QJsonObject first =
      QJsonDocument::fromJson(QByteArray::fromStdString(different.out)).array()[1].toObject();
  EXPECT_EQ(first.value("file").toString(), QStringLiteral("80,00"));
  EXPECT_EQ(first.value("device").toString(), QStringLiteral("70,50"));
  EXPECT_EQ(first.value("path").toArray().last().toString(), QStringLiteral("Próg alarmu wilgotności"));

  const ToolResult listed = RunTool("restore --dry-run " + options(fresh));
  EXPECT_EQ(listed.status, 1);
  EXPECT_EQ(Addresses(listed.out), (std::vector<int>{101, 108}));
  EXPECT_EQ(writes(fresh), 0);

  const ToolResult restored = RunTool("restore " + options(fresh));
  EXPECT_EQ(restored.status, 0) << restored.out;
  EXPECT_EQ(writes(fresh), 2);
  for (const QJsonValue& v : QJsonDocument::fromJson(QByteArray::fromStdString(restored.out)).array())
    EXPECT_EQ(v.toObject().value("result").toString(), QStringLiteral("written"));
  EXPECT_EQ(RunTool("compare " + options(fresh)).status, 0);
}

TEST_F(ConfigTool, UsagePortAndFileErrorsExitWithTwo) {
  SimulatorProcess sim({"--definition", BinDir() + "/THV-21.dat"});
  EXPECT_EQ(RunTool("--help").status, 0);
  EXPECT_EQ(RunTool("").status, 2);
  EXPECT_EQ(RunTool("frobnicate " + options(sim)).status, 2);
  EXPECT_EQ(RunTool("save --port " + sim.path() + " '" + file + "'").status, 2);
  EXPECT_EQ(RunTool("restore " + options(sim, "0")).status, 2);  // never the broadcast address
  EXPECT_EQ(RunTool("compare " + options(sim)).status, 2);       // no such file yet
  EXPECT_EQ(RunTool("save --port /nonexistent/tty --baud 19200 --parity n --definition " + BinDir() +
                    "/THV-21.dat --slave 1 '" + file + "'")
                .status,
            2);
  EXPECT_EQ(writes(sim), 0);
  EXPECT_FALSE(std::filesystem::exists(file));
}

// What the search prints is what the configuration command takes: the parity in either spelling, the
// addresses of the search's range and no others.
TEST_F(ConfigTool, TakesTheLineSettingsAndAddressAsTheSearchPrintsThem) {
  SimulatorProcess sim(
      {"--definition", BinDir() + "/THV-21.dat", "--slave", "7", "--baud", "19200", "--parity", "even"});
  const ToolResult found =
      RunProgram("velnorex-scan", "--port " + sim.path() + " --baud 19200 --parity e --to 9");
  ASSERT_EQ(found.status, 0);
  char parity[16] = {};
  int address = 0, baud = 0;
  ASSERT_EQ(std::sscanf(found.out.c_str(), "%d\t%d\t%15[a-z]\t", &address, &baud, parity), 3) << found.out;
  EXPECT_EQ(std::string(parity), "even");
  const std::string line = "--port " + sim.path() + " --baud " + std::to_string(baud) + " --definition " +
                           BinDir() + "/THV-21.dat '" + file + "'";
  EXPECT_EQ(
      RunTool("save --parity " + std::string(parity) + " --slave " + std::to_string(address) + " " + line)
          .status,
      0);
  EXPECT_EQ(RunTool("compare --parity E --slave 7 " + line).status, 0);
  for (const char* refused : {"--parity even --slave 248", "--parity even --slave 255",
                              "--parity ev --slave 7", "--parity even --slave '$7'"})
    EXPECT_EQ(RunTool(std::string("compare ") + refused + " " + line).status, 2) << refused;
}

}  // namespace
}  // namespace velnorex::test
