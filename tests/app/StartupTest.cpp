// The main window's startup sequence under QCoreApplication: the real device session against
// ventra-sim on a pty, the scripted UI answering the dialogs, the maker-server stand-in serving
// the version record, the service pack's file list and the carousel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "app/Carrossel.h"
#include "app/ConfLocal.h"
#include "app/FrmPrincipal.h"
#include "app/Globais.h"
#include "app/Log.h"
#include "app/VentraError.h"
#include "protocol/VentraLib.h"
#include "support/QtPump.h"
#include "support/QtPrinters.h"
#include "support/ScriptedUi.h"
#include "support/ServerProcess.h"
#include "support/SimProcess.h"


namespace {
using S = TTimerControlPrincipalEnum;
using AR = TAfterReconnectionEnum;

const char *const kInfoFw =
    R"({"servicePack":40,"fw_checkline":"2","fw_v2":"330","fw_v3":"0400","fw_v4":"0450","fw_v5":"518",)"
    R"("fw_v6":"600","fw_v6s":"0601","fw_sniffer":"1","mlo_v3":"1","mlo_v4":"1","mlo_v5":"1","mlo_v6":"1","mlo_v6s":"1"})";
const char *const kMsgConexao =
    "Atenção: falha de conexão. Tente reiniciar o equipamento e, se necessário, \r"
    "desconecte e reconecte o cabo na porta serial/usb.";

class StartupTest : public ::testing::Test {

 public:  // the case tables below reach into the fixture
  QTemporaryDir tmp;
  QString devices, home, oldCwd;
  ServerProcess srv;  // the maker's download server stand-in
  std::unique_ptr<ScriptedUi> ui;
  QStringList traces;
  std::unique_ptr<TfrmPrincipal> frm;
  std::vector<std::unique_ptr<SimProcess>> sims;

