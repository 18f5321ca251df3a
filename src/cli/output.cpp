#include "cli/output.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "common/byte_display.h"
#include "common/int_conversion.h"

namespace tq::cli {

namespace {

constexpr std::string_view kHartPrefix = "hart.";

QString q(const std::string& s) { return QString::fromStdString(s); }

std::string document(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

int devicesOf(const record::ModuleRecord& record) {
  // "1 Unit", "4 Unit", "8 Unit": the count before the blank.
  const std::string units = record.shown("module.units");
  const auto count = tryParseInt(units.substr(0, units.find(' ')));
  return count && *count >= 1 && *count <= record::kMaxDevices ? *count : 1;
}

std::vector<const record::Key*> shownKeys(const record::ModuleRecord& record) {
  const int devices = devicesOf(record);
  std::vector<const record::Key*> out;
  for (const record::Key& key : record::keys()) {
    if (key.device < devices) out.push_back(&key);
  }
  return out;
}

std::string recordText(const record::ModuleRecord& record, const std::vector<const record::Key*>& keys) {
  std::string out;
  for (const record::Key* key : keys) out += key->name + " = " + record.shown(key->name) + "\n";
  return out;
}

namespace {

QJsonObject portObject(const LineSetting& line) {
  return QJsonObject{{"path", q(line.port)},
                     {"baud", static_cast<qint64>(line.baud)},
                     {"parity", QString::fromLatin1(parityName(line.parity))}};
}

}  // namespace

std::string foundText(const LineSetting& line, const record::ModuleRecord& module, bool json) {
  const std::vector<const record::Key*> keys = {record::findKey("module.interface"), record::findKey("module.units")};
  if (!json) {
    return "port = " + line.port + "\nbaud = " + std::to_string(line.baud) + "\nparity = " + parityName(line.parity) +
           "\n" + recordText(module, keys);
  }
  QJsonObject settings;
  for (const record::Key* key : keys) settings.insert(q(key->name), q(module.shown(key->name)));
  return document(QJsonObject{{"port", portObject(line)}, {"settings", settings}});
}

std::string recordJson(const record::ModuleRecord& record, const LineSetting& line, const std::string& readAt) {
  QJsonObject settings, hart;
  QJsonArray notRead;
  for (const record::Key* key : shownKeys(record)) {
    if (!record.read(key->name)) {
      notRead.append(q(key->name));
    } else if (key->name.starts_with(kHartPrefix)) {
      hart.insert(q(key->name.substr(kHartPrefix.size())), q(record.shown(key->name)));
    } else {
      settings.insert(q(key->name), q(record.shown(key->name)));
    }
  }
  QJsonObject port{{"path", q(line.port)},
                   {"baud", static_cast<qint64>(line.baud)},
                   {"parity", QString::fromLatin1(parityName(line.parity))}};
  QJsonObject root{{"format", "tq580-record"}, {"version", 1},        {"read_at", q(readAt)}, {"port", port},
                   {"settings", settings},     {"not_read", notRead}, {"hart", hart}};
  return document(root);
}

std::string keysText(const record::ModuleRecord& record, const std::vector<std::string>& keys, bool json) {
  if (!json) {
    std::string out;
    for (const std::string& key : keys) out += key + " = " + record.shown(key) + "\n";
    return out;
  }
  QJsonObject values;
  for (const std::string& key : keys) {
    values.insert(q(key), record.read(key) ? QJsonValue(q(record.shown(key))) : QJsonValue(QJsonValue::Null));
  }
  return document(values);
}

std::string differencesText(const std::vector<record::DiffRow>& rows, bool json) {
  QJsonArray differences;
  std::string out;
  for (const record::DiffRow& row : rows) {
    if (row.comparison == record::Comparison::Same) continue;
    differences.append(QJsonObject{{"key", q(row.key)},
                                   {"label", q(row.label)},
                                   {"profile", q(row.profileValue)},
                                   {"module", q(row.moduleValue)}});
    out += row.key + " (" + row.label + "): profile " + row.profileValue + ", module " + row.moduleValue + "\n";
  }
  return json ? document(QJsonObject{{"differences", differences}}) : out;
}

std::string instrumentsText(const std::vector<hart::UniqueIdentifier>& found, bool json) {
  QJsonArray instruments;
  std::string out;
  for (const hart::UniqueIdentifier& id : found) {
    instruments.append(QJsonObject{{"address", id.pollingAddress},
                                   {"manufacturer_id", id.manufacturerId},
                                   {"device_type", id.deviceType},
                                   {"device_id", static_cast<qint64>(id.deviceIdNumber())},
                                   {"revision", id.universalRevision},
                                   {"preambles", id.preamblesRequested}});
    out += "address " + std::to_string(id.pollingAddress) + ": manufacturer " + numberWithHex(id.manufacturerId, 1) +
           ", device type " + numberWithHex(id.deviceType, 1) + ", device id " + numberWithHex(id.deviceIdNumber(), 3) +
           ", revision " + std::to_string(id.universalRevision) + ", preambles " +
           std::to_string(id.preamblesRequested) + "\n";
  }
  return json ? document(QJsonObject{{"instruments", instruments}}) : out;
}

std::string modbusText(const std::string& answer, int start, const std::vector<unsigned>& registers, bool json) {
  if (json) {
    QJsonArray values;
    for (unsigned v : registers) values.append(static_cast<qint64>(v));
    return document(QJsonObject{{"answer", q(answer)}, {"start", start}, {"registers", values}});
  }
  std::string out = "answer = " + answer + "\n";
  for (size_t i = 0; i < registers.size(); ++i) {
    out += "register " + std::to_string(static_cast<size_t>(start) + i) + " = " + std::to_string(registers[i]) +
           " (0x" + hexByte(static_cast<uint8_t>(registers[i] >> 8)) +
           hexByte(static_cast<uint8_t>(registers[i] & 0xFF)) + ")\n";
  }
  return out;
}

std::string jsonObject(const std::vector<JsonMember>& members) {
  QJsonObject object;
  for (const JsonMember& m : members) {
    if (!m.list) {
      object.insert(q(m.name), m.values.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(q(m.values.front())));
      continue;
    }
    QJsonArray values;
    for (const std::string& v : m.values) values.append(q(v));
    object.insert(q(m.name), values);
  }
  return document(object);
}

std::string isoNow() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(); }

}  // namespace tq::cli
