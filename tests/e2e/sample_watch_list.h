// The watch list of the list-recording tests and the simulated transducer it is read from (slave 1): a
// foreign slave that never answers and a register that answers with an exception leave their cells empty.
#pragma once

#include <string>
#include <vector>

#include "registers/watch_list_model.h"

namespace velnorex::test {

inline const std::vector<std::string> kSampleSimulatorArgs = {
    "--value", "100:INT:1:-215",  "--value",     "102:REAL:2:21,5", "--value",        "110:TEXT:4:abc",
    "--value", "120:HEX:1:$00FF", "--registers", "130:1",           "--exception-at", "130"};

// Adds the six entries: Temp, Wilgotność, Obcy (slave 2), Opis (TEXT), Tryb (HEX), Błąd (exception).
inline void FillSampleWatchList(WatchListModel& list) {
  const struct {
    const char16_t* slave;
    RegisterNode record;
  } entries[] = {
      {u"1", {u"Temp", {}, u"100", u"INT", u"1", u"RO", {}}},
      {u"1", {u"Wilgotność", {}, u"102", u"REAL", u"2", u"RO", {}}},
      {u"2", {u"Obcy", {}, u"100", u"INT", u"1", u"RO", {}}},
      {u"1", {u"Opis", {}, u"110", u"TEXT", u"4", u"RO", {}}},
      {u"1", {u"Tryb", {}, u"120", u"HEX", u"1", u"RW", {}}},
      {u"1", {u"Błąd", {}, u"130", u"WORD", u"1", u"RO", {}}},
  };
  for (const auto& entry : entries)
    list.AddToWatchList(&entry.record, QString::fromStdU16String(entry.slave));
}

}  // namespace velnorex::test