  void SetUp() override {
    EnsureQtApp();
    devices = tmp.filePath("devices");
    home = tmp.filePath("home") + "/";
    for (const auto &d : {devices, home}) QDir().mkpath(d);
    ASSERT_TRUE(srv.start());
    qputenv("VENTRAIDE_DEVICES", devices.toLocal8Bit());
    qputenv("VENTRAIDE_HOME", home.toLocal8Bit());
    qputenv("VENTRAIDE_DOWNLOAD_URL", srv.filesUrl().toUtf8());
    oldCwd = QDir::currentPath();
    QDir::setCurrent(home);  // the application log opens relative to the current folder
    serve("fw/oficial/info_fw.json", kInfoFw);
    serve("fw/oficial/FileCrcControl.json", "[]");
    serve("sp/sp40/FileCrcControl.json", "[]");
    serve("mkt/mkt.json", R"({"groups":[{"iD":1,"items":[{"time":2000,"img":"a.png","url":"http://x/a"}]},)"
                          R"({"iD":2,"items":[{"time":2000,"img":"b.png","url":"http://x/b"},)"
                          R"({"time":3000,"img":"c.png","url":"http://x/c"}]}]})");
    serve("mkt/a.png", "A-picture");
    serve("mkt/b.png", "B-picture");
    serve("mkt/c.png", "C-picture");
    Globais::IndiceIdioma = 0;
    Globais::ServicePackIDE.clear();
    ui = std::make_unique<ScriptedUi>();
    Trace::setSink([this](const QString &line) { traces << line.mid(14); });  // drop "hh:mm:ss.zzz: "
  }

  void TearDown() override {
    frm.reset();
    sims.clear();
    TClass_VentraLib::FreeInstance();
    TClassConfLocal::FreeInstance();
    TClass_Carrossel::FreeInstance();
    Trace::setSink({});
    ui.reset();
    QDir::setCurrent(oldCwd);
    for (const char *v : {"VENTRAIDE_DEVICES", "VENTRAIDE_HOME", "VENTRAIDE_DOWNLOAD_URL"}) qunsetenv(v);
  }

  void serve(const QString &rel, const QByteArray &content) { srv.putFile(rel, content); }

  SimProcess *startSim(QStringList args) {
    auto sim = std::make_unique<SimProcess>(args, devices);
    if (!sim->start()) return nullptr;
    sims.push_back(std::move(sim));
    return sims.back().get();
  }

  bool createAndShow() {
    frm = std::make_unique<TfrmPrincipal>();
    frm->FormCreate();
    return frm->FormShow();
  }

  bool waitTrace(const QString &text, int timeoutMs = 15000, int count = 1) {
    return PumpUntil([&] { return traces.count(text) >= count; }, timeoutMs);
  }
  bool waitTracePrefix(const QString &prefix, int timeoutMs = 15000) {
    return PumpUntil(
        [&] {
          for (const auto &t : traces)
            if (t.startsWith(prefix)) return true;
          return false;
        },
        timeoutMs);
  }
  // Index of the first trace equal to text at or after from; -1 when absent.
  qsizetype traceIndex(const QString &text, qsizetype from = 0) const { return traces.indexOf(text, from); }
  QString conf(const char *cat, const char *key) {
    return TClassConfLocal::GetInstance().ConfLocal_ReadString(cat, key, "<none>");
  }
  const TMainScreen &tela() const { return frm->Tela(); }
};

TEST_F(StartupTest, GoodScannerRunsEveryStepAndShowsItsIdentity) {
  // left-overs of other releases beside the executable
  QDir().mkpath(home + "sp12/x");
  QDir().mkpath(home + "SP40");
  QDir().mkpath(home + "spare");
  for (const char *f : {"old.zip", "SP40.ZIP", "keep.txt"}) {
    QFile z(home + f);
    ASSERT_TRUE(z.open(QIODevice::WriteOnly));
  }
  SimProcess *sim = startSim({"--type", "10", "--serial", "512345", "--sp", "40", "--lang", "1", "--firmware",
                              "0x0512", "--uuid", "18446744073709551615"});
  ASSERT_TRUE(sim);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes")) << traces.join('\n').toStdString();

  const QStringList order{"FormShow TfrmPrincipal",
                          "00 - CheckConfLocal",
                          "ZeraInfoAtualizacao",
                          "01 - ApagaPastasAntigas",
                          "DeviceListReady - Qtd dispositivos encontrados: 1",
                          "DeviceOpened - Serial: 512345 - " + sim->port(),
                          "02 - CheckAplicativoAtualizado",
                          "03 - LoginServidor",
                          "04 - GetInfoVentra",
                          "Pedir Info 72",
                          "Ventra.FSIntegrity",
                          "GetTipoEquip",
                          "NrSerieValido",
                          "UUID: 18446744073709551615",
                          "GetInfoIdioma",
                          "GetInfoSP",
                          "GetInfoFW",
                          "Mostrar Tela Scanner Info",
                          "06 - ConfereLogAtivado",
                          "07 - EnviaIdeOnline",
                          "10 - CarregaCarrossel",
                          "11 - LiberaBotoes"};
  qsizetype at = 0;
  for (const auto &step : order) {
    const qsizetype i = traceIndex(step, at);
    ASSERT_GE(i, 0) << "missing or out of order: " << step.toStdString() << "\n" << traces.join('\n').toStdString();
    at = i + 1;
  }
  EXPECT_TRUE(ui->texts("info").isEmpty() && ui->texts("error").isEmpty());
  EXPECT_TRUE(ui->texts("status").contains("Apagando arquivos desnecessários. Aguarde..."));
  EXPECT_TRUE(ui->texts("status").contains("Localizando equipamento. Aguarde..."));

  const auto &t = tela();
  EXPECT_EQ(t.lblTipoVT, "Ventra V5");
  EXPECT_FALSE(t.lblTipoVTInvalido);
  EXPECT_EQ(t.NrSerie, "512345");
  EXPECT_EQ(t.lblSP, "Service Pack:");
  EXPECT_EQ(t.ServicePack, "40 (atualizado)");
  EXPECT_EQ(t.Firmware, "0518 (atualizado)");  // word 0x0512 reads 05 and 18
  EXPECT_EQ(t.SPIDEValue, "40");
  EXPECT_EQ(t.FirmIDEValue, "518");
  EXPECT_TRUE(t.IdiomaVisible);
  EXPECT_EQ(t.cbIdiomaIndex, 1);
  EXPECT_EQ(frm->siLang.ActiveLanguage(), 1);
  ASSERT_FALSE(ui->idiomas.empty());
  EXPECT_EQ(ui->idiomas.back(), 1);
  EXPECT_TRUE(t.tbsScannerVisible);
  EXPECT_FALSE(t.tbsConectarVisible);
  EXPECT_EQ(t.ActivePage, TPaginaPrincipal::tbsScanner);
  EXPECT_TRUE(t.bitScannerVisible);
  EXPECT_TRUE(t.bitAtualizarVisible);
  EXPECT_TRUE(t.bitAtualizarEnabled);
  EXPECT_FALSE(t.bitCancelaAtualizacaoVisible);
  EXPECT_FALSE(t.bitMeuVentraVisible);  // the portal did not enable screen logs
  EXPECT_TRUE(t.Caption.startsWith("Ventra IDE v2.0.0.0 ")) << t.Caption.toStdString();
  EXPECT_FALSE(t.Caption.contains("Homologação"));
  // carousel: group 2 for a V5, its first picture fetched and shown, the second on its turn
  EXPECT_EQ(TClass_Carrossel::GetInstance().ListaImgs().size(), 2u);
  EXPECT_EQ(frm->CarrosselIndex(), 1);
  EXPECT_TRUE(frm->CarrosselAtivo());
  EXPECT_EQ(t.imgPropaganda, home + "img/b.png");
  EXPECT_TRUE(QFile::exists(home + "img/mkt.json"));
  EXPECT_FALSE(QFile::exists(home + "img/c.png"));
  frm->imgNextClick();
  EXPECT_EQ(frm->CarrosselIndex(), 2);
  EXPECT_EQ(tela().imgPropaganda, home + "img/c.png");
  frm->imgNextClick();  // past the last: back to the first
  EXPECT_EQ(frm->CarrosselIndex(), 1);
  frm->imgBackClick();  // before the first: the last
  EXPECT_EQ(frm->CarrosselIndex(), 2);
  // a picture the server does not have is not shown
  QFile::remove(home + "img/c.png");
  QFile::remove(srv.filesRoot() + "/mkt/c.png");
  frm->imgBackClick();
  frm->imgNextClick();
  EXPECT_TRUE(tela().imgPropaganda.isEmpty());

  EXPECT_EQ(conf("CONECTION", "COM_PORT"), sim->port());
  EXPECT_EQ(conf("EQUIP", "NR_SERIE"), "512345");
  EXPECT_EQ(conf("EQUIP", "TIPO"), "Ventra V5");
  EXPECT_EQ(conf("EQUIP", "UUID"), "18446744073709551615");
  EXPECT_EQ(conf("EQUIP", "SP"), "40");
  EXPECT_EQ(conf("EQUIP", "FW"), "0518");
  EXPECT_EQ(conf("EQUIP", "IDIOMA"), "ES");
  EXPECT_EQ(conf("APK", "SP"), "40");
  EXPECT_EQ(conf("APK", "FW"), "518");
  EXPECT_EQ(conf("ATUALIZACAO", "EM_ATUALIZACAO"), "TRUE");
  EXPECT_EQ(conf("ATUALIZACAO", "LAST_INDEX"), "0");
  EXPECT_EQ(conf("ATUALIZACAO", "ORIGEM"), "");

  // other releases' service packs and archives are gone, this release's stay
  EXPECT_FALSE(QDir(home + "sp12").exists());
  EXPECT_FALSE(QDir(home + "spare").exists());  // "SPARE": begins with SP, remainder is not 40
  EXPECT_TRUE(QDir(home + "SP40").exists());
  EXPECT_FALSE(QFile::exists(home + "old.zip"));
  EXPECT_TRUE(QFile::exists(home + "SP40.ZIP"));
  EXPECT_TRUE(QFile::exists(home + "keep.txt"));
  EXPECT_TRUE(QDir(home + "autoupdate").exists());
  EXPECT_TRUE(QDir(home + "files").exists());
  EXPECT_TRUE(QFile::exists(home + "log/info.log") || QDir(home + "log").exists());
}

TEST_F(StartupTest, NoScannerWaitsOnTheConnectPageAndAnArrivalStartsTheSearch) {
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("Nenhum equipamento localizado!")) << traces.join('\n').toStdString();
  EXPECT_TRUE(traces.contains("DeviceListReady - Qtd dispositivos encontrados: 0"));
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsConectar);
  EXPECT_TRUE(tela().tbsConectarVisible);
  EXPECT_FALSE(tela().tbsScannerVisible);
  EXPECT_FALSE(tela().bitScannerVisible);
  EXPECT_FALSE(tela().bitAtualizarVisible);
  EXPECT_EQ(tela().lblConecte,
            "Conecte agora seu equipamento no computador para ter acesso às funcionalidades do Ventra IDE.");
  EXPECT_GE(ui->statusCloses, 2);
  // step 04 with nothing connected
  frm->ScheduleStep(S::cpGetInfoVentra);
  ASSERT_TRUE(waitTrace("ShowMessageToUser", 3000));
  EXPECT_EQ(ui->texts("info").value(0), "Atenção: equipamento não está conectado. Verifique!");
  // a language chosen with no scanner known talks to nobody but still resets
  frm->cbIdiomaSelect(2);
  EXPECT_TRUE(traces.contains("cbIdiomaSelect"));
  EXPECT_EQ(ui->texts("info").size(), 1);

