#include "app/FrmPrincipal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <climits>
#include <exception>

#include "app/BuildConfig.h"
#include "app/Carrossel.h"
#include "app/ConfLocal.h"
#include "app/Globais.h"
#include "app/Log.h"
#include "app/ShellUi.h"
#include "app/VentraError.h"
#include "protocol/FrameLayout.h"
#include "protocol/VentraLib.h"
#include "update/ServicePackManager.h"
#include "update/UpdateIo.h"
#include "update/VersionManager.h"

namespace {
using S = TTimerControlPrincipalEnum;
using AR = TAfterReconnectionEnum;

constexpr auto kSecAtualizacao = "ATUALIZACAO";
const char *const kMsgSerieDivergente = "Atenção: Número de Série não confere com o último conectado, verifique!";
const char *const kMsgNaoDisponivel = "Função não disponível para esse tipo de equipamento";

class NullMainView final : public IMainView {
 public:
  void Render(const TMainScreen &) override {}
};

QString exceptionText(const std::exception &e) {
  if (auto *v = dynamic_cast<const VentraError *>(&e)) return v->text();
  return QString::fromUtf8(e.what());
}

void info(const QString &text) { ShellUi::get().MessageBox(TMsgKind::Information, text); }
void erro(const QString &text) { ShellUi::get().MessageBox(TMsgKind::Error, text); }

// "major.minor.release.build" from the build's version text.
QString versaoQuatroPartes(const QString &v) {
  QStringList parts = v.split('.', Qt::SkipEmptyParts);
  while (parts.size() < 4) parts << QStringLiteral("0");
  return parts.mid(0, 4).join('.');
}

// Format("%d.%.*d", [a, 2, b])
QString formatoSoftware(int a, int b) { return QStringLiteral("%1.%2").arg(a).arg(b, 2, 10, QLatin1Char('0')); }

TClass_VentraLib &Ventra() { return *TClass_VentraLib::GetInstance(); }
}  // namespace

QString TimerControlName(TTimerControlPrincipalEnum step) {
  static const char *names[] = {
      "cpCarregaConfLocal",      "cpApagaPastasAntigas",     "cpCheckApkAtualizado", "cpLoginServidor",
      "cpGetInfoVentra",         "cpConfereLogAtivado",      "cpEnviaIdeOnline",     "cpCarregaCarrossel",
      "cpLiberaBotoes",          "cpAtualizaFirmware",       "cpFinalizaFirmware",   "cpVerificaArquivosExtras",
      "cpFinalizaArquivosExtras", "cpBaixarLogs",            "cpVerificaEquipAtualizado", "cpInterrompeAtualizacao",
      "cpAtualizaMnu",           "cpFinalizaMnu",            "cpMontaMapaCRC",       "cpAtualizaFileExtra",
      "cpAtual_GetFileSize",     "cpAtual_UpdateFile",       "cpeSearchDevices",     "cpShowMessageToUser"};
  return QString::fromLatin1(names[int(step)]);
}

QString AfterReconnectionName(TAfterReconnectionEnum value) {
  static const char *names[] = {"arNone",         "arFinalizaFirmware", "arFimLogs", "arRetomarAtualizacao",
                                "arRetomarFileExtra", "arFinalizaArquivosExtras"};
  return QString::fromLatin1(names[int(value)]);
}

TfrmPrincipal::TfrmPrincipal(IMainView *view, QObject *parent) : QObject(parent), view_(view) {
  if (!view_) {
    nullView_ = std::make_unique<NullMainView>();
    view_ = nullView_.get();
  }
  tmrControl.setSingleShot(true);
  tmrControl.setInterval(5);
  connect(&tmrControl, &QTimer::timeout, this, &TfrmPrincipal::tmrControlTimer);
  tmrCarrossel.setSingleShot(false);
  connect(&tmrCarrossel, &QTimer::timeout, this, [this] { CarregaImagem(carrosselIndex_ + 1); });
}

TfrmPrincipal::~TfrmPrincipal() {
  tmrControl.stop();
  tmrCarrossel.stop();
  // the device session outlives the window: drop the handlers that point here
  auto &vt = Ventra();
  vt.OnDeviceListReady = nullptr;
  vt.OnDeviceConnected = nullptr;
  vt.OnDeviceDisconnected = nullptr;
  vt.OnDeviceOpened = nullptr;
  vt.OnDeviceClosed = nullptr;
  vt.OnConnectionError = nullptr;
  vt.OnNrSerieDivergente = nullptr;
  vt.OnSerialInvalido = nullptr;
  vt.OnLog = nullptr;
  vt.OnStartProgress = nullptr;
  vt.OnProgress = nullptr;
  try {
    FSPManager.reset();
  } catch (...) {
    info(QStringLiteral("FormDestroy"));
  }
}

// ---------------------------------------------------------------- creation and show

