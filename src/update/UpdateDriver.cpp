#include "update/UpdateDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include "app/BuildConfig.h"
#include "app/ConfLocal.h"
#include "app/Globais.h"
#include "app/Log.h"
#include "app/ShellUi.h"
#include "app/VentraError.h"
#include "protocol/Crc64.h"
#include "protocol/FrameLayout.h"
#include "protocol/VentraLib.h"
#include "server/HttpClient.h"
#include "server/PortalDLL.h"
#include "update/ServicePackManager.h"
#include "update/VersionManager.h"

using S = TTimerControlPrincipalEnum;
using AR = TAfterReconnectionEnum;

namespace {
constexpr auto kSec = "ATUALIZACAO";
constexpr uint32_t kTamanhoInvalido = 0x80000000u;  // 2^31: a size the scanner cannot hold

TMsgResult pergunta(const QString &text, TMsgKind kind = TMsgKind::Information) {
  return ShellUi::get().MessageBox(kind, text, TMsgButtons::YesNo);
}
void informa(const QString &text) { ShellUi::get().MessageBox(TMsgKind::Information, text, TMsgButtons::OK); }

bool probeInternet() {
  HttpClient::Request req;
  req.url = BuildConfig::value("PROBE_URL");
  req.connectTimeoutMs = 5000;
  req.timeoutMs = 5000;
  const auto reply = HttpClient::Perform(req);
  return reply.transportOk && reply.status == 204;
}
}  // namespace

TClassUpdateDriver::TClassUpdateDriver(TfrmPrincipal &frm) : QObject(&frm), F(frm), FVerificaInternet(probeInternet) {
  setObjectName(QStringLiteral("UpdateDriver"));
  // the transfer progress also refreshes the progress lines while a run is on (the window sets
  // the bar itself); the elapsed-time line changing lets pending messages run during a write
  auto &vt = *TClass_VentraLib::GetInstance();
  vt.OnProgress = [this, janela = std::move(vt.OnProgress)](qint64 done) {
    if (janela) janela(done);
    if (!F.Tela().bitCancelaAtualizacaoVisible || !F.ConfLocal() || !F.SPManager()) return;
    try {
      AtualizaProgresso();
    } catch (const std::exception &e) {
      Trace(QString::fromUtf8(e.what()));
    }
  };
}

TClassUpdateDriver &TClassUpdateDriver::Of(TfrmPrincipal &frm) {
  auto *d = frm.findChild<TClassUpdateDriver *>(QStringLiteral("UpdateDriver"), Qt::FindDirectChildrenOnly);
  if (!d) d = new TClassUpdateDriver(frm);  // owned by the window
  return *d;
}

// ---------------------------------------------------------------- helpers

TClassConfLocal &TClassUpdateDriver::Conf() {
  if (!F.ConfLocal()) throw VentraError(QStringLiteral("Configuração local não carregada"));
  return *F.ConfLocal();
}

TClassServicePackManager &TClassUpdateDriver::SP() {
  if (!F.SPManager()) throw VentraError(QStringLiteral("Service Pack não carregado"));
  return *F.SPManager();
}

TClass_VentraLib &TClassUpdateDriver::VT() { return *TClass_VentraLib::GetInstance(); }
TClassFileCrcControlManagerVT &TClassUpdateDriver::CrcVT() { return SP().CrcManagerVT(); }
QString TClassUpdateDriver::LocalCrcCopy() { return CrcVT().Path() + CrcVT().FileName(); }
bool TClassUpdateDriver::LocalCrcCopyExists() { return QFileInfo(LocalCrcCopy()).isFile(); }

int TClassUpdateDriver::LerInt(const char *key, int def) { return Conf().ConfLocal_ReadInteger(kSec, key, def); }
void TClassUpdateDriver::GravaInt(const char *key, int value) { Conf().ConfLocal_AddInteger(kSec, key, value); }
void TClassUpdateDriver::Incrementa(const char *key) { GravaInt(key, LerInt(key) + 1); }
bool TClassUpdateDriver::LerBool(const char *key, bool def) { return Conf().ConfLocal_ReadBoolean(kSec, key, def); }
void TClassUpdateDriver::GravaBool(const char *key, bool value) { Conf().ConfLocal_AddBoolean(kSec, key, value); }
QString TClassUpdateDriver::LerStr(const char *key) { return Conf().ConfLocal_ReadString(kSec, key, QString()); }
void TClassUpdateDriver::GravaStr(const char *key, const QString &value) { Conf().ConfLocal_AddString(kSec, key, value); }
void TClassUpdateDriver::Salva() { Conf().SaveConfFile(); }

