// velnorex-scan against velnorex-sim on a pseudo-terminal: three transducers at one line setting are found
// exactly, at that setting only, and the line sees nothing but harmless probes.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "tests/support/simulator.h"

namespace velnorex::test {
namespace {

struct ScanRun {
  int exitCode = -1;
  QByteArray out, err;
};

ScanRun Scan(const QStringList& args) {
  QProcess scan;
  scan.start(QString::fromStdString(BinDir() + "/velnorex-scan"), args);
  ScanRun run;
  if (!scan.waitForFinished(120000)) {
    scan.kill();
    scan.waitForFinished();
    return run;
  }
  run.exitCode = scan.exitStatus() == QProcess::NormalExit ? scan.exitCode() : -1;
  run.out = scan.readAllStandardOutput();
  run.err = scan.readAllStandardError();
  return run;
}

TEST(ScanTool, FindsExactlyTheTransducersAtTheirOwnSettingAndNeverWritesOrBroadcasts) {
  // Three transducers at 19200 baud, even parity (one stop bit), with a register 0 to read.
  SimulatorProcess sim({"--slave", "3", "--slave", "17", "--slave", "30", "--baud", "19200", "--parity", "e",
                        "--value", "0:WORD:1:4321"});
  const QString port = QString::fromStdString(sim.path());
  // A generous budget: a busy machine must not make a transducer look absent.
  const ScanRun run = Scan({"--port", port, "--baud", "9600,19200", "--parity", "none,even", "--from", "1",
                            "--to", "30", "--budget-ms", "60", "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

  const QJsonDocument json = QJsonDocument::fromJson(run.out);
  ASSERT_TRUE(json.isArray()) << run.out.toStdString();
  std::set<int> found;
  for (const QJsonValue& v : json.array()) {
    const QJsonObject hit = v.toObject();
    found.insert(hit["address"].toInt());
    EXPECT_EQ(hit["baud"].toInt(), 19200);
    EXPECT_EQ(hit["parity"].toString(), "even");
    EXPECT_EQ(hit["reply"].toString(), "value 4321");
    EXPECT_GT(hit["ms"].toDouble(), 0.0);
  }
  EXPECT_EQ(json.array().size(), 3);
  EXPECT_EQ(found, (std::set<int>{3, 17, 30}));
  // A progress line per setting, with its percentage.
  const QString progress = QString::fromUtf8(run.err);
  for (const char* line : {"9600 none: 0 %", "9600 even: 25 %", "19200 none: 50 %", "19200 even: 75 %"})
    EXPECT_TRUE(progress.contains(QLatin1String(line))) << line << "\n" << progress.toStdString();

  // Every probe reached the line: a read of one register, never address 0, never a write. (The simulator logs
  // an answer once it has sent it: the last one may still be on its way to the log.)
  const auto frames = sim.waitForLogLines(4 * 30 + 3);
  int requests = 0;
  for (const WireFrame& f : frames) {
    if (f.direction != '>') continue;
    ++requests;
    ASSERT_EQ(f.bytes.size(), 8u);
    EXPECT_NE(f.bytes[0], 0);
    EXPECT_EQ(f.bytes[1], 3);
    EXPECT_EQ(f.bytes[5], 1);
  }
  EXPECT_EQ(requests, 4 * 30);
  EXPECT_EQ(frames.size() - requests, 3u);  // the three answers
}

TEST(ScanTool, NothingFoundUsageAndPortErrorsHaveTheirExitCodes) {
  SimulatorProcess sim({"--slave", "9", "--baud", "19200", "--registers", "0:1"});
  // Transducer 9 exists, but not at 9600 baud; the text output then stays empty.
  ScanRun run = Scan({"--port", QString::fromStdString(sim.path()), "--baud", "9600", "--parity", "none",
                      "--from", "5", "--to", "12"});
  EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_TRUE(run.err.contains("finished, 0 found"));
  // The echo probe finds it at its own setting, as a text line.
  run = Scan({"--port", QString::fromStdString(sim.path()), "--baud", "19200", "--parity", "none", "--from",
              "9", "--to", "9", "--probe", "echo", "--budget-ms", "100"});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.startsWith("9\t19200\tnone\techo\t")) << run.out.toStdString();

  for (const QStringList& bad :
       {QStringList{"--baud", "9600"}, QStringList{"--port", "x", "--from", "0"},
        QStringList{"--port", "x", "--parity", "mark"}, QStringList{"--port", "x", "--probe", "write:1"}}) {
    run = Scan(bad);
    EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains("see --help")) << run.err.toStdString();
  }
  run = Scan({"--port", "/dev/velnorex-no-such-port", "--baud", "9600", "--parity", "none"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.err.contains("cannot open"));
  run = Scan({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.contains("--budget-ms"));
}

// On a Modbus TCP server the unit ids are searched once, the line settings given or not, and unit id 255
// last: a device that ignores the unit id is shown as such; baud rate and parity are null.
TEST(ScanTool, WalksUnitIdsOnceOverModbusTcpAndAsksTheAnyUnitIdLast) {
  SimulatorProcess sim(PeerLink::ModbusTcp, {"--slave", "3", "--any-unit", "--value", "0:WORD:1:77"});
  const ScanRun run = Scan({"--port", QString::fromStdString(sim.path()), "--baud", "9600,19200", "--parity",
                            "none,even", "--to", "5", "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QJsonArray hits = QJsonDocument::fromJson(run.out).array();
  ASSERT_EQ(hits.size(), 2) << run.out.toStdString();
  EXPECT_EQ(hits[0].toObject()["address"].toInt(), 3);
  EXPECT_EQ(hits[0].toObject()["reply"].toString(), "value 77");
  EXPECT_EQ(hits[1].toObject()["address"].toInt(), 255);
  EXPECT_EQ(hits[1].toObject()["reply"].toString(), "value 77 (any unit id)");
  EXPECT_TRUE(hits[0].toObject()["baud"].isNull());
  EXPECT_TRUE(hits[0].toObject()["parity"].isNull());
  // Six probes in all, one line setting: five unit ids and 255.
  int requests = 0;
  for (const WireFrame& f : sim.waitForLogLines(6 + 2))
    if (f.direction == '>') ++requests;
  EXPECT_EQ(requests, 6);
}

}  // namespace
}  // namespace velnorex::test
