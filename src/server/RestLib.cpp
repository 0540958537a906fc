#include "server/RestLib.h"

#include <QUrl>
#include <memory>

#include "app/VentraError.h"

namespace {
std::unique_ptr<TClass_RestLib> &instanceSlot() {
  static std::unique_ptr<TClass_RestLib> instance;
  return instance;
}

const char *const kSingleAnswers[] = {"S", "N", "OK", "TRUE", "FALSE"};

QString resultEnvelope(const char *answer) { return QStringLiteral("{\"result\":[\"%1\"]}").arg(QLatin1String(answer)); }

// The JSON text of the first element of the first member's array; nullopt when there is none.
std::optional<QString> firstElementText(const TClass_RestLib::TJson &doc) {
  if (!doc.is_object() || doc.empty()) return std::nullopt;
  const auto &first = doc.begin().value();
  if (!first.is_array() || first.empty()) return std::nullopt;
  return QString::fromStdString(first.front().dump());
}

std::optional<TClass_RestLib::TJson> parse(const QString &text) {
  auto doc = TClass_RestLib::TJson::parse(text.toStdString(), nullptr, false);
  if (doc.is_discarded()) return std::nullopt;
  return doc;
}
}  // namespace

TClass_RestLib &TClass_RestLib::GetInstance() {
  auto &slot = instanceSlot();
  if (!slot) slot.reset(new TClass_RestLib());
  return *slot;
}

void TClass_RestLib::FreeInstance() { instanceSlot().reset(); }

QString TClass_RestLib::MaskToken(const QString &token) {
  if (token.isEmpty()) return {};
  return QStringLiteral("****");
}

QString TClass_RestLib::UnescapeJsonText(const QString &text) {
  QString r = text;
  r.replace(QStringLiteral("\\\""), QStringLiteral("\""));
  r.replace(QStringLiteral("\"{"), QStringLiteral("{"));
  r.replace(QStringLiteral("}\""), QStringLiteral("}"));
  return r;
}

QString TClass_RestLib::FirstResultText(const QString &text) {
  const auto doc = parse(text);
  if (!doc) return {};
  return firstElementText(*doc).value_or(QString());
}

QString TClass_RestLib::GetResponseAsString(const QString &Servidor, const QString &Resource,
                                            const QString &ParamValue, const QString &Token) {
  HttpClient::Request req;
  req.url = Servidor + Resource + ParamValue;
  req.connectTimeoutMs = 10000;
  req.timeoutMs = 20000;  // 10 s to connect plus 10 s to read
  if (!Token.isEmpty()) req.headers << QStringLiteral("Authorization:Bearer ") + Token;
  const HttpClient::Reply reply = HttpClient::Perform(req);
  if (!reply.transportOk || reply.status >= 400) return QStringLiteral("ERRO");
  const QString content = HttpClient::DecodeBody(reply);
  const QString trimmed = content.trimmed();
  for (const char *answer : kSingleAnswers)
    if (trimmed == resultEnvelope(answer)) return QLatin1String(answer);
  return content;
}

QString TClass_RestLib::GetResponseAsObjStr(const QString &Servidor, const QString &Resource,
                                            const QString &ParamValue, const QString &Token) {
  const QString r = GetResponseAsString(Servidor, Resource, ParamValue, Token);
  if (r.contains(QLatin1String("ERRO"))) return QStringLiteral("ERRO");
  const qsizetype nullAt = r.toUpper().indexOf(QLatin1String("NULL"));
  if (r.contains(QLatin1String("VAZIO")) || (nullAt >= 0 && nullAt < 5)) return QStringLiteral("VAZIO");
  const QString t = r.trimmed();
  QString envelope;
  if (t.startsWith(QLatin1String("{\"result\":["))) envelope = t;
  else if (t.startsWith(QLatin1String("[{"))) envelope = QStringLiteral("{\"result\":") + t + u'}';
  if (envelope.isEmpty()) return r;
  const auto doc = parse(envelope);
  if (!doc) return r;  // not JSON after all: hand the text back as it came
  const auto first = firstElementText(*doc);
  // an empty result list carries no data
  return first ? *first : QStringLiteral("VAZIO");
}

void TClass_RestLib::PrepareRequest(const QString &Servidor) {
  FRequest = HttpClient::Request();
  FResponse = HttpClient::Reply();
  FClient = Servidor;
  FRequest.connectTimeoutMs = 30000;
  FRequest.timeoutMs = 30000;
  FRequest.followRedirects = true;
  FRequest.headers << QStringLiteral("Accept: application/json, text/plain; q=0.9, text/html;q=0.8,")
                   << QStringLiteral("Accept-Charset: utf-8, *;q=0.8");
}

QString TClass_RestLib::Execute() {
  FResponse = HttpClient::Perform(FRequest);
  if (!FResponse.transportOk)
    throw VentraError(QStringLiteral("Falha de comunicação com o servidor: ") + FResponse.error);
  if (FResponse.status == 500)
    throw VentraError(QStringLiteral("Erro interno do servidor (500): ") + FRequest.method + u' ' + FRequest.url);
  return HttpClient::DecodeBody(FResponse);
}

