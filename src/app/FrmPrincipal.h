#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/Idiomas.h"
#include "app/MainView.h"
#include "protocol/EquipmentType.h"
#include "transport/UsbWatcher.h"
#include "update/UpdateIo.h"

class TClassConfLocal;
class TClassServicePackManager;
class TClassVersionManager;

// The steps of the main window's step runner, in declaration order.
enum class TTimerControlPrincipalEnum {
  cpCarregaConfLocal,
  cpApagaPastasAntigas,
  cpCheckApkAtualizado,
  cpLoginServidor,
  cpGetInfoVentra,
  cpConfereLogAtivado,
  cpEnviaIdeOnline,
  cpCarregaCarrossel,
  cpLiberaBotoes,
  cpAtualizaFirmware,
  cpFinalizaFirmware,
  cpVerificaArquivosExtras,
  cpFinalizaArquivosExtras,
  cpBaixarLogs,
  cpVerificaEquipAtualizado,
  cpInterrompeAtualizacao,
  cpAtualizaMnu,
  cpFinalizaMnu,
  cpMontaMapaCRC,
  cpAtualizaFileExtra,
  cpAtual_GetFileSize,
  cpAtual_UpdateFile,
  cpeSearchDevices,
  cpShowMessageToUser,
};

// What the next opening of the same scanner continues.
enum class TAfterReconnectionEnum {
  arNone,
  arFinalizaFirmware,
  arFimLogs,
  arRetomarAtualizacao,
  arRetomarFileExtra,
  arFinalizaArquivosExtras,
};

QString TimerControlName(TTimerControlPrincipalEnum step);
QString AfterReconnectionName(TAfterReconnectionEnum value);

// The main window's logic without widgets: the step runner, the startup sequence, the device
// event handlers and the state of every component the window shows (TMainScreen). A view draws
// that state; tests run it under QCoreApplication with no view at all.
class TfrmPrincipal : public QObject {
  Q_OBJECT
 public:
  explicit TfrmPrincipal(IMainView *view = nullptr, QObject *parent = nullptr);
  ~TfrmPrincipal() override;

  // Window life: creation, show (false: the program must end, the reason was shown), close.
  void FormCreate();
  bool FormShow();
  void FormClose();

  // Step runner.
  void ScheduleStep(TTimerControlPrincipalEnum step);
  TTimerControlPrincipalEnum TimerEnum() const { return FTimerEnum; }
  bool StepPending() const { return tmrControl.isActive(); }
  void EscreveTrace(const QString &text);
  // Called as the runner fires, before the step runs; a handler that returns true takes the
  // step over (diagnostics and tests watch the chain this way).
  std::function<bool(TTimerControlPrincipalEnum)> OnAntesDoPasso;

  // Operations the update, log and server steps use.
  void ShowMessageToUser();
  void MostraFirmware();
  void CancelaAtualizacao();
  bool AtualizacaoCancelada();
  void LimpaInfoScanner(bool limpaIdioma);
  void PreparaTelaInicial();
  void AplicaIdioma();
  void IniciaInfoAtualizacao(const QString &origem);
  void ZeraContadores();
  void ZeraInfoAtualizacao();
  void Render();  // hands the screen state to the view

  // User actions and keys.
  void KeyDown(int key);  // Qt::Key_F2, F5, F6, F8
  void acBtnScanner();
  void acBtnMeuVentra();
  void acBtnAtualizar();
  void acCancelaAtualizacao();
  void acnTermoUso();
  void acnCriaNovoCRC();
  void acnObterErrosCRC();
  void cbIdiomaSelect(int index);
  void imgLogoBrixClick(bool rightCtrlHeld, bool rHeld, bool fHeld);
  void imgNextClick();
  void imgBackClick();
  void imgPropagandaClick();
  // Service window: copies the scanner's CRC control file into folder and lists its written
  // records ("write time: name"); the returned text is the message to show.
  QString ObtemArquivoCRC(const QString &folder, QStringList &linhas);