void TClassUpdateDriver::Trace(const QString &t) { F.EscreveTrace(t); }
void TClassUpdateDriver::Render() { F.Render(); }
void TClassUpdateDriver::Pump() { QCoreApplication::processEvents(); }

TClassFileCrcControlVtValue *TClassUpdateDriver::RegistroDe(const QString &name) {
  auto *rec = CrcVT().GetInfoCrc(name);
  if (!rec) rec = CrcVT().Add(0, name, QString());
  return rec;
}

void TClassUpdateDriver::PreparaBarras(bool mostraPercentual) {
  auto &t = F.Tela();
  for (TProgressBarState *b : {&t.PBK21, &t.PBK22}) {
    b->Min = 0;
    b->Max = 100;
    b->Position = 0;
    b->ShowPercentage = mostraPercentual;
  }
  Render();
}

bool TClassUpdateDriver::SemInternet() {
  if (FVerificaInternet && FVerificaInternet()) return false;
  Trace(QStringLiteral("Sem internet"));
  informa(QStringLiteral("Atenção: não foi possível acessar a internet!"));
  F.ScheduleStep(S::cpInterrompeAtualizacao);
  return true;
}

// Copies the scanner's CRC control file into the scanner folder when the scanner has one.
void TClassUpdateDriver::CopiaCrcDoScanner() {
  auto &vt = VT();
  const QString name = CrcVT().FileName();
  if (vt.GetFileSize(name) == 0) return;
  ShellUi::get().StatusShowMsg(QStringLiteral("Obtendo informações. Aguarde..."));
  QDir().mkpath(CrcVT().Path());
  QString error;
  if (!vt.GetFileToFolder(CrcVT().Path(), name, error))
    Trace(error.isEmpty() ? QStringLiteral("Erro ao obter arquivo") : error);
  ShellUi::get().StatusClose();
}

bool TClassUpdateDriver::EscreveCopiaNoScanner() {
  if (!LocalCrcCopyExists()) return false;
  if (VT().GravaArquivo(CrcVT().Path(), CrcVT().FileName())) {
    QFile::remove(LocalCrcCopy());
    return true;
  }
  Trace(QStringLiteral("Falha ao gravar arquivo de crc do vt"));
  return false;
}

// ---------------------------------------------------------------- entry points

void TClassUpdateDriver::IniciaAtualizacao() {
  auto &t = F.Tela();
  t.bitAtualizarVisible = false;
  t.bitCancelaAtualizacaoVisible = true;
  GravaBool("CANCELADO", false);
  GravaBool("SO_MAPA", false);
  Salva();
  PreparaBarras(true);
  F.ScheduleStep(VT().FirmwareAtualizado() ? S::cpVerificaArquivosExtras : S::cpAtualizaFirmware);
}

void TClassUpdateDriver::IniciaMapaCRC() {
  auto &t = F.Tela();
  if (!t.bitAtualizarVisible || !t.bitAtualizarEnabled) return;
  const int tipo = int(VT().TipoEquipamentoEnum());
  if (tipo < int(TType_Equipamento::Checkline) || tipo > int(TType_Equipamento::VentraV6S)) return;
  t.bitAtualizarVisible = false;
  t.bitCancelaAtualizacaoVisible = true;
  GravaBool("CANCELADO", false);
  GravaBool("SO_MAPA", true);
  Salva();
  PreparaBarras(true);
  F.ScheduleStep(S::cpMontaMapaCRC);
}

bool TClassUpdateDriver::ExecutaPasso(TTimerControlPrincipalEnum step) {
  switch (step) {
    case S::cpAtualizaFirmware: AtualizaFirmware(); return true;
    case S::cpFinalizaFirmware: FinalizaFirmware(); return true;
    case S::cpVerificaArquivosExtras: VerificaArquivosExtras(); return true;
    case S::cpAtualizaFileExtra: AtualizaFileExtra(); return true;
    case S::cpFinalizaArquivosExtras: FinalizaArquivosExtras(); return true;
    case S::cpBaixarLogs: BaixarLogs(); return true;
    case S::cpVerificaEquipAtualizado: VerificaEquipAtualizado(); return true;
    case S::cpAtualizaMnu: AtualizaMnu(); return true;
    case S::cpMontaMapaCRC: MontaMapaCRC(); return true;
    case S::cpAtual_GetFileSize: Atual_GetFileSize(); return true;
    case S::cpAtual_UpdateFile: Atual_UpdateFile(); return true;
    case S::cpFinalizaMnu: FinalizaMnu(); return true;
    case S::cpInterrompeAtualizacao: InterrompeAtualizacao(); return true;
    default: return false;
  }
}

