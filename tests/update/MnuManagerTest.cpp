#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "update/MnuManager.h"

namespace {
QStringList prepared(TScannerFamily family, TMnuLanguage language) {
  TClassMnuManager m;
  m.SetLanguage(language);
  m.SetScannerFamily(family);
  m.PrepareList();
  QStringList names;
  for (const auto &f : m.Files()) names << f->FileName();
  return names;
}
}  // namespace

TEST(MnuManager, FileNamesPerTypeAndLanguage) {
  struct Case {
    TMnuType type;
    TMnuLanguage language;
    const char *name;
  };
  const Case cases[] = {
      {TMnuType::mnuMsgUsuario, TMnuLanguage::mnuPT, "M9020.MNU"},
      {TMnuType::mnuParametros, TMnuLanguage::mnuES, "M9031.MNU"},
      {TMnuType::mnuTipoInfoECU, TMnuLanguage::mnuEN, "M9202.MNU"},
      {TMnuType::mnuAbrevParam, TMnuLanguage::mnuES, "M9291.MNU"},
      {TMnuType::mnuAbrevComandoAtuador, TMnuLanguage::mnuEN, "M9332.MNU"},
      {TMnuType::mnuCript01, TMnuLanguage::mnuES, "A00001.MNU"},
      {TMnuType::mnuCript05, TMnuLanguage::mnuEN, "A00005.MNU"},
      {TMnuType::mnuSP, TMnuLanguage::mnuES, "M000.MNU"},
      {TMnuType::mnuMontadoraOtto, TMnuLanguage::mnuES, "M0101.MNU"},
      {TMnuType::mnuSiglaSis, TMnuLanguage::mnuEN, "M0502.MNU"},
      {TMnuType::mnuSistemaRegGrupos, TMnuLanguage::mnuEN, "M9000.MNU"},
      {TMnuType::mnuFormulasOdometro, TMnuLanguage::mnuPT, "M9280.MNU"},
      {TMnuType::mnuAdaptadorV2, TMnuLanguage::mnuPT, "M590.MNU"},
      {TMnuType::mnuArquivoAdaptador, TMnuLanguage::mnuES, "M791.MNU"},
      // languages without a digit
      {TMnuType::mnuMsgUsuario, TMnuLanguage::mnuIT, "M902.MNU"},
      {TMnuType::mnuModeloDiesel, TMnuLanguage::mnuFR, "M031.MNU"},
      {TMnuType::mnuAbrevAjuste, TMnuLanguage::mnuPTPT, "M930.MNU"},
  };
  for (const Case &c : cases) EXPECT_EQ(MnuFileName(c.type, c.language), c.name) << c.name;
}

TEST(MnuManager, PreparedListsPerFamily) {
  const QStringList v3pt = prepared(TScannerFamily::tfV3_V4, TMnuLanguage::mnuPT);
  ASSERT_EQ(v3pt.size(), 49);
  const QStringList expectedHead = {
      "M9020.MNU", "M9030.MNU", "M9040.MNU",  "M9070.MNU",  "M9090.MNU",  "M9110.MNU",  "M9120.MNU",  "M9160.MNU",
      "M9170.MNU", "M9180.MNU", "M9190.MNU",  "M9200.MNU",  "M0100.MNU",  "M0110.MNU",  "M0200.MNU",  "M0210.MNU",
      "M0300.MNU", "M0310.MNU", "M0400.MNU",  "M0410.MNU",  "M0500.MNU",  "M9290.MNU",  "M9300.MNU",  "M9310.MNU",
      "M9320.MNU", "M9330.MNU", "A00001.MNU", "A00002.MNU", "A00003.MNU", "A00004.MNU", "A00005.MNU", "M9000.MNU"};
  EXPECT_EQ(v3pt.mid(0, expectedHead.size()), expectedHead);
  EXPECT_EQ(v3pt.mid(44), (QStringList{"M9250.MNU", "M9260.MNU", "M690.MNU", "M790.MNU", "M791.MNU"}));

  const QStringList v5es = prepared(TScannerFamily::tfV5_V6, TMnuLanguage::mnuES);
  ASSERT_EQ(v5es.size(), 44);
  EXPECT_EQ(v5es[21], "A00001.MNU");  // no abbreviation menus for this family
  for (const QString &n : v5es) EXPECT_FALSE(n.startsWith("M929") || n.startsWith("M933")) << n.toStdString();
  // never required: the service-pack menu, 47, 48 and 49
  for (const QStringList &list : {v3pt, v5es})
    for (const char *never : {"M000.MNU", "M9270.MNU", "M9280.MNU", "M590.MNU"}) EXPECT_FALSE(list.contains(never));
}

TEST(MnuManager, PrepareTwiceAppendsAndInfoSize) {
  TClassMnuManager m;
  m.SetScannerFamily(TScannerFamily::tfV5_V6);
  m.PrepareList();
  m.PrepareList();
  EXPECT_EQ(m.Files().size(), 88u);
  EXPECT_EQ(m.Files()[44]->MnuType(), TMnuType::mnuMsgUsuario);

  QTemporaryDir dir;
  QFile f(dir.path() + "/M9020.MNU");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(1234, 'x'));
  f.close();
  TClassMnuInfo info;
  info.SetPath(dir.path());
  info.SetFileName("M9020.MNU");
  EXPECT_EQ(info.GetFileSize(), 1234);
  info.SetFileName("M9021.MNU");
  EXPECT_EQ(info.GetFileSize(), 0);
}
