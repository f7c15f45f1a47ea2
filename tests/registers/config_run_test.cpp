// The configuration engine against velnorex-sim on a pseudo-terminal: a snapshot holds every writable
// register, a compare names exactly what changed, and a restore writes exactly the differing writable
// registers (the simulator's log says so), line setting last, each read back. The file format's round trip.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "config/config_run.h"
#include "tests/interop/interop_fixture.h"
#include "tests/support/frames.h"
#include "tests/support/simulator.h"
#include "text/number_text.h"
#include "tools/velnorex-sim/register_map.h"

namespace velnorex::test {
namespace {

using Outcome = ConfigRun::Outcome;

// The writable registers of THV-21 in tree order, with the values the definition seeds the simulator with.
struct Seeded {
  int address;
  std::u16string type;
  int count;
  std::u16string seed;   // as the definition writes it
  std::u16string shown;  // as a read shows it
};
const std::vector<Seeded> kWritable = {
    {100, u"WORD", 1, u"1", u"1"},         {101, u"WORD", 1, u"1", u"1"},
    {102, u"WORD", 1, u"1", u"1"},         {103, u"INT", 1, u"-5", u"-5"},
    {104, u"HEX", 1, u"$0101", u"$101"},   {106, u"PREC", 2, u"1,0000000000", u"1,0000000000"},
    {108, u"REAL", 2, u"80,00", u"80,00"}, {210, u"TEXT", 8, u"Hala 2", u"Hala 2"},
};

class ConfigRunTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadFromFile(tree, BinDir() + "/THV-21.dat"); }

  // A transducer seeded from THV-21 (plus `args`), and the line to it.
  void connect(std::vector<std::string> args = {}) {
    line.reset();
    args.insert(args.begin(), {"--definition", BinDir() + "/THV-21.dat"});
    sim = std::make_unique<SimulatorProcess>(args);
    line = std::make_unique<MasterLine>();
    ASSERT_TRUE(line->open(sim->path()));
  }

  std::unique_ptr<ConfigRun> makeRun(std::u16string slave = u"1") {
    return std::make_unique<ConfigRun>(line->modbus, line->dispatcher, line->bus.readRefusals(),
                                       std::move(slave), true);
  }

  // Steps until the phase ends; a run that never ends fails the test instead of hanging it.
  static void runPhase(ConfigRun& run) {
    for (int steps = 0; run.step(); ++steps) ASSERT_LT(steps, 1000);
  }

  ConfigFile saveAll() {
    auto run = makeRun();
    run->prepareSave(tree.root());
    runPhase(*run);
    EXPECT_EQ(run->phase(), ConfigRun::Phase::Read);
    ConfigFile heading;
    heading.definition = u"THV-21.dat";
    heading.slave = 1;
    return run->snapshot(heading);
  }

  // A read of `count` holding registers from `address` of slave 1, as it goes on the line.
  static std::string ReadFrame(int address, int count) {
    return Hex(WithCrc({1, 3, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0,
                        static_cast<uint8_t>(count)}));
  }

  // The frames the simulator logged from `from` on in one direction ('>' requests, '<' replies), as hex.
  std::vector<std::string> frames(char direction, size_t from = 0) const {
    std::vector<std::string> out;
    const std::vector<WireFrame> log = sim->logLines();
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].direction == direction) out.push_back(Hex(log[i].bytes));
    return out;
  }

  // The requests the simulator got, as (function, address) pairs, leaving out reads when asked to.
  std::vector<std::pair<int, int>> requests(bool writesOnly) const {
    std::vector<std::pair<int, int>> out;
    for (const WireFrame& f : sim->logLines())
      if (f.direction == '>' && (!writesOnly || f.bytes[1] != 3))
        out.emplace_back(f.bytes[1], f.bytes[2] << 8 | f.bytes[3]);
    return out;
  }

  RegisterTree tree;
  std::unique_ptr<SimulatorProcess> sim;
  std::unique_ptr<MasterLine> line;
};

