// The service-pack store and the firmware version record against the maker-server stand-in on
// loopback, serving the folders the demo-data tool generates.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "app/VentraError.h"
#include "protocol/Crc64.h"
#include "support/ScriptedUi.h"
#include "support/ServerProcess.h"
#include "support/QtPrinters.h"
#include "update/ServicePackManager.h"
#include "update/VersionManager.h"

namespace {

bool generateDemo(const QString &filesRoot, const QStringList &extra = {}) {
  QProcess p;
  p.start(QStringLiteral(VENTRA_DEMO_DATA_PATH), QStringList{"--out", filesRoot} + extra);
  return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

int countRequests(const QStringList &requests, const QString &path) {
  int n = 0;
  for (const QString &r : requests)
    if (r.startsWith("GET ") && r.contains(path)) ++n;
  return n;
}

// One stand-in per test, serving freshly generated demo data, with the program pointed at it.
class UpdateServerTest : public ::testing::Test {
 protected:
  ServerProcess server;
  QTemporaryDir base;
  ScriptedUi ui;
  QStringList traces;

  void SetUp() override {
    ASSERT_TRUE(generateDemo(server.filesRoot()));
    ASSERT_TRUE(server.start());
    qputenv("VENTRAIDE_DOWNLOAD_URL", server.filesUrl().toUtf8());
  }
  void TearDown() override { qunsetenv("VENTRAIDE_DOWNLOAD_URL"); }

  QString baseFolder() const { return base.path() + "/"; }
  std::unique_ptr<TClassVersionManager> versionManager() {
    auto vm = std::make_unique<TClassVersionManager>(baseFolder());
    vm->SetOnLog([this](const QString &t) { traces << t; });
    return vm;
  }
  std::unique_ptr<TClassServicePackManager> servicePack(const QString &sp = "41") {
    auto m = std::make_unique<TClassServicePackManager>(baseFolder(), baseFolder() + "vt/", sp, "300001");
    m->SetOnLog([this](const QString &t) { traces << t; });
    return m;
  }
};

}  // namespace

TEST_F(UpdateServerTest, VersionRecordLoadsFromTheOfficialOrHomologationFolder) {
  auto vm = versionManager();
  EXPECT_EQ(vm->PathFilesFWServer(), server.filesUrl() + "fw/oficial/");
  EXPECT_EQ(vm->ServicePackIDE(), 41);  // loads on the first call
  ASSERT_NE(vm->VersionInfo(), nullptr);
  EXPECT_EQ(vm->VersionInfo()->fw_v5(), "519");
  EXPECT_EQ(vm->VersionInfo()->mlo_v6s(), "31");
  EXPECT_EQ(vm->FwFiles().size(), 17u);
  ASSERT_NE(vm->GetFwFile("app_519.bin"), nullptr);
  EXPECT_EQ(vm->GetFwFile("app_519.bin")->Sz(), 4096u);
  EXPECT_EQ(vm->GetFwFile("APP_519.BIN"), nullptr);
  EXPECT_EQ(traces, (QStringList{"Baixando arquivo: info_fw.json", "Baixando arquivo: FileCrcControl.json"}));
  EXPECT_EQ(vm->PathFilesFWLocal(), baseFolder() + "fw/");
  EXPECT_TRUE(QFileInfo::exists(baseFolder() + "fw/info_fw.json"));

  writeAll(baseFolder() + "homolog.txt", "");
  auto homolog = versionManager();
  EXPECT_EQ(homolog->PathFilesFWServer(), server.filesUrl() + "fw/homolog/");
  homolog->CarregaInfo();
  ASSERT_NE(homolog->VersionInfo(), nullptr);
  EXPECT_EQ(homolog->VersionInfo()->fw_v5(), "520");
  EXPECT_NE(homolog->GetFwFile("app_520.bin"), nullptr);
  EXPECT_EQ(homolog->GetFwFile("app_519.bin"), nullptr);
}

TEST_F(UpdateServerTest, VersionRecordMissingOrUnreadableLeavesNoRecord) {
  const QString fw = server.filesRoot() + "/fw/oficial/";
  struct Case {
    const char *label;
    std::function<void()> damage;
    QStringList expectedTraces;
    size_t images;
  };
  const Case cases[] = {
      {"no version file",
       [&] { QFile::remove(fw + "info_fw.json"); },
       {"Baixando arquivo: info_fw.json", "Erro: Operação abortada. Falha ao baixar arquivo: info_fw.json",
        "Baixando arquivo: FileCrcControl.json"},
       17},
      {"version file not JSON", [&] { writeAll(fw + "info_fw.json", "servicePack=41"); }, {}, 17},
      {"version file with a text service pack",
       [&] { writeAll(fw + "info_fw.json", R"({"servicePack":"41"})"); },
       {},
       17},
      {"image list unreadable", [&] { writeAll(fw + "FileCrcControl.json", "[{\"sz\":1,"); }, {}, 0},
      {"image list not an array", [&] { writeAll(fw + "FileCrcControl.json", "{}"); }, {}, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(generateDemo(server.filesRoot()));
    c.damage();
    QTemporaryDir local;
    traces.clear();
    TClassVersionManager vm(local.path() + "/");
    vm.SetOnLog([this](const QString &t) { traces << t; });
    EXPECT_EQ(vm.ServicePackIDE(), -1);
    EXPECT_EQ(vm.VersionInfo(), nullptr);
    EXPECT_EQ(vm.FwFiles().size(), c.images);
    if (!c.expectedTraces.isEmpty()) EXPECT_EQ(traces, c.expectedTraces);
  }

  // the whole firmware folder missing: both files traced with the download's error
  QDir(server.filesRoot() + "/fw").removeRecursively();
  QTemporaryDir local;
  traces.clear();
  TClassVersionManager vm(local.path() + "/");
  vm.SetOnLog([this](const QString &t) { traces << t; });
  vm.CarregaInfo();
  EXPECT_EQ(vm.VersionInfo(), nullptr);
  EXPECT_EQ(traces.filter("Erro: ").size(), 2);
}

TEST_F(UpdateServerTest, FirmwareImageFetchedOnlyWhenItsCrcDiffers) {
  auto vm = versionManager();
  vm->CarregaInfo();
  const TFileCrcInfo *img = vm->GetFwFile("MLO_5_21.bin");
  ASSERT_NE(img, nullptr);
  const QString local = baseFolder() + "fw/MLO_5_21.bin";
  const QString served = "fw/oficial/MLO_5_21.bin";

  EXPECT_TRUE(vm->DownloadFw(*img));
  EXPECT_EQ(QString::number(CalcCRC64File(local)), img->Crc());
  EXPECT_EQ(countRequests(server.requests(), served), 1);

  EXPECT_TRUE(vm->DownloadFw(*img));  // already right: nothing fetched
  EXPECT_EQ(countRequests(server.requests(), served), 1);

  QByteArray bytes = readAll(local);
  bytes[100] = char(bytes[100] ^ 0x55);  // same size, other content
  writeAll(local, bytes);
  EXPECT_TRUE(vm->DownloadFw(*img));
  EXPECT_EQ(countRequests(server.requests(), served), 2);
  EXPECT_EQ(QString::number(CalcCRC64File(local)), img->Crc());
  EXPECT_TRUE(traces.contains("Baixando arquivo: MLO_5_21.bin"));

  // the server's copy does not match the list: false after the attempt
  writeAll(server.filesRoot() + "/" + served, "corrupted on the server");
  QFile::remove(local);
  EXPECT_FALSE(vm->DownloadFw(*img));
  // an image not on the server, and a name that would leave the folder
  EXPECT_FALSE(vm->DownloadFw(TFileCrcInfo(10, "1", "absent.bin")));
  EXPECT_FALSE(vm->DownloadFw(TFileCrcInfo(10, "1", "../escape.bin")));
  EXPECT_FALSE(QFileInfo::exists(baseFolder() + "escape.bin"));
}

TEST_F(UpdateServerTest, ServicePackListAndFilesComeFromTheServer) {
  auto sp = servicePack();
  sp->LoadCrcControl();
  EXPECT_EQ(sp->CrcManager().Lista().size(), 178u);
  EXPECT_TRUE(QFileInfo::exists(sp->PathSp() + "FileCrcControl.json"));
  EXPECT_TRUE(ui.texts("status").contains("Carregando arquivo de CRC..."));

  // OBD.FLX comes in OBD.zip together with OBD.V6; the archive is removed once the file is there
  sp->DownloadFileFromSP("OBD.FLX");
  for (const char *name : {"OBD.FLX", "OBD.V6"}) {
    const auto *entry = sp->CrcManager().GetInfoCrc(name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(QString::number(CalcCRC64File(sp->PathSp() + name)), entry->Crc()) << name;
  }
  EXPECT_FALSE(QFileInfo::exists(sp->PathSp() + "OBD.zip"));
  EXPECT_TRUE(ui.texts("status").contains("Descompactando arquivo OBD.zip. Aguarde..."));

  // an archive without the expected file stays; a missing archive raises the download's text
  QFile::copy(server.filesRoot() + "/sp/sp41/START.zip", server.filesRoot() + "/sp/sp41/NOTHERE.zip");
  sp->DownloadFileFromSP("NOTHERE.BMP");
  EXPECT_TRUE(QFileInfo::exists(sp->PathSp() + "NOTHERE.zip"));
  EXPECT_FALSE(QFileInfo::exists(sp->PathSp() + "NOTHERE.BMP"));
  try {
    sp->DownloadFileFromSP("ABSENT.MNU");
    ADD_FAILURE() << "no error";
  } catch (const VentraError &e) {
    EXPECT_TRUE(e.text().endsWith("Falha ao baixar arquivo: ABSENT.zip")) << e.text().toStdString();
  }
  EXPECT_THROW(sp->DownloadFileFromSP("../M000.MNU"), VentraError);
}

TEST_F(UpdateServerTest, ServicePackMissingOnServerRaisesTheDownloadText) {
  auto sp = servicePack("99");
  try {
    sp->LoadCrcControl();
    ADD_FAILURE() << "no error";
  } catch (const VentraError &e) {
    EXPECT_TRUE(e.text().endsWith("Falha ao baixar arquivo: FileCrcControl.json")) << e.text().toStdString();
  }
  EXPECT_TRUE(sp->CrcManager().Lista().empty());
}

TEST_F(UpdateServerTest, HostileArchiveEntriesAreRefused) {
  auto sp = servicePack();
  // a zip whose entry climbs out of the folder
  QTemporaryDir work;
  const QString evil = work.path() + "/EVIL.zip";
  // build it with the python zipfile module, which writes the name as given
  QProcess py;
  py.start("/usr/bin/python3", {"-c",
                                "import zipfile,sys\n"
                                "z=zipfile.ZipFile(sys.argv[1],'w')\n"
                                "z.writestr('../../EVIL.MNU','boom')\n"
                                "z.close()",
                                evil});
  ASSERT_TRUE(py.waitForFinished(10000));
  ASSERT_EQ(py.exitCode(), 0);
  QFile::copy(evil, server.filesRoot() + "/sp/sp41/EVIL.zip");
  sp->DownloadFileFromSP("EVIL.MNU");
  EXPECT_FALSE(QFileInfo::exists(baseFolder() + "EVIL.MNU"));
  EXPECT_FALSE(QFileInfo::exists(sp->PathSp() + "EVIL.MNU"));
  EXPECT_TRUE(QFileInfo::exists(sp->PathSp() + "EVIL.zip"));
  EXPECT_EQ(traces.filter("Falha ao descompactar EVIL.zip").size(), 1);
}

TEST_F(UpdateServerTest, DemoPackPreparesWhatEachModelNeeds) {
  auto sp = servicePack();
  sp->LoadCrcControl();
  auto names = [&](TType_Equipamento t, int idioma) {
    sp->PrepareListToUpdate(t, idioma);
    QStringList n;
    for (const auto &e : sp->FilesToUpdate()) n << e->Fn();
    return n;
  };
  const QStringList v5 = names(TType_Equipamento::VentraV5, 1);
  EXPECT_EQ(v5.first(), "AJUDA.V6");
  EXPECT_EQ(v5.last(), "M000.MNU");
  EXPECT_TRUE(v5.filter(".BIN").isEmpty());
  EXPECT_TRUE(v5.filter(".SMK").isEmpty());
  EXPECT_TRUE(v5.contains("START.BMP"));
  EXPECT_FALSE(v5.contains("OBD.FLX"));  // OBD.V6 is in the list
  EXPECT_TRUE(v5.contains("FLASH.FLX"));
  EXPECT_EQ(v5.filter(".MNU").size(), 44 + 1);

  const QStringList v4 = names(TType_Equipamento::VentraV4, 2);
  EXPECT_EQ(v4.filter("_EN.BIN"), (QStringList{"TEXTOS_EN.BIN", "TECLADO_EN.BIN"}));  // AJUDA_EN.BIN: AJUDA.V6
  EXPECT_EQ(v4.filter(".SMK"), (QStringList{"DIAG_2.SMK"}));                          // OBD_2.SMK: OBD.V6
  EXPECT_EQ(v4.filter(".MNU").size(), 49 + 1);
  EXPECT_TRUE(v4.contains("IM050000.BMP"));
  EXPECT_FALSE(v4.contains("START.BMP"));
  EXPECT_FALSE(v4.contains("IM080001.BMP"));
}
