// The settings file read from arbitrary bytes: every key written back, into the profile it came from and into
// an empty one, reads again as the same value; an integer written reads back as that integer; and what is
// saved reads and saves to the same bytes.
#include <string>
#include <string_view>
#include <vector>

#include "app/ini_profile.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/harnesses.h"

namespace velnorex::fuzz {

namespace {

struct Entry {
  QString section, key, text;
  int integer;  // the integer read with two different defaults agrees only when the value is one
  bool isInteger;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> Values(const IniProfile& ini) {
  std::vector<Entry> entries;
  for (const QString& section : ini.Sections()) {
    for (const QString& key : ini.Keys(section)) {
      const QString text = ini.ReadString(section, key, QStringLiteral("\x01missing"));
      VELNOREX_FUZZ_CHECK(text != QStringLiteral("\x01missing"));  // a listed key is found
      const int a = ini.ReadInteger(section, key, 0), b = ini.ReadInteger(section, key, 1);
      entries.push_back({section, key, text, a, a == b});
    }
  }
  return entries;
}

IniProfile Reread(const IniProfile& ini) {
  return IniProfile::FromBytes(ini.Bytes());
}

}  // namespace

int FuzzIni(const uint8_t* data, size_t size) {
  IniProfile ini = IniProfile::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<Entry> values = Values(ini);

  // Saving is stable: what was saved saves again byte for byte.
  const std::string saved = ini.Bytes();
  VELNOREX_FUZZ_CHECK(Reread(ini).Bytes() == saved);
  VELNOREX_FUZZ_CHECK(Values(Reread(ini)) == values);

  IniProfile fresh = IniProfile::FromBytes({});
  for (const Entry& e : values) {
    ini.WriteString(e.section, e.key, e.text);
    fresh.WriteString(e.section, e.key, e.text);
  }
  VELNOREX_FUZZ_CHECK(Values(Reread(ini)) == values);
  VELNOREX_FUZZ_CHECK(Values(Reread(fresh)) == values);

  // Integers written as integers read back as the same integers.
  for (const Entry& e : values) {
    if (e.isInteger) ini.WriteInteger(e.section, e.key, e.integer);
  }
  const IniProfile again = Reread(ini);
  for (const Entry& e : values) {
    if (e.isInteger) VELNOREX_FUZZ_CHECK(again.ReadInteger(e.section, e.key, e.integer ^ 1) == e.integer);
  }
  return 0;
}

}  // namespace velnorex::fuzz
