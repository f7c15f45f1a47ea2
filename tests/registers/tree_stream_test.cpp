// The tree file: byte layout of written files, every loader rule and error, and hostile input.
#include "treefile/tree_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include "treefile/tagged_string.h"

namespace velnorex {
namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}
void Put32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Header(uint16_t version, std::optional<uint32_t> count, char16_t space = u' ') {
  Bytes b;
  for (char16_t u : {char16_t(0x2045), u'V', u'T', char16_t(version), space, char16_t(0x2046)}) {
    b.push_back(static_cast<uint8_t>(u & 0xFF));
    b.push_back(static_cast<uint8_t>(u >> 8));
  }
  if (count) Put32(b, *count);
  return b;
}

Bytes Chunk(int32_t type, const Bytes& payload, std::optional<int32_t> size = std::nullopt) {
  Bytes b;
  Put32(b, static_cast<uint32_t>(type));
  Put32(b, static_cast<uint32_t>(size.value_or(static_cast<int32_t>(payload.size()))));
  Append(b, payload);
  return b;
}

struct Base {
  uint32_t childCount = 0;
  uint32_t height = 18;
  uint16_t states = 0x0081;
  uint8_t align = 50, checkState = 0, checkType = 0;
};

Bytes BaseRecord(const Base& r, bool old = false) {
  Bytes b;
  Put32(b, r.childCount);
  Put32(b, r.height);
  b.push_back(static_cast<uint8_t>(r.states & 0xFF));
  if (!old) b.push_back(static_cast<uint8_t>(r.states >> 8));
  b.push_back(r.align);
  b.push_back(r.checkState);
  if (old) return b;  // 11 bytes: no check type, no reserved field
  b.push_back(r.checkType);
  Put32(b, 0);
  return b;
}

Bytes Strings(std::initializer_list<std::u16string_view> texts) {
  Bytes b;
  for (auto t : texts) WriteWideString(b, t);
  return b;
}

// A node chunk: base chunk (with the children inside), then the further chunks as given.
Bytes NodeChunk(const Base& base, const std::vector<Bytes>& children, const std::vector<Bytes>& after,
                bool old = false) {
  Bytes basePayload = BaseRecord(base, old);
  for (const auto& c : children) Append(basePayload, c);
  Bytes payload = Chunk(2, basePayload);
  for (const auto& a : after) Append(payload, a);
  return Chunk(1, payload);
}

Bytes RegisterLeaf(std::u16string_view name, Base base = {}) {
  return NodeChunk(base, {}, {Chunk(4, Strings({name, u"", u"100", u"WORD", u"1", u"RO", u"0"}))});
}

template <class TreeT>
std::string LoadError(TreeT& tree, const Bytes& data) {
  try {
    LoadFromStream(tree, data);
  } catch (const Error& e) {
    return e.what();
  }
  return "loaded";
}

Bytes Hex(std::string_view text) {
  Bytes b;
  unsigned v;
  for (size_t i = 0; i + 1 < text.size() + 1;) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size()) break;
    std::sscanf(std::string(text.substr(i, 2)).c_str(), "%2x", &v);
    b.push_back(static_cast<uint8_t>(v));
    i += 2;
  }
  return b;
}

RegisterTree SampleRegisterTree() {
  RegisterTree tree;
  auto* group = tree.root().appendChild();
  group->data = {u"Rejestry pomiarowe", u"", u"", u"", u"", u"", u""};
  group->States |= NodeState::HasChildren | NodeState::Expanded;
  auto* reg = group->appendChild();
  reg->data = {u"Szybkość transmisji", u"uwaga", u"$0010", u"WORD", u"1", u"RP", u"1"};
  reg->States |= NodeState::HasChildren;
  const char16_t* names[] = {u"9600", u"19200"};
  for (int i = 0; i < 2; ++i) {
    auto* opt = reg->appendChild();
    opt->data = {names[i], u"", u"", u"", u"", u"", i == 0 ? u"0" : u"1"};
    opt->checkType = CheckType::ctRadioButton;
    opt->checkState = i == 1 ? CheckState::csCheckedNormal : CheckState::csUncheckedNormal;
  }
  auto* temp = group->appendChild();
  temp->data = {u"Temperatura", u"", u"100", u"REAL", u"2", u"RO", u"21,50"};
  temp->NodeHeight = 40;
  temp->Align = 10;
  auto* text = tree.root().appendChild();
  text->data = {u"Numer seryjny Ω", u"", u"200", u"TEXT", u"4", u"RO", u"SN12345"};
  return tree;
}