// ---------------------------------------------------------------- shared per-file rules

bool TClassUpdateDriver::AtualizacaoInterrompida() {
  if (LerBool("DESCONECTADO", false)) {
    Trace(QStringLiteral("Conf Local - Ventra desconectado"));
    return true;  // the resume on reconnection picks the loop up again
  }
  if (LerBool("CANCELADO", true)) {
    Trace(QStringLiteral("Conf Local - Atualizacao Cancelada"));
    F.ScheduleStep(S::cpInterrompeAtualizacao);
    return true;
  }
  auto &vt = VT();
  if (vt.Connected() && vt.FlagConnected()) return false;
  Trace(QStringLiteral("TClass_VentraLib - Desconectado"));
  return true;
}

void TClassUpdateDriver::SalvaCrcNoScanner(int n) {
  const int count = LerInt("UPDATE_CRC_COUNT");
  if (count <= 0 || count % n != 0 || !LocalCrcCopyExists()) return;
  if (VT().GravaArquivo(CrcVT().Path(), CrcVT().FileName())) {
    GravaInt("LAST_CRC_SAVED", LerInt("LAST_INDEX") - 1);
    Salva();
  } else {
    Trace(QStringLiteral("Falha ao gravar arquivo de crc do vt"));
  }
}

void TClassUpdateDriver::RegistraSucessoArquivo(TClassFileCrcControlVtValue *rec, uint32_t size, const QString &crc) {
  Trace(QStringLiteral("Arquivo atualizado com sucesso: ") + rec->Fn());
  Incrementa("LAST_INDEX");
  Incrementa("UPDATE_CRC_COUNT");
  Incrementa("SUCCESS_COUNT");
  rec->SetSz(size);
  rec->SetCrc(crc);
  rec->SetDT_Write(CrcControlTimeStamp());
  rec->SetErro(QString());
  CrcVT().SaveToLocal();
  SalvaCrcNoScanner(10);
}

void TClassUpdateDriver::RegistraFalhaArquivo(TClassFileCrcControlVtValue *rec, const QString &reason) {
  Trace(reason + QStringLiteral(": ") + rec->Fn() + QStringLiteral(" - Qtd Erros: ") +
        QString::number(LerInt("ERROR_COUNT") + 1) + QStringLiteral(" - Pular para o próximo arquivo"));
  Incrementa("LAST_INDEX");
  Incrementa("ERROR_COUNT");
  Incrementa("UPDATE_CRC_COUNT");
  rec->SetErro(reason);
  CrcVT().SaveToLocal();
  SalvaCrcNoScanner(10);
}

void TClassUpdateDriver::AtualizaProgresso() {
  auto &t = F.Tela();
  bool mudou = false;
  const int idx = LerInt("LAST_INDEX");
  if (idx != t.PBK21.Position) {
    t.PBK21.Position = idx;
    const int n = F.SPManager() ? int(F.SPManager()->FilesToUpdate().size()) : 0;
    t.ProgressoTexto = QString::number(idx + 1) + u'/' + QString::number(n) + u' ' + LerStr("FILE_NAME") +
                       QStringLiteral(" (") + QString::number(LerInt("FILE_SIZE") / 1024) + QStringLiteral(" KB)");
    mudou = true;
  }
  const QTime inicio = QTime::fromString(LerStr("START_DT"), QStringLiteral("hh:mm:ss"));
  if (inicio.isValid()) {
    int secs = inicio.secsTo(QTime::currentTime());
    if (secs < 0) secs += 24 * 3600;  // a run across midnight
    const QString decorrido = QTime(0, 0).addSecs(secs).toString(F.siLang.IDS(36));
    if (decorrido != t.TempoDecorrido) {
      t.TempoDecorrido = decorrido;
      mudou = true;
    }
  }
  if (mudou) {
    Render();
    Pump();
  }
}

void TClassUpdateDriver::IniciaLoop(int qtdArquivos) {
  F.IniciaInfoAtualizacao(QStringLiteral("MNU"));
  F.ZeraContadores();
  Salva();
  F.Tela().PBK21.Max = qtdArquivos - 1;
  Render();
  F.FAfterReconnection = AR::arRetomarAtualizacao;
  F.ScheduleStep(S::cpAtual_GetFileSize);
}

// ---------------------------------------------------------------- extra files

