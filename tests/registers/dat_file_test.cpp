// velnorex-dat: the JSON text form, its exact round trip through the tree file, the checks, the sample
// definitions and the command line.
#include "tools/velnorex-dat/dat_file.h"

#include "modbus/register_value.h"
#include "text/number_text.h"
#include "treefile/line_setting_mark.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>

namespace velnorex::dat {
namespace {

std::string Wrap(const std::string& nodes) {
  return R"({"format": "velnorex-definition", "version": 1, "nodes": [)" + nodes + "]}";
}

std::string ParseError(const std::string& json) {
  RegisterTree tree;
  try {
    ParseDefinitionJson(json, tree);
  } catch (const DatError& e) {
    return e.what();
  }
  return "parsed";
}

std::vector<std::string> Problems(const std::string& nodes) {
  RegisterTree tree;
  ParseDefinitionJson(Wrap(nodes), tree);
  std::vector<std::string> out;
  for (const auto& p : CheckDefinition(tree)) out.push_back(p.path + ": " + p.message);
  return out;
}

TEST(DatJson, ParsesFieldsAndDerivesStates) {
  RegisterTree tree;
  ParseDefinitionJson(Wrap(R"(
    {"name": "Grupa", "expanded": true, "children": [
      {"name": "Tryb", "address": "$0010", "type": "WORD", "count": "1", "access": "RP", "value": "1",
       "children": [{"name": "19200", "value": "1", "checkType": "radio", "checkState": "checked"}]},
      {"name": "Ukryty", "visible": false, "hasChildren": true, "nodeHeight": 30, "align": 0, "disabled": true,
       "extraStates": 4096}
    ]})"),
                      tree);
  ASSERT_EQ(tree.root().childCount(), 1u);
  const auto* group = tree.root().child(0);
  EXPECT_EQ(group->States,
            NodeState::Initialized | NodeState::Visible | NodeState::Expanded | NodeState::HasChildren);
  const auto* reg = group->child(0);
  EXPECT_EQ(reg->data.Address, u"$0010");
  EXPECT_EQ(reg->data.Access, u"RP");
  EXPECT_TRUE(reg->hasChildren());
  EXPECT_EQ(reg->child(0)->checkType, CheckType::ctRadioButton);
  EXPECT_EQ(reg->child(0)->checkState, CheckState::csCheckedNormal);
  EXPECT_FALSE(reg->child(0)->hasChildren());
  const auto* hidden = group->child(1);
  EXPECT_EQ(hidden->States,
            NodeState::Initialized | NodeState::HasChildren | NodeState::Disabled | NodeState::MultiLine);
  EXPECT_EQ(hidden->NodeHeight, 30);
  EXPECT_EQ(hidden->Align, 0);
}

TEST(DatJson, DumpAndCompileGiveTheSameBytes) {
  RegisterTree tree;
  auto* a = tree.root().appendChild();
  a->data = {u"Zażółć \"gęślą\" \\ jaźń\t\n", u"x\u0001y", u"$FF", u"HEX", u"1", u"RW", u"$00FF"};
  a->States |= NodeState::Expanded | NodeState::HasChildren | NodeState::AllChildrenHidden | 0x4000;
  auto* b = a->appendChild();
  b->data.Name = std::u16string(u"surrogates \U0001F600 ") + char16_t(0xD800) + u"!";
  b->checkType = CheckType::ctTriStateCheckBox;
  b->checkState = CheckState::csMixedPressed;
  b->NodeHeight = 65535;
  b->Align = 255;
  b->States = NodeState::Initialized | NodeState::HasChildren;  // hidden, and has-children without children
  auto* c = tree.root().appendChild();                          // a node with no text at all
  c->checkState = static_cast<CheckState>(9);                   // out of range: kept as a number
  c->checkType = static_cast<CheckType>(200);
  const std::vector<uint8_t> bytes = SaveToStream(tree);

  RegisterTree loaded;
  LoadFromStream(loaded, bytes);
  const std::string json = DefinitionToJson(loaded);
  RegisterTree compiled;
  ParseDefinitionJson(json, compiled);
  EXPECT_EQ(SaveToStream(compiled), bytes) << json;
  EXPECT_EQ(DefinitionToJson(compiled), json);
  EXPECT_NE(json.find("\"checkState\": 9"), std::string::npos);
  EXPECT_NE(json.find("\\ud800"), std::string::npos);
  EXPECT_NE(json.find("Zażółć"), std::string::npos);  // readable, not escaped
}

TEST(DatJson, TablesTypesOrdersAndMeaningTravelInTheTypeFieldAndRoundTrip) {
  RegisterTree tree;
  ParseDefinitionJson(Wrap(R"(
    {"name": "Pomiary", "children": [
      {"name": "Przepływ", "address": "0", "type": "F32", "table": "input", "order": "CDAB", "access": "RO"},
      {"name": "Licznik", "address": "10", "type": "I32", "count": "2", "access": "RW"},
      {"name": "Temperatura", "address": "20", "type": "I16", "scale": 0.1, "unit": "°C", "access": "RO"},
      {"name": "Ciśnienie", "address": "30", "type": "U64", "order": "DCBA", "offset": -1.5, "scale": 2.5e-7,
       "decimals": 3, "access": "RO"},
      {"name": "Przekaźnik", "address": "5", "type": "BOOL", "table": "coil", "access": "RW"},
      {"name": "Alarm", "address": "6", "type": "BOOL", "table": "discrete", "access": "RO"},
      {"name": "Stary", "address": "40", "type": "REAL", "count": "2", "access": "RW"}
    ]})"),
                      tree);
  const auto& regs = tree.root().child(0)->children();
  const std::vector<std::pair<std::u16string, std::u16string>> fields = {
      {u"F32 table=input order=CDAB", u"2"},
      {u"I32", u"2"},
      {u"I16 scale=0.1 unit=°C", u"1"},
      {u"U64 order=DCBA scale=2.5e-07 offset=-1.5 decimals=3", u"4"},
      {u"BOOL table=coil", u"1"},
      {u"BOOL table=discrete", u"1"},
      {u"REAL", u"2"}};
  ASSERT_EQ(regs.size(), fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(regs[i]->data.Type, fields[i].first) << i;
    EXPECT_EQ(regs[i]->data.Count, fields[i].second) << i;  // filled in from the type's width
  }
  EXPECT_TRUE(CheckDefinition(tree).empty());
  // Through the compiled file and back to the text: the same keys, the same bytes.
  const std::vector<uint8_t> bytes = SaveToStream(tree);
  RegisterTree loaded;
  LoadFromStream(loaded, bytes);
  const std::string json = DefinitionToJson(loaded);
  EXPECT_NE(json.find(R"("type": "F32", "count": "2", "access": "RO", "table": "input", "order": "CDAB")"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("scale": 0.1, "unit": "°C")"), std::string::npos) << json;
  EXPECT_EQ(json.find("\"table\": \"holding\""), std::string::npos);  // absent means holding
  RegisterTree compiled;
  ParseDefinitionJson(json, compiled);
  EXPECT_EQ(SaveToStream(compiled), bytes);

  // A count that is not the type's width, keys that do not fit together, each naming the node.
  EXPECT_EQ(ParseError(Wrap(R"({"name": "A", "type": "F64", "count": "2"})")),
            "node A: \"count\" of a F64 must be 4");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "B", "type": "BOOL"})")),
            "node B: \"BOOL\" is the type of a coil or discrete input, and they hold nothing else");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "C", "type": "U16", "table": "coil"})")),
            "node C: \"BOOL\" is the type of a coil or discrete input, and they hold nothing else");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "D", "type": "U16", "order": "CDAB"})")),
            "node D: \"order\" is only for a value of two or four registers");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "E", "type": "TEXT", "count": "4", "unit": "V"})")),
            "node E: scale, offset, decimals and unit are only for a number");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "F", "type": "F32", "order": "ADCB"})")),
            "node F: \"order\" must be one of ABCD, CDAB, BADC, DCBA");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "G", "table": "input"})")),
            "node G: \"table\", \"order\" and the meaning need a register type in \"type\"");
  // A writable access on a read-only table is reported by the checks.
  EXPECT_EQ(Problems(R"({"name": "H", "address": "1", "type": "U16", "table": "input", "access": "RW"})"),
            (std::vector<std::string>{"H: access \"RW\" on a table that cannot be written"}));
}