TEST_F(ConfigRunTest, SnapshotHoldsEveryWritableRegisterAndRecordsTheOneThatNeverAnswers) {
  connect({"--value", "108:REAL:2:75,25", "--exception-at", "106"});
  const ConfigFile file = saveAll();
  ASSERT_EQ(file.registers.size(), kWritable.size());
  for (size_t i = 0; i < kWritable.size(); ++i) {
    const Seeded& s = kWritable[i];
    const ConfigRegister& r = file.registers[i];
    SCOPED_TRACE(s.address);
    EXPECT_EQ(r.address, s.address);
    EXPECT_EQ(r.type, s.type);
    EXPECT_EQ(r.count, s.count);
    EXPECT_EQ(r.lineSetting, s.address >= 100 && s.address <= 102);
    EXPECT_EQ(r.path.front(), s.address == 210 ? u"Identyfikacja" : u"Konfiguracja");
    if (s.address == 106) {
      EXPECT_FALSE(r.value.has_value());
      EXPECT_EQ(r.error, u"wyjątek 4");
      continue;
    }
    const std::u16string seed = s.address == 108 ? u"75,25" : s.seed;
    ASSERT_TRUE(r.value.has_value());
    EXPECT_EQ(*r.value, s.address == 108 ? u"75,25" : s.shown);
    // The raw words as the simulator's own encoder seeded them.
    EXPECT_EQ(r.words, sim::EncodeValue(velnorex::TypeCodeOf(s.type), static_cast<uint32_t>(s.count), seed));
  }
  // Neighbours are read together across the unmapped 105. That block is refused and read in its runs side
  // by side; the run that holds the failing register is refused again and read register by register; the
  // failing one is asked again, as in a group read, but not for ever; every other register once.
  std::vector<std::string> expected = {ReadFrame(100, 10), ReadFrame(100, 5), ReadFrame(106, 4)};
  for (int i = 0; i < ConfigRun::kReadAttempts; ++i) expected.push_back(ReadFrame(106, 2));
  expected.push_back(ReadFrame(108, 2));
  expected.push_back(ReadFrame(210, 8));
  EXPECT_EQ(frames('>'), expected);
  // Saved again on the same connection: neither refused block is asked for again.
  const size_t mark = sim->logLines().size();
  EXPECT_EQ(saveAll().registers[5].error, u"wyjątek 4");
  expected.erase(expected.begin(), expected.begin() + 1);
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(frames('>', mark), expected);

  // The file's text reads back to the same registers.
  const ConfigFile again = ConfigFileFromJson(ConfigFileToJson(file));
  ASSERT_EQ(again.registers.size(), file.registers.size());
  for (size_t i = 0; i < file.registers.size(); ++i) {
    EXPECT_EQ(again.registers[i].path, file.registers[i].path);
    EXPECT_EQ(again.registers[i].value, file.registers[i].value);
    EXPECT_EQ(again.registers[i].words, file.registers[i].words);
    EXPECT_EQ(again.registers[i].error, file.registers[i].error);
    EXPECT_EQ(again.registers[i].lineSetting, file.registers[i].lineSetting);
  }
  EXPECT_EQ(ConfigFileToJson(again), ConfigFileToJson(file));
}