void TClassUpdateDriver::VerificaArquivosExtras() {
  Trace(QStringLiteral("Scanner Update 03 - VerificaArquivosExtras"));
  if (F.FAfterReconnection == AR::arRetomarFileExtra) {
    F.ScheduleStep(S::cpAtualizaFileExtra);
    return;
  }
  const QString pasta = SP().PathExtras();
  if (QDir(pasta).entryList(QDir::Files).isEmpty()) {
    F.ScheduleStep(S::cpFinalizaArquivosExtras);
    return;
  }
  if (pergunta(F.siLang.IDS(101)) != TMsgResult::Yes) {
    F.ScheduleStep(S::cpFinalizaArquivosExtras);
    return;
  }
  F.Tela().ProgressoTexto = F.siLang.IDS(27);
  PreparaBarras(F.Tela().PBK21.ShowPercentage);
  CopiaCrcDoScanner();
  if (LocalCrcCopyExists()) CrcVT().LoadCrcFileContent();

  SP().PrepareExtrasToUpdate();
  const int n = int(SP().FilesToUpdate().size());
  if (n == 0) {
    if (pergunta(QStringLiteral("Todos os arquivos extras estão atualizados. \rDeseja interromper atualização?")) ==
        TMsgResult::Yes) {
      F.CancelaAtualizacao();
      F.ScheduleStep(S::cpInterrompeAtualizacao);
    } else {
      F.ScheduleStep(S::cpBaixarLogs);
    }
    return;
  }
  F.IniciaInfoAtualizacao(QStringLiteral("EXTRA"));
  F.ZeraContadores();
  Salva();
  F.Tela().PBK21.Max = n - 1;
  Render();
  F.FAfterReconnection = AR::arRetomarFileExtra;
  F.ScheduleStep(S::cpAtualizaFileExtra);
}

void TClassUpdateDriver::AtualizaFileExtra() {
  if (AtualizacaoInterrompida()) return;
  const int i = LerInt("LAST_INDEX");
  Trace(QStringLiteral("Index: ") + QString::number(i));
  if (i % 10 == 0) Pump();
  const auto &lista = SP().FilesToUpdate();
  auto &t = F.Tela();
  if (i < int(lista.size())) {
    t.PBK22.Position = 0;
    const auto &entry = *lista[size_t(i)];
    GravaStr("FILE_NAME", entry.Fn());
    GravaInt("FILE_SIZE", int(entry.Sz()));
    AtualizaProgresso();
    auto *rec = RegistroDe(entry.Fn());
    auto &vt = VT();
    const uint32_t tamVT = vt.GetFileSize(entry.Fn());
    const QString crcVT = QString::number(vt.GetCrcFromFile(entry.Fn(), entry.Sz()));
    rec->SetDT_Check(CrcControlTimeStamp());
    if (crcVT != entry.Crc() || tamVT >= kTamanhoInvalido || tamVT != entry.Sz()) {
      rec->SetLastSz(tamVT);
      rec->SetLastCrc(crcVT);
      if (vt.GravaArquivo(SP().PathExtras(), entry.Fn()))
        RegistraSucessoArquivo(rec, entry.Sz(), entry.Crc());
      else
        RegistraFalhaArquivo(rec, QStringLiteral("Falha de gravação"));
    } else {
      if (rec->Crc() != crcVT || rec->Sz() != tamVT) {
        rec->SetCrc(crcVT);
        rec->SetSz(tamVT);
        CrcVT().SaveToLocal();
        Incrementa("UPDATE_CRC_COUNT");
      }
      Incrementa("LAST_INDEX");
      Salva();
    }
    F.ScheduleStep(S::cpAtualizaFileExtra);
    return;
  }
  Trace(QStringLiteral("Acabou os arquivos"));
  t.PBK22.Position = 0;
  GravaInt("LAST_INDEX", 0);
  Salva();
  CrcVT().SaveToLocal();
  EscreveCopiaNoScanner();
  F.FAfterReconnection = AR::arFinalizaArquivosExtras;
  Render();
  VT().ResetFisico();
}

void TClassUpdateDriver::FinalizaArquivosExtras() {
  auto &t = F.Tela();
  for (TProgressBarState *b : {&t.PBK21, &t.PBK22}) {
    b->Position = 0;
    b->ShowPercentage = false;
  }
  t.ProgressoTexto.clear();
  t.TempoDecorrido.clear();
  Render();
  const bool temLista = F.SPManager() && !F.SPManager()->FilesToUpdate().empty();
  if (temLista && LerStr("ORIGEM") == QLatin1String("EXTRA")) {
    const QString msg = QStringLiteral("Foram gravados ") + QString::number(LerInt("SUCCESS_COUNT")) +
                        QStringLiteral(" arquivos com sucesso e") + QStringLiteral("\r") + QStringLiteral("houve ") +
                        QString::number(LerInt("ERROR_COUNT")) + QStringLiteral(" erros de gravação. ") +
                        QStringLiteral("\r") + QStringLiteral("Deseja interromper atualização?");
    if (pergunta(msg) == TMsgResult::Yes) {
      F.CancelaAtualizacao();
      F.ScheduleStep(S::cpInterrompeAtualizacao);
    } else {
      F.ScheduleStep(S::cpBaixarLogs);
    }
    return;
  }
  F.ScheduleStep(LerBool("CANCELADO", true) ? S::cpInterrompeAtualizacao : S::cpBaixarLogs);
}