void TfrmPrincipal::FormCreate() {
  EscreveTrace(QStringLiteral("FormCreate TfrmPrincipal"));
  LimpaInfoScanner(true);
  FVersaoAppVerificada = false;
  FVerificouEmpresa = false;
  Globais::IdeOnlineEnviado = false;
  Globais::BaixandoLogs = false;
  Globais::FormPrincipalExibido = false;
  FAfterReconnection = AR::arNone;

  Globais::PathExe = BuildConfig::baseFolder();
  Globais::NomeAplicativo = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  Globais::VersaoAplicativo = versaoQuatroPartes(BuildConfig::programVersion());
  Globais::PathAutoUpdate = Globais::PathExe + QStringLiteral("autoupdate/");
  Globais::PathArquivosExtras = Globais::PathExe + QStringLiteral("files/");
  QDir().mkpath(Globais::PathAutoUpdate);
  QDir().mkpath(Globais::PathArquivosExtras);

  auto &vt = Ventra();
  vt.OnDeviceListReady = [this] { DeviceListReady(); };
  vt.OnDeviceConnected = [this] { DeviceConnected(); };
  vt.OnDeviceDisconnected = [this] { DeviceDisconnected(); };
  vt.OnDeviceOpened = [this] { DeviceOpened(); };
  vt.OnDeviceClosed = [this] { EscreveTrace(QStringLiteral("DeviceClosed")); };
  vt.OnConnectionError = [this] { ConnectionError(); };
  vt.OnNrSerieDivergente = [this] { NrSerieDivergente(); };
  vt.OnSerialInvalido = [this] { SerialInvalido(); };
  vt.OnLog = [this](const QString &t) { EscreveTrace(t); };
  vt.OnStartProgress = [this](qint64 total) { StartProgress(total); };
  vt.OnProgress = [this](qint64 done) { Progress(done); };
  vt.SetHandle();
  // every device-change message passes through the window on its way to the session
  if (auto *w = vt.VentraWatcher()) w->OnDeviceChange = [this](TDeviceChangeMsg &msg) { WMDeviceChange(msg); };

  // There is no minimum system version to refuse on this platform; the trace stays.
  EscreveTrace(QStringLiteral("Obtendo versão do SO"));
  EscreveTrace(QStringLiteral("Versão do SO: ") + QSysInfo::kernelVersion());
}

bool TfrmPrincipal::FormShow() {
  EscreveTrace(QStringLiteral("FormShow TfrmPrincipal"));
  const QString base = Globais::PathExe;
  if (QFile::exists(base + QStringLiteral("debug.txt"))) view_->CriaJanelaDebug();
  try {
    FVersionManager = std::make_unique<TClassVersionManager>(base);
    FVersionManager->SetOnLog([](const QString &t) { ::EscreveTrace(t); });
    if (downloader_) FVersionManager->SetDownloader(downloader_);
    Globais::ServicePackIDE = QString::number(FVersionManager->ServicePackIDE());
  } catch (const std::exception &e) {
    erro(exceptionText(e));
    return false;
  }
  if (Globais::ServicePackIDE == QStringLiteral("-1")) {
    erro(QStringLiteral("Não foi possível obter a versão do Service Pack"));
    return false;
  }
  if (QFile::exists(base + QStringLiteral("debug_serial.txt"))) view_->CriaJanelaDebugSerial();

  tela_.Caption = QStringLiteral("Ventra IDE") + siLang.IDS(38) + Globais::VersaoAplicativo + QStringLiteral(" ") +
                  QSysInfo::prettyProductName();
  if (QFile::exists(base + QStringLiteral("homolog.txt"))) tela_.Caption += QStringLiteral(" - Em Homologação");

  PreparaTelaInicial();
  AplicaIdioma();
  try {
    // the application log lives under the current folder, as the installed program expects
    TClass_Log::GetInstance().Inicializa(QString(), QStringLiteral("log/"), QStringLiteral("info"),
                                         QStringLiteral(".log"));
  } catch (const std::exception &e) {
    EscreveTrace(exceptionText(e));
  }
  Globais::FormPrincipalExibido = true;
  ScheduleStep(S::cpCarregaConfLocal);
  return true;
}

void TfrmPrincipal::FormClose() {
  tmrControl.stop();
  tmrCarrossel.stop();
}

// ---------------------------------------------------------------- step runner

void TfrmPrincipal::ScheduleStep(TTimerControlPrincipalEnum step) {
  FTimerEnum = step;
  tmrControl.start();
}

void TfrmPrincipal::EscreveTrace(const QString &text) { ::EscreveTrace(text); }

void TfrmPrincipal::tmrControlTimer() {
  tmrControl.stop();
  try {
    if (OnAntesDoPasso && OnAntesDoPasso(FTimerEnum)) return;
    RunStep(FTimerEnum);
  } catch (const std::exception &e) {
    EscreveTrace(QStringLiteral("Exceção no TmrControl. Ex: ") + exceptionText(e));
  } catch (...) {
    EscreveTrace(QStringLiteral("Exceção no TmrControl. Ex: "));
  }
}

void TfrmPrincipal::RunStep(TTimerControlPrincipalEnum step) {
  switch (step) {
    case S::cpCarregaConfLocal: CheckConfLocal(); break;
    case S::cpApagaPastasAntigas: ApagaPastasAntigas(); break;
    case S::cpCheckApkAtualizado: CheckApkAtualizado(); break;
    case S::cpLoginServidor:
      if (LoginServidor()) {
        ScheduleStep(S::cpGetInfoVentra);
      } else {
        FMessageToUser = QStringLiteral("Atenção: não foi possível acessao o servidor.");
        ScheduleStep(S::cpShowMessageToUser);
      }
      break;
    case S::cpGetInfoVentra: GetInfoVentra(); break;
    case S::cpConfereLogAtivado: ConfereLogAtivado(); break;
    case S::cpEnviaIdeOnline: EnviaIdeOnline(); break;
    case S::cpCarregaCarrossel: CarregaCarrossel(); break;
    case S::cpLiberaBotoes: LiberaBotoes(); break;
    case S::cpeSearchDevices: SearchDevices(); break;
    case S::cpShowMessageToUser: ShowMessageToUser(); break;
    default: ExecutaPassoAtualizacao(step); break;
  }
}