TEST(TaggedString, ExamplesAndForms) {
  auto coded = [](std::u16string_view t) {
    Bytes b;
    WriteWideString(b, t);
    return b;
  };
  EXPECT_EQ(coded(u""), Hex("12 00 00 00 00"));
  EXPECT_EQ(coded(u"RW"), Hex("06 02 52 57"));
  EXPECT_EQ(coded(u"Wartość"), Hex("14 09 00 00 00 57 61 72 74 6F C5 9B C4 87"));
  EXPECT_EQ(coded(u"\u03A9"), Hex("12 01 00 00 00 A9 03"));
  // 256 ASCII characters need the four-byte length.
  const std::u16string long256(256, u'a');
  Bytes b = coded(long256);
  ASSERT_EQ(b.size(), 5u + 256u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 5), Hex("0C 00 01 00 00"));
  EXPECT_EQ(coded(std::u16string(255, u'a'))[0], 0x06);
  // A surrogate pair is two three-byte sequences: 6 bytes are not shorter than 4, so UTF-16 is used.
  EXPECT_EQ(coded(u"\U0001F600"), Hex("12 02 00 00 00 3D D8 00 DE"));
  EXPECT_EQ(EncodeUnitUtf8(u"a\U0001F600"), "a\xED\xA0\xBD\xED\xB8\x80");

  for (const std::u16string& text : std::vector<std::u16string>{
           u"", u"RW", u"Wartość", u"\u03A9", u"Wilgotność względna", long256, u"a\U0001F600b"}) {
    Bytes data = coded(text);
    StringReader reader(data, 0);
    EXPECT_EQ(reader.ReadWideString(), text);
    EXPECT_EQ(reader.position(), data.size());
  }
}

TEST(TaggedString, ReadingEightBitLenientUtf8AndErrors) {
  auto read = [](const Bytes& data) { return StringReader(data, 0).ReadWideString(); };
  auto error = [&](const Bytes& data) -> std::string {
    try {
      read(data);
    } catch (const ReadError& e) {
      return e.what();
    }
    return "read";
  };
  EXPECT_EQ(read(Hex("06 02 B3 B9")), u"łą");  // code page 1250
  EXPECT_EQ(read(Hex("0C 02 00 00 00 A3 41")), u"ŁA");
  EXPECT_EQ(read(Hex("14 03 00 00 00 E2 82 AC")), u"€");
  // Broken or cut-off sequences make the whole string empty.
  EXPECT_EQ(read(Hex("14 03 00 00 00 41 C5 41")), u"");
  EXPECT_EQ(read(Hex("14 02 00 00 00 41 C5")), u"");
  EXPECT_EQ(read(Hex("14 03 00 00 00 E2 82 41")), u"");
  // Lead bytes are judged by bit 5 only: 0x85 starts a two-byte sequence.
  EXPECT_EQ(read(Hex("14 02 00 00 00 85 81")), std::u16string(1, char16_t(0x141)));
  EXPECT_EQ(error(Hex("07 00")), "Invalid property value");
  EXPECT_EQ(error(Hex("00")), "Invalid property value");
  EXPECT_EQ(error(Hex("")), "Stream read error");
  EXPECT_EQ(error(Hex("06 03 41 41")), "Stream read error");
  EXPECT_EQ(error(Hex("0C FF FF FF FF 41")), "Stream read error");
  EXPECT_EQ(error(Hex("12 FF FF FF 7F 41 00")), "Stream read error");
  EXPECT_EQ(error(Hex("12 00 00 00 80")), "Stream read error");
  EXPECT_EQ(error(Hex("14 05 00 00 00 41")), "Stream read error");
  EXPECT_EQ(error(Hex("12 01 00")), "Stream read error");
}

TEST(TreeWriter, EmptyWatchListIsSixteenBytes) {
  WatchTree tree;
  const Bytes data = SaveToStream(tree);
  EXPECT_EQ(data, Hex("45 20 56 00 54 00 02 00 20 00 46 20 00 00 00 00"));
  tree.root().appendChild();
  LoadFromStream(tree, data);
  EXPECT_EQ(tree.root().childCount(), 0u);
}