QString TClass_RestLib::GETNETRest(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                                   const QString &Token, int &StatusCode) {
  PrepareRequest(Servidor);
  FRequest.method = QStringLiteral("GET");
  FRequest.url = FClient + Resource + ParamValue;
  if (!Token.isEmpty()) FRequest.headers << QStringLiteral("Authorization: Bearer ") + Token;
  const QString content = Execute();
  StatusCode = int(FResponse.status);
  const QString unescaped = UnescapeJsonText(content);
  if (StatusCode == 200) return unescaped;
  // the token never goes into a diagnostic line in clear
  const QString line = QStringLiteral("Server: ") + Servidor + QStringLiteral(" - Resource: ") + Resource +
                       QStringLiteral(" - ParamValue: ") + ParamValue + QStringLiteral(" - Token: ") +
                       MaskToken(Token) + QStringLiteral(" - Statuscode: ") + QString::number(StatusCode) +
                       QStringLiteral(" - ") + FirstResultText(unescaped);
  if (FOnDebug) FOnDebug(line);
  return line;
}

QString TClass_RestLib::SendWithBody(const char *method, const QString &Servidor, const QString &Resource,
                                     const QString &ParamValue, const QString &Token, const QByteArray *body,
                                     int &StatusCode) {
  PrepareRequest(Servidor);
  FRequest.method = QLatin1String(method);
  FRequest.url = FClient + Resource + ParamValue;
  if (!Token.isEmpty()) FRequest.headers << QStringLiteral("Authorization: Bearer ") + Token;
  if (body) {
    FRequest.headers << QStringLiteral("Content-Type: application/json");
    FRequest.body = *body;
    FRequest.hasBody = true;
  }
  const QString content = Execute();
  StatusCode = int(FResponse.status);
  if (StatusCode == 200 || StatusCode == 201) return content;
  return FirstResultText(content);
}

QString TClass_RestLib::POSTNETObjectWithParam(const QString &Servidor, const QString &Resource,
                                               const QString &ParamValue, const QString &Token, const TJson *body,
                                               int &StatusCode) {
  const QByteArray text = body ? QByteArray::fromStdString(body->dump()) : QByteArray();
  return SendWithBody("POST", Servidor, Resource, ParamValue, Token, body ? &text : nullptr, StatusCode);
}

QString TClass_RestLib::PUTNETObjectWithParam(const QString &Servidor, const QString &Resource,
                                              const QString &ParamValue, const QString &Token, const TJson *body,
                                              int &StatusCode) {
  const QByteArray text = body ? QByteArray::fromStdString(body->dump()) : QByteArray();
  return SendWithBody("PUT", Servidor, Resource, ParamValue, Token, body ? &text : nullptr, StatusCode);
}

QString TClass_RestLib::PUTNETObjectStrWithParam(const QString &Servidor, const QString &Resource,
                                                 const QString &ParamValue, const QString &Token,
                                                 const QString &bodyJson, int &StatusCode) {
  const QByteArray text = bodyJson.toUtf8();
  return SendWithBody("PUT", Servidor, Resource, ParamValue, Token, bodyJson.isEmpty() ? nullptr : &text,
                      StatusCode);
}

QString TClass_RestLib::OkOrJsonText(const QString &content, bool acceptPlainOk) {
  const auto doc = parse(content);
  if (!doc) return content;
  if (*doc == TJson::parse(R"({"result":["OK"]})")) return QStringLiteral("OK");
  if (acceptPlainOk && doc->is_string() && doc->get<std::string>() == "OK") return QStringLiteral("OK");
  return QString::fromStdString(doc->dump());
}

QString TClass_RestLib::POSTObject(const QString &Servidor, const TJson *body, const QString &Resource) {
  const QByteArray text = body ? QByteArray::fromStdString(body->dump()) : QByteArray();
  PrepareRequest(Servidor);
  FRequest.method = QStringLiteral("POST");
  FRequest.url = FClient + Resource;
  if (body) {
    FRequest.headers << QStringLiteral("Content-Type: application/json");
    FRequest.body = text;
    FRequest.hasBody = true;
  }
  return OkOrJsonText(Execute(), true);
}

QString TClass_RestLib::PUTObject(const QString &Servidor, const TJson *body, const QString &Resource) {
  const QByteArray text = body ? QByteArray::fromStdString(body->dump()) : QByteArray();
  PrepareRequest(Servidor);
  FRequest.method = QStringLiteral("PUT");
  FRequest.url = FClient + Resource;
  if (body) {
    FRequest.headers << QStringLiteral("Content-Type: application/json");
    FRequest.body = text;
    FRequest.hasBody = true;
  }
  return OkOrJsonText(Execute(), false);
}

QString TClass_RestLib::DELObject(const QString &Servidor, const QString &Resource, const QString &ParamValue) {
  PrepareRequest(Servidor);
  FRequest.method = QStringLiteral("DELETE");
  FRequest.url = FClient + Resource + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(ParamValue));
  return OkOrJsonText(Execute(), false);
}
