#include "server/HttpClient.h"

#include <curl/curl.h>

#include <QStringDecoder>
#include <memory>
#include <mutex>

namespace HttpClient {
namespace {

struct CurlDeleter {
  void operator()(CURL *h) const { curl_easy_cleanup(h); }
};
struct SlistDeleter {
  void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

void globalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t onBody(char *data, size_t size, size_t count, void *user) {
  static_cast<QByteArray *>(user)->append(data, qsizetype(size * count));
  return size * count;
}

}  // namespace

Reply Perform(const Request &request) {
  globalInit();
  Reply reply;
  std::unique_ptr<CURL, CurlDeleter> h(curl_easy_init());
  if (!h) {
    reply.error = QStringLiteral("curl_easy_init falhou");
    return reply;
  }
  const QByteArray url = request.url.toUtf8();
  const QByteArray method = request.method.toUpper().toLatin1();
  curl_easy_setopt(h.get(), CURLOPT_URL, url.constData());
  curl_easy_setopt(h.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h.get(), CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeoutMs));
  curl_easy_setopt(h.get(), CURLOPT_TIMEOUT_MS, long(request.timeoutMs));
  curl_easy_setopt(h.get(), CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(h.get(), CURLOPT_USERAGENT, "VentraIDE");
  curl_easy_setopt(h.get(), CURLOPT_WRITEFUNCTION, &onBody);
  curl_easy_setopt(h.get(), CURLOPT_WRITEDATA, &reply.body);
  if (method == "GET") {
    curl_easy_setopt(h.get(), CURLOPT_HTTPGET, 1L);
  } else if (method == "POST") {
    curl_easy_setopt(h.get(), CURLOPT_POST, 1L);
  } else {
    curl_easy_setopt(h.get(), CURLOPT_CUSTOMREQUEST, method.constData());
  }
  // POST and PUT always carry a length, even when empty, so the server does not wait for a body
  if (request.hasBody || method == "POST" || method == "PUT") {
    curl_easy_setopt(h.get(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    curl_easy_setopt(h.get(), CURLOPT_COPYPOSTFIELDS, request.body.constData());
  }
  std::unique_ptr<curl_slist, SlistDeleter> headers;
  // curl adds "Expect: 100-continue" to larger bodies; the servers do not need the extra round trip
  QStringList lines = request.headers;
  lines << QStringLiteral("Expect:");
  for (const QString &line : lines) {
    const QByteArray l = line.toUtf8();
    curl_slist *next = curl_slist_append(headers.get(), l.constData());
    if (!next) break;
    (void)headers.release();
    headers.reset(next);
  }
  curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get());

  char errbuf[CURL_ERROR_SIZE] = {0};
  curl_easy_setopt(h.get(), CURLOPT_ERRORBUFFER, errbuf);
  const CURLcode rc = curl_easy_perform(h.get());
  if (rc != CURLE_OK) {
    reply.error = QString::fromUtf8(errbuf[0] ? errbuf : curl_easy_strerror(rc));
    return reply;
  }
  reply.transportOk = true;
  curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &reply.status);
  char *ct = nullptr;
  if (curl_easy_getinfo(h.get(), CURLINFO_CONTENT_TYPE, &ct) == CURLE_OK && ct) reply.contentType = QString::fromLatin1(ct);
  return reply;
}

QString DecodeBody(const Reply &reply) {
  const qsizetype at = reply.contentType.indexOf(QStringLiteral("charset="), 0, Qt::CaseInsensitive);
  if (at >= 0) {
    QString name = reply.contentType.mid(at + 8).section(u';', 0, 0).trimmed();
    name.remove(u'"');
    QStringDecoder decoder(name.toLatin1().constData());
    if (decoder.isValid()) return decoder.decode(reply.body);
  }
  return QString::fromUtf8(reply.body);
}

}  // namespace HttpClient
