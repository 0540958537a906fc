#include "protocol/VentraLib.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

#include "app/BuildConfig.h"
#include "app/VentraError.h"
#include "protocol/Crc64.h"
#include "protocol/FrameLayout.h"

using namespace FrameLayout;

namespace {
std::unique_ptr<TClass_VentraLib> &instanceSlot() {
  static std::unique_ptr<TClass_VentraLib> slot;
  return slot;
}

void sleepMs(int ms) { QThread::msleep(ulong(std::max(ms, 0))); }

// Type codes whose scanners keep the screen-log switch file.
bool aceitaLogTelas(int code) { return code == 2 || code == 4 || code == 8 || (code >= 10 && code <= 15); }
}  // namespace

TClass_VentraLib *TClass_VentraLib::GetInstance() {
  auto &slot = instanceSlot();
  if (!slot) slot.reset(new TClass_VentraLib());
  return slot.get();
}

void TClass_VentraLib::FreeInstance() { instanceSlot().reset(); }

bool TClass_VentraLib::InstanceExists() { return instanceSlot() != nullptr; }

TClass_VentraLib::TClass_VentraLib() { CriaObjetos(); }

TClass_VentraLib::~TClass_VentraLib() {
  OnDeviceListReady = OnDeviceConnected = OnDeviceDisconnected = OnDeviceOpened = OnDeviceClosed = nullptr;
  OnConnectionError = OnSerialInvalido = OnNrSerieDivergente = nullptr;
  OnLog = nullptr;
  OnProgress = OnStartProgress = nullptr;
  if (FTimerControl) FTimerControl->stop();
  if (FSerial) FSerial->Close();
  FSerial.reset();
  FFrame.reset();
  FListaPortas.clear();
  FVentraWatcher.reset();
}

void TClass_VentraLib::CriaObjetos() {
  if (!FSerial) {
    FSerial = std::make_unique<TSerial>();
    FSerial->Debug = DebugSerialAtivo();
  }
  if (!FFrame) {
    FFrame = std::make_unique<TFrame>();
    FFrame->ValidaFrame = false;
  }
  if (!FTimerControl) {
    FTimerControl = new QTimer(this);
    FTimerControl->setSingleShot(true);
    FTimerControl->setInterval(100);
    connect(FTimerControl, &QTimer::timeout, this, [this] { TimerControlTimer(); });
  }
}

void TClass_VentraLib::SetHandle(uintptr_t hnd) {
  FHandle = hnd;
  if (FVentraWatcher) return;
  FVentraWatcher = std::make_unique<TClassUsbWatcher>(hnd);
  FVentraWatcher->OnVentraConnected = [this] { OnWatcherConnected(); };
  FVentraWatcher->OnVentraDisconected = [this] { OnWatcherDisconnected(); };
  FVentraWatcher->OnLog = [this](const QString &s) { DoLog(s); };
}

void TClass_VentraLib::OnDeviceChanged(TDeviceChangeMsg &msg) {
  if (FVentraWatcher) FVentraWatcher->WMDeviceChange(msg);
}

void TClass_VentraLib::DoLog(const QString &s) {
  if (OnLog) OnLog(s);
}

void TClass_VentraLib::raise(const std::function<void()> &ev) {
  // a copy: the handler may replace the event property while it runs
  const std::function<void()> handler = ev;
  if (handler) handler();
}

// ---- deferred events ----

void TClass_VentraLib::ScheduleEvent(TTimerVtEnum e) {
  FTimerEnum = e;
  if (FTimerControl) FTimerControl->start();
}

bool TClass_VentraLib::EventoPendente() const { return FTimerControl && FTimerControl->isActive(); }

void TClass_VentraLib::TimerControlTimer() {
  FTimerControl->stop();
  // Handlers can start long exchanges; an exception must not escape into the event loop.
  try {
    switch (FTimerEnum) {
      case TTimerVtEnum::vtReportDevicesListReady: raise(OnDeviceListReady); break;
      case TTimerVtEnum::vtCheckNrSerie: CheckNrSerie(); break;
      case TTimerVtEnum::vtCheckInfo72: CheckInfo72(); break;
      case TTimerVtEnum::vtReportConnected: raise(OnDeviceConnected); break;
      case TTimerVtEnum::vtReportDisconnected:
        CloseConnectionNoTrigger();
        raise(OnDeviceDisconnected);
        break;
      case TTimerVtEnum::vtReportOpened: raise(OnDeviceOpened); break;
      case TTimerVtEnum::vtReportClosed: raise(OnDeviceClosed); break;
      case TTimerVtEnum::vtReportConnectionError: ConnectionError(); break;
      case TTimerVtEnum::vtSerialInvalido: SerialInvalido(); break;
      case TTimerVtEnum::vtNrSerieDivergente: NrSerieDivergente(); break;
    }
  } catch (const VentraError &e) {
    DoLog(e.text());
  } catch (const std::exception &e) {
    DoLog(QString::fromLocal8Bit(e.what()));
  }
}

