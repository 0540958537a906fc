#include "app/ConfLocal.h"

#include <QDateTime>
#include <QFile>

#include "app/BuildConfig.h"
#include "app/VentraError.h"

namespace {
std::unique_ptr<TClassConfLocal> g_instance;
}

TClassConfLocal::TClassConfLocal(const QString &path) : FPath(path) {
  if (!FPath.isEmpty() && !FPath.endsWith(QLatin1Char('/'))) FPath += QLatin1Char('/');
  if (ConfFileExists()) {
    if (!LoadConfLocal()) {
      // keep the unreadable file beside the new one instead of losing it outright
      const QString aside = FileName() + QStringLiteral(".bad");
      QFile::remove(aside);
      if (!QFile::rename(FileName(), aside)) DeleteConfFile();
      CreateNewConfFile();
    }
  } else {
    CreateNewConfFile();
  }
}

TClassConfLocal &TClassConfLocal::GetInstance() {
  if (!g_instance) g_instance = std::make_unique<TClassConfLocal>(BuildConfig::baseFolder());
  return *g_instance;
}

void TClassConfLocal::FreeInstance() { g_instance.reset(); }

bool TClassConfLocal::ConfFileExists() const { return QFile::exists(FileName()); }

bool TClassConfLocal::LoadConfLocal() {
  FJsonIniConfLocal = TClass_JsonIni::LoadJsonIniFromFile(FileName());
  return FJsonIniConfLocal != nullptr;
}

void TClassConfLocal::CreateNewConfFile() {
  if (!FJsonIniConfLocal) FJsonIniConfLocal = std::make_unique<TClass_JsonIni>();
  FJsonIniConfLocal->AddString(QStringLiteral("CONF"), QStringLiteral("CREATION_DT"),
                               QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
  SaveConfFile();
}

void TClassConfLocal::DeleteConfFile() {
  if (ConfFileExists() && !QFile::remove(FileName()))
    throw VentraError(QStringLiteral("Falha ao apagar arquivo: ") + FileName());
}

void TClassConfLocal::SaveConfFile() {
  if (!FJsonIniConfLocal) return;
  TClass_JsonIni::SaveJsonIniToFile(*FJsonIniConfLocal, FileName());
}

void TClassConfLocal::ConfLocal_AddString(const QString &categoria, const QString &chave, const QString &valor) {
  if (FJsonIniConfLocal) FJsonIniConfLocal->AddString(categoria, chave, valor);
}
void TClassConfLocal::ConfLocal_AddInteger(const QString &categoria, const QString &chave, qint32 valor) {
  if (FJsonIniConfLocal) FJsonIniConfLocal->AddInteger(categoria, chave, valor);
}
void TClassConfLocal::ConfLocal_AddUInt64(const QString &categoria, const QString &chave, quint64 valor) {
  if (FJsonIniConfLocal) FJsonIniConfLocal->AddUInt64(categoria, chave, valor);
}
void TClassConfLocal::ConfLocal_AddBoolean(const QString &categoria, const QString &chave, bool valor) {
  if (FJsonIniConfLocal) FJsonIniConfLocal->AddBoolean(categoria, chave, valor);
}
QString TClassConfLocal::ConfLocal_ReadString(const QString &categoria, const QString &chave,
                                              const QString &defaultValue) const {
  return FJsonIniConfLocal ? FJsonIniConfLocal->ReadString(categoria, chave, defaultValue) : defaultValue;
}
qint32 TClassConfLocal::ConfLocal_ReadInteger(const QString &categoria, const QString &chave,
                                              qint32 defaultValue) const {
  return FJsonIniConfLocal ? FJsonIniConfLocal->ReadInteger(categoria, chave, defaultValue) : defaultValue;
}
quint64 TClassConfLocal::ConfLocal_ReadUInt64(const QString &categoria, const QString &chave,
                                              quint64 defaultValue) const {
  return FJsonIniConfLocal ? FJsonIniConfLocal->ReadUInt64(categoria, chave, defaultValue) : defaultValue;
}
bool TClassConfLocal::ConfLocal_ReadBoolean(const QString &categoria, const QString &chave, bool defaultValue) const {
  return FJsonIniConfLocal ? FJsonIniConfLocal->ReadBoolean(categoria, chave, defaultValue) : defaultValue;
}
