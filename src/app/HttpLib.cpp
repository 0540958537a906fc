#include "app/HttpLib.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

#include "app/Log.h"

namespace {
QString withSlash(const QString &folder) {
  return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QByteArray encodedUrl(const QString &url) { return QUrl(url, QUrl::TolerantMode).toEncoded(); }

// read time-out as libcurl knows it: less than one byte per second for that long
void applyTimeouts(CURL *c, int connectMs, int readMs) {
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(connectMs));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(1L, long((readMs + 999) / 1000)));
}
}  // namespace

// State of one GET while libcurl runs it.
struct HttpLibTransfer {
  HttpLibTransfer(TClassHttpLib &l, CURL *c, int f) : lib(l), curl(c), fd(f) {}
  TClassHttpLib &lib;
  CURL *curl;
  int fd;
  bool started = false;
  bool writeFailed = false;
  QElapsedTimer sinceEvent;
  qint64 lastReported = -1;

  void start() {
    if (started) return;
    started = true;
    curl_off_t len = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len);
    lib.FTotalBytes = len > 0 ? qint64(len) : 0;
    if (lib.OnStartWork) lib.OnStartWork(lib.FTotalBytes);
    sinceEvent.start();
  }

  static size_t onData(char *data, size_t size, size_t n, void *self) {
    auto *t = static_cast<HttpLibTransfer *>(self);
    t->start();
    const size_t total = size * n;
    size_t done = 0;
    while (done < total) {
      const ssize_t w = ::write(t->fd, data + done, total - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        t->writeFailed = true;
        return 0;  // makes libcurl stop with a write error
      }
      done += size_t(w);
    }
    t->lib.FBytesBaixados += qint64(total);
    return total;
  }

  static int onProgress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto *t = static_cast<HttpLibTransfer *>(self);
    if (t->started && t->lib.OnWork && t->sinceEvent.elapsed() >= 50) {
      t->sinceEvent.restart();
      t->lastReported = t->lib.FBytesBaixados;
      t->lib.OnWork(t->lib.FBytesBaixados);  // the window lets its messages run here
    }
    return t->lib.FCancelado ? 1 : 0;
  }
};

TClassHttpLib::TClassHttpLib() : FHttp(makeCurlEasy()) {}
TClassHttpLib::~TClassHttpLib() = default;

void TClassHttpLib::SetTimeouts(int connectMs, int readMs) {
  FConnectTimeoutMs = connectMs;
  FReadTimeoutMs = readMs;
}

int TClassHttpLib::Porcentagem(qint64 bytes, qint64 total) {
  if (total <= 0) return 0;
  const double p = std::nearbyint(double(bytes) * 100.0 / double(total));  // ties to even
  return int(std::clamp(p, 0.0, 100.0));
}

QString TClassHttpLib::TempFileName(const QString &fileName) {
  const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  if (dot <= slash) return fileName + QStringLiteral("_new");
  return fileName.left(dot) + QStringLiteral("_new") + fileName.mid(dot);
}

qint64 TClassHttpLib::GetFileSize(const QString &serverFolderUrl, const QString &fileName) {
  CURL *c = FHttp.get();
  curl_easy_reset(c);
  const QByteArray url = encodedUrl(serverFolderUrl + fileName);
  curl_easy_setopt(c, CURLOPT_URL, url.constData());
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  applyTimeouts(c, FConnectTimeoutMs, FReadTimeoutMs);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(FConnectTimeoutMs + FReadTimeoutMs));
  if (curl_easy_perform(c) != CURLE_OK) return 0;
  curl_off_t len = -1;
  if (curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len) != CURLE_OK || len < 0) return 0;
  return qint64(len);
}

bool TClassHttpLib::download(const QString &url, const QString &fileName, QString &error) {
  const QByteArray path = QFile::encodeName(fileName);
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = QString::fromLocal8Bit(strerror(errno));
    return false;
  }
  FTotalBytes = 0;
  FBytesBaixados = 0;
  CURL *c = FHttp.get();
  curl_easy_reset(c);
  const QByteArray u = encodedUrl(url);
  HttpLibTransfer t(*this, c, fd);
  curl_easy_setopt(c, CURLOPT_URL, u.constData());
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &HttpLibTransfer::onData);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &HttpLibTransfer::onProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
  applyTimeouts(c, FConnectTimeoutMs, FReadTimeoutMs);
  const CURLcode rc = curl_easy_perform(c);
  const bool closed = ::close(fd) == 0;
  if (rc == CURLE_OK) t.start();  // an empty body still has a start
  if (t.started && OnWork && t.lastReported != FBytesBaixados) OnWork(FBytesBaixados);
  if (OnEndWork) OnEndWork();
  if (rc != CURLE_OK) {
    error = FCancelado ? QStringLiteral("cancelado") : QString::fromUtf8(curl_easy_strerror(rc));
    return false;
  }
  if (!closed || t.writeFailed) {
    error = QStringLiteral("falha ao gravar ") + fileName;
    return false;
  }
  return true;
}

