#pragma once
#include <QString>
#include <functional>
#include <nlohmann/json.hpp>

#include "server/HttpClient.h"

// The one gateway to the back office's REST API: builds each call from a base address
// ("Servidor"), a resource, a parameter text and, for protected calls, a bearer token, and
// applies the back office's reply conventions ({"result":[...]}, "ERRO", "VAZIO").
class TClass_RestLib {
 public:
  using TOnDebug = std::function<void(const QString &)>;
  using TJson = nlohmann::ordered_json;

  static TClass_RestLib &GetInstance();
  static void FreeInstance();

  // Plain GET with 10 s time-outs; "ERRO" on any transport failure or HTTP error status.
  QString GetResponseAsString(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                              const QString &Token = {});
  // "ERRO", "VAZIO", the JSON text of the first element of a result envelope, or the raw reply.
  QString GetResponseAsObjStr(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                              const QString &Token = {});

  // The REST-client calls raise VentraError on a transport failure and on HTTP 500.
  QString GETNETRest(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                     const QString &Token, int &StatusCode);
  // body may be null (no body sent).
  QString POSTNETObjectWithParam(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                                 const QString &Token, const TJson *body, int &StatusCode);
  QString PUTNETObjectWithParam(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                                const QString &Token, const TJson *body, int &StatusCode);
  QString PUTNETObjectStrWithParam(const QString &Servidor, const QString &Resource, const QString &ParamValue,
                                   const QString &Token, const QString &bodyJson, int &StatusCode);
  QString POSTObject(const QString &Servidor, const TJson *body, const QString &Resource);
  QString PUTObject(const QString &Servidor, const TJson *body, const QString &Resource);
  QString DELObject(const QString &Servidor, const QString &Resource, const QString &ParamValue);

  void SetOnDebug(TOnDebug ev) { FOnDebug = std::move(ev); }

  // Undoes a JSON document delivered as a JSON string (\" -> ", "{ -> {, }" -> }).
  static QString UnescapeJsonText(const QString &text);
  // JSON text of the first element of the array held by the first member of an object; empty otherwise.
  static QString FirstResultText(const QString &text);
  // A token as it may appear in a trace: never in clear.
  static QString MaskToken(const QString &token);

  // The reply of the last REST-client call.
  long LastStatus() const { return FResponse.status; }
  const HttpClient::Request &LastRequest() const { return FRequest; }

 private:
  TClass_RestLib() = default;
  void PrepareRequest(const QString &Servidor);
  // Executes FRequest; raises on transport failure and HTTP 500; returns the decoded content.
  QString Execute();
  QString SendWithBody(const char *method, const QString &Servidor, const QString &Resource,
                       const QString &ParamValue, const QString &Token, const QByteArray *body, int &StatusCode);
  static QString OkOrJsonText(const QString &content, bool acceptPlainOk);

  QString FClient;  // base address of the current call
  HttpClient::Request FRequest;
  HttpClient::Reply FResponse;
  TOnDebug FOnDebug;
};
