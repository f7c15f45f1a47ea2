// The tree file: loader and writer of node trees with RegisterNode or WatchEntry records, and the file
// operations around them.
#include "treefile/tree_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "text/file_replace.h"
#include "treefile/tagged_string.h"

#ifdef _WIN32
#include <share.h>
#endif

namespace velnorex {

namespace {

constexpr char16_t kMagic0 = 0x2045, kMagic1 = u'V', kMagic2 = u'T', kMagic5 = 0x2046;
constexpr uint16_t kWriteVersion = 2;
constexpr int32_t kNodeChunk = 1, kBaseChunk = 2, kCaptionChunk = 3, kUserDataChunk = 4;
constexpr size_t kBaseRecordSize = 17, kOldBaseRecordSize = 11;
// Definitions nest four or five levels; anything far deeper is damaged or hostile data.
constexpr int kMaxDepth = 64;

[[noreturn]] void ReadFailure() {
  throw ReadError("Stream read error");
}

// ---- per-record handlers ----

// The register tree's node handlers: seven strings in the order of the record.
void VTLoadNode(RegisterNode& r, StringReader& in) {
  for (std::u16string* field : {&r.Name, &r.Extra, &r.Address, &r.Type, &r.Count, &r.Access, &r.Value}) {
    *field = in.ReadWideString();
  }
}
// The program itself never writes a register tree; the definition tool does.
void VTSaveNode(const RegisterNode& r, std::vector<uint8_t>& out) {
  for (const std::u16string* field :
       {&r.Name, &r.Extra, &r.Address, &r.Type, &r.Count, &r.Access, &r.Value}) {
    WriteWideString(out, *field);
  }
}

// The watch list's node handlers: five strings; Value is not stored and stays empty after loading.
void VLLoadNode(WatchEntry& r, StringReader& in) {
  for (std::u16string* field : {&r.Slave, &r.Address, &r.Name, &r.Count, &r.Type}) {
    *field = in.ReadWideString();
  }
}
void VLSaveNode(const WatchEntry& r, std::vector<uint8_t>& out) {
  for (const std::u16string* field : {&r.Slave, &r.Address, &r.Name, &r.Count, &r.Type}) {
    WriteWideString(out, *field);
  }
}

template <class Record>
struct RecordIo;

template <>
struct RecordIo<RegisterNode> {
  static void Load(RegisterNode& r, StringReader& in) { VTLoadNode(r, in); }
  static void Save(const RegisterNode& r, std::vector<uint8_t>& out) { VTSaveNode(r, out); }
  // The text of column 0, stored as the node's caption.
  static const std::u16string& Caption(const RegisterNode& r) { return r.Name; }
};

template <>
struct RecordIo<WatchEntry> {
  static void Load(WatchEntry& r, StringReader& in) { VLLoadNode(r, in); }
  static void Save(const WatchEntry& r, std::vector<uint8_t>& out) { VLSaveNode(r, out); }
  static const std::u16string& Caption(const WatchEntry& r) { return r.Slave; }
};

// ---- loading ----

template <class Record>
class Loader {
 public:
  using Node = TreeNode<Record>;
  Loader(Tree<Record>& tree, std::span<const uint8_t> data) : tree_(tree), data_(data) {}

  void Run() {
    tree_.clear();
    Node& root = tree_.root();
    root.States = static_cast<uint16_t>(root.States & ~NodeState::HasChildren);
    if (data_.size() < 12) {
      throw TreeStreamError("Unable to load tree structure, not enough data available.");
    }
    const char16_t unit0 = U16(0), unit1 = U16(2), unit2 = U16(4), unit5 = U16(10);
    if (unit0 != kMagic0 || unit1 != kMagic1 || unit2 != kMagic2 || unit5 != kMagic5) {
      throw TreeStreamError("Unable to load tree structure, the format is wrong.");
    }
    version_ = U16(6);
    if (version_ > 2) throw TreeStreamError("Unable to load tree structure, the version is unknown.");
    pos_ = 12;
    uint32_t count = 0x7FFFFFFF;
    if (version_ == 2) count = UInt32();
    while (pos_ < data_.size() && count > 0) {
      --count;
      Node* node = NewNode(root);
      ReadNodeChunk(*node, 0);
    }
  }

 private:
  char16_t U16(size_t at) const { return static_cast<char16_t>(data_[at] | (data_[at + 1] << 8)); }

  const uint8_t* Take(size_t count) {
    if (pos_ > data_.size() || count > data_.size() - pos_) ReadFailure();
    const uint8_t* p = data_.data() + pos_;
    pos_ += count;
    return p;
  }
  uint32_t UInt32() {
    const uint8_t* p = Take(4);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }

  // A chunk header whose size is negative or reaches past the data is refused before the size drives any
  // skip or read.
  struct ChunkHeader {
    int32_t type;
    size_t size;
  };
  ChunkHeader ReadChunkHeader() {
    ChunkHeader h;
    h.type = static_cast<int32_t>(UInt32());
    const int32_t size = static_cast<int32_t>(UInt32());
    if (size < 0 || static_cast<size_t>(size) > data_.size() - pos_) ReadFailure();
    h.size = static_cast<size_t>(size);
    return h;
  }

  Node* NewNode(Node& parent) {
    parent.States |= NodeState::HasChildren;  // only the root; loaded nodes get their bits from the file
    Node* node = parent.appendChild();
    node->NodeHeight = tree_.defaultNodeHeight;
    return node;
  }

  void ReadNodeChunk(Node& node, int depth) {
    if (depth > kMaxDepth) ReadFailure();
    const ChunkHeader anchor = ReadChunkHeader();
    if (anchor.type != kNodeChunk)
      throw TreeStreamError("Stream data corrupt. A node's anchor chunk is missing.");
    const size_t end = pos_ + anchor.size;
    while (pos_ < end) {
      const ChunkHeader h = ReadChunkHeader();
      switch (h.type) {
        case kBaseChunk:
          ReadBase(node, depth);
          break;
        case kUserDataChunk:
          if (h.size > 0) {
            const size_t start = pos_;
            StringReader reader(data_, pos_);
            RecordIo<Record>::Load(node.data, reader);
            pos_ = start + h.size;
          }
          break;
        case kCaptionChunk:
          // The first column's text is the record's own field; a stored caption changes nothing.
        default:
          pos_ += h.size;
          break;
      }
    }
    if (pos_ != end) throw TreeStreamError("Stream data corrupt. Unexpected data after node's end position.");
  }

  void ReadBase(Node& node, int depth) {
    const bool old = version_ < 2;
    const uint8_t* p = Take(old ? kOldBaseRecordSize : kBaseRecordSize);
    const uint32_t childCount = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    node.NodeHeight = static_cast<uint16_t>(p[4] | (p[5] << 8));
    uint16_t states;
    size_t at = 8;
    if (old) {
      // In the old versions bit 7 meant selected and every node was visible.
      states = p[at++];
      states |= (states & 0x80) ? NodeState::Selected : NodeState::Visible;
    } else {
      states = static_cast<uint16_t>(p[8] | (p[9] << 8));
      at = 10;
    }
    // Neither tree allows a selection of several nodes, so no loaded node comes back selected.
    node.States = static_cast<uint16_t>(states & ~NodeState::Selected);
    node.Align = p[at];
    node.checkState = static_cast<CheckState>(p[at + 1]);
    // The old record is 11 bytes: ChildCount, NodeHeight, the States byte, Align and CheckState. It has no
    // room for a check type, so such nodes carry none.
    node.checkType = old ? CheckType::ctNone : static_cast<CheckType>(p[at + 2]);
    // Children are appended one at a time as their chunks are read, so a large ChildCount without the data
    // behind it ends with a read error instead of a large allocation.
    for (uint32_t i = 0; i < childCount; ++i) {
      Node* child = node.appendChild();
      child->NodeHeight = tree_.defaultNodeHeight;
      ReadNodeChunk(*child, depth + 1);
    }
  }