TEST(TreeWriter, OneWatchEntryIsTheKnownEightyNineBytes) {
  WatchTree tree;
  auto* node = tree.root().appendChild();
  node->checkType = CheckType::ctCheckBox;
  node->data = {u"1", u"100", u"Temp", u"1", u"INT", u"21"};
  const Bytes data = SaveToStream(tree);
  const Bytes expected =
      Hex("45 20 56 00 54 00 02 00 20 00 46 20 01 00 00 00 01 00 00 00 41 00 00 00 02 00 00 00 11 00 00 00"
          "00 00 00 00 12 00 00 00 81 00 32 00 02 00 00 00 00 04 00 00 00 16 00 00 00"
          "06 01 31 06 03 31 30 30 06 04 54 65 6D 70 06 01 31 06 03 49 4E 54 03 00 00 00 02 00 00 00 31 00");
  ASSERT_EQ(expected.size(), 89u);
  EXPECT_EQ(data, expected);
  EXPECT_EQ(node->States, 0x0081);  // initialized by the save

  WatchTree loaded;
  LoadFromStream(loaded, data);
  ASSERT_EQ(loaded.root().childCount(), 1u);
  const auto* n = loaded.root().child(0);
  EXPECT_EQ(n->data.Slave, u"1");
  EXPECT_EQ(n->data.Address, u"100");
  EXPECT_EQ(n->data.Name, u"Temp");
  EXPECT_EQ(n->data.Count, u"1");
  EXPECT_EQ(n->data.Type, u"INT");
  EXPECT_EQ(n->data.Value, u"");
  EXPECT_EQ(n->checkType, CheckType::ctCheckBox);
  EXPECT_EQ(n->States, 0x0081);
  EXPECT_EQ(n->parent(), &loaded.root());
}

TEST(TreeWriter, MasksStatesInitializesAndOmitsEmptyCaptions) {
  WatchTree tree;
  auto* node = tree.root().appendChild();
  node->States = 0xFFFE;  // not initialized, every other bit set
  const Bytes data = SaveToStream(tree);
  // States at offset 16 + 8 + 8 + 8.
  EXPECT_EQ(data[40] | (data[41] << 8), (0xFFFF & 0xDDE9));
  // Empty Slave: no caption chunk; the node chunk ends with the user-data chunk of five empty strings.
  EXPECT_EQ(data.size(), 16u + 8 + 8 + 17 + 8 + 25);
  EXPECT_EQ(node->States & NodeState::Initialized, NodeState::Initialized);

  RegisterTree regs;
  auto* r = regs.root().appendChild();
  r->data.Name = u"Grupa";
  const Bytes regData = SaveToStream(regs);
  const Bytes caption = Hex("03 00 00 00 0A 00 00 00 47 00 72 00 75 00 70 00 61 00");
  EXPECT_TRUE(std::equal(caption.begin(), caption.end(), regData.end() - caption.size()));
}

TEST(TreeWriter, RoundTripKeepsEveryStoredField) {
  RegisterTree tree = SampleRegisterTree();
  const Bytes first = SaveToStream(tree);
  RegisterTree loaded;
  LoadFromStream(loaded, first);
  EXPECT_EQ(SaveToStream(loaded), first);
  ASSERT_EQ(loaded.root().childCount(), 2u);
  const auto* group = loaded.root().child(0);
  ASSERT_EQ(group->childCount(), 2u);
  EXPECT_TRUE(group->isExpanded());
  const auto* reg = group->child(0);
  EXPECT_EQ(reg->data.Name, u"Szybkość transmisji");
  EXPECT_EQ(reg->data.Extra, u"uwaga");
  EXPECT_EQ(reg->data.Access, u"RP");
  EXPECT_EQ(reg->parent(), group);
  ASSERT_EQ(reg->childCount(), 2u);
  EXPECT_EQ(reg->child(1)->index(), 1);
  EXPECT_EQ(reg->child(1)->checkType, CheckType::ctRadioButton);
  EXPECT_TRUE(reg->child(1)->isChecked());
  EXPECT_EQ(reg->firstChild(), reg->child(0));
  EXPECT_EQ(reg->child(0)->nextSibling(), reg->child(1));
  EXPECT_EQ(group->child(1)->NodeHeight, 40);
  EXPECT_EQ(group->child(1)->Align, 10);
  EXPECT_EQ(loaded.root().child(1)->data.Name, u"Numer seryjny Ω");
}

