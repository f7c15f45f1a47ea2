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

#include "registers/tree_stream.h"
#include "text/json_text.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

constexpr const char* kFormat = "velnorex-configuration";

// ---- writing ----

void AppendKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\": ";
}

void AppendStringArray(std::string& out, const std::vector<std::u16string>& items) {
  out += '[';
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ", ";
    AppendJsonString(out, items[i]);
  }
  out += ']';
}

std::string StopBitsText(int tenths) {
  return tenths % 10 == 0 ? std::to_string(tenths / 10)
                          : std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

void AppendRegister(std::string& out, const ConfigRegister& r) {
  out += "    {";
  AppendKey(out, "path");
  AppendStringArray(out, r.path);
  out += ", ";
  AppendKey(out, "address");
  out += std::to_string(r.address) + ", ";
  AppendKey(out, "type");
  AppendJsonString(out, r.type);
  out += ", ";
  AppendKey(out, "count");
  out += std::to_string(r.count) + ", ";
  AppendKey(out, "access");
  AppendJsonString(out, r.access);
  if (r.lineSetting) out += ", \"lineSetting\": true";
  if (r.value) {
    out += ", ";
    AppendKey(out, "value");
    AppendJsonString(out, *r.value);
    out += ", ";
    AppendKey(out, "words");
    out += '[';
    for (size_t i = 0; i < r.words.size(); ++i) out += (i ? ", " : "") + std::to_string(r.words[i]);
    out += ']';
  } else {
    out += ", ";
    AppendKey(out, "error");
    AppendJsonString(out, r.error);
  }
  out += '}';
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
  std::string out = "{";
  AppendKey(out, "format");
  out += std::string("\"") + kFormat + "\", ";
  AppendKey(out, "version");
  out += std::to_string(ConfigFile::kVersion) + ",\n  ";
  AppendKey(out, "definition");
  AppendJsonString(out, file.definition);
  out += ", ";
  AppendKey(out, "slave");
  out += std::to_string(file.slave) + ", ";
  AppendKey(out, "savedAt");
  AppendJsonString(out, FromUtf8(file.savedAt));
  out += ",\n  ";
  if (file.line) {
    AppendKey(out, "line");
    out += "{\"baud\": " + std::to_string(file.line->baudRate) + ", \"parity\": \"" +
           std::string(1, file.line->parity) + "\", \"dataBits\": " + std::to_string(file.line->dataBits) +
           ", \"stopBits\": " + StopBitsText(file.line->stopBitsTenths) + "},\n  ";
  }
  AppendKey(out, "scope");
  AppendStringArray(out, file.scope);
  out += ",\n  ";
  AppendKey(out, "registers");
  out += "[\n";
  for (size_t i = 0; i < file.registers.size(); ++i) {
    AppendRegister(out, file.registers[i]);
    out += i + 1 < file.registers.size() ? ",\n" : "\n";
  }
  out += "  ]\n}\n";
  return out;
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
