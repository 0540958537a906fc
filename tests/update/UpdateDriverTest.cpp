// The scanner update through the main window: the real device session against ventra-sim on a
// pty, the stand-in serving the demo service pack and firmware, the scripted UI answering.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QTemporaryDir>
#include <memory>

#include "app/Carrossel.h"
#include "app/ConfLocal.h"
#include "app/FrmPrincipal.h"
#include "app/Globais.h"
#include "app/Log.h"
#include "protocol/Crc64.h"
#include "protocol/VentraLib.h"
#include "server/HttpClient.h"
#include "server/PortalDLL.h"
#include "support/QtPump.h"
#include "support/QtPrinters.h"
#include "support/ScriptedUi.h"
#include "support/ServerProcess.h"
#include "support/SimProcess.h"
#include "update/FileCrcControl.h"
#include "update/MnuManager.h"
#include "update/UpdateDriver.h"


namespace {
using S = TTimerControlPrincipalEnum;
using AR = TAfterReconnectionEnum;

constexpr int kSerial = 512345;
const QString kCrcFile = QStringLiteral("C512345.BIN");
const QString kFinalOk = QStringLiteral("Atualização terminada!");
const QString kInterrompida = QStringLiteral("Atenção, atualização interrompida!   ");

QByteArray readAll(const QString &name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class UpdateTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString devices, home, content, oldCwd;
  std::unique_ptr<ServerProcess> server;
  std::unique_ptr<ScriptedUi> ui;
  QStringList traces;
  std::function<void(const QString &)> onTrace;  // runs inside the step that traced
  std::unique_ptr<TfrmPrincipal> frm;
  std::unique_ptr<SimProcess> sim;

  void SetUp() override {
    EnsureQtApp();
    devices = tmp.filePath("devices");
    home = tmp.filePath("home") + "/";
    content = tmp.filePath("content") + "/";
    for (const auto &d : {devices, home, content}) QDir().mkpath(d);
    qputenv("VENTRAIDE_DEVICES", devices.toLocal8Bit());
    qputenv("VENTRAIDE_HOME", home.toLocal8Bit());
    oldCwd = QDir::currentPath();
    QDir::setCurrent(home);
    Globais::IndiceIdioma = 0;
    Globais::ServicePackIDE.clear();
    ui = std::make_unique<ScriptedUi>();
    Trace::setSink([this](const QString &line) {
      traces << line.mid(14);
      if (onTrace) onTrace(traces.back());
    });
  }

  void TearDown() override {
    onTrace = nullptr;
    frm.reset();
    sim.reset();
    TClass_VentraLib::FreeInstance();
    TClassConfLocal::FreeInstance();
    TClass_Carrossel::FreeInstance();
    Trace::setSink({});
    ui.reset();
    QDir::setCurrent(oldCwd);
    for (const char *v : {"VENTRAIDE_DEVICES", "VENTRAIDE_HOME", "VENTRAIDE_DOWNLOAD_URL", "VENTRAIDE_PROBE_URL",
                          "VENTRAIDE_PORTAL_URL"})
      qunsetenv(v);
  }

  // The demo pack (service pack 41) and firmware folders on the stand-in.
  void startServer(QStringList demoArgs = {}, QStringList serverArgs = {}) {
    server = std::make_unique<ServerProcess>(serverArgs);
    QStringList args{"--out", server->filesRoot(), "--sp", "41", "--content", content};
    args << demoArgs;
    ASSERT_EQ(QProcess::execute(VENTRA_DEMO_DATA_PATH, args), 0);
    ASSERT_TRUE(server->start());
    qputenv("VENTRAIDE_DOWNLOAD_URL", server->filesUrl().toLocal8Bit());
    qputenv("VENTRAIDE_PROBE_URL", server->probeUrl().toLocal8Bit());
    qputenv("VENTRAIDE_PORTAL_URL", (server->baseUrl() + "portal/").toLocal8Bit());
  }

  void startSim(QStringList args) {
    args << "--serial" << QString::number(kSerial) << "--fs" << "1" << "--reset-delay-ms" << "300";
    sim = std::make_unique<SimProcess>(args, devices);
    ASSERT_TRUE(sim->start());
  }

  // Main window up to the enabled buttons.
  void showWindow() {
    frm = std::make_unique<TfrmPrincipal>();
    frm->FormCreate();
    ASSERT_TRUE(frm->FormShow());
    ASSERT_TRUE(waitTrace("11 - LiberaBotoes")) << dump();
    ASSERT_TRUE(frm->Tela().bitAtualizarVisible);
  }

  bool waitTrace(const QString &text, int timeoutMs = 60000) {
    return PumpUntil([&] { return traces.contains(text); }, timeoutMs);
  }
  bool waitInfo(const QString &prefix, int timeoutMs = 120000) {
    return PumpUntil(
        [&] {
          for (const auto &t : ui->texts("info"))
            if (t.startsWith(prefix)) return true;
          return false;
        },
        timeoutMs);
  }
  std::string dump() const { return traces.join('\n').toStdString(); }
  int conf(const char *key) { return TClassConfLocal::GetInstance().ConfLocal_ReadInteger("ATUALIZACAO", key, -99); }

  // File names the service-pack loop handled, in list order.
  QStringList loopFiles() const {
    QStringList names;
    for (const auto &t : traces)
      if (t.startsWith("Index: ") && t.contains(" - Arq: ")) {
        const QString n = t.section(" - Arq: ", 1);
        if (!names.contains(n)) names << n;
      }
    return names;
  }
  QStringList portalLog() {
    HttpClient::Request r;
    r.url = server->baseUrl() + "portal-log";
    return QString::fromUtf8(HttpClient::Perform(r).body).split('\n', Qt::SkipEmptyParts);
  }
  // Every listed file on the scanner equals the service pack's, and the scanner's control file
  // records each one with its CRC.
  void expectScannerHolds(const QStringList &names) {
    TClassFileCrcControlManagerVT vt(sim->filesDir() + "/", "C", "512345");
    ASSERT_TRUE(QFile::exists(sim->filesDir() + "/" + kCrcFile));
    vt.LoadCrcFileContent();
    for (const QString &n : names) {
      const QByteArray want = readAll(content + n);
      ASSERT_FALSE(want.isEmpty()) << n.toStdString();
      EXPECT_EQ(readAll(sim->filesDir() + "/" + n), want) << n.toStdString();
      const auto *rec = vt.GetInfoCrc(n);
      ASSERT_TRUE(rec) << n.toStdString();
      EXPECT_EQ(rec->Crc(), QString::number(CalcCRC64Bytes(want))) << n.toStdString();
      EXPECT_EQ(rec->Sz(), uint32_t(want.size()));
    }
  }
};

// An empty V5 brought up to date; the cable is pulled while the 41st file is being written and
// plugged back: the loop resumes one file before the last saved control file, the failed write
// is counted, every file ends on the scanner byte-exact. A second update then asks the scanner
// nothing about unchanged files.
TEST_F(UpdateTest, EmptyV5FullUpdateSurvivesAPulledCableAndASecondRunAsksNothing) {
  startServer({"--fw-version", "500"});
  startSim({"--type", "10", "--sp", "40"});
  showWindow();

  int resumedAt = -1, savedBeforePull = -1;
  QString victim;
  onTrace = [&](const QString &t) {
    if (!victim.isEmpty() || !t.startsWith("GravaArquivo: ")) return;
    if (loopFiles().size() != 41) return;
    victim = t.mid(14);
    savedBeforePull = conf("LAST_CRC_SAVED");
    sim->pull();
    // plugged back once the window has noticed
    QTimer::singleShot(1500, [&] { sim->plug(); });
  };
  frm->acBtnAtualizar();
  EXPECT_FALSE(frm->Tela().bitAtualizarVisible);
  EXPECT_TRUE(frm->Tela().bitCancelaAtualizacaoVisible);
  ASSERT_TRUE(waitTrace("Scanner Update 0X - FinalizaMnu", 240000)) << dump();
  ASSERT_TRUE(waitInfo("Atualização finalizada.")) << dump();
  onTrace = nullptr;

  ASSERT_FALSE(victim.isEmpty()) << dump();
  EXPECT_EQ(savedBeforePull, 39);  // written with the 40th file (UPDATE_CRC_COUNT 80)
  EXPECT_TRUE(traces.contains("Falha de gravação: " + victim + " - Qtd Erros: 1 - Pular para o próximo arquivo"))
      << dump();
  // the resume starts at LAST_CRC_SAVED - 1
  const qsizetype opened = traces.lastIndexOf(QRegularExpression("DeviceOpened.*"));
  ASSERT_GT(opened, 0);
  for (qsizetype i = opened; i < traces.size(); ++i)
    if (traces[i].startsWith("Index: ")) {
      resumedAt = traces[i].section(' ', 1, 1).toInt();
      break;
    }
  EXPECT_EQ(resumedAt, 38);
  EXPECT_TRUE(ui->texts("info").contains("Atualização finalizada. Houve 1 erros durante a atualização.\r"
                                         "Tente novamente ou conctacte o Suporte Técnico!"));
  const QStringList names = loopFiles();
  EXPECT_GE(names.size(), 44);
  expectScannerHolds(names);
  EXPECT_TRUE(frm->Tela().bitAtualizarVisible);
  EXPECT_FALSE(frm->Tela().bitCancelaAtualizacaoVisible);
  EXPECT_EQ(frm->FAfterReconnection, AR::arNone);
  EXPECT_FALSE(QFile::exists(home + "vt/" + kCrcFile));  // the local copy went onto the scanner
  EXPECT_TRUE(portalLog().contains("/portal/liberacao/cf_hist_sistema_isapi.dll/hist_atualizacao?nrserie=512345&sp=40"))
      << portalLog().join('\n').toStdString();

  // second run: nothing changed, so nothing is asked about the files
  sim->control("reset-stats", "ok");
  traces.clear();
  ui->boxAnswers = {TMsgResult::No};  // no forced update
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo(kInterrompida)) << dump();
  auto st = sim->stats();
  EXPECT_EQ(st["B2"], 0u) << "CRC requests";
  EXPECT_EQ(st["B0"], 0u) << "writes";
  // only the control file is asked about: its size before the copy and again by the copy itself
  EXPECT_LE(st["C0"], 2u) << "size requests";
  EXPECT_TRUE(ui->texts("confirm").contains("Equipamento atualizado com os arquivos do SP41. Deseja forçar uma nova "
                                            "atualização?"));
}

