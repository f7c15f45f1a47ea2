// The configuration file's JSON text: written by hand in a fixed layout (one register per line), read with
// Qt's JSON reader and checked field by field.
#include "config/config_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include <cmath>

#include "text/json_text.h"
#include "text/number_text.h"
#include "treefile/tree_stream.h"

namespace velnorex {

namespace {

constexpr const char* kFormat = "velnorex-configuration";

// ---- writing ----

// "key": value, the value already JSON.
std::string Field(const char* key, const std::string& json) {
  return std::string("\"") + key + "\": " + json;
}

std::string StopBitsText(int tenths) {
  return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : std::string());
}

std::string RegisterJson(const ConfigRegister& r) {
  std::string out = "{" + Field("path", JsonStringArray(r.path)) + ", " +
                    Field("address", std::to_string(r.address)) + ", " + Field("type", JsonString(r.type)) +
                    ", " + Field("count", std::to_string(r.count)) + ", " +
                    Field("access", JsonString(r.access));
  if (r.lineSetting) out += ", " + Field("lineSetting", "true");
  if (r.value) {
    std::string words = "[";
    for (size_t i = 0; i < r.words.size(); ++i) words += (i ? ", " : "") + std::to_string(r.words[i]);
    out += ", " + Field("value", JsonString(*r.value)) + ", " + Field("words", words + "]");
  } else {
    out += ", " + Field("error", JsonString(r.error));
  }
  return out + "}";
}

// ---- reading ----

std::u16string ToU16(const QString& s) {
  return s.toStdU16String();
}

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ConfigFileError(where + ": " + what);
}

int32_t WholeNumber(const QJsonValue& v, int32_t low, int32_t high, const std::string& where,
                    const char* key) {
  const double d = v.toDouble(std::nan(""));
  if (!v.isDouble() || !(d >= low && d <= high) || d != std::floor(d))
    Fail(where, std::string("\"") + key + "\" must be a whole number " + std::to_string(low) + ".." +
                    std::to_string(high));
  return static_cast<int32_t>(d);
}

std::u16string Text(const QJsonValue& v, const std::string& where, const char* key) {
  if (!v.isString()) Fail(where, std::string("\"") + key + "\" must be a string");
  return ToU16(v.toString());
}

std::vector<std::u16string> Texts(const QJsonValue& v, const std::string& where, const char* key) {
  if (!v.isArray()) Fail(where, std::string("\"") + key + "\" must be an array of strings");
  std::vector<std::u16string> out;
  for (const QJsonValue& item : v.toArray()) out.push_back(Text(item, where, key));
  return out;
}

void OnlyKnownKeys(const QJsonObject& object, std::initializer_list<const char*> known,
                   const std::string& where) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool ok = false;
    for (const char* k : known) ok = ok || it.key() == QLatin1String(k);
    if (!ok) Fail(where, "unknown field \"" + it.key().toStdString() + "\"");
  }
}

PortSettings LineOf(const QJsonValue& v) {
  const std::string where = "line";
  if (!v.isObject()) Fail(where, "must be an object");
  const QJsonObject o = v.toObject();
  OnlyKnownKeys(o, {"baud", "parity", "dataBits", "stopBits"}, where);
  PortSettings line;
  line.baudRate = WholeNumber(o.value("baud"), 1, 2147483647, where, "baud");
  const std::u16string parity = Text(o.value("parity"), where, "parity");
  if (parity.size() != 1 || std::u16string_view(u"neoms").find(parity[0]) == std::u16string_view::npos)
    Fail(where, "\"parity\" must be one of n, e, o, m, s");
  line.parity = static_cast<char>(parity[0]);
  line.dataBits = WholeNumber(o.value("dataBits"), 5, 8, where, "dataBits");
  const double stop = o.value("stopBits").toDouble(0);
  if (stop != 1 && stop != 1.5 && stop != 2) Fail(where, "\"stopBits\" must be 1, 1.5 or 2");
  line.stopBitsTenths = static_cast<int>(stop * 10);
  return line;
}