// The log step of the chain: collecting and uploading the scanner's logs plugs in here (it
// ends by scheduling cpVerificaEquipAtualizado, through the reconnection after the log window).
// Until then the chain goes straight on.
void TClassUpdateDriver::BaixarLogs() {
  Trace(QStringLiteral("Scanner Update 04 - BaixarLogs"));
  F.ScheduleStep(S::cpVerificaEquipAtualizado);
}

// ---------------------------------------------------------------- service-pack files

void TClassUpdateDriver::VerificaEquipAtualizado() {
  Trace(QStringLiteral("Scanner Update 0X - VerificaEquipAtualizado"));
  auto &vt = VT();
  const QString spScanner = vt.Frame() ? QString::number(vt.Frame()->ServicePack) : QString();
  if (spScanner != Globais::ServicePackIDE) {
    F.ScheduleStep(S::cpAtualizaMnu);
    return;
  }
  if (vt.TipoEquipamentoEnum() == TType_Equipamento::Checkline && vt.FirmwareVT() != QLatin1String("2")) {
    F.ScheduleStep(S::cpAtualizaMnu);
    return;
  }
  if (pergunta(F.siLang.IDS(18), TMsgKind::Confirmation) == TMsgResult::Yes)
    F.ScheduleStep(S::cpAtualizaMnu);
  else
    InterrompeAtualizacao();
}

void TClassUpdateDriver::AtualizaMnu() {
  Trace(QStringLiteral("Scanner Update 0X - AtualizaMnu"));
  Trace(QStringLiteral("FAfterReconnection: ") + AfterReconnectionName(F.FAfterReconnection));
  if (F.FAfterReconnection == AR::arRetomarAtualizacao) {
    F.ScheduleStep(S::cpAtual_GetFileSize);
    return;
  }
  PreparaBarras(F.Tela().PBK21.ShowPercentage);
  if (SemInternet()) return;
  CopiaCrcDoScanner();
  if (LocalCrcCopyExists())
    CrcVT().LoadCrcFileContent();
  else
    CrcVT().Clear();

  auto &ui = ShellUi::get();
  const auto tipo = VT().TipoEquipamentoEnum();
  ui.StatusShowMsg(QStringLiteral("Verificando arquivos. Aguarde..."));
  SP().PrepareListToUpdate(tipo, Globais::IndiceIdioma);
  ui.StatusClose();
  if (SP().FilesToUpdate().empty()) {
    const QString msg = QStringLiteral("Equipamento atualizado com os arquivos do SP") + Globais::ServicePackIDE +
                        QStringLiteral(". Deseja forçar uma nova atualização?");
    if (pergunta(msg, TMsgKind::Confirmation) != TMsgResult::Yes) {
      F.CancelaAtualizacao();
      F.ScheduleStep(S::cpInterrompeAtualizacao);
      return;
    }
    CrcVT().Clear();
    CrcVT().SaveToLocal();
    VT().ApagarArquivo(CrcVT().FileName());
    ui.StatusShowMsg(QStringLiteral("Verificando arquivos. Aguarde..."));
    SP().PrepareListToUpdate(tipo, Globais::IndiceIdioma);
    ui.StatusClose();
  }
  IniciaLoop(int(SP().FilesToUpdate().size()));
}

void TClassUpdateDriver::MontaMapaCRC() {
  Trace(QStringLiteral("Scanner Update 0X - MontaMapaCRC"));
  Trace(QStringLiteral("FAfterReconnection: ") + AfterReconnectionName(F.FAfterReconnection));
  if (F.FAfterReconnection == AR::arRetomarAtualizacao) {
    F.ScheduleStep(S::cpAtual_GetFileSize);
    return;
  }
  PreparaBarras(F.Tela().PBK21.ShowPercentage);
  if (SemInternet()) return;
  SP().PrepareListToUpdate(VT().TipoEquipamentoEnum(), Globais::IndiceIdioma);
  CopiaCrcDoScanner();
  if (LocalCrcCopyExists()) CrcVT().LoadCrcFileContent();
  // the map is rebuilt from what the scanner holds, not from its old records
  CrcVT().Clear();
  if (SP().FilesToUpdate().empty()) {
    informa(QStringLiteral("Equipamento está atualizado com os arquivos do SP") + Globais::ServicePackIDE);
    F.CancelaAtualizacao();
    F.ScheduleStep(S::cpInterrompeAtualizacao);
    return;
  }
  IniciaLoop(int(SP().FilesToUpdate().size()));
}