TEST_F(ConfigRunTest, AGappedBlockRefusedOnceAConnectionIsReadInItsRunsWithEveryValue) {
  const auto save = [this](bool blockReads) {
    auto run = makeRun();
    run->setBlockReads(blockReads);
    run->prepareSave(tree.root());
    runPhase(*run);
    EXPECT_EQ(run->phase(), ConfigRun::Phase::Read);
    return run->snapshot(ConfigFile{});
  };
  const auto sameValues = [](const ConfigFile& planned, const ConfigFile& alone) {
    ASSERT_EQ(planned.registers.size(), kWritable.size());
    ASSERT_EQ(alone.registers.size(), kWritable.size());
    for (size_t i = 0; i < kWritable.size(); ++i) {
      SCOPED_TRACE(kWritable[i].address);
      ASSERT_TRUE(alone.registers[i].value.has_value());
      EXPECT_EQ(planned.registers[i].value, alone.registers[i].value);
      EXPECT_EQ(planned.registers[i].words, alone.registers[i].words);
    }
  };
  const std::vector<std::string> runs = {ReadFrame(100, 5), ReadFrame(106, 4), ReadFrame(210, 8)};
  std::vector<std::string> refusedThenRuns = runs;
  refusedThenRuns.insert(refusedThenRuns.begin(), ReadFrame(100, 10));

  // THV-21 as its definition maps it: 105 is no register.
  connect();
  const ConfigFile alone = save(false);
  size_t mark = sim->logLines().size();
  sameValues(save(true), alone);
  EXPECT_EQ(frames('>', mark), refusedThenRuns);
  const std::vector<std::string> replies = frames('<', mark);
  ASSERT_FALSE(replies.empty());
  EXPECT_EQ(replies.front(), Hex(WithCrc({1, 0x83, 2})));
  EXPECT_EQ(line->bus.readRefusals().size(), 1u);
  // The next save on the same connection goes straight to the runs.
  mark = sim->logLines().size();
  sameValues(save(true), alone);
  EXPECT_EQ(frames('>', mark), runs);
  // A port opened again may reach another transducer: the refusal is asked again.
  line->serial.ClosePort();
  ASSERT_TRUE(line->open(sim->path()));
  EXPECT_EQ(line->bus.readRefusals().size(), 0u);
  mark = sim->logLines().size();
  sameValues(save(true), alone);
  EXPECT_EQ(frames('>', mark), refusedThenRuns);

  // A transducer that maps its whole configuration block: two requests.
  connect({"--value", "105:WORD:1:0"});
  const ConfigFile whole = save(false);
  mark = sim->logLines().size();
  sameValues(save(true), whole);
  EXPECT_EQ(frames('>', mark), (std::vector<std::string>{ReadFrame(100, 10), ReadFrame(210, 8)}));
  EXPECT_EQ(line->bus.readRefusals().size(), 0u);
}

TEST_F(ConfigRunTest, CompareNamesExactlyTheRegistersThatChangedWithinItsScope) {
  connect();
  ConfigFile file = saveAll();
  // Entries the definition does not have as the file says are named, not compared.
  ConfigRegister unknown = file.registers.front();
  unknown.path.back() = u"Nieznany";
  file.registers.push_back(unknown);
  file.registers[3].type = u"WORD";

  connect({"--value", "101:WORD:1:3", "--value", "103:INT:1:12", "--value", "108:REAL:2:81,5", "--value",
           "210:TEXT:8:Hala 7", "--value", "0:REAL:2:-40"});
  auto run = makeRun();
  run->prepareCompare(tree.root(), nullptr, file);
  runPhase(*run);
  ASSERT_EQ(run->phase(), ConfigRun::Phase::Read);
  std::set<int> differing;
  std::map<std::u16string, std::u16string> problems;
  for (const ConfigRun::Item& item : run->items()) {
    if (item.differs()) differing.insert(item.saved->address);
    if (!item.problem.empty()) problems[item.path.back()] = item.problem;
  }
  EXPECT_EQ(differing, (std::set<int>{101, 108, 210}));  // 103 changed too, but is not compared
  EXPECT_EQ(problems, (std::map<std::u16string, std::u16string>{
                          {u"Nieznany", u"nie ma w definicji"},
                          {u"Przesunięcie temperatury", u"inny typ w definicji"}}));

  // With a group as the scope only its registers are read and compared.
  RegisterTreeNode* identyfikacja = tree.root().child(3);
  ASSERT_EQ(ScopeGroup(identyfikacja), identyfikacja);
  EXPECT_EQ(ScopeGroup(identyfikacja->child(0)), nullptr);  // a register is no group
  const size_t before = sim->logLines().size();
  auto scoped = makeRun();
  scoped->prepareCompare(tree.root(), identyfikacja, file);
  runPhase(*scoped);
  ASSERT_EQ(scoped->items().size(), 1u);
  EXPECT_TRUE(scoped->items()[0].differs());
  EXPECT_EQ(sim->logLines().size(), before + 2);  // one read and its reply
}

