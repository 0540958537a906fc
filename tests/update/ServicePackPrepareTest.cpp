#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/VentraError.h"
#include "protocol/Crc64.h"
#include "support/QtPrinters.h"
#include "update/ServicePackManager.h"

namespace {

using T = TType_Equipamento;

// A service pack with every kind of file, in server order; sizes and CRCs derive from the position.
const char *const kServicePack[] = {
    "HELP.V6",      "OBD_X.V6",     "TXT_PT.BIN",   "TXT_ES.BIN",   "TXT_EN.BIN",   "HELP_PT.BIN",  "HELP_EN.BIN",
    "DIAG_0.SMK",   "DIAG_1.SMK",   "DIAG_2.SMK",   "OBD_2.SMK",    "M9020.MNU",    "M9021.MNU",    "M9022.MNU",
    "M9020.MNU",    "M0100.MNU",    "M0101.MNU",    "M0102.MNU",    "M9290.MNU",    "M9291.MNU",    "M9292.MNU",
    "A00001.MNU",   "m9010.MNU",    "M9000.MNU",    "M9270.MNU",    "M590.MNU",     "M690.MNU",     "IM000400.BMP",
    "START.BMP",    "STARTV5X.BMP", "IM600000.BMP", "IM600020.BMP", "STARTV6S.BMP", "IM090032.BMP", "IM050000.BMP",
    "IM080001.BMP", "im600001.bmp", "FLASH.FLX",    "OBD.FLX",      "HELP_A.FLX",   "FLASH.FLX",    "m000.mnu",
    "M000.MNU",
};

struct Fixture {
  QTemporaryDir dir;
  TClassServicePackManager sp{dir.path() + "/", dir.path() + "/vt/", "77", "300001"};
  Fixture() {
    int i = 0;
    for (const char *n : kServicePack) {
      // FLASH.FLX is listed twice with the same content; M9020.MNU twice with different content
      const auto *first = sp.CrcManager().GetInfoCrc(n);
      if (first && QLatin1String(n) == QLatin1String("FLASH.FLX"))
        sp.CrcManager().Add(first->Sz(), n, first->Crc());
      else
        sp.CrcManager().Add(uint32_t(100 + i), n, QString::number(1000 + i));
      ++i;
    }
  }
  QStringList prepare(T tipo, int idioma) {
    sp.PrepareListToUpdate(tipo, idioma);
    QStringList names;
    for (const auto &e : sp.FilesToUpdate()) names << e->Fn();
    return names;
  }
};

QStringList with(QStringList head, std::initializer_list<const char *> menus,
                 std::initializer_list<const char *> images) {
  for (const char *m : menus) head << m;
  for (const char *i : images) head << i;
  head << "FLASH.FLX"
       << "FLASH.FLX"
       << "m000.mnu";
  return head;
}

const QStringList kV6 = {"HELP.V6", "OBD_X.V6"};
const auto kMenusPT = {"M9020.MNU", "M0100.MNU", "M9290.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU"};
const auto kMenusES = {"M9021.MNU", "M0101.MNU", "M9291.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU"};
const auto kMenusEN = {"M9022.MNU", "M0102.MNU", "M9292.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU"};
const auto kMenusV5PT = {"M9020.MNU", "M0100.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU"};
const auto kMenusV5ES = {"M9021.MNU", "M0101.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU"};
const auto kMenusV5EN = {"M9022.MNU", "M0102.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU"};
const auto kImagesV5 = {"IM000400.BMP", "START.BMP", "STARTV5X.BMP", "IM090032.BMP"};
const auto kImagesV6 = {"IM600000.BMP", "IM600020.BMP", "STARTV6S.BMP", "im600001.bmp"};
const auto kImagesV4 = {"IM090032.BMP", "IM050000.BMP"};
const std::initializer_list<const char *> kNone = {};

}  // namespace