void TClass_VentraLib::ConnectionError() {
  DoLog(QStringLiteral("ConnectionError"));
  CloseConnectionNoTrigger();
  raise(OnConnectionError);
}

void TClass_VentraLib::SerialInvalido() {
  DoLog(QStringLiteral("SerialInvalido"));
  raise(OnSerialInvalido);
}

void TClass_VentraLib::NrSerieDivergente() {
  DoLog(QStringLiteral("ConnectionError"));
  CloseConnectionNoTrigger();
  raise(OnNrSerieDivergente);
}

void TClass_VentraLib::OnWatcherConnected() {
  if (!FTimerControl) return;
  DoLog(QStringLiteral("Ventra conectado..."));
  ScheduleEvent(TTimerVtEnum::vtReportConnected);
}

void TClass_VentraLib::OnWatcherDisconnected() {
  if (!FTimerControl) return;
  DoLog(QStringLiteral("Ventra desconectada..."));
  ScheduleEvent(TTimerVtEnum::vtReportDisconnected);
}

// ---- connection ----

void TClass_VentraLib::ListarPortasCOM() {
  DoLog(QStringLiteral("ListarPortasCOM"));
  if (!FSerial) CriaObjetos();
  FListaPortas.clear();
  const QString folder = FVentraWatcher ? FVentraWatcher->DevicesFolder() : BuildConfig::devicesFolder();
  static bool udevNoted = false;
  if (!udevNoted && !UsbDiscovery::UdevDaemonPresent()) {
    udevNoted = true;
    DoLog(QStringLiteral("udev indisponível: portas procuradas também na pasta de dispositivos virtuais ") + folder);
  }
  try {
    for (const TDeviceRecord &r : UsbDiscovery::AllDevices(folder)) {
      auto info = std::make_unique<TClass_UsbInfo>(r.name, r.deviceId);
      if (info->COM_NAME().isEmpty()) continue;
      if (TClass_UsbInfo::IsBootloader(info->VID(), info->PID())) {
        DoLog(QStringLiteral("Encontrado equipamento em: ") + info->COM_NAME());
        FEmBootloader = true;
        FListaPortas.push_back(std::move(info));
      } else if (TClass_UsbInfo::IsListedScanner(info->VID(), info->PID())) {
        DoLog(QStringLiteral("Encontrado equipamento em: ") + info->COM_NAME());
        FListaPortas.push_back(std::move(info));
      }
    }
  } catch (...) {
    ScheduleEvent(TTimerVtEnum::vtReportDevicesListReady);
    throw;
  }
  ScheduleEvent(TTimerVtEnum::vtReportDevicesListReady);
}

bool TClass_VentraLib::OpenConnection(const QString &comName) {
  if (!FSerial) throw VentraError(QStringLiteral("Objeto Serial não existe."));
  if (FSerial->Connected()) {
    if (FSerial->PortaConectada() != comName)
      DoLog(QStringLiteral("Já estava conectado com ") + FSerial->PortaConectada() +
            QStringLiteral(" - nova conexão chamada na ") + comName);
    else
      DoLog(QStringLiteral("Já estava conectado com ") + comName);
    return true;
  }
  if (comName.isEmpty()) throw VentraError(QStringLiteral("nome de porta inválido."));
  const TClass_UsbInfo *entry = nullptr;
  for (const auto &p : FListaPortas)
    if (p->COM_NAME() == comName) {
      entry = p.get();
      break;
    }
  if (!entry) return false;
  const QString name = entry->COM_NAME();
  DoLog(QStringLiteral("OpenConnection, ComName: ") + name);
  FSerial->Open(name);
  QElapsedTimer t;
  t.start();
  // the port object can go away while events run (a removal handled meanwhile)
  while (!(FSerial && FSerial->Connected()) && t.elapsed() <= 4999) EsperaMs(10);
  if (!(FSerial && FSerial->Connected())) return false;
  DoLog(QStringLiteral("Conexão aberta com sucesso..."));
  return true;
}