// Cancel between files: the current file finishes, the next step ends the run.
TEST_F(UpdateTest, CancelStopsBeforeTheNextFile) {
  startServer({"--fw-version", "500"});
  startSim({"--type", "10", "--sp", "40"});
  showWindow();
  int sucessos = 0;
  onTrace = [&](const QString &t) {
    if (t.startsWith("GravaArquivo: ") && loopFiles().size() == 3) frm->acCancelaAtualizacao();
    if (t.startsWith("Arquivo atualizado com sucesso: ")) ++sucessos;
  };
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo(kInterrompida)) << dump();
  onTrace = nullptr;
  EXPECT_EQ(sucessos, 3);
  EXPECT_TRUE(traces.contains("Conf Local - Atualizacao Cancelada"));
  EXPECT_TRUE(frm->Tela().bitAtualizarVisible);
  EXPECT_FALSE(frm->Tela().bitCancelaAtualizacaoVisible);
  EXPECT_FALSE(QFile::exists(home + "vt/" + kCrcFile));
  EXPECT_EQ(loopFiles().size(), 3);
}

// A scanner already at this service pack is asked about; No ends the run.
TEST_F(UpdateTest, UpToDateScannerAsksFirst) {
  startServer({"--fw-version", "500"});
  startSim({"--type", "10", "--sp", "41"});
  showWindow();
  ui->boxAnswers = {TMsgResult::No};
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo(kInterrompida)) << dump();
  EXPECT_TRUE(ui->texts("confirm").contains("Atenção, o equipamento já esta atualizado, deseja continuar?"));
  EXPECT_TRUE(loopFiles().isEmpty());
  EXPECT_TRUE(frm->Tela().bitAtualizarVisible);
}
}  // namespace