void TClassUpdateDriver::Atual_GetFileSize() {
  if (AtualizacaoInterrompida()) return;
  const int i = LerInt("LAST_INDEX");
  const bool soMapa = LerBool("SO_MAPA", false);
  if (i % 100 == 0) Pump();
  const auto &lista = SP().FilesToUpdate();
  auto &t = F.Tela();
  auto &vt = VT();
  if (i >= int(lista.size())) {
    Trace(QStringLiteral("Acabou os arquivos"));
    for (const char *k : {"LAST_INDEX", "LAST_CRC_SAVED", "SUCCESS_COUNT", "UPDATE_CRC_COUNT", "FILE_SIZE"})
      GravaInt(k, 0);
    Salva();
    t.PBK22.Position = 0;
    Render();
    CrcVT().SaveToLocal();
    EscreveCopiaNoScanner();
    F.ScheduleStep(S::cpFinalizaMnu);
    return;
  }
  t.PBK22.Position = 0;
  const auto &entry = *lista[size_t(i)];
  Trace(QStringLiteral("Index: ") + QString::number(i) + QStringLiteral(" - Arq: ") + entry.Fn());
  GravaStr("FILE_NAME", entry.Fn());
  GravaStr("FILE_CRC", entry.Crc());
  GravaInt("FILE_SIZE", int(entry.Sz()));
  Salva();
  AtualizaProgresso();
  auto *rec = RegistroDe(entry.Fn());
  rec->SetDT_Check(CrcControlTimeStamp());

  if (soMapa) {
    Incrementa("LAST_INDEX");
    Incrementa("UPDATE_CRC_COUNT");
    const uint32_t tam = vt.GetFileSize(entry.Fn());
    rec->SetSz(tam);
    rec->SetCrc(QString::number(vt.GetCrcFromFile(entry.Fn(), tam)));
    SalvaCrcNoScanner(100);
    F.ScheduleStep(S::cpAtual_GetFileSize);
    return;
  }

  // a record that already holds values is trusted: the scanner is asked only about unknown files
  const uint32_t tam = rec->Sz() != 0 ? rec->Sz() : vt.GetFileSize(entry.Fn());
  const QString crc = !rec->Crc().isEmpty() ? rec->Crc() : QString::number(vt.GetCrcFromFile(entry.Fn(), tam));
  if (tam >= kTamanhoInvalido || tam != entry.Sz() || crc != entry.Crc()) {
    Trace(QStringLiteral("Crc não bate. VT: ") + crc + QStringLiteral(" - F: ") + entry.Crc());
    rec->SetSz(0);
    rec->SetCrc(QString());
    rec->SetLastSz(tam);
    rec->SetLastCrc(crc);
    CrcVT().SaveToLocal();
    F.ScheduleStep(S::cpAtual_UpdateFile);
    return;
  }
  Incrementa("LAST_INDEX");
  if (rec->Sz() != tam || rec->Crc() != crc) {
    rec->SetSz(tam);
    rec->SetCrc(crc);
    Incrementa("UPDATE_CRC_COUNT");
    SalvaCrcNoScanner(100);
  }
  F.ScheduleStep(S::cpAtual_GetFileSize);
}

void TClassUpdateDriver::Atual_UpdateFile() {
  Pump();
  if (AtualizacaoInterrompida()) return;
  const QString name = LerStr("FILE_NAME");
  const uint32_t size = uint32_t(LerInt("FILE_SIZE"));
  const QString crc = LerStr("FILE_CRC");
  auto *rec = RegistroDe(name);
  Incrementa("UPDATE_CRC_COUNT");
  F.Tela().PBK22.Max = int(size);
  Render();

  auto &sp = SP();
  const QString local = sp.PathSp() + name;
  auto confere = [&] {
    const QFileInfo fi(local);
    if (!fi.isFile()) return false;
    if (uint64_t(fi.size()) != size) return false;
    const auto c = TryCalcCRC64File(local);
    return c && QString::number(*c) == crc;
  };
  if (!confere()) {
    try {
      sp.DownloadFileFromSP(name);
    } catch (const std::exception &) {
      Trace(QStringLiteral("Exceção ao baixar arquivo: ") + name);
    }
  }
  // only the expected content goes onto the scanner: a stale or damaged copy would be recorded
  // as current and never be replaced
  if (confere()) {
    if (VT().GravaArquivo(sp.PathSp(), name))
      RegistraSucessoArquivo(rec, size, crc);
    else
      RegistraFalhaArquivo(rec, QStringLiteral("Falha de gravação"));
  } else {
    RegistraFalhaArquivo(rec, QStringLiteral("Arquivo não localizado"));
  }
  F.ScheduleStep(S::cpAtual_GetFileSize);
}