  ASSERT_TRUE(startSim({"--serial", "512345"}));
  ASSERT_TRUE(waitTrace("DeviceConnected", 5000));
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes")) << traces.join('\n').toStdString();
  EXPECT_EQ(tela().NrSerie, "512345");
}

TEST_F(StartupTest, TwoScannersAreReportedAndNotOpened) {
  SimProcess *a = startSim({"--serial", "512345", "--name", "a"});
  SimProcess *b = startSim({"--serial", "512346", "--name", "b"});
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("DeviceListReady - Qtd dispositivos encontrados: 2"));
  PumpFor(300);
  EXPECT_EQ(ui->texts("info"), QStringList{"Atenção, mais de um equipamento localizado, verifique!"});
  EXPECT_FALSE(waitTracePrefix("DeviceOpened", 500));
  EXPECT_EQ(a->stats()["total"], 0u);
  EXPECT_EQ(b->stats()["total"], 0u);
}

TEST_F(StartupTest, VersionRecordMissingEndsTheProgramAtShow) {
  QFile::remove(srv.filesRoot() + "/fw/oficial/info_fw.json");
  EXPECT_FALSE(createAndShow());
  EXPECT_EQ(ui->texts("error"), QStringList{"Não foi possível obter a versão do Service Pack"});
  PumpFor(50);
  EXPECT_FALSE(traces.contains("00 - CheckConfLocal"));
}