// ---------------------------------------------------------------- startup steps

void TfrmPrincipal::CheckConfLocal() {
  EscreveTrace(QStringLiteral("00 - CheckConfLocal"));
  try {
    if (!FConfLocal) {
      FConfLocal = &TClassConfLocal::GetInstance();
      FConfLocal->SetOnLog([this](const QString &t) { EscreveTrace(t); });
    }
  } catch (const std::exception &e) {
    EscreveTrace(QStringLiteral("Exeção ao carregar Conf Local. Ex: ") + exceptionText(e));
  }
  ZeraInfoAtualizacao();
  ScheduleStep(S::cpApagaPastasAntigas);
}

void TfrmPrincipal::ApagaPastasAntigas() {
  EscreveTrace(QStringLiteral("01 - ApagaPastasAntigas"));
  ShellUi::get().StatusShowMsg(QStringLiteral("Apagando arquivos desnecessários. Aguarde..."));
  const QString sp = Globais::ServicePackIDE;
  QDir base(Globais::PathExe);
  for (const QFileInfo &fi : base.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
    const QString nome = fi.fileName().toUpper();
    if (fi.isSymLink()) continue;  // never follow a link out of the base folder
    if (nome.startsWith(QStringLiteral("SP")) && nome.mid(2) != sp) QDir(fi.absoluteFilePath()).removeRecursively();
  }
  const QString manter = QStringLiteral("SP") + sp + QStringLiteral(".ZIP");
  for (const QFileInfo &fi : base.entryInfoList(QDir::Files | QDir::Hidden)) {
    if (fi.suffix().toUpper() == QStringLiteral("ZIP") && fi.fileName().toUpper() != manter)
      QFile::remove(fi.absoluteFilePath());
  }
  ShellUi::get().StatusClose();
  ScheduleStep(S::cpeSearchDevices);
}

void TfrmPrincipal::SearchDevices() {
  ShellUi::get().StatusShowMsg(QStringLiteral("Localizando equipamento. Aguarde..."));
  Ventra().ListarPortasCOM();
}

void TfrmPrincipal::CheckApkAtualizado() {
  if (FVersaoAppVerificada) {
    EscreveTrace(QStringLiteral("Versão Exe Correta"));
    ScheduleStep(S::cpLoginServidor);
    return;
  }
  CheckAplicativoAtualizado();
}

bool TfrmPrincipal::DevelopmentUnit() const {
  const auto serie = Ventra().NrSerieReduzido();
  return serie >= 10 && serie <= 99;
}

void TfrmPrincipal::GetInfoVentra() {
  EscreveTrace(QStringLiteral("04 - GetInfoVentra"));
  tela_.bitTermoUsoVisible = false;
  tela_.lblConecte = QStringLiteral("Iniciando comunicação. Aguarde...");
  Render();
  auto &vt = Ventra();
  if (!vt.Connected()) {
    FMessageToUser = QStringLiteral("Atenção: equipamento não está conectado. Verifique!");
    ScheduleStep(S::cpShowMessageToUser);
    return;
  }
  EscreveTrace(QStringLiteral("Pedir Info 72"));
  vt.GetInfo72();
  if (!ConfereIntegridadeFS()) return;
  GetTipoEquip();
  if (!ConfereNrSerie()) return;
  Globais::UUIDScanner = QString::number(qulonglong(vt.Frame()->UUID));
  EscreveTrace(QStringLiteral("UUID: ") + Globais::UUIDScanner);
  GetInfoIdioma();
  GetInfoSP();
  GetInfoFW();
  GravaInfoEquip();
  MostraTelaScannerInfo();
  ScheduleStep(DevelopmentUnit() ? S::cpLiberaBotoes : S::cpConfereLogAtivado);
}

bool TfrmPrincipal::ConfereIntegridadeFS() {
  auto *frame = Ventra().Frame();
  if (frame && frame->FSIntegrity) {
    EscreveTrace(QStringLiteral("Ventra.FSIntegrity"));
    return true;
  }
  info(QStringLiteral("Atenção, verifique integridade do equipamento."));
  ConnectionError();
  return false;
}

QString TfrmPrincipal::NomeModelo(int tipo, bool *valido) {
  static const char *nomes[] = {nullptr,         nullptr,      "Checkline",    "Ventralink V2", "Ventra V3 V3S",
                                "Omnibox 2",     "Ventra RTX", "Ventra Pad",   "Ventra V4",     "Ventra Pad 2",
                                "Ventra V5",     "Ventra Pad 3", "Ventra V5X", "Ventra Pad 3X", "Ventra V6",
                                "Ventra V6S"};
  const bool ok = tipo >= 2 && tipo <= 15;
  if (valido) *valido = ok;
  if (ok) return QString::fromUtf8(nomes[tipo]);
  return QStringLiteral("Tipo inválido %1  (contacte suporte técnico)").arg(tipo);
}

