#include "update/UpdateIo.h"

#include <QFileInfo>

#include "app/BuildConfig.h"
#include "app/Download.h"
#include "app/VentraError.h"
#include "logs/BrixmontZip.h"

namespace UpdateIo {

TDownloadFn DefaultDownload() {
  return [](const QString &url, const QString &folder, const QString &fileName) {
    return DownloadWithProgress(url, folder, fileName, false);
  };
}

TUnzipFn DefaultUnzip() {
  return [](const QString &archive, const QString &folder, QString &error) {
    const QFileInfo fi(archive);
    try {
      TClassBrixmontZip zip;
      zip.UnzipFileTo(fi.absolutePath(), fi.fileName(), folder, false);
      return true;
    } catch (const VentraError &e) {
      error = e.text();
    } catch (const std::exception &e) {
      error = QString::fromUtf8(e.what());
    }
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
