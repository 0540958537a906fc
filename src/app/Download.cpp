#include "app/Download.h"

#include <QFile>
#include <QFileInfo>

#include "app/BuildConfig.h"
#include "app/CurlHandle.h"
#include "app/HttpLib.h"
#include "app/ShellUi.h"

namespace {
size_t discard(char *, size_t size, size_t n, void *) { return size * n; }

QString localPath(const QString &folder, const QString &fileName) {
  return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder + fileName : folder + '/' + fileName;
}
}  // namespace

bool VerificaInternet() {
  CurlEasy c = makeCurlEasy();
  const QByteArray url = BuildConfig::value("PROBE_URL").toUtf8();
  curl_easy_setopt(c.get(), CURLOPT_URL, url.constData());
  curl_easy_setopt(c.get(), CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(c.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c.get(), CURLOPT_CONNECTTIMEOUT_MS, 3000L);
  curl_easy_setopt(c.get(), CURLOPT_TIMEOUT_MS, 3000L);
  curl_easy_setopt(c.get(), CURLOPT_WRITEFUNCTION, &discard);
  return curl_easy_perform(c.get()) == CURLE_OK;
}

TDownloadResult RunDownloadWindow(IDownloadView &view, const QString &serverFolderUrl, const QString &localFolder,
                                  const QString &fileName, bool cancelAllowed) {
  TClassHttpLib http;
  bool cancelled = false;
  view.setStatus1(QStringLiteral("Aguarde..."));
  view.setStatus2(QString());
  if (cancelAllowed) {
    view.onCancel([&] {
      cancelled = true;
      http.Cancelar();
    });
  }
  http.OnStartWork = [&](qint64) {
    view.setProgress(0);
    view.setStatus1(QStringLiteral("Baixando arquivo ") + fileName + QStringLiteral(". Aguarde..."));
  };
  http.OnWork = [&](qint64 received) {
    view.setProgress(TClassHttpLib::Porcentagem(received, http.TotalBytes()));
    view.setStatus2(QString::number(received) + QStringLiteral(" / ") + QString::number(http.TotalBytes()) +
                    QStringLiteral(" bytes baixados"));
    view.pump();
  };
  http.OnEndWork = [&] {
    view.setProgress(100);
    view.setStatus2(QString::number(http.TotalBytes()) + QStringLiteral(" bytes baixados"));
  };

  const TDownloadResult outcome = [&] {
    const qint64 size = http.GetFileSize(serverFolderUrl, fileName);
    if (cancelled) return TDownloadResult::Cancelled;
    if (size <= 0) return TDownloadResult::Aborted;
    const QFileInfo local(localPath(localFolder, fileName));
    if (local.exists() && local.size() == size) return TDownloadResult::Done;
    const bool ok = http.GetFile(serverFolderUrl, localFolder, fileName, fileName);
    if (cancelled) return TDownloadResult::Cancelled;
    return ok ? TDownloadResult::Done : TDownloadResult::Aborted;
  }();
  view.onCancel({});  // the handler refers to this frame
  return outcome;
}

QString DownloadWithProgress(const QString &serverFolderUrl, const QString &localFolder, const QString &fileName,
                             bool cancelAllowed) {
  QString error;
  const QString local = localPath(localFolder, fileName);
  if (QFileInfo::exists(local)) QFile::remove(local);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto view = ShellUi::get().CreateDownloadView(cancelAllowed);
    const TDownloadResult r = RunDownloadWindow(*view, serverFolderUrl, localFolder, fileName, cancelAllowed);
    if (r == TDownloadResult::Done) break;
    if (r == TDownloadResult::Cancelled) {
      error = QStringLiteral("Operação cancelada.");
      break;  // the person asked to stop: no further attempt
    }
    error = QStringLiteral("Operação abortada.");
  }
  if (QFileInfo::exists(local)) return QString();
  const QString failed = QStringLiteral("Falha ao baixar arquivo: ") + fileName;
  return error.isEmpty() ? failed : error + QLatin1Char(' ') + failed;
}
