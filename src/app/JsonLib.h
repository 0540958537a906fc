#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <nlohmann/json.hpp>
#include <functional>
#include <optional>
#include <vector>

// JSON file functions shared by the configuration store and the update records.
class TJsonLib {
 public:
  // The file's JSON object; nullopt when the text is not JSON. A missing file raises
  // "Arquivo não encotrado: \r<name>"; JSON whose top value is not an object raises too.
  static std::optional<nlohmann::ordered_json> LoadFileToJson(const QString &fileName);
  // Any JSON value of the file; nullopt when the text is not JSON. Missing or unreadable files raise.
  static std::optional<nlohmann::ordered_json> LoadFileToJsonValue(const QString &fileName);
  // The file's JSON array (a leading byte-order mark is skipped); nullopt when it is not one.
  static std::optional<nlohmann::ordered_json> LoadFileToJsonArray(const QString &fileName);
  // Compact UTF-8 text without byte-order mark. The text goes to a temporary file in the same
  // folder that then replaces the old one, so a crash mid-save leaves the previous file whole.
  static void SaveJsonToFile(const nlohmann::ordered_json &json, const QString &fileName);

  // ":" "/" " " "." "\" replaced, in this order, by "%3A" "%2F" "%20" "%2E" "%5C".
  static QString TrocaCharEspecToJson(const QString &text);
  // The same over the named properties of an object, up to the first empty name.
  static void TrocaCharEspecToJson(QObject &object, const QStringList &properties);
  // The same over plain string fields, up to the first null pointer.
  static void TrocaCharEspecToJson(const std::vector<QString *> &fields);

  // Test hook: runs after the temporary file is written and before it replaces the old one.
  static void SetBeforeReplaceHook(std::function<void(const QString &tempFile)> hook);
};