namespace {
// Extra files: the scanner is reset (pulled and plugged) while the twelfth is written; the loop
// resumes one file before the control file saved after the tenth, writes the twelfth again and
// the report counts the failed write.
TEST_F(UpdateTest, ExtraFilesSurviveAResetMidLoop) {
  startServer({"--fw-version", "500"});
  startSim({"--type", "10", "--sp", "40"});
  QDir().mkpath(home + "files");
  QStringList extras;
  for (int i = 1; i <= 12; ++i) {
    const QString name = QString("E%1.mnu").arg(i, 2, 10, QChar('0'));
    QFile f(home + "files/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(700 + 37 * i, char('a' + i)));
    extras << name;
  }
  showWindow();
  bool pulled = false;
  onTrace = [&](const QString &t) {
    if (pulled || t != "GravaArquivo: E12.mnu") return;
    pulled = true;
    sim->pull();
    QTimer::singleShot(1000, [&] { sim->plug(); });
  };
  ui->boxAnswers = {TMsgResult::Yes /* write the extra files */, TMsgResult::Yes /* stop after the report */};
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo(kInterrompida, 120000)) << dump();
  onTrace = nullptr;
  ASSERT_TRUE(pulled);
  EXPECT_TRUE(traces.contains("Falha de gravação: E12.mnu - Qtd Erros: 1 - Pular para o próximo arquivo")) << dump();
  const qsizetype opened = traces.indexOf(QRegularExpression("DeviceOpened.*"), traces.indexOf("GravaArquivo: E12.mnu"));
  ASSERT_GT(opened, 0) << dump();
  EXPECT_EQ(traces.indexOf(QRegularExpression("Index: .*"), opened), traces.indexOf("Index: 8", opened));
  EXPECT_TRUE(traces.contains("Scanner Update 0X - InterrompeAtualizacao"));
  const QStringList asked = ui->texts("info");
  EXPECT_TRUE(asked.contains("Foram gravados 12 arquivos com sucesso e\rhouve 1 erros de gravação. \r"
                             "Deseja interromper atualização?"))
      << asked.join('\n').toStdString();
  TClassFileCrcControlManagerVT vt(sim->filesDir() + "/", "C", "512345");
  vt.LoadCrcFileContent();
  for (const QString &n : extras) {
    const QByteArray want = readAll(home + "files/" + n);
    EXPECT_EQ(readAll(sim->filesDir() + "/" + n), want) << n.toStdString();
    const auto *rec = vt.GetInfoCrc(n);
    ASSERT_TRUE(rec) << n.toStdString();
    EXPECT_EQ(rec->Crc(), QString::number(CalcCRC64Bytes(want)));
  }
}

// The map-only run on a scanner without a control file reads every listed file from the scanner
// and writes only the new control file.
TEST_F(UpdateTest, MapOnlyRunWritesOnlyTheControlFile) {
  startServer({"--fw-version", "500"});
  startSim({"--type", "10", "--sp", "40"});
  showWindow();
  sim->control("reset-stats", "ok");
  frm->acnCriaNovoCRC();
  ASSERT_TRUE(waitInfo(kFinalOk, 120000)) << dump();
  const QStringList names = loopFiles();
  ASSERT_FALSE(names.isEmpty());
  EXPECT_EQ(QDir(sim->filesDir()).entryList(QDir::Files), QStringList{kCrcFile});
  auto st = sim->stats();
  EXPECT_GE(st["C0"], quint64(names.size()));
  EXPECT_GE(st["B2"], quint64(names.size()));
  TClassFileCrcControlManagerVT vt(sim->filesDir() + "/", "C", "512345");
  vt.LoadCrcFileContent();
  EXPECT_EQ(vt.Lista().size(), size_t(names.size()));
  for (const auto &rec : vt.Lista()) EXPECT_EQ(rec->Sz(), 0u) << rec->Fn().toStdString();
}

// Firmware: the images of the model's row written and verified, then a restart (V4), no restart
// (V6), the Checkline's confirmation 0xAF/1 after its controller image.
struct FirmwareCase {
  const char *name;
  const char *type;
  QStringList images;  // local names, in writing order
  QStringList onScanner;
  bool restarts;
  QStringList simArgs;
};

// Keeps the test names stable (the default printer dumps the struct's bytes).
void PrintTo(const FirmwareCase &c, std::ostream *os) { *os << c.name; }

class FirmwareTest : public UpdateTest, public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareTest, ImagesWrittenVerifiedAndHandedOver) {
  const FirmwareCase &c = GetParam();
  startServer({"--fw-version", "600"});
  startSim(QStringList{"--type", c.type, "--sp", "40"} + c.simArgs);
  showWindow();
  ASSERT_FALSE(TClass_VentraLib::GetInstance()->FirmwareAtualizado());
  quint64 resetsBefore = sim->stats()["76"];
  quint64 afBefore = 0, afAfterImages = 0;
  onTrace = [&](const QString &t) {
    if (t == "Scanner Update 01 - AtualizaFirmware") afBefore = sim->stats()["AF"];
    // the hand-over: stop the run after the firmware
    if (t == "Scanner Update 03 - VerificaArquivosExtras" || t == "Scanner Update 02 - FinalizaFirmware") {
      if (afAfterImages == 0) afAfterImages = sim->stats()["AF"] + 1;
      frm->acCancelaAtualizacao();
    }
  };
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo(kInterrompida, 120000)) << dump();
  onTrace = nullptr;
  EXPECT_TRUE(ui->texts("info").contains("Atenção, não desconecte o equipamento !"));
  EXPECT_EQ(traces.count("0ª interação"), c.images.size()) << dump();
  EXPECT_EQ(traces.contains("Scanner Update 02 - FinalizaFirmware"), c.restarts);
  EXPECT_EQ(sim->stats()["76"] - resetsBefore, c.restarts ? 1u : 0u);
  for (int i = 0; i < c.images.size(); ++i)
    EXPECT_EQ(readAll(sim->filesDir() + "/" + c.onScanner[i]),
              readAll(server->filesRoot() + "/fw/oficial/" + c.images[i]))
        << c.images[i].toStdString();
  if (QString(c.type) == "2") EXPECT_GE(afAfterImages - 1 - afBefore, 1u) << "0xAF/1 after cklctrl";
}

