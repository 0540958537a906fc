// The errors report and the session-driven list preparation against the scanner simulator.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "app/Globais.h"
#include "protocol/SessionFixture.h"
#include "support/ScriptedUi.h"
#include "update/CrcErrorsReport.h"
#include "support/QtPrinters.h"
#include "update/ServicePackManager.h"

namespace {
class CrcReportOnScanner : public SessionTest {
 protected:
  QString simFiles() const { return tmp.filePath("simfiles"); }
  void putOnScanner(const QString &name, const QByteArray &bytes) {
    QDir().mkpath(simFiles());
    QFile f(simFiles() + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
};
}  // namespace

TEST_F(CrcReportOnScanner, ErrorsReportReadsTheScannersFile) {
  QDir().mkpath(simFiles());
  auto sim = std::make_unique<SimProcess>(QStringList{}, devices, simFiles());
  ASSERT_TRUE(sim->start());
  ASSERT_TRUE(waitEvent("DeviceConnected", 3000));
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");

  const QString pc = tmp.filePath("pc") + "/";
  QStringList traces;
  auto trace = [&](const QString &t) { traces << t; };
  TClassFileCrcControlManagerVT vt(pc, "C", "512345");

  {  // no file on the scanner
    ScriptedUi ui;
    EXPECT_EQ(acnObterErrosCRC(vt, *lib, trace), "Arquivo de CRC não existe!");
    EXPECT_EQ(ui.texts("info"), QStringList{"Arquivo de CRC não existe!"});
  }
  {  // one failed write recorded
    putOnScanner("C512345.BIN",
                 R"([{"sz":10,"fn":"M9020.MNU","crc":"18446744073709551615","lastSz":0,"lastCrc":"","dT_Check":"",)"
                 R"("dT_Write":"","erro":"Falha de gravação"},{"sz":3,"fn":"M000.MNU","crc":"5","erro":""}])");
    ScriptedUi ui;
    EXPECT_EQ(acnObterErrosCRC(vt, *lib, trace), "Arquivo de erros gerado com sucesso!");
    EXPECT_EQ(ui.texts("status"), (QStringList{"Obtendo informações. Aguarde...", "Carregando arquivo de CRC..."}));
    EXPECT_FALSE(QFileInfo::exists(pc + "C512345.BIN"));
    TClassFileCrcControlManagerVT errors(pc, "E_C", "512345");
    errors.LoadCrcFileContent();
    ASSERT_EQ(errors.Lista().size(), 1u);
    EXPECT_EQ(errors.Lista()[0]->Fn(), "M9020.MNU");
    EXPECT_EQ(errors.Lista()[0]->Crc(), "18446744073709551615");
  }
  {  // nothing to report
    putOnScanner("C512345.BIN", R"([{"sz":3,"fn":"M000.MNU","crc":"5","erro":""}])");
    ScriptedUi ui;
    EXPECT_EQ(acnObterErrosCRC(vt, *lib, trace), "Não existem erros informados!");
    EXPECT_FALSE(QFileInfo::exists(pc + "C512345.BIN"));
  }
  EXPECT_TRUE(traces.isEmpty()) << traces.join(" / ").toStdString();
}

TEST_F(CrcReportOnScanner, ListPreparedForTheConnectedScannerAndLanguage) {
  auto sim = startSim({"--type", "12"});  // a Ventra V5X
  ASSERT_TRUE(sim);
  ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
  TClassServicePackManager sp(home, home + "vt/", "41", "512345");
  for (const char *n : {"X_ES.BIN", "M9021.MNU", "M9020.MNU", "STARTV5X.BMP", "IM600000.BMP", "M000.MNU"})
    sp.CrcManager().Add(1, n, "1");
  const int before = Globais::IndiceIdioma;
  Globais::IndiceIdioma = 1;
  sp.PrepareListToUpdate();
  Globais::IndiceIdioma = before;
  QStringList names;
  for (const auto &e : sp.FilesToUpdate()) names << e->Fn();
  EXPECT_EQ(names, (QStringList{"M9021.MNU", "STARTV5X.BMP", "M000.MNU"}));
}