void TfrmPrincipal::GetTipoEquip() {
  EscreveTrace(QStringLiteral("GetTipoEquip"));
  bool valido = false;
  tela_.lblTipoVT = NomeModelo(int(Ventra().TipoEquipamentoEnum()), &valido);
  tela_.lblTipoVTInvalido = !valido;
  Render();
}

bool TfrmPrincipal::ConfereNrSerie() {
  const auto serie = Ventra().NrSerieReduzido();
  tela_.NrSerie = QString::number(serie);
  Render();
  if (DevelopmentUnit()) return true;
  if (serie >= 300001 && serie <= 800000) {
    EscreveTrace(QStringLiteral("NrSerieValido"));
    return true;
  }
  erro(QStringLiteral("Atenção, número de série inválido.\rFeche a aplicação, reinicie o Scanner e tente novamente.\r"
                      "Se a falha permanecer contacte o Suporte Técnico."));
  ConnectionError();
  return false;
}

void TfrmPrincipal::GetInfoIdioma() {
  EscreveTrace(QStringLiteral("GetInfoIdioma"));
  if (Ventra().TipoEquipamentoEnum() == TType_Equipamento::Checkline) {
    tela_.IdiomaVisible = false;
  } else {
    tela_.IdiomaVisible = true;
    const int idioma = Ventra().Frame()->Idioma;
    tela_.cbIdiomaIndex = (idioma >= 0 && idioma < kQtdIdiomas) ? idioma : -1;
    Globais::IndiceIdioma = idioma;
  }
  AplicaIdioma();
}

void TfrmPrincipal::GetInfoSP() {
  EscreveTrace(QStringLiteral("GetInfoSP"));
  auto &vt = Ventra();
  const TFrame *frame = vt.Frame();
  Globais::ServicePackScanner = frame->ServicePack;
  const QString spIde = Globais::ServicePackIDE;
  if (vt.TipoEquipamentoEnum() == TType_Equipamento::Checkline) {
    tela_.lblSP = tela_.lblSPIDE = QStringLiteral("Software:");
    // the Checkline reports its software version beside the service pack (0xAF / 0x72)
    const QString firmware = QString::number(frame->VersaoSW);
    const bool desatualizado = QString::number(frame->ServicePack) != spIde || firmware != QStringLiteral("2");
    tela_.ServicePack = formatoSoftware(frame->ServicePack, frame->VersaoSW) +
                        (desatualizado ? QStringLiteral(" (desatualizado)") : QStringLiteral(" (atualizado)"));
    tela_.SPIDEValue = formatoSoftware(1, 2);
  } else {
    tela_.lblSP = tela_.lblSPIDE = QStringLiteral("Service Pack:");
    tela_.ServicePack = QString::number(frame->ServicePack) +
                        (QString::number(frame->ServicePack) != spIde ? QStringLiteral(" (desatualizado)")
                                                                      : QStringLiteral(" (atualizado)"));
    if (vt.TipoEquipamentoEnum() == TType_Equipamento::VentraV2) Globais::ServicePackIDE = QStringLiteral("108");
    tela_.SPIDEValue = Globais::ServicePackIDE;
  }
  Render();
}

void TfrmPrincipal::GetInfoFW() {
  EscreveTrace(QStringLiteral("GetInfoFW"));
  auto &vt = Ventra();
  const auto *vi = FVersionManager ? FVersionManager->VersionInfo() : nullptr;
  if (vi) {
    QString fw;
    bool conhecido = true;
    switch (vt.TipoEquipamentoEnum()) {
      case TType_Equipamento::Checkline: fw = vi->fw_checkline(); break;
      case TType_Equipamento::VentraV2: fw = vi->fw_v2(); break;
      case TType_Equipamento::VentraV3:
      case TType_Equipamento::Omnibox2:
      case TType_Equipamento::VentraRTX:
      case TType_Equipamento::VentraPad: fw = vi->fw_v3(); break;
      case TType_Equipamento::VentraV4:
      case TType_Equipamento::VentraPad2: fw = vi->fw_v4(); break;
      case TType_Equipamento::VentraV5:
      case TType_Equipamento::VentraPad3:
      case TType_Equipamento::VentraV5X:
      case TType_Equipamento::VentraPad3X: fw = vi->fw_v5(); break;
      case TType_Equipamento::VentraV6: fw = vi->fw_v6(); break;
      case TType_Equipamento::VentraV6S: fw = vi->fw_v6s(); break;
      default: conhecido = false; break;
    }
    if (conhecido) vt.setFirmwareIDE(fw);
  }
  tela_.FirmIDEValue = vt.FirmwareIDE();
  MostraFirmware();
}

void TfrmPrincipal::GravaInfoEquip() {
  if (!FConfLocal) return;
  auto &vt = Ventra();
  FConfLocal->ConfLocal_AddString("EQUIP", "TIPO", tela_.lblTipoVT);
  FConfLocal->ConfLocal_AddString("EQUIP", "UUID", Globais::UUIDScanner);
  FConfLocal->ConfLocal_AddString("EQUIP", "SP", QString::number(Globais::ServicePackScanner));
  FConfLocal->ConfLocal_AddString("EQUIP", "FW", vt.FirmwareVT());
  FConfLocal->ConfLocal_AddString("EQUIP", "IDIOMA", CodigoIdioma(tela_.cbIdiomaIndex));
  FConfLocal->ConfLocal_AddString("APK", "SP", Globais::ServicePackIDE);
  FConfLocal->ConfLocal_AddString("APK", "FW", vt.FirmwareIDE());
  FConfLocal->SaveConfFile();
}