TEST(ServicePackPrepare, ListPerModelAndLanguage) {
  struct Case {
    const char *label;
    T tipo;
    int idioma;
    QStringList expected;
  };
  const Case cases[] = {
      {"V3 PT", T::VentraV3, 0, with(kV6 + QStringList{"TXT_PT.BIN", "DIAG_0.SMK"}, kMenusPT, kNone)},
      {"Omnibox2 ES", T::Omnibox2, 1, with(kV6 + QStringList{"TXT_ES.BIN", "DIAG_1.SMK"}, kMenusES, kNone)},
      {"RTX EN", T::VentraRTX, 2, with(kV6 + QStringList{"TXT_EN.BIN", "DIAG_2.SMK"}, kMenusEN, kNone)},
      {"Pad, unknown language is PT", T::VentraPad, 5,
       with(kV6 + QStringList{"TXT_PT.BIN", "DIAG_0.SMK"}, kMenusPT, kNone)},
      {"V4 EN", T::VentraV4, 2, with(kV6 + QStringList{"TXT_EN.BIN", "DIAG_2.SMK"}, kMenusEN, kImagesV4)},
      {"Pad2 ES", T::VentraPad2, 1, with(kV6 + QStringList{"TXT_ES.BIN", "DIAG_1.SMK"}, kMenusES, kNone)},
      {"V5 ES", T::VentraV5, 1, with(kV6, kMenusV5ES, kImagesV5)},
      {"V5X PT", T::VentraV5X, 0, with(kV6, kMenusV5PT, kImagesV5)},
      {"Pad3 EN", T::VentraPad3, 2, with(kV6, kMenusV5EN, kNone)},
      {"Pad3X PT", T::VentraPad3X, 0, with(kV6, kMenusV5PT, kNone)},
      {"V6 PT", T::VentraV6, 0, with(kV6, kMenusV5PT, kImagesV6)},
      {"V6S EN", T::VentraV6S, 2, with(kV6, kMenusV5EN, kImagesV6)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    Fixture f;
    EXPECT_EQ(f.prepare(c.tipo, c.idioma), c.expected);
  }
}

TEST(ServicePackPrepare, EntriesAreCopiesOfTheFirstServicePackEntry) {
  Fixture f;
  f.prepare(T::VentraV3, 0);
  const auto &list = f.sp.FilesToUpdate();
  const auto it = std::find_if(list.begin(), list.end(), [](const auto &e) { return e->Fn() == "M9020.MNU"; });
  ASSERT_NE(it, list.end());
  EXPECT_EQ((*it)->Sz(), 111u);  // the first of the two M9020.MNU entries
  EXPECT_EQ((*it)->Crc(), "1011");
  EXPECT_NE(it->get(), f.sp.CrcManager().GetInfoCrc("M9020.MNU"));
}

TEST(ServicePackPrepare, ModelsBelowV3AreRefusedWithAnEmptyList) {
  for (T tipo : {T::VersaoDesc, T::VersaoDesc2, T::Checkline, T::VentraV2}) {
    Fixture f;
    try {
      f.sp.PrepareListToUpdate(tipo, 0);
      ADD_FAILURE() << "accepted type " << int(tipo);
    } catch (const VentraError &e) {
      EXPECT_EQ(e.text(), "Tipo de equipamento inválido");
    }
    EXPECT_TRUE(f.sp.FilesToUpdate().empty());
  }
}

TEST(ServicePackPrepare, ScannerRecordsKeepOnlyWhatTheScannerNeeds) {
  Fixture f;
  auto &vt = f.sp.CrcManagerVT();
  auto entry = [&](const char *n) { return f.sp.CrcManager().GetInfoCrc(n); };
  vt.Add(entry("HELP.V6")->Sz(), "HELP.V6", entry("HELP.V6")->Crc());           // equal: dropped
  vt.Add(entry("OBD_X.V6")->Sz() + 1, "OBD_X.V6", entry("OBD_X.V6")->Crc());    // size differs: kept
  vt.Add(entry("M9020.MNU")->Sz(), "M9020.MNU", "999999");                      // CRC differs: kept
  vt.Add(entry("M0100.MNU")->Sz(), "M0100.MNU", entry("M0100.MNU")->Crc());     // equal: dropped
  vt.Add(entry("A00001.MNU")->Sz(), "a00001.mnu", entry("A00001.MNU")->Crc());  // other case: absent, kept
  vt.Add(entry("FLASH.FLX")->Sz(), "FLASH.FLX", entry("FLASH.FLX")->Crc());     // both copies dropped
  vt.Add(entry("m000.mnu")->Sz(), "m000.mnu", entry("m000.mnu")->Crc());        // dropped
  EXPECT_EQ(f.prepare(T::VentraV6, 0), (QStringList{"OBD_X.V6", "M9020.MNU", "A00001.MNU", "M9000.MNU", "M690.MNU",
                                                    "IM600000.BMP", "IM600020.BMP", "STARTV6S.BMP", "im600001.bmp"}));
  EXPECT_EQ(f.sp.GetVtValue("OBD_X.V6")->Sz(), entry("OBD_X.V6")->Sz() + 1);
  EXPECT_EQ(f.sp.GetVtValue("obd_x.v6"), nullptr);
  EXPECT_EQ(f.sp.GetVtValue(""), nullptr);
}

TEST(ServicePackPrepare, UpToDateScannerGetsNothingAndEmptyRecordsGetEverything) {
  Fixture f;
  const QStringList all = f.prepare(T::VentraV5, 1);
  ASSERT_FALSE(all.isEmpty());
  for (const auto &e : f.sp.CrcManager().Lista()) f.sp.CrcManagerVT().Add(e->Sz(), e->Fn(), e->Crc());
  EXPECT_TRUE(f.prepare(T::VentraV5, 1).isEmpty());
  f.sp.CrcManagerVT().Clear();
  EXPECT_EQ(f.prepare(T::VentraV5, 1), all);
}

TEST(ServicePackPrepare, StemRule) {
  for (auto [name, stem] :
       {std::pair{"X_PT.BIN", "X"}, {"X.V6", "X"}, {"A_B_C.FLX", "A"}, {"NODOT", "NODOT"}, {"A.B_C", "A.B"}, {"", ""}})
    EXPECT_EQ(ServicePackStem(name), stem) << name;
  Fixture f;
  f.sp.CrcManager().Add(1, "x.v6", "1");
  f.sp.CrcManager().Add(1, "X_PT.BIN", "1");
  f.sp.CrcManager().Add(1, "x_0.smk", "1");
  f.sp.CrcManager().Add(1, "X.FLX", "1");
  const QStringList list = f.prepare(T::VentraV3, 0);
  EXPECT_TRUE(list.contains("x.v6"));
  for (const char *n : {"X_PT.BIN", "x_0.smk", "X.FLX"}) EXPECT_FALSE(list.contains(n)) << n;
}

// ---- extra files

namespace {
void makeFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}
}  // namespace

