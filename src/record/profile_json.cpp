#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "common/errors.h"
#include "record/profile.h"

namespace tq::record {

namespace {

[[noreturn]] void refuse(const std::string& fileName, const std::string& fault) {
  throw InputRefused("The profile " + fileName + " was not used, nothing was sent: " + fault);
}

}  // namespace

std::string profileJson(const ModuleRecord& record, const std::string& saved) {
  QJsonObject settings;
  for (const Key& key : keys()) {
    if (key.writer < 0 || !record.read(key.name)) continue;
    settings.insert(QString::fromStdString(key.name), QString::fromStdString(record.shown(key.name)));
  }
  QJsonObject root;
  root.insert(QStringLiteral("format"), QString::fromUtf8(kProfileFormat.data(), kProfileFormat.size()));
  root.insert(QStringLiteral("version"), kProfileVersion);
  root.insert(QStringLiteral("saved"), QString::fromStdString(saved));
  root.insert(QStringLiteral("settings"), settings);
  return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

Profile readProfile(std::string_view bytes, const std::string& fileName) {
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
  if (document.isNull()) {
    refuse(fileName, "it is not JSON (" + error.errorString().toStdString() + " at character " +
                         std::to_string(error.offset) + ").");
  }
  if (!document.isObject()) refuse(fileName, "it is JSON, but not a profile (no object at its top).");
  const QJsonObject root = document.object();
  const QJsonValue format = root.value(QStringLiteral("format"));
  if (format.toString().toStdString() != kProfileFormat) {
    refuse(fileName, "its \"format\" is not \"" + std::string(kProfileFormat) + "\"" +
                         (format.isString() ? " but \"" + format.toString().toStdString() + "\"" : std::string()) +
                         ".");
  }
  const QJsonValue version = root.value(QStringLiteral("version"));
  if (!version.isDouble() || version.toDouble() != kProfileVersion) {
    const std::string found = version.isDouble()   ? QString::number(version.toDouble()).toStdString()
                              : version.isString() ? "\"" + version.toString().toStdString() + "\""
                                                   : std::string("none");
    refuse(fileName,
           "it is of version " + found + "; this tool reads version " + std::to_string(kProfileVersion) + ".");
  }
  const QJsonValue settings = root.value(QStringLiteral("settings"));
  if (!settings.isObject()) refuse(fileName, "it holds no \"settings\" object.");
  Profile profile;
  profile.saved = root.value(QStringLiteral("saved")).toString().toStdString();
  const QJsonObject values = settings.toObject();
  for (auto it = values.begin(); it != values.end(); ++it) {
    const std::string name = it.key().toStdString();
    if (const auto fault = keyFault(name)) refuse(fileName, *fault);
    if (!it.value().isString()) refuse(fileName, "the key " + name + " has a value that is not a text in quotes.");
    if (const auto fault = valueFault(*findKey(name), it.value().toString().toStdString())) refuse(fileName, *fault);
  }
  // In key-table order, whatever the file's.
  for (const Key& key : keys()) {
    const QJsonValue value = values.value(QString::fromStdString(key.name));
    if (value.isString()) profile.settings.emplace_back(key.name, value.toString().toStdString());
  }
  return profile;
}

Profile readProfileFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    throw InputRefused("The profile " + path + " could not be read: " + file.errorString().toStdString() +
                       ". Nothing was sent.");
  }
  const QByteArray bytes = file.readAll();
  return readProfile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), path);
}

}  // namespace tq::record