  Tree<Record>& tree_;
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  uint16_t version_ = 0;
};

// ---- writing ----

void PutUInt32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PatchSize(std::vector<uint8_t>& out, size_t headerAt) {
  const uint32_t size = static_cast<uint32_t>(out.size() - headerAt - 8);
  for (int i = 0; i < 4; ++i) out[headerAt + 4 + i] = static_cast<uint8_t>(size >> (8 * i));
}
size_t PutChunkHeader(std::vector<uint8_t>& out, int32_t type) {
  const size_t at = out.size();
  PutUInt32(out, static_cast<uint32_t>(type));
  PutUInt32(out, 0);
  return at;
}

template <class Record>
void WriteNode(TreeNode<Record>& node, std::vector<uint8_t>& out) {
  node.States |= NodeState::Initialized;
  const size_t p1 = PutChunkHeader(out, kNodeChunk);
  const size_t p2 = PutChunkHeader(out, kBaseChunk);
  PutUInt32(out, static_cast<uint32_t>(node.childCount()));
  PutUInt32(out, node.NodeHeight);
  const uint16_t states = node.States & NodeState::WriteMask;
  out.push_back(static_cast<uint8_t>(states & 0xFF));
  out.push_back(static_cast<uint8_t>(states >> 8));
  out.push_back(node.Align);
  out.push_back(static_cast<uint8_t>(node.checkState));
  out.push_back(static_cast<uint8_t>(node.checkType));
  PutUInt32(out, 0);
  for (const auto& child : node.children()) WriteNode(*child, out);
  PatchSize(out, p2);
  const size_t p3 = PutChunkHeader(out, kUserDataChunk);
  RecordIo<Record>::Save(node.data, out);
  if (out.size() == p3 + 8) {
    out.resize(p3);
  } else {
    PatchSize(out, p3);
  }
  const std::u16string& caption = RecordIo<Record>::Caption(node.data);
  if (!caption.empty()) {
    PutUInt32(out, static_cast<uint32_t>(kCaptionChunk));
    PutUInt32(out, static_cast<uint32_t>(2 * caption.size()));
    for (char16_t c : caption) {
      out.push_back(static_cast<uint8_t>(c & 0xFF));
      out.push_back(static_cast<uint8_t>(c >> 8));
    }
  }
  PatchSize(out, p1);
}

template <class Record>
std::vector<uint8_t> Save(Tree<Record>& tree) {
  std::vector<uint8_t> out;
  for (char16_t unit : {kMagic0, kMagic1, kMagic2, static_cast<char16_t>(kWriteVersion), u' ', kMagic5}) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  PutUInt32(out, static_cast<uint32_t>(tree.root().childCount()));
  for (const auto& node : tree.root().children()) WriteNode(*node, out);
  return out;
}

// ---- files ----

std::filesystem::path PathOf(const std::string& utf8Name) {
  return std::filesystem::path(std::u8string(utf8Name.begin(), utf8Name.end()));
}

std::string FullPath(const std::string& utf8Name) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(PathOf(utf8Name), ec);
  if (ec) return utf8Name;
  const std::u8string u8 = full.u8string();
  return std::string(u8.begin(), u8.end());
}

template <class Record>
void LoadFile(Tree<Record>& tree, const std::string& fileName) {
  const std::vector<uint8_t> data = ReadFileBytes(fileName);
  LoadFromStream(tree, data);
}

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
#ifdef _WIN32
  // Reading shares the file for reading only, so no one writes it while it is loaded.
  FILE* f = _wfsopen(PathOf(fileName).c_str(), L"rb", _SH_DENYWR);
#else
  FILE* f = std::fopen(PathOf(fileName).c_str(), "rb");
#endif
  auto fail = [&](int error) {
    throw FileOpenError("Cannot open file \"" + FullPath(fileName) + "\". " + SystemErrorText(error));
  };
  if (!f) fail(errno);
  // A folder opens for reading on some systems; it is no file to load.
  std::error_code ec;
  if (std::filesystem::is_directory(PathOf(fileName), ec)) {
    std::fclose(f);
    fail(EISDIR);
  }
  std::vector<uint8_t> data;
  uint8_t block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.insert(data.end(), block, block + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) ReadFailure();
  return data;
}

void ReplaceFile(const std::string& fileName, const std::vector<uint8_t>& data) {
  const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
  if (const int error = ReplaceFileAtomically(PathOf(fileName), bytes))
    throw FileCreateError("Cannot create file \"" + FullPath(fileName) + "\". " + SystemErrorText(error));
}

void LoadFromStream(RegisterTree& tree, std::span<const uint8_t> data) {
  Loader<RegisterNode>(tree, data).Run();
}
void LoadFromStream(WatchTree& tree, std::span<const uint8_t> data) {
  Loader<WatchEntry>(tree, data).Run();
}

std::vector<uint8_t> SaveToStream(RegisterTree& tree) {
  return Save(tree);
}
std::vector<uint8_t> SaveToStream(WatchTree& tree) {
  return Save(tree);
}

void LoadFromFile(RegisterTree& tree, const std::string& fileName) {
  LoadFile(tree, fileName);
}
void LoadFromFile(WatchTree& tree, const std::string& fileName) {
  LoadFile(tree, fileName);
}

void SaveToFile(RegisterTree& tree, const std::string& fileName) {
  ReplaceFile(fileName, SaveToStream(tree));
}
void SaveToFile(WatchTree& tree, const std::string& fileName) {
  ReplaceFile(fileName, SaveToStream(tree));
}

}  // namespace velnorex