void TClassUpdateDriver::FinalizaMnu() {
  Trace(QStringLiteral("Scanner Update 0X - FinalizaMnu"));
  F.FAfterReconnection = AR::arNone;
  auto &t = F.Tela();
  for (TProgressBarState *b : {&t.PBK21, &t.PBK22}) {
    b->Position = 0;
    b->ShowPercentage = false;
  }
  const QString decorrido = t.TempoDecorrido;
  t.ProgressoTexto.clear();
  t.TempoDecorrido.clear();
  t.bitAtualizarVisible = true;
  t.bitCancelaAtualizacaoVisible = false;
  Render();
  auto &vt = VT();
  vt.GetInfo72();
  if (LerBool("CANCELADO", true)) {
    F.ScheduleStep(S::cpInterrompeAtualizacao);
    return;
  }
  t.ServicePack = (vt.TipoEquipamentoEnum() == TType_Equipamento::Checkline ? QStringLiteral("1.02")
                                                                             : Globais::ServicePackIDE) +
                  QStringLiteral(" (atualizado)");
  F.MostraFirmware();
  if (vt.FirmwareAtualizado()) {
    const QString sp = vt.Frame() ? QString::number(vt.Frame()->ServicePack) : Globais::ServicePackIDE;
    TClass_PortalDLL::GetInstance().GravaHistoricoAtualizacao(QString::number(vt.NrSerieReduzido()), sp);
  }
  const int erros = LerInt("ERROR_COUNT");
  if (erros < 1)
    informa(F.siLang.IDS(34) + decorrido);
  else
    informa(QStringLiteral("Atualização finalizada. Houve ") + QString::number(erros) +
            QStringLiteral(" erros durante a atualização.") + QStringLiteral("\r") +
            QStringLiteral("Tente novamente ou conctacte o Suporte Técnico!"));
}

void TClassUpdateDriver::InterrompeAtualizacao() {
  Trace(QStringLiteral("Scanner Update 0X - InterrompeAtualizacao"));
  informa(F.siLang.IDS(102));
  auto &t = F.Tela();
  t.ProgressoTexto.clear();
  t.TempoDecorrido.clear();
  for (TProgressBarState *b : {&t.PBK21, &t.PBK22}) {
    b->Position = 0;
    b->ShowPercentage = false;
  }
  t.bitAtualizarVisible = true;
  if (F.SPManager() && LocalCrcCopyExists()) QFile::remove(LocalCrcCopy());
  t.bitCancelaAtualizacaoVisible = false;
  Render();
}

// ---------------------------------------------------------------- firmware

void TClassUpdateDriver::AtualizaFirmware() {
  Trace(QStringLiteral("Scanner Update 01 - AtualizaFirmware"));
  auto &t = F.Tela();
  PreparaBarras(false);
  t.ProgressoTexto.clear();
  t.TempoDecorrido.clear();
  Render();
  informa(QStringLiteral("Atenção, não desconecte o equipamento !"));

  auto *vm = F.VersionManager();
  if (!vm || !vm->VersionInfo()) throw VentraError(QStringLiteral("Não foi possível obter a versão do Service Pack"));
  auto &vt = VT();
  const auto tipo = vt.TipoEquipamentoEnum();
  int resultado = 0;
  for (const auto &img : FirmwareImagesFor(*vm->VersionInfo(), tipo)) {
    if (resultado >= kFirmwareFalhou) break;
    resultado = GravaFirmware(img.localName, img.scannerName);
  }
  if (resultado < kFirmwareFalhou) {
    if (tipo == TType_Equipamento::VentraV6 || tipo == TType_Equipamento::VentraV6S) {
      F.ScheduleStep(S::cpVerificaArquivosExtras);
    } else {
      F.FAfterReconnection = AR::arFinalizaFirmware;
      vt.ResetFisico();
    }
    return;
  }
  informa(QStringLiteral("Atenção, não foi possivel a atualização do firmware !"));
  t.bitAtualizarVisible = true;
  t.bitCancelaAtualizacaoVisible = false;
  Render();
}