TEST(DatJson, DefinitionsWrittenBeforeTablesAndTypesReadTheSame) {
  // Two .dat files written by the program before tables, word orders and units existed, and the JSON that
  // program dumped of them: the tree reads the same to the last field, and every register keeps the holding
  // table and the reading of old.
  for (const char* name : {"pmv3", "thv21"}) {
    SCOPED_TRACE(name);
    const std::string source = VELNOREX_TEST_SOURCE_DIR;
    RegisterTree tree;
    LoadDefinition(source + "/fuzz/corpus/treefile/" + name + ".dat", tree);
    std::ifstream before(source + "/tests/registers/data/" + name + ".dump-before-tables.json",
                         std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(DefinitionToJson(tree), expected);
    int registers = 0;
    const auto visit = [&](const auto& node, const auto& self) -> void {
      const RegisterFormat format = RegisterFormatOf(node.data.Type);
      if (format.type != kTypeNone) {
        ++registers;
        EXPECT_TRUE(IsLegacyFormat(format)) << ToUtf8(node.data.Type);
        EXPECT_EQ(format.table, RegisterTable::Holding);
      }
      for (const auto& child : node.children()) self(*child, self);
    };
    visit(tree.root(), visit);
    EXPECT_GT(registers, 5);
  }
}

TEST(DatJson, RefusesBadInputNamingThePlace) {
  EXPECT_EQ(ParseError("{\n  \"format\": \"velnorex-definition\",\n  \"version\": 1,\n  \"nodes\": [,]\n}"),
            "4:14: illegal value");
  EXPECT_EQ(ParseError(R"({"format": "other", "version": 1, "nodes": []})"),
            "top level: \"format\" must be \"velnorex-definition\"");
  EXPECT_EQ(ParseError(R"({"format": "velnorex-definition", "version": 2, "nodes": []})"),
            "top level: \"version\" must be 1");
  EXPECT_EQ(ParseError(R"({"format": "velnorex-definition", "version": 1, "nodes": {}})"),
            "top level: \"nodes\" must be an array");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "G", "children": [{"name": "R", "adress": "1"}]})")),
            "node G / R: unknown field \"adress\"");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "G", "children": [{"address": 5}]})")),
            "node G / #1: \"address\" must be a string");
  EXPECT_EQ(
      ParseError(Wrap(R"({"name": "G", "checkType": "tick"})")),
      "node G: \"checkType\" must be one of none, triStateCheckBox, checkbox, radio, button (or a number "
      "0..255)");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "G", "nodeHeight": 70000})")),
            "node G: \"nodeHeight\" must be a whole number 0..65535");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "G", "expanded": 1})")),
            "node G: \"expanded\" must be true or false");
  EXPECT_EQ(ParseError(Wrap(R"({"name": "G", "extraStates": 256})")).substr(0, 38),
            "node G: \"extraStates\" may not hold the");
  EXPECT_EQ(
      ParseError(Wrap(R"({"name": "G", "extraStates": 8192})")),
      "node G: \"extraStates\" may not hold the bits that the file does not keep (2, 4, 16, 512, 8192)");
  EXPECT_EQ(ParseError(Wrap("[]")), "node #1: a node must be a JSON object");

  std::string deep = R"({"name": "leaf"})";
  for (int i = 0; i < kMaxDepth; ++i) deep = R"({"name": "n", "children": [)" + deep + "]}";
  EXPECT_EQ(ParseError(Wrap(deep)), "parsed");
  EXPECT_NE(ParseError(Wrap(R"({"name": "n", "children": [)" + deep + "]}")).find("nest deeper than 64"),
            std::string::npos);
}

