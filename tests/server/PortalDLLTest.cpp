#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "server/HttpClient.h"
#include "support/QtPrinters.h"
#include "server/PortalDLL.h"
#include "support/QtPump.h"
#include "support/ServerProcess.h"

namespace {
QStringList portalLog(ServerProcess &s) {
  HttpClient::Request r;
  r.url = s.baseUrl() + "portal-log";
  return QString::fromUtf8(HttpClient::Perform(r).body).split('\n', Qt::SkipEmptyParts);
}

TEST(PortalDLL, EveryCallBuildsItsUrl) {
  EnsureQtApp();
  ServerProcess server({"--portal-dthora", "261211153045"});
  ASSERT_TRUE(server.start());
  auto &portal = TClass_PortalDLL::GetInstance();
  portal.SetPortalUrl(server.baseUrl() + "portal");  // separator added
  portal.ConfirmaLogHabilitado("300123");
  portal.GravaHistoricoAtualizacao("300123", "45");
  portal.GravaTermoUsoAceito("300123", true);
  portal.GravaTermoUsoAceito("300123", false);
  portal.GravaLogPropaganda("300123", "VentraIDE", "promo 1.png");
  EXPECT_EQ(portal.GetDataHoraServidor(), "261211153045");
  const QString h = "/portal/liberacao/cf_hist_sistema_isapi.dll/";
  const QStringList expected = {
      h + "confirma_log_enabled?&nrserie=300123",
      h + "hist_atualizacao?nrserie=300123&sp=45",
      h + "termo_uso_ide?cmd=set&nrserie=300123&value=A",
      h + "termo_uso_ide?cmd=set&nrserie=300123&value=R",
      // parameters go in as plain text; only the blank is escaped on the wire
      "/portal/wizard/RestWizardServerISAPI.dll/datasnap/rest/TServerMethods1/GravaLogPropaganda/300123/VentraIDE/"
      "promo%201.png",
      h + "dthora",
  };
  EXPECT_EQ(portalLog(server), expected);
  portal.SetPortalUrl({});
}

TEST(PortalDLL, UnreachableOrFailingPortalIsQuiet) {
  EnsureQtApp();
  auto &portal = TClass_PortalDLL::GetInstance();
  portal.SetPortalUrl("http://127.0.0.1:1/");
  QElapsedTimer t;
  t.start();
  portal.ConfirmaLogHabilitado("300123");
  portal.GravaHistoricoAtualizacao("300123", "45");
  portal.GravaTermoUsoAceito("300123", false);
  portal.GravaLogPropaganda("300123", "VentraIDE", "a.png");
  EXPECT_EQ(portal.GetDataHoraServidor(), "ERRO");
  EXPECT_LT(t.elapsed(), 5000);

  ServerProcess failing({"--portal-status", "500"});
  ASSERT_TRUE(failing.start());
  portal.SetPortalUrl(failing.baseUrl() + "portal/");
  EXPECT_EQ(portal.GetDataHoraServidor(), "ERRO");
  EXPECT_EQ(portal.PortalGet(failing.baseUrl() + "portal/x"), "ERRO");

  ServerProcess garbled({"--portal-dthora", "agora"});
  ASSERT_TRUE(garbled.start());
  portal.SetPortalUrl(garbled.baseUrl() + "portal/");
  EXPECT_EQ(portal.GetDataHoraServidor(), "ERRO");  // not twelve digits
  EXPECT_EQ(portal.PortalGet(garbled.baseUrl() + "portal/x"), "OK");
  portal.SetPortalUrl({});
}
}  // namespace