TEST_F(StartupTest, HomologationMarkerChangesCaptionAndFirmwareFolder) {
  QFile::remove(srv.filesRoot() + "/fw/oficial/info_fw.json");
  serve("fw/homolog/info_fw.json", QByteArray(kInfoFw).replace("\"servicePack\":40", "\"servicePack\":41"));
  serve("fw/homolog/FileCrcControl.json", "[]");
  QFile m(home + "homolog.txt");
  ASSERT_TRUE(m.open(QIODevice::WriteOnly));
  m.close();
  ASSERT_TRUE(createAndShow());
  EXPECT_TRUE(tela().Caption.endsWith(" - Em Homologação"));
  EXPECT_EQ(Globais::ServicePackIDE, "41");
}

// Identities that take another road through step 04.
struct IdentityCase {
  const char *name;
  QStringList simArgs;
  std::function<void(StartupTest &)> check;
};

TEST_F(StartupTest, IdentitiesThroughStep04) {
  const IdentityCase cases[] = {
      {"development unit goes from 04 to 11",
       {"--serial", "42", "--type", "10"},
       [](StartupTest &t) {
         ASSERT_TRUE(t.waitTrace("11 - LiberaBotoes"));
         const qsizetype i04 = t.traceIndex("04 - GetInfoVentra");
         EXPECT_GE(i04, 0);
         EXPECT_EQ(t.traceIndex("06 - ConfereLogAtivado"), -1);
         EXPECT_EQ(t.traceIndex("10 - CarregaCarrossel"), -1);
         EXPECT_EQ(t.tela().NrSerie, "42");
         EXPECT_TRUE(t.tela().bitAtualizarEnabled);
         EXPECT_FALSE(t.tela().bitMeuVentraVisible);
         EXPECT_FALSE(t.traces.contains("NrSerieValido"));
         // terms of use and the profile answer that the function is not available
         t.frm->Tela().bitTermoUsoVisible = true;
         t.frm->Tela().bitMeuVentraVisible = true;
         t.frm->KeyDown(Qt::Key_F8);
         t.frm->KeyDown(Qt::Key_F5);
         EXPECT_EQ(t.ui->texts("error"), QStringList({"Função não disponível para esse tipo de equipamento",
                                                      "Função não disponível para esse tipo de equipamento"}));
       }},
      {"Checkline shows its software and hides the language",
       {"--serial", "512345", "--type", "2", "--sp", "1", "--sw", "2"},
       [](StartupTest &t) {
         ASSERT_TRUE(t.waitTrace("11 - LiberaBotoes"));
         EXPECT_EQ(t.tela().lblTipoVT, "Checkline");
         EXPECT_EQ(t.tela().lblSP, "Software:");
         EXPECT_EQ(t.tela().lblSPIDE, "Software:");
         EXPECT_EQ(t.tela().ServicePack, "1.02 (desatualizado)");  // service pack differs from 40
         EXPECT_EQ(t.tela().SPIDEValue, "1.02");
         EXPECT_FALSE(t.tela().IdiomaVisible);
         EXPECT_EQ(t.tela().FirmIDEValue, "2");
         EXPECT_EQ(t.conf("EQUIP", "IDIOMA"), "PT");
         EXPECT_EQ(TClass_Carrossel::GetInstance().ListaImgs().size(), 1u);  // group 1
         t.frm->Tela().bitMeuVentraVisible = true;
         t.frm->acBtnMeuVentra();
         EXPECT_EQ(t.ui->texts("error"), QStringList{"Função não disponível para esse tipo de equipamento"});
       }},
      {"VentraV2 takes service pack 108 after the comparison",
       {"--serial", "512345", "--type", "3", "--sp", "40", "--firmware", "0x031E"},
       [](StartupTest &t) {
         ASSERT_TRUE(t.waitTrace("11 - LiberaBotoes"));
         EXPECT_EQ(t.tela().lblTipoVT, "Ventralink V2");
         EXPECT_EQ(t.tela().ServicePack, "40 (atualizado)");
         EXPECT_EQ(t.tela().SPIDEValue, "108");
         EXPECT_EQ(Globais::ServicePackIDE, "108");
         EXPECT_EQ(t.conf("APK", "SP"), "108");
         EXPECT_EQ(t.tela().Firmware, "0330 (atualizado)");
       }},
      {"out-of-date scanner is marked",
       {"--serial", "700000", "--type", "14", "--sp", "39", "--firmware", "0x0563"},
       [](StartupTest &t) {
         ASSERT_TRUE(t.waitTrace("11 - LiberaBotoes"));
         EXPECT_EQ(t.tela().lblTipoVT, "Ventra V6");
         EXPECT_EQ(t.tela().ServicePack, "39 (desatualizado)");
         EXPECT_EQ(t.tela().Firmware, "0599 (desatualizado)");
         EXPECT_EQ(t.tela().FirmIDEValue, "600");
       }},
      {"invalid serial stops with the connection error",
       {"--serial", "200000", "--type", "10"},
       [](StartupTest &t) {
         ASSERT_TRUE(t.waitTrace("ConnectionError"));
         PumpFor(200);
         EXPECT_EQ(t.ui->texts("error"),
                   QStringList{"Atenção, número de série inválido.\rFeche a aplicação, reinicie o Scanner e tente "
                               "novamente.\rSe a falha permanecer contacte o Suporte Técnico."});
         EXPECT_EQ(t.ui->texts("info"), QStringList{kMsgConexao});
         EXPECT_EQ(t.traceIndex("06 - ConfereLogAtivado"), -1);
         EXPECT_EQ(t.tela().ActivePage, TPaginaPrincipal::tbsConectar);
         EXPECT_TRUE(t.tela().NrSerie.isEmpty());
       }},
      {"file system not intact stops with the connection error",
       {"--serial", "512345", "--fs", "0"},
       [](StartupTest &t) {
         ASSERT_TRUE(t.waitTrace("ConnectionError"));
         PumpFor(200);
         EXPECT_EQ(t.ui->texts("info"),
                   QStringList({"Atenção, verifique integridade do equipamento.", kMsgConexao}));
         EXPECT_EQ(t.traceIndex("GetTipoEquip"), -1);
         EXPECT_EQ(t.tela().ActivePage, TPaginaPrincipal::tbsConectar);
       }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(startSim(c.simArgs));
    ASSERT_TRUE(createAndShow());
    c.check(*this);
    // next case from a clean start
    frm.reset();
    sims.clear();
    TClass_VentraLib::FreeInstance();
    TClassConfLocal::FreeInstance();
    TClass_Carrossel::FreeInstance();
    traces.clear();
    ui.reset();  // uninstalls the old one before the new one installs itself
    ui = std::make_unique<ScriptedUi>();
    Globais::IndiceIdioma = 0;
    Globais::ServicePackIDE.clear();
  }
}

TEST_F(StartupTest, UnreadableTypeIsShownInRed) {
  bool valido = true;
  EXPECT_EQ(TfrmPrincipal::NomeModelo(16, &valido), "Tipo inválido 16  (contacte suporte técnico)");
  EXPECT_FALSE(valido);
  EXPECT_EQ(TfrmPrincipal::NomeModelo(4, &valido), "Ventra V3 V3S");
  EXPECT_TRUE(valido);
  EXPECT_EQ(TfrmPrincipal::NomeModelo(13), "Ventra Pad 3X");
}

TEST_F(StartupTest, SilentScannerGivesTheSerialMessageAfterThirteenRequests) {
  SimProcess *sim = startSim({"--serial", "512345", "--silent", "69"});
  ASSERT_TRUE(sim);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(PumpUntil([&] { return !ui->texts("info").isEmpty(); }, 40000));
  EXPECT_EQ(ui->texts("info"), QStringList{"Atenção, não foi possível ler o número de série.\r\rReinicie o "
                                           "equipamento e tente novamente ou ligue para o Suporte Técnico."});
  // thirteen requests: twelve retries traced, counting down
  QStringList retries;
  for (const auto &t : traces)
    if (t.startsWith("Não respondeu NrSerie, tentativa: ")) retries << t.mid(34);
  EXPECT_EQ(retries.size(), 12);
  EXPECT_EQ(retries.value(0), "12");
  EXPECT_EQ(retries.value(11), "1");
  EXPECT_FALSE(traces.contains("04 - GetInfoVentra"));
}

TEST_F(StartupTest, PulledCableWithoutPendingActionGoesBackToConnectAndReplugRunsTheSequenceAgain) {
  SimProcess *sim = startSim({"--serial", "512345"});
  ASSERT_TRUE(sim);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes"));
  ASSERT_TRUE(sim->pull());
  ASSERT_TRUE(waitTrace("FAfterReconnection: nulo", 5000)) << traces.join('\n').toStdString();
  EXPECT_TRUE(traces.contains("Device disconnected!"));
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsConectar);
  EXPECT_TRUE(tela().NrSerie.isEmpty());
  EXPECT_FALSE(tela().bitAtualizarVisible);
  ASSERT_TRUE(sim->plug());
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes", 15000, 2)) << traces.join('\n').toStdString();
  EXPECT_EQ(traces.count("04 - GetInfoVentra"), 2);
  EXPECT_EQ(tela().NrSerie, "512345");
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsScanner);
}