TEST(DatCheck, ReportsEachProblemWithItsPath) {
  const auto problems = Problems(R"(
    {"name": "Grupa", "children": [
      {"name": "Dobry", "address": "$10", "type": "word", "count": "1", "access": "RO", "value": "x"},
      {"name": "Adres", "address": "1.5", "type": "INT", "count": "1", "access": "RO"},
      {"name": "Liczba", "address": "2", "type": "INT", "count": "", "access": "RO"},
      {"name": "Typ", "address": "3", "type": "FLOAT", "count": "2", "access": "RO"},
      {"name": "Mały", "address": "4", "type": "INT", "count": "1", "access": "rw"},
      {"name": "Bity", "address": "5", "type": "HEX", "count": "1", "access": "RO"},
      {"name": "Opcje", "address": "6", "type": "WORD", "count": "1", "access": "RP", "children": [
        {"name": "dobra", "value": "$01"}, {"name": "zła", "value": "jeden"}]},
      {"name": "Bajty", "address": "7", "type": "HEX", "count": "1", "access": "RW", "children": [
        {"name": "Młodszy", "children": [{"name": "a", "value": "1"}, {"name": "b", "value": ""}]}]}
    ]})");
  const std::vector<std::string> expected = {
      "Grupa / Adres: address \"1.5\" is not a number",
      "Grupa / Liczba: count \"\" is not a number",
      "Grupa / Typ: unknown register type \"FLOAT\"",
      "Grupa / Mały: access \"rw\" is not upper case; it works but is painted in the normal colour",
      "Grupa / Bity: \"HEX\" register without options",
      "Grupa / Opcje / zła: option value \"jeden\" is not a number",
      "Grupa / Bajty / Młodszy / b: option value \"\" is not a number",
  };
  EXPECT_EQ(problems, expected);
  // Groups, untyped sub-groups and text values of registers are not numbers and need not be.
  EXPECT_TRUE(Problems(R"({"name": "G", "children": [
      {"name": "T", "address": "1", "type": "TEXT", "count": "4", "access": "RO", "value": "SN1"}]})")
                  .empty());
}