void TfrmPrincipal::MostraTelaScannerInfo() {
  EscreveTrace(QStringLiteral("Mostrar Tela Scanner Info"));
  tela_.bitScannerVisible = true;
  tela_.tbsConectarVisible = false;
  tela_.tbsScannerVisible = true;
  tela_.ActivePage = TPaginaPrincipal::tbsScanner;
  Render();
}

void TfrmPrincipal::CarregaCarrossel() {
  EscreveTrace(QStringLiteral("10 - CarregaCarrossel"));
  try {
    auto &car = TClass_Carrossel::GetInstance();
    const int tipo = int(Ventra().TipoEquipamentoEnum());
    if (!car.ListaImgs().empty()) {
      if (car.CodEquip() != tipo) car.CarregaListaImg(tipo);
    } else {
      const auto baixa = downloader_ ? downloader_ : UpdateIo::DefaultDownload();
      const QString erroDownload =
          baixa(TClass_Carrossel::PastaServidor(), TClass_Carrossel::PastaLocal(), QStringLiteral("mkt.json"));
      if (!erroDownload.isEmpty()) EscreveTrace(erroDownload);
      car.CarregaListaImg(tipo);
    }
    if (!car.ListaImgs().empty()) {
      CarregaImagem(1);
      tmrCarrossel.start();
    }
  } catch (const std::exception &e) {
    EscreveTrace(QStringLiteral("Falha ao carregar carrossel. Ex: ") + exceptionText(e));
  }
  ScheduleStep(S::cpLiberaBotoes);
}

void TfrmPrincipal::CarregaImagem(int index, bool /*forward*/) {
  try {
    auto &car = TClass_Carrossel::GetInstance();
    const int qtd = int(car.ListaImgs().size());
    if (qtd == 0) return;
    if (index > qtd) index = 1;
    if (index <= 0) index = qtd;
    carrosselIndex_ = index;
    const auto it = car.ListaImgs().find(index);
    if (it != car.ListaImgs().end()) {
      car.DownloadImagem(index);
      const QFileInfo fi(it->second.FFileName);
      tela_.imgPropaganda = (fi.exists() && fi.size() > 0) ? fi.absoluteFilePath() : QString();
      if (it->second.FTempo > 0) tmrCarrossel.setInterval(it->second.FTempo);
    }
    tela_.SetasVisiveis = true;
    Render();
  } catch (const std::exception &e) {
    EscreveTrace(QStringLiteral("CarregaImagem. Ex: ") + exceptionText(e));
  }
}

void TfrmPrincipal::imgNextClick() {
  tmrCarrossel.stop();
  CarregaImagem(carrosselIndex_ + 1);
  tmrCarrossel.start();
}

void TfrmPrincipal::imgBackClick() {
  tmrCarrossel.stop();
  CarregaImagem(carrosselIndex_ - 1);
  tmrCarrossel.start();
}

void TfrmPrincipal::LiberaBotoes() {
  EscreveTrace(QStringLiteral("11 - LiberaBotoes"));
  tela_.bitAtualizarVisible = true;
  if (DevelopmentUnit()) {
    tela_.bitAtualizarEnabled = true;
    tela_.bitMeuVentraVisible = false;
  } else if (FVersaoAppVerificada) {
    tela_.bitAtualizarEnabled = true;
    tela_.bitMeuVentraVisible = Ventra().LogTelasHabilitadoApi();
  }
  Render();
  ShellUi::get().StatusClose();
}

void TfrmPrincipal::ShowMessageToUser() {
  EscreveTrace(QStringLiteral("ShowMessageToUser"));
  ShellUi::get().StatusClose();
  info(FMessageToUser);
}

// ---------------------------------------------------------------- window operations

void TfrmPrincipal::Render() { view_->Render(tela_); }

void TfrmPrincipal::MostraFirmware() {
  auto &vt = Ventra();
  vt.GetInfo72();
  tela_.Firmware = vt.FirmwareVT() +
                   (vt.FirmwareAtualizado() ? QStringLiteral(" (atualizado)") : QStringLiteral(" (desatualizado)"));
  Render();
}

void TfrmPrincipal::CancelaAtualizacao() {
  if (!FConfLocal) return;
  FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "CANCELADO", true);
  FConfLocal->SaveConfFile();
}

bool TfrmPrincipal::AtualizacaoCancelada() {
  return FConfLocal ? FConfLocal->ConfLocal_ReadBoolean(kSecAtualizacao, "CANCELADO", true) : true;
}

void TfrmPrincipal::LimpaInfoScanner(bool limpaIdioma) {
  EscreveTrace(QStringLiteral("LimpaInfoScanner"));
  tela_.lblTipoVT.clear();
  tela_.lblTipoVTInvalido = false;
  tela_.NrSerie.clear();
  tela_.ServicePack.clear();
  tela_.Firmware.clear();
  tela_.ProgressoTexto.clear();
  tela_.TempoDecorrido.clear();
  tela_.SPIDEValue.clear();
  tela_.FirmIDEValue.clear();
  if (limpaIdioma) tela_.cbIdiomaIndex = -1;
  Render();
}

