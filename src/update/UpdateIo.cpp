#include "update/UpdateIo.h"

#include "app/BuildConfig.h"

namespace UpdateIo {

TDownloadFn DefaultDownload() {
  return [](const QString &, const QString &, const QString &fileName) {
    return QStringLiteral("Falha ao baixar arquivo: ") + fileName;
  };
}

TUnzipFn DefaultUnzip() {
  return [](const QString &, const QString &, QString &error) {
    error = QStringLiteral("descompactação indisponível");
    return false;
  };
}

QString ServerFilesUrl() {
  QString url = BuildConfig::value("DOWNLOAD_URL");
  if (!url.endsWith('/')) url += '/';
  return url;
}

QString ServicePackServerUrl(const QString &spIDE) {
  return ServerFilesUrl() + QStringLiteral("sp/sp") + spIDE + QStringLiteral("/");
}

bool IsPlainFileName(const QString &name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains('/') &&
         !name.contains('\\') && !name.contains(QChar(0));
}

}  // namespace UpdateIo