TEST(DatJson, LineSettingMarkTravelsInExtraAndRoundTrips) {
  RegisterTree tree;
  ParseDefinitionJson(Wrap(R"(
    {"name": "Konfiguracja", "lineSetting": true, "children": [
      {"name": "Adres", "address": "1", "type": "WORD", "count": "1", "access": "RW", "lineSetting": true},
      {"name": "Okres", "extra": "w s", "address": "2", "type": "WORD", "count": "1", "access": "RW",
       "lineSetting": true},
      {"name": "Numer", "address": "3", "type": "WORD", "count": "1", "access": "RO", "lineSetting": true},
      {"name": "Wolny", "extra": "#linia w środku", "address": "4", "type": "WORD", "count": "1", "access": "RW",
       "lineSetting": false}
    ]})"),
                      tree);
  const auto* group = tree.root().child(0);
  EXPECT_EQ(group->child(0)->data.Extra, u"#linia");
  EXPECT_EQ(group->child(1)->data.Extra, u"w s #linia");
  EXPECT_TRUE(HasLineSettingMark(group->child(1)->data.Extra));
  EXPECT_TRUE(HasLineSettingMark(group->child(3)->data.Extra));  // a marker written by hand counts too
  EXPECT_FALSE(HasLineSettingMark(u"x#linia"));
  EXPECT_FALSE(HasLineSettingMark(u"#linia2"));

  // The text form shows the mark as the field, and the file's bytes survive dump and compile.
  const std::vector<uint8_t> bytes = SaveToStream(tree);
  const std::string json = DefinitionToJson(tree);
  EXPECT_NE(json.find(R"("name": "Okres", "extra": "w s", "address": "2")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("access": "RW", "lineSetting": true})"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("extra": "#linia w środku")"), std::string::npos) << json;
  RegisterTree compiled;
  ParseDefinitionJson(json, compiled);
  EXPECT_EQ(SaveToStream(compiled), bytes);

  // A mark where no line can be set is a contradiction the check names.
  std::vector<std::string> problems;
  for (const auto& p : CheckDefinition(tree)) problems.push_back(p.path + ": " + p.message);
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "Konfiguracja: line-setting mark on a node that is no register",
                          "Konfiguracja / Numer: line-setting mark on a register that cannot be written"}));
}

std::filesystem::path SourceDir() {
  const char* dir = std::getenv("VELNOREX_SOURCE_DIR");
  return dir ? dir : VELNOREX_TEST_SOURCE_DIR;
}

