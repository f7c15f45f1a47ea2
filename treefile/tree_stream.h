// The tree file format: loading and writing node trees whose nodes carry RegisterNode or WatchEntry records.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "text/errors.h"
#include "treefile/register_records.h"
#include "treefile/tree_node.h"

namespace velnorex {

// "Unable to load tree structure, ..." and "Stream data corrupt. ..."
class TreeStreamError : public Error {
 public:
  using Error::Error;
};
// "Invalid property value", "Stream read error"
class ReadError : public Error {
 public:
  using Error::Error;
};
// "Cannot open file "%s". %s"
class FileOpenError : public Error {
 public:
  using Error::Error;
};
// "Cannot create file "%s". %s"
class FileCreateError : public Error {
 public:
  using Error::Error;
};

using RegisterTree = Tree<RegisterNode>;
using WatchTree = Tree<WatchEntry>;

// Replaces the tree's content with the nodes in `data`. Throws one of the errors above; after a failure the
// tree holds what was read up to that point.
void LoadFromStream(RegisterTree& tree, std::span<const uint8_t> data);
void LoadFromStream(WatchTree& tree, std::span<const uint8_t> data);

// Writes the whole tree (version 2). Nodes not yet initialized become initialized.
std::vector<uint8_t> SaveToStream(RegisterTree& tree);
std::vector<uint8_t> SaveToStream(WatchTree& tree);

// File names are UTF-8. Loading leaves the tree untouched when the file cannot be opened.
void LoadFromFile(RegisterTree& tree, const std::string& fileName);
void LoadFromFile(WatchTree& tree, const std::string& fileName);
// Replaces the file atomically (ReplaceFileAtomically), so a failure keeps the old file; when the folder
// takes no new file but the file itself may be written, the file is written in place.
void SaveToFile(RegisterTree& tree, const std::string& fileName);
void SaveToFile(WatchTree& tree, const std::string& fileName);

// The whole content of a file, as the loaders read it (on Windows with others' writing refused); throws
// FileOpenError when it cannot be opened, ReadError when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& fileName);
// Writes `data` as the whole content of the file the same atomic way (FileCreateError on failure).
void ReplaceFile(const std::string& fileName, const std::vector<uint8_t>& data);

// One string of a user-data payload.
void WriteWideString(std::vector<uint8_t>& out, std::u16string_view text);

}  // namespace velnorex