ConfigRegister RegisterOf(const QJsonValue& v, size_t index) {
  const std::string where = "registers[" + std::to_string(index) + "]";
  if (!v.isObject()) Fail(where, "must be an object");
  const QJsonObject o = v.toObject();
  OnlyKnownKeys(o, {"path", "address", "type", "count", "access", "lineSetting", "value", "words", "error"},
                where);
  ConfigRegister r;
  r.path = Texts(o.value("path"), where, "path");
  if (r.path.empty()) Fail(where, "\"path\" must name the register");
  r.address = WholeNumber(o.value("address"), 0, 65535, where, "address");
  r.type = Text(o.value("type"), where, "type");
  r.count = WholeNumber(o.value("count"), 1, 125, where, "count");
  r.access = Text(o.value("access"), where, "access");
  if (o.contains("lineSetting")) {
    if (!o.value("lineSetting").isBool()) Fail(where, "\"lineSetting\" must be true or false");
    r.lineSetting = o.value("lineSetting").toBool();
  }
  if (o.contains("value")) r.value = Text(o.value("value"), where, "value");
  if (o.contains("words")) {
    if (!o.value("words").isArray()) Fail(where, "\"words\" must be an array of numbers");
    for (const QJsonValue& w : o.value("words").toArray())
      r.words.push_back(static_cast<uint16_t>(WholeNumber(w, 0, 65535, where, "words")));
  }
  if (o.contains("error")) r.error = Text(o.value("error"), where, "error");
  if (r.value.has_value() == o.contains("error")) Fail(where, "needs either \"value\" or \"error\"");
  return r;
}

}  // namespace

std::string ConfigFileToJson(const ConfigFile& file) {
  std::string out = "{" + Field("format", std::string("\"") + kFormat + "\"") + ", " +
                    Field("version", std::to_string(ConfigFile::kVersion)) + ",\n  " +
                    Field("definition", JsonString(file.definition)) + ", " +
                    Field("slave", std::to_string(file.slave)) + ", " +
                    Field("savedAt", JsonString(FromUtf8(file.savedAt))) + ",\n  ";
  if (const auto& line = file.line) {
    out += Field("line",
                 "{" + Field("baud", std::to_string(line->baudRate)) + ", " +
                     Field("parity", JsonString(std::u16string(1, static_cast<char16_t>(line->parity)))) +
                     ", " + Field("dataBits", std::to_string(line->dataBits)) + ", " +
                     Field("stopBits", StopBitsText(line->stopBitsTenths)) + "}") +
           ",\n  ";
  }
  out += Field("scope", JsonStringArray(file.scope)) + ",\n  " + Field("registers", "[\n");
  for (size_t i = 0; i < file.registers.size(); ++i)
    out += "    " + RegisterJson(file.registers[i]) + (i + 1 < file.registers.size() ? ",\n" : "\n");
  return out + "  ]\n}\n";
}

ConfigFile ConfigFileFromJson(std::string_view json) {
  QJsonParseError error;
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError)
    Fail(JsonLineColumn(json, static_cast<size_t>(error.offset)), error.errorString().toStdString());
  if (!doc.isObject()) Fail("1:1", "the text must be one JSON object");
  const QJsonObject top = doc.object();
  const std::string where = "top level";
  if (top.value("format").toString() != QLatin1String(kFormat))
    Fail(where, std::string("\"format\" must be \"") + kFormat + "\"");
  if (top.value("version").toInt(-1) != ConfigFile::kVersion)
    Fail(where, "\"version\" must be " + std::to_string(ConfigFile::kVersion));
  OnlyKnownKeys(top, {"format", "version", "definition", "slave", "savedAt", "line", "scope", "registers"},
                where);

  ConfigFile file;
  file.definition = Text(top.value("definition"), where, "definition");
  file.slave = WholeNumber(top.value("slave"), 0, 255, where, "slave");
  if (top.contains("savedAt")) file.savedAt = ToUtf8(Text(top.value("savedAt"), where, "savedAt"));
  if (top.contains("line")) file.line = LineOf(top.value("line"));
  if (top.contains("scope")) file.scope = Texts(top.value("scope"), where, "scope");
  if (!top.value("registers").isArray()) Fail(where, "\"registers\" must be an array");
  const QJsonArray registers = top.value("registers").toArray();
  for (qsizetype i = 0; i < registers.size(); ++i)
    file.registers.push_back(RegisterOf(registers[i], static_cast<size_t>(i)));
  return file;
}

void SaveConfigFile(const ConfigFile& file, const std::string& fileName) {
  const std::string text = ConfigFileToJson(file);
  ReplaceFile(fileName, std::vector<uint8_t>(text.begin(), text.end()));
}

ConfigFile LoadConfigFile(const std::string& fileName) {
  const std::vector<uint8_t> bytes = ReadFileBytes(fileName);
  const std::string text(bytes.begin(), bytes.end());
  try {
    return ConfigFileFromJson(text);
  } catch (const ConfigFileError& e) {
    throw ConfigFileError(fileName + ": " + e.what());
  }
}

std::string CurrentDateTimeText() {
  const QDateTime now = QDateTime::currentDateTime();
  return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

std::u16string PathText(const std::vector<std::u16string>& path) {
  std::u16string text;
  for (const std::u16string& name : path) {
    if (!text.empty()) text += u" / ";
    text += name;
  }
  return text;
}

}  // namespace velnorex