TEST(TreeLoader, HeaderErrors) {
  RegisterTree tree;
  EXPECT_EQ(LoadError(tree, Hex("")), "Unable to load tree structure, not enough data available.");
  const Bytes header = Header(2, 0);
  EXPECT_EQ(LoadError(tree, Bytes(header.begin(), header.begin() + 11)),
            "Unable to load tree structure, not enough data available.");
  for (size_t unit : {0, 1, 2, 5}) {
    Bytes data = Header(2, 0);
    data[unit * 2] ^= 1;
    EXPECT_EQ(LoadError(tree, data), "Unable to load tree structure, the format is wrong.") << unit;
  }
  EXPECT_EQ(LoadError(tree, Header(3, 0)), "Unable to load tree structure, the version is unknown.");
  EXPECT_EQ(LoadError(tree, Header(0xFFFF, 0)), "Unable to load tree structure, the version is unknown.");
  EXPECT_EQ(LoadError(tree, Header(2, std::nullopt)), "Stream read error");
  Bytes shortCount = Header(2, std::nullopt);
  shortCount.insert(shortCount.end(), {1, 0, 0});
  EXPECT_EQ(LoadError(tree, shortCount), "Stream read error");
  // The fifth code unit is not checked.
  Bytes odd = Header(2, 1, u'X');
  Append(odd, RegisterLeaf(u"a"));
  EXPECT_EQ(LoadError(tree, odd), "loaded");
  EXPECT_EQ(tree.root().childCount(), 1u);
  // An old header of exactly 12 bytes is an empty tree.
  EXPECT_EQ(LoadError(tree, Header(1, std::nullopt)), "loaded");
  EXPECT_EQ(tree.root().childCount(), 0u);
}

TEST(TreeLoader, OldVersionsUseShortBaseRecordsAndTheStatesFixUp) {
  for (uint16_t version : {0, 1}) {
    Bytes data = Header(version, std::nullopt);
    Bytes child = NodeChunk({.states = 0x81, .align = 30, .checkState = 2, .checkType = 3}, {},
                            {Chunk(4, Strings({u"sel", u"", u"", u"", u"", u"", u""}))}, true);
    Append(data, NodeChunk({.childCount = 1, .states = 0x61}, {child},
                           {Chunk(4, Strings({u"grp", u"", u"", u"", u"", u"", u""}))}, true));
    Append(data, NodeChunk({.states = 0x01}, {}, {}, true));
    RegisterTree tree;
    LoadFromStream(tree, data);
    ASSERT_EQ(tree.root().childCount(), 2u) << version;  // no count: read to the end
    const auto* group = tree.root().child(0);
    EXPECT_EQ(group->States, 0x61 | 0x80);
    EXPECT_EQ(group->data.Name, u"grp");
    ASSERT_EQ(group->childCount(), 1u);
    // Bit 7 meant selected: it becomes visible plus selected, and selected is then cleared.
    EXPECT_EQ(group->child(0)->States, 0x81);
    EXPECT_EQ(group->child(0)->data.Name, u"sel");
    EXPECT_EQ(group->child(0)->Align, 30);
    EXPECT_EQ(group->child(0)->checkState, CheckState::csCheckedNormal);
    EXPECT_EQ(group->child(0)->checkType, CheckType::ctNone);
    EXPECT_EQ(tree.root().child(1)->States, 0x81);
  }
}

TEST(TreeLoader, TopLevelCountLargerOrSmallerThanPresent) {
  Bytes nodes;
  Append(nodes, RegisterLeaf(u"a"));
  Append(nodes, RegisterLeaf(u"b"));
  RegisterTree tree;
  Bytes larger = Header(2, 5);
  Append(larger, nodes);
  EXPECT_EQ(LoadError(tree, larger), "loaded");
  EXPECT_EQ(tree.root().childCount(), 2u);
  Bytes smaller = Header(2, 1);
  Append(smaller, nodes);
  smaller.push_back(0xEE);  // trailing garbage after the counted nodes is ignored
  EXPECT_EQ(LoadError(tree, smaller), "loaded");
  ASSERT_EQ(tree.root().childCount(), 1u);
  EXPECT_EQ(tree.root().child(0)->data.Name, u"a");
  EXPECT_EQ(LoadError(tree, Header(2, 0xFFFFFFFF)), "loaded");
  EXPECT_EQ(tree.root().childCount(), 0u);
}