INSTANTIATE_TEST_SUITE_P(
    Modelos, FirmwareTest,
    ::testing::Values(FirmwareCase{"V4", "8", {"app_600.bin", "appctrl_600.bin", "MLO_4_14.bin"},
                                   {"app_600", "appctrl", "mlo"}, true},
                      FirmwareCase{"V6", "14", {"app_600.bin", "appctrl_600.bin", "MLO_6_30.bin"},
                                   {"app_600", "appctrl", "mlo"}, false},
                      FirmwareCase{"Checkline", "2", {"ckl_2.bin", "cklctrl_2.bin"}, {"ckl_2", "cklctrl"}, true,
                                   {"--firmware", "0x0001"}}),
    [](const auto &info) { return std::string(info.param.name); });

// The scanner never confirms the image's CRC: three attempts, then the failure message and the
// update button back; nothing else is scheduled.
TEST_F(UpdateTest, FirmwareCrcThatNeverMatches) {
  startServer({"--fw-version", "600"});
  startSim({"--type", "14", "--sp", "40"});
  showWindow();
  sim->control("silent B2", "ok");
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo("Atenção, não foi possivel a atualização do firmware !", 120000)) << dump();
  EXPECT_EQ(traces.count("0ª interação"), 1);
  EXPECT_EQ(traces.count("1ª interação"), 1);
  EXPECT_EQ(traces.count("2ª interação"), 1);
  EXPECT_EQ(traces.count("3ª interação"), 0);
  EXPECT_TRUE(frm->Tela().bitAtualizarVisible);
  EXPECT_FALSE(frm->Tela().bitCancelaAtualizacaoVisible);
  PumpFor(300);
  EXPECT_FALSE(frm->StepPending());
  EXPECT_FALSE(traces.contains("Scanner Update 03 - VerificaArquivosExtras"));
}
}  // namespace