void TClass_VentraLib::CheckSerial() { ScheduleEvent(TTimerVtEnum::vtCheckNrSerie); }

void TClass_VentraLib::closeShared(const QString &label) {
  DoLog(label);
  if (FSerial) {
    DoLog(QStringLiteral("Destruindo serial"));
    FSerial->Close();
    FSerial.reset();
  }
  FFrame.reset();
  DoLog(QStringLiteral("Limpando portas"));
  FListaPortas.clear();
}

void TClass_VentraLib::CloseConnection() {
  closeShared(QStringLiteral("CloseConnection"));
  ScheduleEvent(TTimerVtEnum::vtReportClosed);
}

void TClass_VentraLib::CloseConnectionNoTrigger() { closeShared(QStringLiteral("CloseConnectionNoTrigger")); }

bool TClass_VentraLib::sendRequest() {
  // Build is false for commands outside the request table but still yields a whole frame
  // (the reset); an empty frame means the request could not be framed at all.
  FFrame->Build();
  if (FFrame->Frame.isEmpty()) {
    DoLog(QStringLiteral("Requisição grande demais para um frame: ") + FFrame->FileName);
    return false;
  }
  // Every exchange is one request and its reply: whatever is still queued is a late answer to
  // an earlier request that would otherwise be read as this one's reply.
  if (FSerial->BytesWaiting() > 0) FSerial->Purge();
  return FSerial->Write(FFrame->Frame);
}

void TClass_VentraLib::readReply(int timeoutMs) {
  FFrame->setFrameSize(int(kReplyBuffer));
  FSerial->ReadFrame(FFrame->Frame, timeoutMs);
  FFrame->Parse();
}

bool TClass_VentraLib::SolicitaNrSerie() {
  if (!FFrame || !portOpen()) return false;
  FSerial->PurgeAll();
  DoLog(QStringLiteral("Solicitando Nr Serial..."));
  FFrame->cmd = Cmd::SerialNumber;
  sendRequest();
  DoLog(QStringLiteral("Tentando ler Nr Serial..."));
  readReply(1000);
  return FFrame->Serie() != 0;
}

void TClass_VentraLib::CheckNrSerie() {
  DoLog(QStringLiteral("Pedir número serial"));
  int n = kSerialRequests - 1;
  while (!SolicitaNrSerie() && n > 0) {
    DoLog(QStringLiteral("Não respondeu NrSerie, tentativa: ") + QString::number(n));
    --n;
    EsperaMs(kSerialRetryMs);
  }
  const uint32_t serie = NrSerieReduzido();
  if (serie == 0) {
    DoLog(QStringLiteral("Nr Serial não respondido"));
    ScheduleEvent(TTimerVtEnum::vtSerialInvalido);
    return;
  }
  if (FLastSerialNumber != 0 && FLastSerialNumber != serie) {
    ScheduleEvent(TTimerVtEnum::vtNrSerieDivergente);
    return;
  }
  DoLog(QStringLiteral("Nr Serial respondido"));
  FLastSerialNumber = serie;
  if (FVentraWatcher) FVentraWatcher->SetConnected();
  ScheduleEvent(TTimerVtEnum::vtCheckInfo72);
}

void TClass_VentraLib::CheckInfo72() {
  GetInfo72();
  if (TipoEquipamentoEnum() > TType_Equipamento::VersaoDesc2) {
    ScheduleEvent(TTimerVtEnum::vtReportOpened);
  } else {
    DoLog(QStringLiteral("Tipo do equipamento inválido"));
    ScheduleEvent(TTimerVtEnum::vtReportConnectionError);
  }
}

void TClass_VentraLib::GetInfo72() {
  DoLog(QStringLiteral("GetInfo72"));
  if (!FFrame) throw VentraError(QStringLiteral("Objeto Ventra não existe"));
  if (!portOpen()) return;
  FSerial->PurgeAll();
  FFrame->cmd = Cmd::Identification;
  sendRequest();
  readReply(10000);
  if (FFrame->TipoEquipamento == int(TType_Equipamento::Checkline)) {
    // the Checkline's service pack and software version come from a second exchange
    FFrame->cmd = Cmd::SubCommand;
    FFrame->SubComandoAF = SubCmd::ExtendedIdentification;
    sendRequest();
    readReply(3000);
  }
}