bool TClassHttpLib::GetFile(const QString &serverFolderUrl, const QString &localFolder, const QString &destName,
                            const QString &originName) {
  FCancelado = false;
  const QString dest = destName.isEmpty() ? originName : destName;
  const QString newName = TempFileName(dest);
  const QString folder = withSlash(localFolder);
  EscreveTrace(QStringLiteral("FTPFolder: ") + serverFolderUrl);
  EscreveTrace(QStringLiteral("DestFolder: ") + localFolder);
  EscreveTrace(QStringLiteral("FileNameOrigem: ") + originName);
  EscreveTrace(QStringLiteral("FileNameDestino: ") + dest);
  EscreveTrace(QStringLiteral("NewFileName: ") + newName);

  if (QFileInfo(localFolder).isDir()) {
    EscreveTrace(QStringLiteral("Diretorio ja existia: ") + localFolder);
  } else {
    EscreveTrace(QStringLiteral("Diretorio não existia: ") + localFolder);
    QDir().mkpath(localFolder);
    if (!QFileInfo(localFolder).isDir()) EscreveTrace(QStringLiteral("Não conseguiu criar diretorio: ") + localFolder);
  }
  const QString newPath = folder + newName;
  const QString destPath = folder + dest;
  if (QFileInfo::exists(newPath)) {
    EscreveTrace(QStringLiteral("Arquivo já existia (apagando): ") + newPath);
    QFile::remove(newPath);
    if (QFileInfo::exists(newPath))
      EscreveTrace(QStringLiteral("Arquivo já existia (não conseguiu apagar): ") + newPath);
  }

  EscreveTrace(QStringLiteral("Obtendo tamanho do arquivo"));
  const qint64 s = GetFileSize(serverFolderUrl, originName);
  if (s == 0) EscreveTrace(QStringLiteral("falha ao obter tamanho do arquivo"));
  EscreveTrace(QStringLiteral("tamanho do arquivo: ") + QString::number(s));

  EscreveTrace(QStringLiteral("baixando arquivo"));
  QString error;
  if (!download(serverFolderUrl + originName, newPath, error)) {
    EscreveTrace(QStringLiteral("falha ao baixar arquivo: ") + error);
    QFile::remove(newPath);
    return false;
  }
  EscreveTrace(QStringLiteral("arquivo baixado"));
  if (!QFileInfo::exists(newPath)) {
    EscreveTrace(QStringLiteral("arquivo não encontrado"));
    return false;
  }
  EscreveTrace(QStringLiteral("conseguiu baixar"));
  const qint64 d = QFileInfo(newPath).size();
  const bool complete = s > 0 ? d == s : d > 0;
  if (s > 0 && d == s) EscreveTrace(QStringLiteral("tamanho do arquivo confere"));
  if (!complete) {
    // an incomplete file never replaces the destination
    EscreveTrace(QStringLiteral("tamanho do arquivo não confere: ") + QString::number(d));
    QFile::remove(newPath);
    return false;
  }

  if (QFileInfo::exists(destPath)) {
    EscreveTrace(QStringLiteral("Apagando arquivo antigo"));
    QFile::remove(destPath);
    if (QFileInfo::exists(destPath)) EscreveTrace(QStringLiteral("Falha ao apagar arquivo antigo"));
  }
  EscreveTrace(QStringLiteral("copiando arquivo novo com nome do velho"));
  if (QFile::rename(newPath, destPath)) {
    EscreveTrace(QStringLiteral("copiado com sucesso"));
  } else {
    EscreveTrace(QStringLiteral("falha ao copiar"));
    QFile::remove(newPath);
    return false;
  }
  return QFileInfo::exists(destPath) && QFileInfo(destPath).size() == d;
}
