#include "logs/Ftp.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <cstdio>
#include <memory>

#include "app/BuildConfig.h"
#include "app/CurlHandle.h"
#include "app/VentraError.h"

namespace {
struct FtpClient {
  CurlEasy curl;
  QByteArray base;  // ftp://host:port/
  QByteArray user, password;
  QByteArray entryPath;  // the login folder; quoted commands run wherever the last request left off
  bool connected = false;
};

std::unique_ptr<FtpClient> g_client;
QString g_lastError;

size_t discard(char *, size_t size, size_t n, void *) { return size * n; }

// Options common to every request: the account, passive mode, time-outs (30 s transfer).
void prepare(FtpClient &c, const QByteArray &url) {
  CURL *h = c.curl.get();
  curl_easy_reset(h);
  curl_easy_setopt(h, CURLOPT_URL, url.constData());
  curl_easy_setopt(h, CURLOPT_USERNAME, c.user.constData());
  curl_easy_setopt(h, CURLOPT_PASSWORD, c.password.constData());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FTP_USE_EPSV, 1L);  // EPSV, then PASV: passive either way
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, 30L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 30L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &discard);
}

bool perform(FtpClient &c) {
  const CURLcode rc = curl_easy_perform(c.curl.get());
  if (rc != CURLE_OK) g_lastError = QString::fromUtf8(curl_easy_strerror(rc));
  return rc == CURLE_OK;
}

QByteArray encodedPath(const QStringList &parts) {
  QByteArray out;
  for (const QString &p : parts) out += QUrl::toPercentEncoding(p) + '/';
  return out;
}

// CWD into the folder (relative to the login folder, as a walk from there).
bool changeTo(FtpClient &c, const QStringList &parts) {
  prepare(c, c.base + encodedPath(parts));
  curl_easy_setopt(c.curl.get(), CURLOPT_NOBODY, 1L);
  return perform(c);
}

bool makeFolder(FtpClient &c, const QStringList &parts) {
  prepare(c, c.base);
  curl_easy_setopt(c.curl.get(), CURLOPT_NOBODY, 1L);
  QByteArray folder = c.entryPath;
  if (!folder.endsWith('/')) folder += '/';
  const QByteArray cmd = "*MKD " + folder + parts.join('/').toUtf8();  // "*": a refusal is no error here
  CurlSlist quote(curl_slist_append(nullptr, cmd.constData()));
  curl_easy_setopt(c.curl.get(), CURLOPT_QUOTE, quote.get());
  return perform(c);
}
}  // namespace

bool TFTP::Conecta(const QString &AHostName, const QString &AUserName, const QString &APassword, int APort) {
  g_client.reset();
  g_lastError.clear();
  try {
    auto c = std::make_unique<FtpClient>();
    c->curl = makeCurlEasy();
    c->base = "ftp://" + QUrl::toPercentEncoding(AHostName, ":[]") + ':' + QByteArray::number(APort) + '/';
    c->user = AUserName.toUtf8();
    c->password = APassword.toUtf8();
    g_client = std::move(c);
    prepare(*g_client, g_client->base);
    curl_easy_setopt(g_client->curl.get(), CURLOPT_NOBODY, 1L);
    g_client->connected = perform(*g_client);
    if (g_client->connected) {
      const char *entry = nullptr;
      curl_easy_getinfo(g_client->curl.get(), CURLINFO_FTP_ENTRY_PATH, &entry);
      g_client->entryPath = entry ? QByteArray(entry) : QByteArray("/");
    }
    return g_client->connected;
  } catch (const std::exception &e) {
    g_lastError = QString::fromLocal8Bit(e.what());
    return false;
  }
}

bool TFTP::Desconecta() {
  if (!g_client) return true;
  g_client.reset();  // the handle's cleanup sends QUIT and closes the connection
  return true;
}

bool TFTP::Conectado() { return g_client && g_client->connected; }

QString TFTP::UltimoErro() { return g_lastError; }

bool TFTP::UploadFile(const QString &AFTPFolder, const QString &AFileNameFull) {
  if (!Conectado()) return false;
  FtpClient &c = *g_client;
  g_lastError.clear();
  try {
    const QStringList parts = AFTPFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!changeTo(c, parts)) {
      QStringList walked;
      for (const QString &part : parts) {
        walked << part;
        if (changeTo(c, walked)) continue;
        makeFolder(c, walked);
        if (!changeTo(c, walked)) throw VentraError(QStringLiteral("Erro ao criar diretório ") + part);
      }
    }

    const QFileInfo info(AFileNameFull);
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(QFile::encodeName(AFileNameFull).constData(), "rb"),
                                                &std::fclose);
    if (!file) throw VentraError(QStringLiteral("Arquivo não encontrado: ") + AFileNameFull);
    const QByteArray fileUrl = c.base + encodedPath(parts) + QUrl::toPercentEncoding(info.fileName());
    prepare(c, fileUrl);
    curl_easy_setopt(c.curl.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.curl.get(), CURLOPT_READDATA, file.get());
    curl_easy_setopt(c.curl.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(info.size()));
    if (!perform(c)) return false;

    prepare(c, fileUrl);
    curl_easy_setopt(c.curl.get(), CURLOPT_NOBODY, 1L);
    if (!perform(c)) return false;
    curl_off_t remote = -1;
    curl_easy_getinfo(c.curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &remote);
    if (qint64(remote) != info.size()) {
      g_lastError = QStringLiteral("tamanho no servidor %1, local %2").arg(qint64(remote)).arg(info.size());
      return false;
    }
    return true;
  } catch (const VentraError &e) {
    g_lastError = e.text();
    return false;
  } catch (const std::exception &e) {
    g_lastError = QString::fromLocal8Bit(e.what());
    return false;
  }
}

bool TBrixmontFTP::Conecta() {
  const int port = BuildConfig::value("FTP_PORT").toInt();
  return TFTP::Conecta(BuildConfig::value("FTP_HOST"), BuildConfig::value("FTP_USER"),
                       BuildConfig::value("FTP_PASSWORD"), port > 0 ? port : 21);
}
