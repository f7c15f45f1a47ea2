// The configuration file: a transducer's writable registers as one technician saved them, in a JSON text that
// people read and scripts diff. docs/CONFIGURATION.md describes the format with an example.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/mode_string.h"
#include "text/errors.h"

namespace velnorex {

// A file that cannot be read as a configuration; the message names the place.
class ConfigFileError : public Error {
 public:
  using Error::Error;
};

struct ConfigRegister {
  std::vector<std::u16string> path;  // the names from the top of the definition down to the register
  int32_t address = 0;
  std::u16string type;
  int32_t count = 0;
  std::u16string access;
  bool lineSetting = false;  // the register sets the transducer's own address, baud rate or parity
  // What the transducer held: the text the tree shows and the raw register words, first register first; or,
  // when it could not be read, why not.
  std::optional<std::u16string> value;
  std::vector<uint16_t> words;
  std::u16string error;
};

struct ConfigFile {
  static constexpr int kVersion = 1;

  std::u16string definition;  // the definition file's name, e.g. THV-21.dat
  int slave = 0;
  std::string savedAt;                // ISO 8601 local time with its offset
  std::optional<PortSettings> line;   // the line setting the transducer answered on
  std::vector<std::u16string> scope;  // the group saved; empty for the whole definition
  std::vector<ConfigRegister> registers;
};

std::string ConfigFileToJson(const ConfigFile& file);
// Throws ConfigFileError.
ConfigFile ConfigFileFromJson(std::string_view json);

// File names are UTF-8. Saving replaces the file atomically (FileCreateError); loading throws
// FileOpenError or ConfigFileError.
void SaveConfigFile(const ConfigFile& file, const std::string& fileName);
ConfigFile LoadConfigFile(const std::string& fileName);

// Now, as savedAt holds it.
std::string CurrentDateTimeText();
// The names of a path joined with " / ", as messages show them.
std::u16string PathText(const std::vector<std::u16string>& path);

}  // namespace velnorex