  // Device-change message seen by the window on its way to the session (udev or the
  // virtual-device folder).
  void WMDeviceChange(TDeviceChangeMsg &msg);
  // Replaces the file download of the version record, the service pack and the carousel list
  // (default: the program's download window).
  void SetDownloader(UpdateIo::TDownloadFn fn) { downloader_ = std::move(fn); }

  // State.
  TMainScreen &Tela() { return tela_; }
  const TMainScreen &Tela() const { return tela_; }
  TsiLang siLang;
  TAfterReconnectionEnum FAfterReconnection = TAfterReconnectionEnum::arNone;
  QString FMessageToUser;
  bool FVersaoAppVerificada = false;
  bool FVerificouEmpresa = false;
  TClassConfLocal *ConfLocal() const { return FConfLocal; }
  TClassServicePackManager *SPManager() const { return FSPManager.get(); }
  TClassVersionManager *VersionManager() const { return FVersionManager.get(); }
  bool DevelopmentUnit() const;  // serial 10..99
  int CarrosselIndex() const { return carrosselIndex_; }
  bool CarrosselAtivo() const { return tmrCarrossel.isActive(); }

  // Model label for a type ("Tipo inválido N  (contacte suporte técnico)" outside the table).
  static QString NomeModelo(int tipo, bool *valido = nullptr);

 signals:
  // The view closes itself and the program ends.
  void EncerrarAplicacao();

 private:
  void tmrControlTimer();
  void RunStep(TTimerControlPrincipalEnum step);
  // startup steps
  void CheckConfLocal();
  void ApagaPastasAntigas();
  void SearchDevices();
  void CheckApkAtualizado();
  void GetInfoVentra();
  void CarregaCarrossel();
  void LiberaBotoes();
  bool ConfereIntegridadeFS();
  void GetTipoEquip();
  bool ConfereNrSerie();
  void GetInfoIdioma();
  void GetInfoSP();
  void GetInfoFW();
  void GravaInfoEquip();
  void MostraTelaScannerInfo();
  void CriaSPManager();
  void RetomaAtualizacao(TTimerControlPrincipalEnum next);
  void CarregaImagem(int index, bool forward = true);
  // device events
  void DeviceListReady();
  void DeviceConnected();
  void DeviceDisconnected();
  void DeviceOpened();
  void ConnectionError();
  void NrSerieDivergente();
  void SerialInvalido();
  void StartProgress(qint64 total);
  void Progress(qint64 done);

  // Work of later issues; FrmPrincipalPendentes.cpp holds the pass-through versions.
  void CheckAplicativoAtualizado();  // 02: self-update check
  bool LoginServidor();              // 03: back-office login
  void ConfereLogAtivado();          // 06: log switch, terms of use
  void EnviaIdeOnline();             // 07: program-online report, registration
  void IniciaAtualizacao();          // body of acBtnAtualizar (update driver)
  void IniciaMapaCRC();              // body of acnCriaNovoCRC
  void ObterErrosCRC();              // body of acnObterErrosCRC
  void ConferePoliticaDeUso(bool mostraJanela);
  void ClickPropaganda(const QString &imagem);  // portal report of a carousel click
  bool ExecutaPassoAtualizacao(TTimerControlPrincipalEnum step);  // firmware, update, log steps

  IMainView *view_;
  std::unique_ptr<IMainView> nullView_;
  TMainScreen tela_;
  QTimer tmrControl;
  QTimer tmrCarrossel;
  TTimerControlPrincipalEnum FTimerEnum = TTimerControlPrincipalEnum::cpCarregaConfLocal;
  TClassConfLocal *FConfLocal = nullptr;
  std::unique_ptr<TClassServicePackManager> FSPManager;
  std::unique_ptr<TClassVersionManager> FVersionManager;
  UpdateIo::TDownloadFn downloader_;
  int carrosselIndex_ = 0;
};