TEST_F(ConfigRunTest, RestoreWritesOnlyTheDifferingWritableRegistersLineSettingLastEachReadBack) {
  connect();
  ConfigFile file = saveAll();
  // A read-only register in the file, and a writable one the file calls read-only: neither is ever written.
  ConfigRegister temperature{{u"Pomiary", u"Temperatura"}, 0, u"REAL", 2, u"RO", false, u"99,00", {}, {}};
  file.registers.push_back(temperature);
  file.registers[3].access = u"RO";

  connect({"--value", "100:WORD:1:7", "--value", "102:WORD:1:2", "--value", "103:INT:1:12", "--value",
           "104:HEX:1:$0202", "--refuse-write", "104", "--value", "108:REAL:2:81,5", "--value",
           "210:TEXT:8:Hala 7"});
  auto run = makeRun();
  run->prepareCompare(tree.root(), nullptr, file);
  runPhase(*run);
  ASSERT_EQ(run->phase(), ConfigRun::Phase::Read);
  std::vector<int> planned;
  for (const ConfigRun::Item* item : run->planRestore()) planned.push_back(item->saved->address);
  EXPECT_EQ(planned, (std::vector<int>{104, 108, 210, 100, 102}));

  const size_t readsBefore = sim->logLines().size();
  run->startRestore();
  runPhase(*run);
  ASSERT_EQ(run->phase(), ConfigRun::Phase::Finished);

  // On the line: each write followed by the read of the same register, the line setting last; the refused
  // write did not stop the rest.
  std::vector<std::pair<int, int>> restore;
  const auto log = sim->logLines();
  for (size_t i = readsBefore; i < log.size(); ++i)
    if (log[i].direction == '>')
      restore.emplace_back(log[i].bytes[1], log[i].bytes[2] << 8 | log[i].bytes[3]);
  EXPECT_EQ(restore, (std::vector<std::pair<int, int>>{{6, 104},
                                                       {3, 104},
                                                       {16, 108},
                                                       {3, 108},
                                                       {16, 210},
                                                       {3, 210},
                                                       {6, 100},
                                                       {3, 100},
                                                       {6, 102},
                                                       {3, 102}}));
  // The text goes back word for word as the file holds it.
  const auto textWrite = std::find_if(log.begin(), log.end(), [](const WireFrame& f) {
    return f.direction == '>' && f.bytes[1] == 16 && f.bytes[3] == 210;
  });
  ASSERT_NE(textWrite, log.end());
  EXPECT_EQ(Bytes(textWrite->bytes.begin() + 7, textWrite->bytes.end() - 2),
            (Bytes{'H', 'a', 'l', 'a', ' ', '2', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  std::map<int, Outcome> outcomes;
  for (const ConfigRun::Item& item : run->items())
    if (item.outcome != Outcome::None) outcomes[item.saved->address] = item.outcome;
  EXPECT_EQ(outcomes, (std::map<int, Outcome>{{104, Outcome::Failed},
                                              {108, Outcome::Written},
                                              {210, Outcome::Written},
                                              {100, Outcome::Written},
                                              {102, Outcome::Written}}));
  const auto refused = std::find_if(run->items().begin(), run->items().end(),
                                    [](const ConfigRun::Item& i) { return i.saved->address == 104; });
  EXPECT_EQ(refused->writeError, u"wyjątek 4");
  EXPECT_EQ(refused->after.value, u"$202");

  // What still differs afterwards: the refused one and the two read-only ones.
  auto check = makeRun();
  check->prepareCompare(tree.root(), nullptr, file);
  runPhase(*check);
  std::set<int> differing;
  for (const ConfigRun::Item& item : check->items())
    if (item.differs()) differing.insert(item.saved->address);
  EXPECT_EQ(differing, (std::set<int>{0, 103, 104}));
}

TEST_F(ConfigRunTest, TheBroadcastAddressNeverGetsARequest) {
  connect();
  EXPECT_TRUE(ConfigRun::IsBroadcast(u"0"));
  EXPECT_TRUE(ConfigRun::IsBroadcast(u"256"));  // the frame takes the low 8 bits
  EXPECT_FALSE(ConfigRun::IsBroadcast(u"$F7"));
  const ConfigFile file = saveAll();
  const size_t before = sim->logLines().size();
  for (const char16_t* slave : {u"0", u"512"}) {
    auto run = makeRun(slave);
    run->prepareCompare(tree.root(), nullptr, file);
    EXPECT_FALSE(run->step());
    EXPECT_EQ(run->phase(), ConfigRun::Phase::Aborted);
  }
  EXPECT_EQ(sim->logLines().size(), before);
}

TEST(ConfigFile, TheDocumentedExampleReads) {
  const char* source = std::getenv("VELNOREX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream in(std::string(source) + "/docs/CONFIGURATION.md");
  const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t start = doc.find("```json\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = doc.find("```", start + 8);
  const ConfigFile file = ConfigFileFromJson(doc.substr(start + 8, end - start - 8));
  ASSERT_EQ(file.registers.size(), 6u);
  EXPECT_EQ(file.registers[3].error, u"brak odpowiedzi");
  // Its words are what a read of those values gives, so a restore would write them as they are.
  for (const ConfigRegister& r : file.registers) {
    if (r.value) {
      EXPECT_TRUE(WantedOf(r).exactWords) << ToUtf8(PathText(r.path));
    }
  }
}

TEST(ConfigFile, ReadsTheDocumentedFormAndRefusesBadInputNamingThePlace) {
  const std::string text = R"({"format": "velnorex-configuration", "version": 1,
    "definition": "THV-21.dat", "slave": 1, "savedAt": "2024-05-14T10:32:05+02:00",
    "line": {"baud": 19200, "parity": "e", "dataBits": 8, "stopBits": 1.5},
    "scope": ["Konfiguracja"],
    "registers": [
      {"path": ["Konfiguracja", "Adres urządzenia"], "address": 100, "type": "WORD", "count": 1, "access": "RW", "lineSetting": true, "value": "1", "words": [1]},
      {"path": ["Konfiguracja", "Próg alarmu wilgotności"], "address": 108, "type": "REAL", "count": 2, "access": "RW", "value": "80,00", "words": [0, 17056]},
      {"path": ["Konfiguracja", "Tryb pracy"], "address": 104, "type": "HEX", "count": 1, "access": "RW", "error": "brak odpowiedzi"}
    ]})";
  const ConfigFile file = ConfigFileFromJson(text);
  EXPECT_EQ(file.definition, u"THV-21.dat");
  ASSERT_TRUE(file.line.has_value());
  EXPECT_EQ(file.line->parity, 'e');
  EXPECT_EQ(file.line->stopBitsTenths, 15);
  EXPECT_EQ(file.scope, (std::vector<std::u16string>{u"Konfiguracja"}));
  ASSERT_EQ(file.registers.size(), 3u);
  EXPECT_TRUE(file.registers[0].lineSetting);
  EXPECT_EQ(file.registers[2].error, u"brak odpowiedzi");
  EXPECT_EQ(ConfigFileFromJson(ConfigFileToJson(file)).savedAt, file.savedAt);

  // Words that still give the value restore exactly; a value edited by hand wins over them.
  EXPECT_TRUE(WantedOf(file.registers[1]).exactWords);
  ConfigRegister edited = file.registers[1];
  edited.value = u"85,00";
  EXPECT_FALSE(WantedOf(edited).exactWords);
  EXPECT_EQ(WantedOf(edited).text, u"85,00");

  const auto error = [](const std::string& json) -> std::string {
    try {
      ConfigFileFromJson(json);
    } catch (const ConfigFileError& e) {
      return e.what();
    }
    return "read";
  };
  const std::string head =
      R"({"format": "velnorex-configuration", "version": 1, "definition": "D", "slave": 1, )";
  EXPECT_EQ(error("{\n\"format\": ,}"), "2:12: illegal value");
  EXPECT_EQ(error(R"({"format": "velnorex-definition", "version": 1})"),
            "top level: \"format\" must be \"velnorex-configuration\"");
  EXPECT_EQ(error(head + R"("registers": [], "comment": 1})"), "top level: unknown field \"comment\"");
  EXPECT_EQ(error(head + R"("registers": [{"path": ["A"], "address": 70000, "type": "WORD", "count": 1,
      "access": "RW", "value": "1"}]})"),
            "registers[0]: \"address\" must be a whole number 0..65535");
  EXPECT_EQ(error(head + R"("registers": [{"path": ["A"], "address": 1, "type": "WORD", "count": 1,
      "access": "RW"}]})"),
            "registers[0]: needs either \"value\" or \"error\"");
  EXPECT_EQ(error(head + R"("registers": [{"path": [], "address": 1, "type": "WORD", "count": 1,
      "access": "RW", "value": "1"}]})"),
            "registers[0]: \"path\" must name the register");
}

TEST(ConfigRunTables, SnapshotKeepsWritableTablesAndRestoresCoilsAndOrderedWordsAsTheyWere) {
  RegisterTree tree;
  LoadFromFile(tree, BinDir() + "/PMV-3.dat");
  const auto runOn = [&tree](SimulatorProcess& sim, const ConfigFile* file) {
    MasterLine line;
    EXPECT_TRUE(line.open(sim.path()));
    ConfigRun run(line.modbus, line.dispatcher, line.bus.readRefusals(), u"1", true);
    if (file) {
      run.prepareCompare(tree.root(), nullptr, *file);
    } else {
      run.prepareSave(tree.root());
    }
    for (int steps = 0; run.step(); ++steps) EXPECT_LT(steps, 1000);
    if (file) {
      EXPECT_EQ(run.planRestore().size(), 2u);
      run.startRestore();
      for (int steps = 0; run.step(); ++steps) EXPECT_LT(steps, 1000);
      EXPECT_EQ(run.phase(), ConfigRun::Phase::Finished);
      return ConfigFile{};
    }
    ConfigFile heading;
    heading.definition = u"PMV-3.dat";
    return run.snapshot(heading);
  };
  SimulatorProcess seeded({"--definition", BinDir() + "/PMV-3.dat"});
  const ConfigFile file = runOn(seeded, nullptr);
  std::map<std::u16string, const ConfigRegister*> saved;
  for (const ConfigRegister& r : file.registers) saved[r.path.back()] = &r;
  // Measurements in input registers and discrete inputs are not configuration.
  EXPECT_EQ(saved.count(u"Częstotliwość sieci"), 0u);
  EXPECT_EQ(saved.count(u"Wejście zdalnego kasowania"), 0u);
  ASSERT_EQ(saved.count(u"Przekaźnik alarmu"), 1u);
  EXPECT_EQ(saved[u"Przekaźnik alarmu"]->type, u"BOOL table=coil");
  EXPECT_EQ(saved[u"Przekaźnik alarmu"]->words, (std::vector<uint16_t>{0}));
  ASSERT_EQ(saved.count(u"Współczynnik przekładnika"), 1u);
  EXPECT_EQ(*saved[u"Współczynnik przekładnika"]->value, u"1,5");
  EXPECT_EQ(saved[u"Współczynnik przekładnika"]->words, (std::vector<uint16_t>{0x0000, 0x3FC0}));  // CDAB

  // A transducer whose relay was switched on and whose ratio changed gets both back: function 5, and the
  // words of the float as the file holds them.
  SimulatorProcess changed({"--definition", BinDir() + "/PMV-3.dat", "--value", "0:BOOL table=coil:1:1",
                            "--value", "500:F32 order=CDAB:2:2,5"});
  runOn(changed, &file);
  std::vector<std::string> writes;
  for (const WireFrame& f : changed.logLines())
    if (f.direction == '>' && (f.bytes[1] == 5 || f.bytes[1] == 15 || f.bytes[1] == 6 || f.bytes[1] == 16))
      writes.push_back(Hex(f.bytes));
  EXPECT_EQ(writes, (std::vector<std::string>{
                        Hex(WithCrc({0x01, 0x05, 0x00, 0x00, 0x00, 0x00})),
                        Hex(WithCrc({0x01, 0x10, 0x01, 0xF4, 0x00, 0x02, 0x04, 0x00, 0x00, 0x3F, 0xC0}))}));
}

}  // namespace
}  // namespace velnorex::test