TEST(TreeLoader, UnknownChunksCaptionsAndMissingUserData) {
  const Bytes user = Chunk(4, Strings({u"Name", u"", u"1", u"WORD", u"1", u"RW", u"5"}));
  Bytes data = Header(2, 3);
  Append(data, NodeChunk({}, {},
                         {Chunk(99, Hex("01 02 03")), user, Chunk(3, Hex("41 00 42 00 43")), Chunk(-7, {})}));
  Append(data, NodeChunk({}, {}, {}));              // no user data
  Append(data, NodeChunk({}, {}, {Chunk(4, {})}));  // empty user data
  RegisterTree tree;
  ASSERT_EQ(LoadError(tree, data), "loaded");
  ASSERT_EQ(tree.root().childCount(), 3u);
  EXPECT_EQ(tree.root().child(0)->data.Name, u"Name");  // the caption "AB" changes nothing
  EXPECT_EQ(tree.root().child(0)->data.Value, u"5");
  for (int i : {1, 2}) {
    const auto& r = tree.root().child(i)->data;
    EXPECT_TRUE(r.Name.empty() && r.Address.empty() && r.Access.empty() && r.Value.empty());
  }
  // A caption also in the watch list.
  Bytes watch = Header(2, 1);
  Append(watch,
         NodeChunk({}, {}, {Chunk(3, Hex("39 00")), Chunk(4, Strings({u"1", u"2", u"n", u"1", u"INT"}))}));
  WatchTree wt;
  ASSERT_EQ(LoadError(wt, watch), "loaded");
  EXPECT_EQ(wt.root().child(0)->data.Slave, u"1");
}

TEST(TreeLoader, SurplusAndShortUserData) {
  RegisterTree tree;
  // Surplus bytes after the seven strings are skipped.
  Bytes surplus = Strings({u"a", u"b", u"c", u"d", u"e", u"f", u"g"});
  Append(surplus, Hex("FF FF FF"));
  Bytes data = Header(2, 2);
  Append(data, NodeChunk({}, {}, {Chunk(4, surplus)}));
  Append(data, RegisterLeaf(u"next"));
  ASSERT_EQ(LoadError(tree, data), "loaded");
  EXPECT_EQ(tree.root().child(0)->data.Value, u"g");
  EXPECT_EQ(tree.root().child(1)->data.Name, u"next");

  // Six strings, then a caption chunk header: its first byte (03) is no tag.
  const Bytes six = Strings({u"a", u"b", u"c", u"d", u"e", u"f"});
  data = Header(2, 1);
  Append(data, NodeChunk({}, {}, {Chunk(4, six), Chunk(3, Hex("41 00"))}));
  EXPECT_EQ(LoadError(tree, data), "Invalid property value");
  ASSERT_EQ(tree.root().childCount(), 1u);  // what was read so far stays
  EXPECT_EQ(tree.root().child(0)->data.Name, u"a");
  EXPECT_EQ(tree.root().child(0)->data.Access, u"f");

  // Six strings at the very end of the data.
  data = Header(2, 1);
  Append(data, NodeChunk({}, {}, {Chunk(4, six)}));
  EXPECT_EQ(LoadError(tree, data), "Stream read error");

  // Six strings followed by a chunk of type 6: its header reads as an empty 8-bit string, and the position
  // is then set back to the end of the user data, so that chunk is skipped as well.
  data = Header(2, 1);
  Append(data, NodeChunk({}, {}, {Chunk(4, six), Chunk(6, {})}));
  ASSERT_EQ(LoadError(tree, data), "loaded");
  EXPECT_EQ(tree.root().child(0)->data.Access, u"f");
  EXPECT_EQ(tree.root().child(0)->data.Value, u"");
}

