#pragma once
#include <QObject>
#include <QString>
#include <functional>

#include "app/FrmPrincipal.h"

class TClassConfLocal;
class TClassServicePackManager;
class TClassFileCrcControlVtValue;
class TClassFileCrcControlManagerVT;
class TClass_VentraLib;
class TFileCrcInfo;

// The scanner update: firmware, extra files and service-pack files, one file per step of the
// main window's step runner. Progress and counters live in the section ATUALIZACAO of the local
// configuration, so a pulled cable or a reset resumes the loop when the scanner comes back.
// Created as a child of the main window, which hands it its update steps.
class TClassUpdateDriver : public QObject {
 public:
  explicit TClassUpdateDriver(TfrmPrincipal &frm);

  // The driver of a main window, created on first use.
  static TClassUpdateDriver &Of(TfrmPrincipal &frm);

  // Button actions (the main window has checked visibility and the model).
  void IniciaAtualizacao();
  void IniciaMapaCRC();
  // Runs an update step; false for steps that are not the update's.
  bool ExecutaPasso(TTimerControlPrincipalEnum step);

  // The steps.
  void AtualizaFirmware();
  void FinalizaFirmware();
  void VerificaArquivosExtras();
  void AtualizaFileExtra();
  void FinalizaArquivosExtras();
  void BaixarLogs();
  void VerificaEquipAtualizado();
  void AtualizaMnu();
  void MontaMapaCRC();
  void Atual_GetFileSize();
  void Atual_UpdateFile();
  void FinalizaMnu();
  void InterrompeAtualizacao();

  // Writes one firmware image; the attempt index of the verified write, kFirmwareFalhou when
  // every attempt failed. Raises "Arquivo não encontrado: " / "Não foi possível fazer download
  // do arquivo: " + local name.
  int GravaFirmware(const QString &localName, const QString &scannerName);
  static constexpr int kFirmwareTentativas = 3;
  static constexpr int kFirmwareFalhou = 3;
  static constexpr int kFirmwarePedaco = 16;

  bool AtualizacaoInterrompida();
  void AtualizaProgresso();
  void SalvaCrcNoScanner(int n);

  // Connectivity check before the server steps (default: the build's probe answering 204).
  void SetVerificaInternet(std::function<bool()> fn) { FVerificaInternet = std::move(fn); }

 private:
  TClassConfLocal &Conf();
  TClassServicePackManager &SP();
  TClass_VentraLib &VT();
  TClassFileCrcControlManagerVT &CrcVT();
  QString LocalCrcCopy();
  bool LocalCrcCopyExists();
  TClassFileCrcControlVtValue *RegistroDe(const QString &name);
  void CopiaCrcDoScanner();
  bool EscreveCopiaNoScanner();  // writes the local copy onto the scanner and deletes it
  void IniciaLoop(int qtdArquivos);
  void RegistraSucessoArquivo(TClassFileCrcControlVtValue *rec, uint32_t size, const QString &crc);
  void RegistraFalhaArquivo(TClassFileCrcControlVtValue *rec, const QString &reason);
  void PreparaBarras(bool mostraPercentual);
  bool SemInternet();

  int LerInt(const char *key, int def = 0);
  void GravaInt(const char *key, int value);
  void Incrementa(const char *key);
  bool LerBool(const char *key, bool def);
  void GravaBool(const char *key, bool value);
  QString LerStr(const char *key);
  void GravaStr(const char *key, const QString &value);
  void Salva();

  void Trace(const QString &t);
  void Render();
  void Pump();

  TfrmPrincipal &F;
  std::function<bool()> FVerificaInternet;
};