// ---- properties ----

bool TClass_VentraLib::Connected() const { return portOpen(); }

bool TClass_VentraLib::FlagConnected() const { return FVentraWatcher && FVentraWatcher->FlagConectado(); }

uint32_t TClass_VentraLib::NrSerieReduzido() const { return FFrame ? FFrame->Serie() : 0; }

TType_Equipamento TClass_VentraLib::TipoEquipamentoEnum() const {
  return FFrame ? FFrame->TipoEquipamentoEnum() : TType_Equipamento::VersaoDesc;
}

QString TClass_VentraLib::FirmwareVT() const { return FFrame ? FFrame->VersaoFirmwareS() : QString(); }

int TClass_VentraLib::FirmwareVTAsInt() const {
  bool ok = false;
  const int v = FirmwareVT().toInt(&ok);
  return ok ? v : 0;
}

bool TClass_VentraLib::FirmwareAtualizado() const {
  if (FFirmwareIDE.isEmpty()) return false;
  bool ok = false;
  const int ide = FFirmwareIDE.toInt(&ok);
  return ok && FirmwareVTAsInt() >= ide;
}

// ---- device settings ----

void TClass_VentraLib::ResetFisico() {
  if (!FFrame || !portOpen()) return;
  FFrame->cmd = Cmd::Reset;
  sendRequest();  // 01 76 FF 89; the scanner restarts without answering
}

void TClass_VentraLib::V4_GravaDataHora(int variacaoUTC, const QString &dia, const QString &mes, const QString &ano,
                                        const QString &hora, const QString &minuto, const QString &segundo) {
  if (!FFrame || !portOpen()) return;
  bool ok[6];
  const int d = dia.toInt(&ok[0]), mo = mes.toInt(&ok[1]), y = ano.toInt(&ok[2]);
  const int h = hora.toInt(&ok[3]), mi = minuto.toInt(&ok[4]), s = segundo.toInt(&ok[5]);
  const QDate date(2000 + y, mo, d);
  if (!(ok[0] && ok[1] && ok[2] && ok[3] && ok[4] && ok[5]) || !date.isValid() || y < 0 || y > 99 || h < 0 ||
      h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) {
    DoLog(QStringLiteral("Data/hora inválida, relógio não gravado: ") + dia + "/" + mes + "/" + ano + " " + hora +
          ":" + minuto + ":" + segundo);
    return;
  }
  // the offset can push the hour past midnight either way: carry it into the date
  const QDateTime local =
      QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(qint64(h + variacaoUTC) * 3600 + mi * 60 + s);
  FFrame->Dados = local.toString(QStringLiteral("yyMMddhhmmss"));
  FFrame->cmd = Cmd::SetClock;
  sendRequest();
  readReply(3000);
}

void TClass_VentraLib::HabilitaLogTelas(bool value) {
  if (FFrame && portOpen() && aceitaLogTelas(FFrame->TipoEquipamento)) {
    const QString name = QStringLiteral("LOG_MODE.LOG");
    if (value) {
      FFrame->cmd = Cmd::WriteFile;
      FFrame->FileName = name;
      FFrame->Folder = 0;
      FFrame->FileSize = 6;
      sendRequest();
      FFrame->setFrameSize(int(kReplyBuffer));
      FSerial->Read(FFrame->Frame, 30000);
      FFrame->Parse();
      FFrame->StringToFrame(QByteArrayLiteral("000000"));
      FSerial->Write(FFrame->Frame);
      FFrame->setFrameSize(int(kReplyBuffer));
      FSerial->Read(FFrame->Frame, 30000);
      FFrame->Parse();
    } else {
      FFrame->cmd = Cmd::DeleteFile;
      FFrame->FileName = name;
      FFrame->Folder = 0;
      sendRequest();
      readReply(3000);
    }
  }
  sleepMs(100);
}

bool TClass_VentraLib::LogTelasHabilitado() {
  if (!FFrame || !portOpen()) return false;
  FFrame->cmd = Cmd::FileCrc;
  FFrame->FileName = QStringLiteral("LOG_MODE.LOG");
  FFrame->Folder = 0;
  sendRequest();
  readReply(3000);
  return FFrame->CRC > 1;
}

