#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// One blocking HTTP exchange over libcurl, shared by the REST and portal clients.
namespace HttpClient {

struct Request {
  QString method = QStringLiteral("GET");  // GET, POST, PUT, DELETE
  QString url;
  QStringList headers;  // complete header lines, "Name: value"
  QByteArray body;
  bool hasBody = false;
  int connectTimeoutMs = 10000;
  int timeoutMs = 10000;  // whole exchange
  bool followRedirects = true;
};

struct Reply {
  bool transportOk = false;  // a complete HTTP reply arrived
  QString error;             // curl's reason when transportOk is false
  long status = 0;
  QByteArray body;
  QString contentType;
};

Reply Perform(const Request &request);

// Body bytes as text: the charset the server names, UTF-8 when it names none.
QString DecodeBody(const Reply &reply);

}  // namespace HttpClient
