// The records that tree nodes carry: RegisterNode in the register tree, WatchEntry in the watch list.
#pragma once

#include <string>

namespace velnorex {

struct RegisterNode {
  std::u16string Name;
  std::u16string Extra;
  std::u16string Address;
  std::u16string Type;
  std::u16string Count;
  std::u16string Access;
  std::u16string Value;
};

struct WatchEntry {
  std::u16string Slave;
  std::u16string Address;
  std::u16string Name;
  std::u16string Count;
  std::u16string Type;
  std::u16string Value;  // not stored in the file
};

}  // namespace velnorex