TEST(SampleDefinitions, LoadPassTheChecksAndCoverWhatTheProgramUses) {
  std::map<std::u16string, int> types;
  std::map<std::u16string, int> access;
  size_t largestGroup = 0, definitions = 0;
  bool radio = false, bitOptions = false, byteSubGroups = false, polish = false;
  for (const auto& entry : std::filesystem::directory_iterator(SourceDir() / "definitions")) {
    if (entry.path().extension() != ".json") continue;
    ++definitions;
    RegisterTree tree;
    ASSERT_NO_THROW(LoadDefinition(entry.path().string(), tree)) << entry.path();
    const auto problems = CheckDefinition(tree);
    EXPECT_TRUE(problems.empty()) << entry.path() << ": " << problems.front().path << ": "
                                  << problems.front().message;
    // The compiled form loads back into the same tree.
    const auto bytes = SaveToStream(tree);
    RegisterTree reloaded;
    LoadFromStream(reloaded, bytes);
    EXPECT_EQ(DefinitionToJson(reloaded), DefinitionToJson(tree));
    std::function<void(const RegisterTree::Node&)> walk = [&](const RegisterTree::Node& n) {
      if (!n.data.Access.empty()) {
        ++types[n.data.Type];
        ++access[n.data.Access];
      }
      for (char16_t c : n.data.Name) polish |= c == u'ś' || c == u'ę' || c == u'ł';
      size_t registers = 0;
      for (const auto& child : n.children()) {
        registers += !child->data.Access.empty();
        radio |= child->checkType == CheckType::ctRadioButton;
        bitOptions |= child->data.Type == u"BIT" && child->checkType == CheckType::ctCheckBox;
        byteSubGroups |= n.data.Type == u"HEX" && child->data.Type.empty() && child->childCount() > 0;
        walk(*child);
      }
      largestGroup = std::max(largestGroup, registers);
    };
    walk(tree.root());
  }
  EXPECT_GE(definitions, 2u);
  // The definitions of old keep their meaning; the new ones show a table of each kind and a swapped float.
  for (const char16_t* type : {u"F32 table=input", u"BOOL table=coil", u"F32 order=CDAB"}) {
    bool found = false;
    for (const auto& [field, n] : types) found |= field.starts_with(type);
    EXPECT_TRUE(found) << ToUtf8(type);
  }
  for (const char16_t* type : {u"WORD", u"INT", u"REAL", u"PREC", u"TEXT", u"HEX"}) EXPECT_GT(types[type], 0);
  for (const char16_t* a : {u"RO", u"RW", u"RP"}) EXPECT_GT(access[a], 0);
  EXPECT_GE(largestGroup, 20u);
  EXPECT_TRUE(radio && bitOptions && byteSubGroups && polish);
}

std::string BinDir() {
  const char* dir = std::getenv("VELNOREX_BIN_DIR");
  return dir ? dir : VELNOREX_TEST_BIN_DIR;
}

int RunTool(const std::string& args) {
  const int status = std::system((BinDir() + "/velnorex-dat " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DatTool, ExitStatusOfEachCommand) {
  ASSERT_TRUE(std::filesystem::exists(BinDir() + "/velnorex-dat")) << BinDir();
  const auto dir = std::filesystem::temp_directory_path() / ("dat-tool-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string good = (SourceDir() / "definitions" / "THV-21.json").string();
  const std::string dat = (dir / "out.dat").string();
  const std::string bad = (dir / "bad.json").string();
  const std::string garbage = (dir / "garbage.json").string();
  std::ofstream(bad) << Wrap(R"({"name": "R", "address": "x", "type": "INT", "count": "1", "access": "RO"})");
  std::ofstream(garbage) << "{ not json";
  EXPECT_EQ(RunTool("--help"), 0);
  EXPECT_EQ(RunTool(""), 2);
  EXPECT_EQ(RunTool("frobnicate " + good), 2);
  {
    // The compiled definition is the user's own, not writable by every user of the machine.
    const mode_t previous = ::umask(022);
    EXPECT_EQ(RunTool("compile " + good + " -o " + dat), 0);
    ::umask(previous);
    EXPECT_EQ(std::filesystem::status(dat).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::others_read);
  }
  EXPECT_EQ(RunTool("check " + dat), 0);
  EXPECT_EQ(RunTool("check " + good), 0);
  EXPECT_EQ(RunTool("dump " + dat + " -o " + (dir / "dump.json").string()), 0);
  EXPECT_EQ(RunTool("compile " + (dir / "dump.json").string() + " -o " + (dir / "again.dat").string()), 0);
  EXPECT_EQ(std::filesystem::file_size(dir / "again.dat"), std::filesystem::file_size(dat));
  // Every sample definition passes the tool's check, as JSON and as the file the build compiled from it.
  for (const auto& entry : std::filesystem::directory_iterator(SourceDir() / "definitions")) {
    if (entry.path().extension() != ".json") continue;
    EXPECT_EQ(RunTool("check " + entry.path().string()), 0) << entry.path();
    const std::string built = BinDir() + "/" + entry.path().stem().string() + ".dat";
    EXPECT_TRUE(std::filesystem::exists(built)) << built;
    EXPECT_EQ(RunTool("check " + built), 0) << built;
  }
  EXPECT_EQ(RunTool("check " + bad), 1);
  EXPECT_EQ(RunTool("check " + garbage), 2);
  EXPECT_EQ(RunTool("compile " + garbage + " -o " + (dir / "x.dat").string()), 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.dat"));
  EXPECT_EQ(RunTool("dump " + garbage), 2);
  EXPECT_EQ(RunTool("dump " + (dir / "missing.dat").string()), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velnorex::dat