TEST(TreeLoader, BaseRecordFields) {
  Bytes data = Header(2, 3);
  Append(data,
         RegisterLeaf(
             u"tall",
             {.height = 70000, .states = 0x0181 | 0x0020, .align = 7, .checkState = 3, .checkType = 4}));
  // has-children set without children, and clear with a child present
  Append(data, RegisterLeaf(u"button", {.states = 0x00C1}));
  Append(data,
         NodeChunk({.childCount = 1, .states = 0x0081}, {RegisterLeaf(u"hidden", {.states = 0x0101})}, {}));
  RegisterTree tree;
  tree.defaultNodeHeight = 24;
  ASSERT_EQ(LoadError(tree, data), "loaded");
  const auto* tall = tree.root().child(0);
  EXPECT_EQ(tall->NodeHeight, 70000 % 65536);
  EXPECT_EQ(tall->States, 0x00A1);  // selected cleared, expanded kept
  EXPECT_EQ(tall->Align, 7);
  EXPECT_EQ(tall->checkState, CheckState::csCheckedPressed);
  EXPECT_EQ(tall->checkType, CheckType::ctButton);
  const auto* button = tree.root().child(1);
  EXPECT_TRUE(button->hasChildren());
  EXPECT_EQ(button->firstChild(), nullptr);
  const auto* parent = tree.root().child(2);
  EXPECT_FALSE(parent->hasChildren());
  ASSERT_EQ(parent->childCount(), 1u);
  EXPECT_EQ(parent->firstChild(), nullptr);
  const auto* hidden = parent->child(0);
  EXPECT_EQ(hidden->States, 0x0001);  // neither visible nor selected
  EXPECT_FALSE(hidden->isVisible());
}

TEST(TreeLoader, ChunkStructureErrors) {
  RegisterTree tree;
  Bytes data = Header(2, 1);
  Append(data, Chunk(2, BaseRecord({})));
  EXPECT_EQ(LoadError(tree, data), "Stream data corrupt. A node's anchor chunk is missing.");

  // A node whose size ends inside its base record's children.
  Bytes inner = Chunk(2, BaseRecord({}));
  Append(inner, Chunk(9, Hex("00 00 00 00")));
  data = Header(2, 1);
  Append(data, Chunk(1, inner, static_cast<int32_t>(inner.size() - 2)));
  Append(data, Hex("00 00"));
  EXPECT_EQ(LoadError(tree, data), "Stream data corrupt. Unexpected data after node's end position.");
  EXPECT_EQ(tree.root().childCount(), 1u);

  // The old one-node-and-garbage case: a sub-chunk that is no chunk at all.
  data = Header(2, 1);
  Append(data, RegisterLeaf(u"x"));
  data[20] += 3;  // the node claims 3 more bytes
  Append(data, Hex("01 02 03"));
  EXPECT_EQ(LoadError(tree, data), "Stream read error");
}

TEST(TreeLoader, HostileSizesLengthsAndDepth) {
  RegisterTree tree;
  auto withNode = [](const Bytes& node) {
    Bytes d = Header(2, 1);
    Append(d, node);
    return d;
  };
  // Negative and oversized chunk sizes.
  for (int32_t size : {-1, -8, INT32_MIN, 1000, INT32_MAX}) {
    EXPECT_EQ(LoadError(tree, withNode(Chunk(1, Chunk(2, BaseRecord({})), size))), "Stream read error")
        << size;
    EXPECT_EQ(LoadError(tree, withNode(Chunk(1, Chunk(99, {}, size)))), "Stream read error") << size;
    EXPECT_EQ(LoadError(tree, withNode(Chunk(1, Chunk(3, {}, size)))), "Stream read error") << size;
    EXPECT_EQ(LoadError(tree, withNode(Chunk(1, Chunk(4, {}, size)))), "Stream read error") << size;
  }
  // Negative and oversized string lengths.
  for (const char* bad : {"0C FF FF FF FF", "12 00 00 00 C0", "14 FF FF FF 7F", "12 FF FF FF 3F"}) {
    EXPECT_EQ(LoadError(tree, withNode(NodeChunk({}, {}, {Chunk(4, Hex(bad))}))), "Stream read error") << bad;
  }
  // A huge child count with no children behind it.
  EXPECT_EQ(LoadError(tree, withNode(NodeChunk({.childCount = 0xFFFFFFFF}, {}, {}))), "Stream read error");
  // Base records cut short.
  EXPECT_EQ(LoadError(tree, withNode(Chunk(1, Chunk(2, Hex("00 00 00 00 12"))))), "Stream read error");

  // Nesting: 64 levels below a top-level node load, one more does not.
  auto nested = [](int depth) {
    Bytes node = RegisterLeaf(u"leaf");
    for (int i = 0; i < depth; ++i) node = NodeChunk({.childCount = 1, .states = 0xC1}, {node}, {});
    Bytes d = Header(2, 1);
    Append(d, node);
    return d;
  };
  EXPECT_EQ(LoadError(tree, nested(64)), "loaded");
  EXPECT_EQ(LoadError(tree, nested(65)), "Stream read error");
  EXPECT_EQ(LoadError(tree, nested(5000)), "Stream read error");
}