// ---- file transfer ----

uint32_t TClass_VentraLib::GetFileSize(const QString &fileName) {
  if (!FFrame || !portOpen()) return 0;
  FFrame->FileSizeToRead = 0;
  FFrame->cmd = Cmd::FileSize;
  FFrame->FileName = fileName;
  FFrame->Folder = 0;
  if (!sendRequest()) return 0;
  readReply(3000);
  return FFrame->FileSizeToRead;
}

int TClass_VentraLib::CrcTimeoutFor(qint64 fileSize) {
  if (fileSize > 1048576) return 60000;
  if (fileSize > 131072) return int(fileSize / 10);
  return 10000;
}

uint64_t TClass_VentraLib::GetCrcFromFile(const QString &fileName, qint64 fileSize) {
  if (!FFrame || !portOpen()) return 0;
  FFrame->cmd = Cmd::FileCrc;
  FFrame->FileName = fileName;
  FFrame->Folder = 0;
  if (!sendRequest()) return 0;  // Build has already cleared CRC
  readReply(CrcTimeoutFor(fileSize));
  return FFrame->CRC;
}

bool TClass_VentraLib::GravaArquivo(const QString &path, const QString &fileName) {
  DoLog(QStringLiteral("GravaArquivo: ") + fileName);
  if (!portOpen() || !FlagConnected() || !FFrame) {
    DoLog(QStringLiteral("Serial desconectada"));
    return false;
  }
  const QString local = QDir(path).filePath(fileName);
  QFile file(local);
  if (!QFileInfo(local).isFile() || !file.open(QIODevice::ReadOnly)) {
    DoLog(QStringLiteral("Arquivo não encontrado: ") + fileName);
    return false;
  }
  DoLog(QStringLiteral("Arquivo encontrado: ") + fileName);
  int retries = kWriteRetries;
  const qint64 size = file.size();

  FFrame->cmd = Cmd::WriteFile;
  FFrame->FileName = fileName;
  FFrame->Folder = 0;
  FFrame->FileSize = uint32_t(size);
  DoLog(QStringLiteral("Arquivo encontrado: ") + fileName + QStringLiteral(" - FileSize: ") + QString::number(size));
  if (!sendRequest()) return false;
  readReply(10000);  // not examined

  qint64 sent = 0;
  bool aborted = false;
  QByteArray piece(kPieceSize, '\0');
  auto progress = [&](int r) {
    sent += r;
    if (sent % kProgressStep == 0 || sent == size) {
      if (OnProgress) OnProgress(sent);
      sleepMs(10);
    }
  };
  while (!file.atEnd() && !aborted) {
    const qint64 r = file.read(piece.data(), kPieceSize);
    if (r < 1) {
      DoLog(QStringLiteral("nenhum byte lido para enviar!"));
      break;
    }
    // the progress handler may have run events that closed the port: look it up every time
    if (FSerial && FSerial->WriteEx(piece.constData(), int(r))) {
      progress(int(r));
      retries = kWriteRetries;
      continue;
    }
    QElapsedTimer downFor;
    for (;;) {
      if (linkUp()) {
        downFor.invalidate();
        DoLog(QStringLiteral("Falha ao enviar bytes. Tentativa: ") + QString::number(retries));
        if (retries < 1) {
          DoLog(QStringLiteral("Estorou a quantidade de tentativas de escrever arquivo!"));
          aborted = true;
          break;
        }
        sleepMs(1000);
        if (FSerial && FSerial->WriteEx(piece.constData(), int(r))) {
          progress(int(r));
          retries = kWriteRetries;
          break;
        }
        --retries;
      } else {
        // nothing here pumps events, so a link reported down stays down: bounded wait, then give up
        DoLog(QStringLiteral("Serial desconectada 2"));
        if (!downFor.isValid()) downFor.start();
        if (downFor.elapsed() >= kLinkDownWaitMs) {
          aborted = true;
          break;
        }
        sleepMs(250);
      }
    }
  }
  DoLog(QStringLiteral("Fim do envio do arquivo"));
  file.close();

  bool result = !aborted && portOpen() && FlagConnected() && sent == size && FFrame;
  if (result) {
    DoLog(QStringLiteral("Aguardando Ack"));
    readReply(10000);
    if (FSerial->DeviceGone()) {
      // the content may still have been in transit: the scanner never confirmed it
      DoLog(QStringLiteral("Conexão perdida antes do Ack"));
      result = false;
    } else {
      sleepMs(500);
      DoLog(QStringLiteral("Ack - OK"));
    }
  }
  return result;
}