void TfrmPrincipal::PreparaTelaInicial() {
  EscreveTrace(QStringLiteral("PreparaTelaInicial"));
  tela_.lblConecte = QStringLiteral(
      "Conecte agora seu equipamento no computador para ter acesso às funcionalidades do Ventra IDE.");
  tela_.tbsConectarVisible = true;
  tela_.bitScannerVisible = false;
  tela_.tbsScannerVisible = false;
  tela_.bitAtualizarVisible = false;
  tela_.bitAtualizarEnabled = false;
  tela_.bitCancelaAtualizacaoVisible = false;
  tela_.bitMeuVentraVisible = false;
  tela_.tbsMeuVentraVisible = false;
  tela_.ActivePage = TPaginaPrincipal::tbsConectar;
  LimpaInfoScanner(true);
}

void TfrmPrincipal::AplicaIdioma() {
  const int idx = Globais::IndiceIdioma;
  if (idx < 0 || idx >= kQtdIdiomas) return;
  siLang.SetActiveLanguage(idx);
  tela_.Idioma = idx;
  tela_.cbIdiomaIndex = idx;
  ShellUi::get().AplicaIdioma(idx);
  Render();
}

void TfrmPrincipal::IniciaInfoAtualizacao(const QString &origem) {
  if (!FConfLocal) return;
  FConfLocal->ConfLocal_AddString(kSecAtualizacao, "ORIGEM", origem);
  FConfLocal->ConfLocal_AddString(kSecAtualizacao, "START_DT", QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
  FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "EM_ATUALIZACAO", true);
  FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "DESCONECTADO", false);
  FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "CANCELADO", false);
  FConfLocal->ConfLocal_AddString(kSecAtualizacao, "FILE_NAME", QString());
  FConfLocal->ConfLocal_AddString(kSecAtualizacao, "FILE_CRC", QString());
}

void TfrmPrincipal::ZeraContadores() {
  if (!FConfLocal) return;
  for (const char *k : {"LAST_INDEX", "LAST_CRC_SAVED", "ERROR_COUNT", "SUCCESS_COUNT", "UPDATE_CRC_COUNT", "FILE_SIZE"})
    FConfLocal->ConfLocal_AddInteger(kSecAtualizacao, k, 0);
}

void TfrmPrincipal::ZeraInfoAtualizacao() {
  EscreveTrace(QStringLiteral("ZeraInfoAtualizacao"));
  IniciaInfoAtualizacao(QString());
  ZeraContadores();
}

// ---------------------------------------------------------------- device events

void TfrmPrincipal::DeviceListReady() {
  auto &vt = Ventra();
  const auto &portas = vt.ListaPortas();
  EscreveTrace(QStringLiteral("DeviceListReady - Qtd dispositivos encontrados: ") + QString::number(portas.size()));
  if (portas.size() >= 2) {
    info(QStringLiteral("Atenção, mais de um equipamento localizado, verifique!"));
    return;
  }
  if (portas.size() == 1) {
    const QString porta = portas.front()->COM_NAME();
    if (vt.OpenConnection(porta)) {
      vt.CheckSerial();
    } else {
      info(QStringLiteral("Atenção, falha de conexão com a porta ") + porta + QStringLiteral(", verifique!"));
    }
    return;
  }
  ShellUi::get().StatusClose();
  EscreveTrace(QStringLiteral("Nenhum equipamento localizado!"));
}

void TfrmPrincipal::DeviceConnected() {
  EscreveTrace(QStringLiteral("DeviceConnected"));
  ScheduleStep(S::cpeSearchDevices);
}

void TfrmPrincipal::DeviceDisconnected() {
  EscreveTrace(QStringLiteral("Device disconnected!"));
  if (Globais::BaixandoLogs) return;
  if (FAfterReconnection != AR::arNone) {
    EscreveTrace(QStringLiteral("FAfterReconnection: ") + AfterReconnectionName(FAfterReconnection));
    if (FConfLocal && FConfLocal->ConfLocal_ReadBoolean(kSecAtualizacao, "EM_ATUALIZACAO", false)) {
      FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "DESCONECTADO", true);
      FConfLocal->SaveConfFile();
    }
    return;
  }
  EscreveTrace(QStringLiteral("FAfterReconnection: nulo"));
  ShellUi::get().StatusClose();
  PreparaTelaInicial();
}

void TfrmPrincipal::ConnectionError() {
  EscreveTrace(QStringLiteral("ConnectionError"));
  ShellUi::get().StatusClose();
  PreparaTelaInicial();
  info(QStringLiteral("Atenção: falha de conexão. Tente reiniciar o equipamento e, se necessário, \r"
                      "desconecte e reconecte o cabo na porta serial/usb."));
}

void TfrmPrincipal::NrSerieDivergente() {
  EscreveTrace(QStringLiteral("NrSerieDivergente"));
  ShellUi::get().StatusClose();
  PreparaTelaInicial();
  FMessageToUser = QString::fromUtf8(kMsgSerieDivergente);
  ScheduleStep(S::cpShowMessageToUser);
}

void TfrmPrincipal::SerialInvalido() {
  ShellUi::get().StatusClose();
  info(QStringLiteral("Atenção, não foi possível ler o número de série.\r\r"
                      "Reinicie o equipamento e tente novamente ou ligue para o Suporte Técnico."));
}