int TClassUpdateDriver::GravaFirmware(const QString &localName, const QString &scannerName) {
  auto *vm = F.VersionManager();
  const TFileCrcInfo *entry = vm ? vm->GetFwFile(localName) : nullptr;
  if (!entry) throw VentraError(QStringLiteral("Arquivo não encontrado: ") + localName);
  if (!vm->DownloadFw(*entry))
    throw VentraError(QStringLiteral("Não foi possível fazer download do arquivo: ") + localName);
  QFile file(vm->PathFilesFWLocal() + localName);
  if (!file.open(QIODevice::ReadOnly)) throw VentraError(QStringLiteral("Arquivo não encontrado: ") + localName);
  const QByteArray image = file.readAll();
  file.close();
  const qint64 size = image.size();

  auto &vt = VT();
  auto &t = F.Tela();
  const qint64 passo = size / 5;
  int k = -1;
  while (k < kFirmwareTentativas - 1) {
    ++k;
    Trace(QString::number(k) + QStringLiteral("ª interação"));
    TSerial *serial = vt.SerialObj();
    TFrame *frame = vt.Frame();
    if (!serial || !frame) throw VentraError(QStringLiteral("Objeto Ventra não existe"));

    frame->cmd = FrameLayout::Cmd::WriteFile;
    frame->FileName = scannerName;
    frame->Folder = 0;
    frame->FileSize = uint32_t(size);
    frame->Build();
    serial->Write(frame->Frame);
    frame->setFrameSize(int(FrameLayout::kReplyBuffer));
    serial->ReadFrame(frame->Frame, 10000);

    t.ProgressoTexto = scannerName;
    t.PBK21 = TProgressBarState{0, 1, 0, t.PBK21.ShowPercentage};
    t.PBK22 = TProgressBarState{0, int(size), 0, t.PBK22.ShowPercentage};
    Render();
    Pump();

    for (qint64 pos = 0; pos < size;) {
      const int n = int(std::min<qint64>(kFirmwarePedaco, size - pos));
      serial = vt.SerialObj();
      if (!serial || !serial->WriteEx(image.constData() + pos, n)) break;  // the attempt fails on its CRC
      pos += n;
      if (passo > 0 && pos % passo == 0) {
        t.PBK22.Position = int(pos);
        Render();
        Pump();
      }
    }
    serial = vt.SerialObj();
    frame = vt.Frame();
    if (!serial || !frame) throw VentraError(QStringLiteral("Objeto Ventra não existe"));
    frame->setFrameSize(int(FrameLayout::kReplyBuffer));
    serial->ReadFrame(frame->Frame, 10000);
    frame->Parse();
    t.ProgressoTexto.clear();
    t.PBK21 = TProgressBarState{0, 0, 0, t.PBK21.ShowPercentage};
    t.PBK22 = TProgressBarState{0, 0, 0, t.PBK22.ShowPercentage};
    Render();

    frame->cmd = FrameLayout::Cmd::FileCrc;
    frame->FileName = scannerName;
    frame->Folder = 0;
    frame->Build();  // clears CRC: no reply leaves it 0
    serial->Write(frame->Frame);
    frame->setFrameSize(int(FrameLayout::kReplyBuffer));
    serial->ReadFrame(frame->Frame, 10000);
    frame->Parse();
    const QString crcVT = QString::number(frame->CRC);
    if (crcVT == entry->Crc()) {
      if (vt.TipoEquipamentoEnum() == TType_Equipamento::Checkline && scannerName == QLatin1String("cklctrl")) {
        frame->cmd = FrameLayout::Cmd::SubCommand;
        frame->SubComandoAF = FrameLayout::SubCmd::FirmwareWritten;
        frame->Build();
        serial->Write(frame->Frame);
        frame->setFrameSize(int(FrameLayout::kReplyBuffer));
        serial->ReadFrame(frame->Frame, 3000);
        frame->Parse();
      }
      return k;
    }
  }
  return kFirmwareFalhou;
}

void TClassUpdateDriver::FinalizaFirmware() {
  Trace(QStringLiteral("Scanner Update 02 - FinalizaFirmware"));
  auto &vt = VT();
  if (vt.Frame() && vt.Frame()->FSIntegrity) {
    F.MostraFirmware();
    F.ScheduleStep(S::cpVerificaArquivosExtras);
    return;
  }
  informa(QStringLiteral("Atenção: não foi possível confirmar a integridade da atualização de firmware. Por favor, "
                         "entre em contato com o suporte!"));
  F.ScheduleStep(S::cpInterrompeAtualizacao);
}
