#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "app/JsonIni.h"

// The program's local configuration, FPath + "conf_local.jsn". Nothing is saved implicitly:
// callers call SaveConfFile when a group of changes is complete.
class TClassConfLocal {
 public:
  static constexpr const char *kFileName = "conf_local.jsn";

  // Loads the file in path (a folder, trailing separator optional), replacing a missing or
  // broken one by a new file holding only CONF/CREATION_DT. Read and write errors are raised.
  explicit TClassConfLocal(const QString &path);

  // The process-wide instance, created on first use in BuildConfig::baseFolder().
  static TClassConfLocal &GetInstance();
  // Drops the process-wide instance; the next GetInstance creates it again.
  static void FreeInstance();

  bool ConfFileExists() const;
  bool LoadConfLocal();  // false when the file holds no store
  void CreateNewConfFile();
  void DeleteConfFile();
  void SaveConfFile();
  QString FileName() const { return FPath + QLatin1String(kFileName); }
  const QString &Path() const { return FPath; }

  void ConfLocal_AddString(const QString &categoria, const QString &chave, const QString &valor);
  void ConfLocal_AddInteger(const QString &categoria, const QString &chave, qint32 valor);
  void ConfLocal_AddUInt64(const QString &categoria, const QString &chave, quint64 valor);
  void ConfLocal_AddBoolean(const QString &categoria, const QString &chave, bool valor);
  QString ConfLocal_ReadString(const QString &categoria, const QString &chave, const QString &defaultValue) const;
  qint32 ConfLocal_ReadInteger(const QString &categoria, const QString &chave, qint32 defaultValue) const;
  quint64 ConfLocal_ReadUInt64(const QString &categoria, const QString &chave, quint64 defaultValue) const;
  bool ConfLocal_ReadBoolean(const QString &categoria, const QString &chave, bool defaultValue) const;

  void SetOnLog(std::function<void(const QString &)> onLog) { FOnLog = std::move(onLog); }
  TClass_JsonIni *Store() const { return FJsonIniConfLocal.get(); }

 private:
  QString FPath;
  std::unique_ptr<TClass_JsonIni> FJsonIniConfLocal;
  std::function<void(const QString &)> FOnLog;
};