void TfrmPrincipal::WMDeviceChange(TDeviceChangeMsg &msg) {
  EscreveTrace(QStringLiteral("WMDeviceChange - frmPrincipal"));
  Ventra().OnDeviceChanged(msg);
  if (!Ventra().FlagConnected()) {
    ShellUi::get().StatusShowMsg(QStringLiteral("Desconexão detectada. Aguarde..."));
    if (FConfLocal) {
      FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "DESCONECTADO", true);
      FConfLocal->SaveConfFile();
    }
  }
}

void TfrmPrincipal::StartProgress(qint64 total) {
  if (FConfLocal) {
    FConfLocal->ConfLocal_AddString(kSecAtualizacao, "START_DT", QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    FConfLocal->SaveConfFile();
  }
  tela_.PBK22.Max = int(std::min<qint64>(total, INT_MAX));
  Render();
}

void TfrmPrincipal::Progress(qint64 done) {
  tela_.PBK22.Position = int(std::min<qint64>(done, INT_MAX));
  Render();
}

void TfrmPrincipal::CriaSPManager() {
  if (FSPManager) return;
  const auto serie = Ventra().NrSerieReduzido();
  FSPManager = std::make_unique<TClassServicePackManager>(Globais::PathExe, Globais::PathExe + QStringLiteral("vt/"),
                                                          Globais::ServicePackIDE,
                                                          QStringLiteral("%1").arg(serie, 6, 10, QLatin1Char('0')));
  FSPManager->SetOnLog([this](const QString &t) { EscreveTrace(t); });
  if (downloader_) FSPManager->SetDownloader(downloader_);
  FSPManager->LoadCrcControl();
}

void TfrmPrincipal::DeviceOpened() {
  auto &vt = Ventra();
  const auto serie = vt.NrSerieReduzido();
  EscreveTrace(QStringLiteral("DeviceOpened - Serial: ") + QString::number(serie) + QStringLiteral(" - ") +
               (vt.SerialObj() ? vt.SerialObj()->PortaConectada() : QString()));
  ShellUi::get().StatusClose();
  if (FConfLocal) {
    FConfLocal->ConfLocal_AddString("CONECTION", "COM_PORT", vt.SerialObj() ? vt.SerialObj()->PortaConectada() : QString());
    FConfLocal->ConfLocal_AddString("EQUIP", "NR_SERIE", QString::number(serie));
    FConfLocal->SaveConfFile();
  }
  try {
    CriaSPManager();
  } catch (const std::exception &e) {
    // the program's general error handler: shown in the standard error box
    FSPManager.reset();
    erro(exceptionText(e));
    return;
  }
  if (serie != vt.LastSerial()) {
    FMessageToUser = QString::fromUtf8(kMsgSerieDivergente);
    ScheduleStep(S::cpShowMessageToUser);
    return;
  }
  switch (FAfterReconnection) {
    case AR::arNone: ScheduleStep(S::cpCheckApkAtualizado); break;
    case AR::arFinalizaFirmware:
      FAfterReconnection = AR::arNone;
      MostraFirmware();
      ScheduleStep(S::cpFinalizaFirmware);
      break;
    case AR::arFimLogs:
      Globais::BaixandoLogs = false;
      FAfterReconnection = AR::arNone;
      ScheduleStep(S::cpVerificaEquipAtualizado);
      break;
    case AR::arRetomarAtualizacao: RetomaAtualizacao(S::cpAtual_GetFileSize); break;
    case AR::arRetomarFileExtra: RetomaAtualizacao(S::cpAtualizaFileExtra); break;
    case AR::arFinalizaArquivosExtras:
      FAfterReconnection = AR::arNone;
      MostraFirmware();
      ScheduleStep(S::cpFinalizaArquivosExtras);
      break;
  }
}

void TfrmPrincipal::RetomaAtualizacao(TTimerControlPrincipalEnum next) {
  if (FConfLocal) {
    FConfLocal->ConfLocal_AddBoolean(kSecAtualizacao, "DESCONECTADO", false);
    const int salvo = FConfLocal->ConfLocal_ReadInteger(kSecAtualizacao, "LAST_CRC_SAVED", 0);
    if (salvo > 0) FConfLocal->ConfLocal_AddInteger(kSecAtualizacao, "LAST_INDEX", salvo - 1);
    FConfLocal->SaveConfFile();
  }
  ScheduleStep(next);
}

// ---------------------------------------------------------------- actions and keys

void TfrmPrincipal::KeyDown(int key) {
  switch (key) {
    case Qt::Key_F2: acBtnScanner(); break;
    case Qt::Key_F5: acBtnMeuVentra(); break;
    case Qt::Key_F6:
      if (tela_.bitAtualizarVisible) acBtnAtualizar();
      else if (tela_.bitCancelaAtualizacaoVisible) acCancelaAtualizacao();
      break;
    case Qt::Key_F8:
      if (tela_.ActivePage != TPaginaPrincipal::tbsScanner) {
        tela_.ActivePage = TPaginaPrincipal::tbsScanner;
        Render();
      }
      acnTermoUso();
      break;
    default: break;
  }
}

void TfrmPrincipal::acBtnScanner() {
  tela_.tbsConectarVisible = false;
  tela_.tbsMeuVentraVisible = false;
  tela_.tbsScannerVisible = true;
  tela_.ActivePage = TPaginaPrincipal::tbsScanner;
  Render();
}

void TfrmPrincipal::acBtnMeuVentra() {
  if (!tela_.bitMeuVentraVisible) return;
  const auto tipo = Ventra().TipoEquipamentoEnum();
  if (tipo == TType_Equipamento::Checkline || tipo == TType_Equipamento::VentraV2 || DevelopmentUnit()) {
    erro(QString::fromUtf8(kMsgNaoDisponivel));
    return;
  }
  view_->ShowMeuVentra();
}

void TfrmPrincipal::acBtnAtualizar() {
  if (!tela_.bitAtualizarVisible || !tela_.bitAtualizarEnabled) return;
  const int tipo = int(Ventra().TipoEquipamentoEnum());
  if (tipo < int(TType_Equipamento::Checkline) || tipo > int(TType_Equipamento::VentraV6S)) return;
  IniciaAtualizacao();
}

void TfrmPrincipal::acCancelaAtualizacao() {
  if (!tela_.bitCancelaAtualizacaoVisible) return;
  CancelaAtualizacao();
}

void TfrmPrincipal::acnTermoUso() {
  if (!tela_.bitTermoUsoVisible) return;
  if (DevelopmentUnit()) {
    erro(QString::fromUtf8(kMsgNaoDisponivel));
    return;
  }
  ConferePoliticaDeUso(true);
}

void TfrmPrincipal::acnCriaNovoCRC() { IniciaMapaCRC(); }

void TfrmPrincipal::acnObterErrosCRC() { ObterErrosCRC(); }

void TfrmPrincipal::cbIdiomaSelect(int index) {
  auto &vt = Ventra();
  if (vt.NrSerieReduzido() != 0 && vt.Connected()) {
    TFrame *frame = vt.Frame();
    TSerial *serial = vt.SerialObj();
    frame->cmd = FrameLayout::Cmd::SetLanguage;
    frame->Idioma = uint8_t(index);
    frame->Build();
    serial->PurgeAll();
    serial->Write(frame->Frame);
    frame->setFrameSize(260);
    if (serial->ReadFrame(frame->Frame, 10000)) frame->Parse();
    vt.GetInfo72();
    const int idioma = frame->Idioma;
    tela_.cbIdiomaIndex = idioma;
    Globais::IndiceIdioma = idioma;
    siLang.SetActiveLanguage(idioma);
    info(siLang.IDS(64));
  }
  AplicaIdioma();
  LimpaInfoScanner(true);
  EscreveTrace(QStringLiteral("cbIdiomaSelect"));
  vt.ResetFisico();
}

void TfrmPrincipal::imgLogoBrixClick(bool rightCtrlHeld, bool rHeld, bool fHeld) {
  auto &vt = Ventra();
  if (rightCtrlHeld) {
    view_->ShowPersonaliza();
    tela_.lblConecte = QStringLiteral("Reinicie seu equipamento.");
    Render();
  } else if (rHeld) {
    if (vt.Connected()) {
      TFrame *frame = vt.Frame();
      frame->cmd = FrameLayout::Cmd::Reset;
      frame->Build();
      vt.SerialObj()->Write(frame->Frame);
    }
  } else if (fHeld) {
    if (vt.Connected()) {
      TFrame *frame = vt.Frame();
      frame->cmd = FrameLayout::Cmd::SubCommand;
      frame->SubComandoAF = 1;
      frame->Build();
      vt.SerialObj()->PurgeAll();
      vt.SerialObj()->Write(frame->Frame);
      QByteArray reply;
      vt.SerialObj()->ReadFrame(reply, 3000);
    }
  }
}

void TfrmPrincipal::imgPropagandaClick() {
  auto &car = TClass_Carrossel::GetInstance();
  const auto it = car.ListaImgs().find(carrosselIndex_);
  if (it != car.ListaImgs().end()) {
    view_->OpenUrl(it->second.FUrl);
    ClickPropaganda(QFileInfo(it->second.FFileName).fileName());
  } else {
    view_->OpenUrl(BuildConfig::value("HOME_PAGE"));
  }
}

QString TfrmPrincipal::ObtemArquivoCRC(const QString &folder, QStringList &linhas) {
  auto &vt = Ventra();
  const QString serie = QStringLiteral("%1").arg(vt.NrSerieReduzido(), 6, 10, QLatin1Char('0'));
  const QString nome = QStringLiteral("C") + serie + QStringLiteral(".BIN");
  QDir().mkpath(folder);
  QString erroTexto;
  if (!vt.GetFileToFolder(folder, nome, erroTexto))
    return erroTexto.isEmpty() ? QStringLiteral("Erro ao obter arquivo") : erroTexto;
  if (QFile::exists(folder + nome)) {
    linhas.clear();
    TClassServicePackManager leitor(Globais::PathExe, folder, Globais::ServicePackIDE, serie);
    leitor.CrcManagerVT().LoadCrcFileContent();
    for (const auto &r : leitor.CrcManagerVT().Lista())
      if (!r->DT_Write().isEmpty()) linhas << r->DT_Write() + QStringLiteral(": ") + r->Fn();
  }
  return QStringLiteral("Obtido com sucesso");
}
