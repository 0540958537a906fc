#include "server/PortalDLL.h"

#include <QRegularExpression>
#include <QUrl>
#include <memory>

#include "app/BuildConfig.h"
#include "server/HttpClient.h"

namespace {
std::unique_ptr<TClass_PortalDLL> &instanceSlot() {
  static std::unique_ptr<TClass_PortalDLL> instance;
  return instance;
}
}  // namespace

TClass_PortalDLL &TClass_PortalDLL::GetInstance() {
  auto &slot = instanceSlot();
  if (!slot) slot.reset(new TClass_PortalDLL());
  return *slot;
}

void TClass_PortalDLL::FreeInstance() { instanceSlot().reset(); }

QString TClass_PortalDLL::PortalUrl() const {
  QString url = FPortalUrl.isEmpty() ? BuildConfig::value("PORTAL_URL") : FPortalUrl;
  if (!url.endsWith(u'/')) url += u'/';
  return url;
}

QString TClass_PortalDLL::PortalGet(const QString &url, int timeoutMs) {
  HttpClient::Request req;
  // parameters go in as plain text; only what cannot stand in a URL at all (a blank in a picture
  // name) is escaped, or the request would never leave
  req.url = QUrl(url, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
  req.connectTimeoutMs = timeoutMs;
  req.timeoutMs = timeoutMs;
  const HttpClient::Reply reply = HttpClient::Perform(req);
  if (!reply.transportOk || reply.status >= 400) return QStringLiteral("ERRO");
  return HttpClient::DecodeBody(reply);
}

void TClass_PortalDLL::ConfirmaLogHabilitado(const QString &serial) {
  PortalGet(HistoryBase() + QStringLiteral("confirma_log_enabled?") + QStringLiteral("&nrserie=") + serial);
}

void TClass_PortalDLL::GravaHistoricoAtualizacao(const QString &serial, const QString &SP) {
  PortalGet(HistoryBase() + QStringLiteral("hist_atualizacao?nrserie=") + serial + QStringLiteral("&sp=") + SP);
}

void TClass_PortalDLL::GravaTermoUsoAceito(const QString &serial, bool Aceito) {
  PortalGet(HistoryBase() + QStringLiteral("termo_uso_ide?") + QStringLiteral("cmd=set") +
            QStringLiteral("&nrserie=") + serial + QStringLiteral("&value=") +
            (Aceito ? QStringLiteral("A") : QStringLiteral("R")));
}

void TClass_PortalDLL::GravaLogPropaganda(const QString &serial, const QString &APK, const QString &IMG) {
  PortalGet(ServerMethodsBase() + QStringLiteral("GravaLogPropaganda/") + serial + u'/' + APK + u'/' + IMG);
}

QString TClass_PortalDLL::GetDataHoraServidor() {
  const QString reply = PortalGet(HistoryBase() + QStringLiteral("dthora")).trimmed();
  // callers cut the text into date and time fields: anything but twelve digits is a failure
  static const QRegularExpression twelveDigits(QStringLiteral("^[0-9]{12}$"));
  return twelveDigits.match(reply).hasMatch() ? reply : QStringLiteral("ERRO");
}
