#pragma once
#include <QString>
#include <functional>

// The maker's web portal: event reports and the server's clock over plain HTTP GET. Every call
// goes through PortalGet and never raises for network problems.
class TClass_PortalDLL {
 public:
  static TClass_PortalDLL &GetInstance();
  static void FreeInstance();

  static constexpr int kTimeoutMs = 60000;
  static constexpr const char *kHistoryPath = "liberacao/cf_hist_sistema_isapi.dll/";
  static constexpr const char *kServerMethodsPath = "wizard/RestWizardServerISAPI.dll/datasnap/rest/TServerMethods1/";

  // The portal host with a trailing separator (the build's PORTAL_URL unless set here).
  void SetPortalUrl(const QString &url) { FPortalUrl = url; }
  QString PortalUrl() const;
  QString HistoryBase() const { return PortalUrl() + QLatin1String(kHistoryPath); }
  QString ServerMethodsBase() const { return PortalUrl() + QLatin1String(kServerMethodsPath); }

  // GET url with connect and read time-outs of timeoutMs; the body, or "ERRO" on any failure.
  QString PortalGet(const QString &url, int timeoutMs = kTimeoutMs);

  void ConfirmaLogHabilitado(const QString &serial);
  void GravaHistoricoAtualizacao(const QString &serial, const QString &SP);
  void GravaTermoUsoAceito(const QString &serial, bool Aceito);
  void GravaLogPropaganda(const QString &serial, const QString &APK, const QString &IMG);
  // Twelve digits YYMMDDhhmmss, or "ERRO".
  QString GetDataHoraServidor();

 private:
  TClass_PortalDLL() = default;
  QString FPortalUrl;
};