TEST_F(StartupTest, PendingReconnectionActionsContinueTheInterruptedWork) {
  SimProcess *sim = startSim({"--serial", "512345"});
  ASSERT_TRUE(sim);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes"));
  auto &cfg = TClassConfLocal::GetInstance();
  struct Case {
    AR value;
    S nextStep;
    AR after;
  };
  const Case cases[] = {
      {AR::arRetomarAtualizacao, S::cpAtual_GetFileSize, AR::arRetomarAtualizacao},
      {AR::arRetomarFileExtra, S::cpAtualizaFileExtra, AR::arRetomarFileExtra},
      {AR::arFinalizaFirmware, S::cpFinalizaFirmware, AR::arNone},
      {AR::arFimLogs, S::cpVerificaEquipAtualizado, AR::arNone},
      {AR::arFinalizaArquivosExtras, S::cpFinalizaArquivosExtras, AR::arNone},
  };
  // the update chain's own steps are watched, not run
  std::vector<S> passos;
  frm->OnAntesDoPasso = [&](S step) {
    passos.push_back(step);
    return step >= S::cpAtualizaFirmware && step <= S::cpAtual_UpdateFile;
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(AfterReconnectionName(c.value).toStdString());
    passos.clear();
    frm->FAfterReconnection = c.value;
    cfg.ConfLocal_AddBoolean("ATUALIZACAO", "EM_ATUALIZACAO", true);
    cfg.ConfLocal_AddBoolean("ATUALIZACAO", "DESCONECTADO", false);
    cfg.ConfLocal_AddInteger("ATUALIZACAO", "LAST_CRC_SAVED", 5);
    cfg.ConfLocal_AddInteger("ATUALIZACAO", "LAST_INDEX", 9);
    cfg.SaveConfFile();
    const qsizetype before = traces.size();
    ASSERT_TRUE(sim->pull());
    ASSERT_TRUE(waitTrace("FAfterReconnection: " + AfterReconnectionName(c.value), 5000));
    // the screen waits for the scanner
    EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsScanner);
    EXPECT_EQ(tela().NrSerie, "512345");
    EXPECT_EQ(conf("ATUALIZACAO", "DESCONECTADO"), "TRUE");
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(PumpUntil([&] { return std::find(passos.begin(), passos.end(), c.nextStep) != passos.end(); }, 15000))
        << traces.mid(before).join('\n').toStdString();
    EXPECT_EQ(traces.indexOf("02 - CheckAplicativoAtualizado", before), -1);  // no startup sequence
    EXPECT_EQ(std::count(passos.begin(), passos.end(), S::cpCheckApkAtualizado), 0);
    EXPECT_EQ(frm->FAfterReconnection, c.after);
    if (c.value == AR::arRetomarAtualizacao || c.value == AR::arRetomarFileExtra) {
      EXPECT_EQ(conf("ATUALIZACAO", "DESCONECTADO"), "FALSE");
      EXPECT_EQ(conf("ATUALIZACAO", "LAST_INDEX"), "4");  // files since the last saved CRC file again
    }
  }
  // while the log window holds the scanner a removal changes nothing
  frm->FAfterReconnection = AR::arNone;
  Globais::BaixandoLogs = true;
  const qsizetype before = traces.size();
  ASSERT_TRUE(sim->pull());
  ASSERT_TRUE(PumpUntil([&] { return traces.indexOf("Device disconnected!", before) >= 0; }, 5000));
  PumpFor(100);
  EXPECT_EQ(traces.indexOf("FAfterReconnection: nulo", before), -1);
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsScanner);
  Globais::BaixandoLogs = false;
}