TEST(TreeLoader, EveryTruncationFailsCleanlyOrEndsAtANodeBoundary) {
  RegisterTree source = SampleRegisterTree();
  const Bytes full = SaveToStream(source);
  // Offsets where a whole top-level node ends: a cut there is a shorter but valid file.
  std::set<size_t> boundaries;
  {
    size_t pos = 16;
    while (pos < full.size()) {
      const uint32_t size =
          full[pos + 4] | (full[pos + 5] << 8) | (full[pos + 6] << 16) | (full[pos + 7] << 24);
      pos += 8 + size;
      boundaries.insert(pos);
    }
  }
  const std::set<std::string> known = {"Unable to load tree structure, not enough data available.",
                                       "Stream read error", "Invalid property value",
                                       "Stream data corrupt. A node's anchor chunk is missing.",
                                       "Stream data corrupt. Unexpected data after node's end position."};
  for (size_t cut = 0; cut < full.size(); ++cut) {
    RegisterTree tree;
    const Bytes part(full.begin(), full.begin() + cut);
    const std::string outcome = LoadError(tree, part);
    if (cut == 16 || boundaries.count(cut)) {
      EXPECT_EQ(outcome, "loaded") << cut;
    } else {
      EXPECT_TRUE(known.count(outcome)) << cut << ": " << outcome;
    }
  }
}

class TreeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("treefile-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }
  std::filesystem::path dir_;
};

TEST_F(TreeFiles, SaveReplacesAndLoadReadsBack) {
  RegisterTree tree = SampleRegisterTree();
  const std::string file = Path("device.dat");
  { std::ofstream(file) << "old content that is longer than nothing"; }
  SaveToFile(tree, file);
  EXPECT_EQ(FileCount(), 1u);  // no temporary file left behind
  RegisterTree loaded;
  LoadFromFile(loaded, file);
  EXPECT_EQ(SaveToStream(loaded), SaveToStream(tree));
  EXPECT_EQ(std::filesystem::file_size(file), SaveToStream(tree).size());
}

TEST_F(TreeFiles, OpenAndCreateFailuresNameTheFullPath) {
  WatchTree tree;
  tree.root().appendChild()->data.Slave = u"7";
  const std::string missing = Path("missing.lst");
  try {
    LoadFromFile(tree, missing);
    ADD_FAILURE() << "no error";
  } catch (const FileOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + missing + "\". " + std::strerror(ENOENT));
  }
  ASSERT_EQ(tree.root().childCount(), 1u);  // untouched
  EXPECT_EQ(tree.root().child(0)->data.Slave, u"7");

  // A relative name is reported with its full path.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  try {
    LoadFromFile(tree, "rel.lst");
    ADD_FAILURE() << "no error";
  } catch (const FileOpenError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + Path("rel.lst") + "\". " + std::strerror(ENOENT));
  }
  std::filesystem::current_path(cwd);

  try {
    LoadFromFile(tree, dir_.string());
    ADD_FAILURE() << "no error";
  } catch (const FileOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir_.string() + "\". " + std::strerror(EISDIR));
  }
  EXPECT_EQ(tree.root().childCount(), 1u);

  const std::string noDir = Path("nodir/list.lst");
  try {
    SaveToFile(tree, noDir);
    ADD_FAILURE() << "no error";
  } catch (const FileCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + noDir + "\". " + std::strerror(ENOENT));
  }

  // The target cannot be replaced (it is a folder): the error is raised, the folder stays and no temporary
  // file is left beside it.
  const std::string folder = Path("taken.lst");
  std::filesystem::create_directory(folder);
  std::filesystem::create_directory(folder + "/inside");
  EXPECT_THROW(SaveToFile(tree, folder), FileCreateError);
  EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(TreeFiles, BrokenFileLoadsWhatCameBeforeTheFault) {
  RegisterTree tree = SampleRegisterTree();
  Bytes data = SaveToStream(tree);
  data.resize(data.size() - 3);
  const std::string file = Path("cut.dat");
  {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  RegisterTree loaded;
  EXPECT_THROW(LoadFromFile(loaded, file), ReadError);
  ASSERT_EQ(loaded.root().childCount(), 2u);
  EXPECT_EQ(loaded.root().child(0)->data.Name, u"Rejestry pomiarowe");
}

}  // namespace
}  // namespace velnorex