TEST(ServicePackExtras, MasksInOrderCaseInsensitiveAndMatchedTwiceAddedTwice) {
  QTemporaryDir dir;
  const QString base = dir.path() + "/";
  const QString files = base + "files/";
  QDir().mkpath(files);
  const char *names[] = {"a.MNU",     "B_PT.BIN", "c_pt.bin", "x.flx",     "app",  "APPCTRL",    "app_2.0.bin",
                         "app_x.log", "ckl",      "CKLCTRL",  "ckl_1.bin", "mlo",  "z.App",      "s.SMK",
                         "i.bmp",     "k.bkp",    "l.log",    "v.V4",      "w.v6", "readme.txt", "appx"};
  int i = 0;
  for (const char *n : names) {
    makeFile(files + n, QByteArray(10 + i, char('a' + i)));
    ++i;
  }
  QDir().mkpath(files + "folder.mnu");  // folders are never listed

  TClassServicePackManager sp(base, base + "vt/", "77", "300001");
  sp.PrepareExtrasToUpdate();
  QStringList got;
  for (const auto &e : sp.FilesToUpdate()) got << e->Fn();
  EXPECT_EQ(got, (QStringList{"a.MNU",     "B_PT.BIN", "c_pt.bin",  "x.flx",     "app",  "APPCTRL", "app_2.0.bin",
                              "app_x.log", "ckl",      "CKLCTRL",   "ckl_1.bin", "mlo",  "z.App",   "s.SMK",
                              "i.bmp",     "k.bkp",    "app_x.log", "l.log",     "v.V4", "w.v6"}));
  for (const auto &e : sp.FilesToUpdate()) {
    const QString path = files + e->Fn();
    EXPECT_EQ(e->Sz(), uint32_t(QFileInfo(path).size())) << e->Fn().toStdString();
    EXPECT_EQ(e->Crc(), QString::number(CalcCRC64File(path))) << e->Fn().toStdString();
  }

  // files the scanner already holds with the same size and CRC drop out, both copies included
  const auto *log = sp.FilesToUpdate()[7].get();
  sp.CrcManagerVT().Add(log->Sz(), log->Fn(), log->Crc());
  sp.CrcManagerVT().Add(1, "mlo", "0");
  sp.PrepareExtrasToUpdate();
  got.clear();
  for (const auto &e : sp.FilesToUpdate()) got << e->Fn();
  EXPECT_FALSE(got.contains("app_x.log"));
  EXPECT_TRUE(got.contains("mlo"));
  EXPECT_EQ(got.size(), 18);
}

TEST(ServicePackExtras, EmptyOrMissingFolderGivesAnEmptyList) {
  QTemporaryDir dir;
  TClassServicePackManager sp(dir.path() + "/", dir.path() + "/vt/", "77", "300001");
  sp.PrepareExtrasToUpdate();
  EXPECT_TRUE(sp.FilesToUpdate().empty());
  QDir().mkpath(dir.path() + "/files");
  sp.PrepareExtrasToUpdate();
  EXPECT_TRUE(sp.FilesToUpdate().empty());
}

TEST(ServicePackManager, FoldersFromConstruction) {
  TClassServicePackManager sp("/base/", "/base/vt/", "123", "300045");
  EXPECT_EQ(sp.PathSp(), "/base/vt/sp123/");
  EXPECT_EQ(sp.CrcManager().Path(), "/base/vt/sp123/");
  EXPECT_EQ(sp.CrcManager().FileName(), "FileCrcControl.json");
  EXPECT_EQ(sp.CrcManagerVT().Path(), "/base/vt/");
  EXPECT_EQ(sp.CrcManagerVT().FileName(), "C300045.BIN");
  EXPECT_EQ(sp.PathExtras(), "/base/files/");
}