TEST_F(StartupTest, AnotherScannerAfterReconnectionIsRefusedAndNothingResumes) {
  SimProcess *a = startSim({"--serial", "512345", "--name", "a"});
  ASSERT_TRUE(a);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes"));
  std::vector<S> passos;
  frm->OnAntesDoPasso = [&](S step) {
    passos.push_back(step);
    return false;
  };
  frm->FAfterReconnection = AR::arRetomarAtualizacao;
  ASSERT_TRUE(a->pull());
  ASSERT_TRUE(waitTrace("FAfterReconnection: arRetomarAtualizacao", 5000));
  ASSERT_TRUE(startSim({"--serial", "600001", "--name", "b"}));
  ASSERT_TRUE(waitTrace("NrSerieDivergente", 15000)) << traces.join('\n').toStdString();
  ASSERT_TRUE(waitTrace("ShowMessageToUser", 3000));
  EXPECT_EQ(ui->texts("info"), QStringList{"Atenção: Número de Série não confere com o último conectado, verifique!"});
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsConectar);
  PumpFor(300);
  EXPECT_TRUE(std::none_of(passos.begin(), passos.end(), [](S p) { return p == S::cpAtual_GetFileSize; }));
}

TEST_F(StartupTest, LanguageChangeTalksToTheScannerAndRestartsIt) {
  SimProcess *sim = startSim({"--serial", "512345", "--lang", "0"});
  ASSERT_TRUE(sim);
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes"));
  EXPECT_EQ(tela().cbIdiomaIndex, 0);
  frm->cbIdiomaSelect(2);
  // IDS_64 has no EN text: the PT text is shown
  EXPECT_EQ(ui->texts("info"), QStringList{"O idioma do scanner foi trocado!"});
  EXPECT_EQ(Globais::IndiceIdioma, 2);
  EXPECT_EQ(frm->siLang.ActiveLanguage(), 2);
  EXPECT_EQ(ui->idiomas.back(), 2);
  EXPECT_TRUE(tela().NrSerie.isEmpty());  // cleared until the scanner is read again
  EXPECT_TRUE(traces.contains("cbIdiomaSelect"));
  // the reset pulls the scanner; it comes back and the sequence runs again in the new language
  ASSERT_TRUE(waitTrace("11 - LiberaBotoes", 20000, 2)) << traces.join('\n').toStdString();
  EXPECT_EQ(tela().cbIdiomaIndex, 2);
  EXPECT_EQ(conf("EQUIP", "IDIOMA"), "EN");
  EXPECT_EQ(sim->stats()["BB"], 1u);
}