namespace {
// A scanner that already holds every file but two: one is written, the other is missing from
// the download server and is counted in the final message.
TEST_F(UpdateTest, FileMissingFromTheServerIsCounted) {
  startServer({"--fw-version", "500"});
  startSim({"--type", "10", "--sp", "40"});
  const QString missing = MnuFileName(TMnuType::mnuParametros, TMnuLanguage::mnuPT);
  const QString written = MnuFileName(TMnuType::mnuAjustes, TMnuLanguage::mnuPT);
  ASSERT_TRUE(QFile::exists(content + missing) && QFile::exists(content + written));
  ASSERT_TRUE(QFile::remove(server->filesRoot() + "/sp/sp41/" + missing.section('.', 0, 0) + ".zip"));
  for (const QString &n : QDir(content).entryList(QDir::Files))
    if (n != missing && n != written) ASSERT_TRUE(QFile::copy(content + n, sim->filesDir() + "/" + n));
  showWindow();
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo("Atualização finalizada.", 120000)) << dump();
  EXPECT_TRUE(ui->texts("info").contains("Atualização finalizada. Houve 1 erros durante a atualização.\r"
                                         "Tente novamente ou conctacte o Suporte Técnico!"));
  EXPECT_TRUE(traces.contains("Arquivo não localizado: " + missing + " - Qtd Erros: 1 - Pular para o próximo arquivo"))
      << dump();
  EXPECT_TRUE(traces.contains("Arquivo atualizado com sucesso: " + written));
  EXPECT_EQ(readAll(sim->filesDir() + "/" + written), readAll(content + written));
  EXPECT_FALSE(QFile::exists(sim->filesDir() + "/" + missing));
  TClassFileCrcControlManagerVT vt(sim->filesDir() + "/", "C", "512345");
  vt.LoadCrcFileContent();
  const auto *rec = vt.GetInfoCrc(missing);
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->Erro(), "Arquivo não localizado");
}
}  // namespace

namespace {
// An empty V4 brought up to date in one go: every listed file byte-exact, the control file
// written back, the final report and the portal report made.
TEST_F(UpdateTest, EmptyV4FullUpdate) {
  startServer({"--fw-version", "400"});
  startSim({"--type", "8", "--sp", "40"});
  showWindow();
  frm->acBtnAtualizar();
  ASSERT_TRUE(waitInfo(kFinalOk, 240000)) << dump();
  const QStringList names = loopFiles();
  EXPECT_GE(names.size(), 49);
  expectScannerHolds(names);
  EXPECT_EQ(conf("ERROR_COUNT"), 0);
  EXPECT_EQ(conf("LAST_INDEX"), 0);
  EXPECT_EQ(frm->Tela().ServicePack, Globais::ServicePackIDE + " (atualizado)");
  EXPECT_TRUE(portalLog().contains("/portal/liberacao/cf_hist_sistema_isapi.dll/hist_atualizacao?nrserie=512345&sp=40"));
}
}  // namespace
