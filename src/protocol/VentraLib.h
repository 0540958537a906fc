#pragma once
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "protocol/EquipmentType.h"
#include "protocol/Frame.h"
#include "transport/Serial.h"
#include "transport/UsbInfo.h"
#include "transport/UsbWatcher.h"

class QTimer;

// The session's deferred events, in ordinal order.
enum class TTimerVtEnum {
  vtReportDevicesListReady,
  vtCheckNrSerie,
  vtCheckInfo72,
  vtReportConnected,
  vtReportDisconnected,
  vtReportOpened,
  vtReportClosed,
  vtReportConnectionError,
  vtSerialInvalido,
  vtNrSerieDivergente,
};

// The device session: the one serial port and frame codec of the process, the candidate
// ports, the hot-plug watcher, the scanner's identification and its file operations.
// Every event is deferred through a 100 ms single-shot timer with one pending slot, so
// handlers always run from the message loop, never inside the operation that caused them.
class TClass_VentraLib : public QObject {
 public:
  static TClass_VentraLib *GetInstance();
  static void FreeInstance();
  static bool InstanceExists();
  ~TClass_VentraLib() override;

  // Creates the hot-plug watcher on the first call (the window handle is not needed here).
  void SetHandle(uintptr_t hnd = 0);
  // The main window passes every device-change message here; forwarded to the watcher.
  void OnDeviceChanged(TDeviceChangeMsg &msg);
  TClassUsbWatcher *VentraWatcher() const { return FVentraWatcher.get(); }

  // Events, raised only from the timer.
  std::function<void()> OnDeviceListReady;
  std::function<void()> OnDeviceConnected;
  std::function<void()> OnDeviceDisconnected;
  std::function<void()> OnDeviceOpened;
  std::function<void()> OnDeviceClosed;
  std::function<void()> OnConnectionError;
  std::function<void()> OnSerialInvalido;
  std::function<void()> OnNrSerieDivergente;
  std::function<void(const QString &)> OnLog;
  std::function<void(qint64)> OnProgress;
  std::function<void(qint64)> OnStartProgress;

  // Connection
  void ListarPortasCOM();
  // Throws VentraError "Objeto Serial não existe." without the port object and
  // "nome de porta inválido." for an empty name.
  bool OpenConnection(const QString &comName);
  void CheckSerial();
  void CloseConnection();
  // Identification exchange (0x72, and 0xAF/0x72 for a Checkline). Throws VentraError
  // "Objeto Ventra não existe" without the shared frame.
  void GetInfo72();

  // Device settings
  void ResetFisico();
  // Hour = variacaoUTC + hora; an hour pushed outside 0..23 moves the date, so the scanner
  // always receives a valid date and time. Texts that do not form a date are not sent.
  void V4_GravaDataHora(int variacaoUTC, const QString &dia, const QString &mes, const QString &ano,
                        const QString &hora, const QString &minuto, const QString &segundo);
  void HabilitaLogTelas(bool value);
  bool LogTelasHabilitado();

  // File transfer
  uint32_t GetFileSize(const QString &fileName);
  uint64_t GetCrcFromFile(const QString &fileName, qint64 fileSize);
  bool GravaArquivo(const QString &path, const QString &fileName);
  // path must end with a separator; the file is saved as path + fileName only when every
  // block was read and verified.
  bool GetFileToFolder(const QString &path, const QString &fileName, QString &error);
  void ApagarArquivo(const QString &fileName);

  // Properties
  bool Connected() const;
  bool FlagConnected() const;
  TSerial *SerialObj() const { return FSerial.get(); }
  TFrame *Frame() const { return FFrame.get(); }
  const TListaPortas &ListaPortas() const { return FListaPortas; }
  uint32_t LastSerial() const { return FLastSerialNumber; }
  uint32_t NrSerieReduzido() const;
  bool EmBootloader() const { return FEmBootloader; }
  TType_Equipamento TipoEquipamentoEnum() const;
  QString TipoEquipamentoStr() const { return ::TipoEquipamentoStr(TipoEquipamentoEnum()); }
  QString FirmwareVT() const;
  int FirmwareVTAsInt() const;
  const QString &FirmwareIDE() const { return FFirmwareIDE; }
  void setFirmwareIDE(const QString &v) { FFirmwareIDE = v; }
  bool FirmwareAtualizado() const;
  bool V3Family() const { return family() == TEquipFamily::V3Family; }
  bool V4Family() const { return family() == TEquipFamily::V4Family; }
  bool V5Family() const { return family() == TEquipFamily::V5Family; }
  bool V6Family() const { return family() == TEquipFamily::V6Family; }
  bool EquipComLogs() const { return EquipmentInfo(TipoEquipamentoEnum()).comLogs; }
  bool EquipUpperV3andCheckline() const { return EquipmentInfo(TipoEquipamentoEnum()).upperV3AndCheckline; }
  bool LogTelasHabilitadoApi() const { return FLogTelasHabilitadoApi; }
  void setLogTelasHabilitadoApi(bool v) { FLogTelasHabilitadoApi = v; }

  // The pending deferred event, when the timer is armed.
  bool EventoPendente() const;
  TTimerVtEnum EventoAgendado() const { return FTimerEnum; }

  // Waits ms milliseconds while letting pending events run.
  static void EsperaMs(int ms);
  // Reply time-out of a CRC request for a file of the given size.
  static int CrcTimeoutFor(qint64 fileSize);

  static constexpr int kBlockSize = 4096;
  static constexpr int kPieceSize = 128;
  static constexpr int kWriteRetries = 3;
  static constexpr int kProgressStep = 16384;
  static constexpr int kBlockTrailer = 20;
  static constexpr int kBlockTimeoutMs = 2000;
  // How long a write waits for a link reported down before giving up.
  static constexpr int kLinkDownWaitMs = 2000;
  static constexpr int kSerialRequests = 13;
  static constexpr int kSerialRetryMs = 500;

 private:
  TClass_VentraLib();
  void CriaObjetos();
  void ScheduleEvent(TTimerVtEnum e);
  void TimerControlTimer();
  void DoLog(const QString &s);
  void raise(const std::function<void()> &ev);
  void CloseConnectionNoTrigger();
  void closeShared(const QString &label);
  void ConnectionError();
  void SerialInvalido();
  void NrSerieDivergente();
  void CheckNrSerie();
  void CheckInfo72();
  bool SolicitaNrSerie();
  void OnWatcherConnected();
  void OnWatcherDisconnected();
  TEquipFamily family() const { return EquipmentInfo(TipoEquipamentoEnum()).family; }
  bool portOpen() const { return FSerial && FSerial->Connected(); }
  // Open and not hung up: the state a write may go on in.
  bool linkUp() const { return portOpen() && !FSerial->DeviceGone() && FlagConnected(); }
  bool sendRequest();
  void readReply(int timeoutMs);
  bool readBlock(const QString &fileName, uint32_t pos, uint32_t len, QByteArray &content);

  uintptr_t FHandle = 0;
  std::unique_ptr<TClassUsbWatcher> FVentraWatcher;
  TListaPortas FListaPortas;
  uint32_t FLastSerialNumber = 0;
  bool FEmBootloader = false;
  QTimer *FTimerControl = nullptr;  // child of this object
  TTimerVtEnum FTimerEnum = TTimerVtEnum::vtReportDevicesListReady;
  QString FFirmwareIDE;
  bool FLogTelasHabilitadoApi = false;
  std::unique_ptr<TSerial> FSerial;
  std::unique_ptr<TFrame> FFrame;
};