bool TClass_VentraLib::readBlock(const QString &fileName, uint32_t pos, uint32_t len, QByteArray &content) {
  if (!FFrame || !portOpen()) return false;
  DoLog(QStringLiteral("Solicitando ") + QString::number(len) + QStringLiteral(" BYTES") +
        QStringLiteral(" a partir da posição: ") + QString::number(pos) + QStringLiteral(" do arquivo: ") + fileName);
  FFrame->cmd = Cmd::ReadBlock;
  FFrame->PosInicialFile = pos;
  FFrame->FileSize = len;
  FFrame->FileName = fileName;
  if (!sendRequest()) return false;

  QString e;
  const QByteArray bytes = FSerial->NewReadFrame(int(len) + kBlockTrailer, kBlockTimeoutMs, e);
  if (!e.isEmpty()) {
    DoLog(QStringLiteral("Erro: ") + e);
    return false;
  }
  const qsizetype n = bytes.size();
  if (n < kBlockTrailer) return false;
  const QByteArray data = bytes.left(n - kBlockTrailer);
  const QByteArray crcBytes = TClassBufferHelper::ReverseBytes(bytes.mid(n - 10, 8));
  uint64_t expected = 0;  // the reversed bytes read least significant first
  for (int i = 7; i >= 0; --i) expected = (expected << 8) | uint8_t(crcBytes[i]);
  if (CalcCRC64Bytes(data) != expected) return false;
  content = TClassBufferHelper::ConcatBuffer(content, data);
  return true;
}

bool TClass_VentraLib::GetFileToFolder(const QString &path, const QString &fileName, QString &error) {
  error.clear();
  bool result = false;
  int errors = 0;
  if (!FFrame || !portOpen()) {
    error = QStringLiteral("Sem conexão");
    return false;
  }
  const uint32_t size = GetFileSize(fileName);
  if (size == 0) {
    error = QStringLiteral("Arquivo não existe");
    return false;
  }
  if (OnStartProgress) OnStartProgress(size);
  QByteArray content;
  if (size < uint32_t(kBlockSize)) {
    if (readBlock(fileName, 0, size, content)) {
      if (OnProgress) OnProgress(0);
    } else {
      error = QStringLiteral("Falha ao ler bytes");
    }
  } else {
    uint32_t pos = 0;
    qint64 remaining = size;
    while (remaining > 0) {
      const uint32_t len = remaining > kBlockSize ? uint32_t(kBlockSize) : uint32_t(remaining);
      if (readBlock(fileName, pos, len, content)) {
        errors = 0;
        if (remaining <= kBlockSize) {
          if (OnProgress) OnProgress(0);
          remaining = 0;
        } else {
          pos += kBlockSize;
          remaining -= kBlockSize;
          if (OnProgress) OnProgress(pos);
        }
      } else {
        if (errors >= 3) break;
        ++errors;
        error = QStringLiteral("Falha ao ler bytes");
      }
    }
  }
  if (error.isEmpty()) {
    // written aside and renamed: a failure leaves neither a partial nor a replaced file
    // callers pass a folder with its separator; one without it still means the folder
    const QString target = (path.isEmpty() || path.endsWith('/') ? path : path + '/') + fileName;
    QSaveFile out(target);
    if (out.open(QIODevice::WriteOnly) && out.write(content) == content.size() && out.commit()) {
      DoLog(QStringLiteral("Arquivo obtido com sucesso: ") + target);
      result = true;
    } else {
      error = out.errorString();
    }
  }
  return result;
}

void TClass_VentraLib::ApagarArquivo(const QString &fileName) {
  if (!FFrame || !portOpen()) return;
  if (TipoEquipamentoEnum() == TType_Equipamento::VentraV2) return;
  FFrame->cmd = Cmd::DeleteFile;
  FFrame->FileName = fileName;
  FFrame->Folder = 0;
  if (!sendRequest()) return;
  readReply(10000);
  sleepMs(100);
}

// ---- helpers ----

void TClass_VentraLib::EsperaMs(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (t.elapsed() >= ms) break;
    sleepMs(1);
  }
}