TEST_F(StartupTest, KeysAndActionsFollowTheButtons) {
  ASSERT_TRUE(createAndShow());
  ASSERT_TRUE(waitTrace("Nenhum equipamento localizado!"));
  frm->KeyDown(Qt::Key_F2);
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsScanner);
  EXPECT_TRUE(tela().tbsScannerVisible);
  EXPECT_FALSE(tela().tbsConectarVisible);
  // F6 with the update button hidden and the cancel button visible cancels
  TClassConfLocal::GetInstance().ConfLocal_AddBoolean("ATUALIZACAO", "CANCELADO", false);
  EXPECT_FALSE(frm->AtualizacaoCancelada());
  frm->Tela().bitCancelaAtualizacaoVisible = true;
  frm->KeyDown(Qt::Key_F6);
  EXPECT_TRUE(frm->AtualizacaoCancelada());
  EXPECT_EQ(conf("ATUALIZACAO", "CANCELADO"), "TRUE");
  // F5 with the profile button hidden does nothing
  frm->KeyDown(Qt::Key_F5);
  EXPECT_TRUE(ui->texts("error").isEmpty());
  // F8 switches to the scanner page first
  frm->acBtnScanner();
  frm->Tela().ActivePage = TPaginaPrincipal::tbsConectar;
  frm->KeyDown(Qt::Key_F8);
  EXPECT_EQ(tela().ActivePage, TPaginaPrincipal::tbsScanner);
}
}  // namespace

namespace {
TEST_F(StartupTest, AnExceptionInAStepIsTracedAndStopsTheChain) {
  ASSERT_TRUE(createAndShow());
  frm->OnAntesDoPasso = [](S step) {
    if (step == S::cpApagaPastasAntigas) throw VentraError("Falha de teste");
    return false;
  };
  ASSERT_TRUE(waitTrace("Exceção no TmrControl. Ex: Falha de teste", 3000)) << traces.join('\n').toStdString();
  PumpFor(300);
  EXPECT_TRUE(traces.contains("00 - CheckConfLocal"));
  EXPECT_FALSE(traces.contains("01 - ApagaPastasAntigas"));
  EXPECT_FALSE(waitTracePrefix("DeviceListReady", 100));
  EXPECT_FALSE(frm->StepPending());
  // a later scheduling starts the runner again
  frm->OnAntesDoPasso = nullptr;
  frm->ScheduleStep(S::cpeSearchDevices);
  EXPECT_TRUE(waitTrace("Nenhum equipamento localizado!", 3000));
}
}  // namespace
