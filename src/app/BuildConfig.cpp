#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <unistd.h>

#include "BuildConfigValues.h"

namespace BuildConfig {

QString value(const char *name) {
  static const QHash<QString, QString> defaults{
      {"DOWNLOAD_URL", VENTRA_DEFAULT_DOWNLOAD_URL},
      {"PROBE_URL", VENTRA_DEFAULT_PROBE_URL},
      {"PORTAL_URL", VENTRA_DEFAULT_PORTAL_URL},
      {"API_HOST", VENTRA_DEFAULT_API_HOST},
      {"API_PORT_CORE", VENTRA_DEFAULT_API_PORT_CORE},
      {"API_PORT_LOGS", VENTRA_DEFAULT_API_PORT_LOGS},
      {"API_PORT_SUPPORT", VENTRA_DEFAULT_API_PORT_SUPPORT},
      {"CEP_URL", VENTRA_DEFAULT_CEP_URL},
      {"FTP_HOST", VENTRA_DEFAULT_FTP_HOST},
      {"FTP_PORT", VENTRA_DEFAULT_FTP_PORT},
      {"FTP_USER", VENTRA_DEFAULT_FTP_USER},
      {"FTP_PASSWORD", VENTRA_DEFAULT_FTP_PASSWORD},
      {"SALES_NUMBER", VENTRA_DEFAULT_SALES_NUMBER},
      {"HOME_PAGE", VENTRA_DEFAULT_HOME_PAGE},
  };
  const QByteArray env = qgetenv((QByteArray("VENTRAIDE_") + name).constData());
  if (!env.isEmpty()) return QString::fromUtf8(env);
  return defaults.value(QString::fromLatin1(name));
}

QString programVersion() { return QStringLiteral(VENTRA_VERSION_TEXT); }

QString baseFolder() {
  QString dir = qEnvironmentVariable("VENTRAIDE_HOME");
  if (dir.isEmpty()) {
    dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
  }
  dir = QDir::cleanPath(QDir(dir).absolutePath());
  if (!dir.endsWith('/')) dir += '/';
  return dir;
}

QString devicesFolder() {
  QString dir = qEnvironmentVariable("VENTRAIDE_DEVICES");
  if (!dir.isEmpty()) return dir;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) return runtime + "/ventraide/devices";
  return QStringLiteral("/tmp/ventraide-devices-%1").arg(getuid());
}

}  // namespace BuildConfig
