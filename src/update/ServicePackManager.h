#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "protocol/EquipmentType.h"
#include "update/FileCrcControl.h"
#include "update/UpdateIo.h"

// The PC side of this program's service pack: its file list, fetching single files, and the list of
// files (service-pack or extra files) that the connected scanner needs.
class TClassServicePackManager {
 public:
  using TLogEvent = std::function<void(const QString &)>;
  using TFileList = std::vector<std::unique_ptr<TClassFileCrcControlValue>>;

  // pathExe and pathVT with a trailing separator; spIDE this program's service-pack number as text.
  TClassServicePackManager(const QString &pathExe, const QString &pathVT, const QString &spIDE,
                           const QString &serieReduzido);
  ~TClassServicePackManager();

  const QString &PathExe() const { return FPathExe; }
  const QString &SpIDE() const { return FSpIDE; }
  const QString &PathSp() const { return FPathSp; }
  const QString &PathVt() const { return FPathVt; }
  const QString &SerieReduzido() const { return FSerieReduzido; }
  void SetSerieReduzido(const QString &v) { FSerieReduzido = v; }
  QString PathExtras() const { return FPathExe + QStringLiteral("files/"); }
  TClassFileCrcControlManager &CrcManager() { return *FCrcManager; }
  TClassFileCrcControlManagerVT &CrcManagerVT() { return *FCrcManagerVT; }
  const TFileList &FilesToUpdate() const { return FFilesToUpdate; }
  const TLogEvent &OnLog() const { return FOnLog; }
  void SetOnLog(TLogEvent ev) { FOnLog = std::move(ev); }

  // Replace the download or the unzip (defaults: the program's own).
  void SetDownloader(UpdateIo::TDownloadFn fn) { FDownload = std::move(fn); }
  void SetUnzipper(UpdateIo::TUnzipFn fn) { FUnzip = std::move(fn); }

  // Downloads "FileCrcControl.json" of the service pack into PathSp and loads it.
  // Throws VentraError with the download's error text, or the "Falha ao ler json" error.
  void LoadCrcControl();
  // Fetches the archive of one service-pack file and unpacks it into PathSp.
  void DownloadFileFromSP(const QString &fileName);
  // The scanner record named exactly fileName, or nullptr.
  TClassFileCrcControlVtValue *GetVtValue(const QString &fileName) const;

  // The service-pack files the scanner of this type needs, for the user-interface language
  // idioma (0 PT, 1 ES, 2 EN). Throws VentraError "Tipo de equipamento inválido" below VentraV3.
  void PrepareListToUpdate(TType_Equipamento tipo, int idioma);
  // Same for the connected scanner's type (device session) and the user-interface language.
  void PrepareListToUpdate();
  // The files of the extra-files folder the scanner needs.
  void PrepareExtrasToUpdate();

 private:
  void KeepWhatScannerNeeds();

  TLogEvent FOnLog;
  QString FSpIDE;
  QString FPathExe;
  QString FPathSp;
  QString FPathVt;
  std::unique_ptr<TClassFileCrcControlManager> FCrcManager;
  std::unique_ptr<TClassFileCrcControlManagerVT> FCrcManagerVT;
  TFileList FFilesToUpdate;
  QString FSerieReduzido;
  UpdateIo::TDownloadFn FDownload;
  UpdateIo::TUnzipFn FUnzip;
};

// Extra-file masks, in the order the extra files are listed.
extern const char *const kExtraFileMasks[17];
// The stem of a file name for the ".V6" rule: up to the first "_", else up to the first ".".
QString ServicePackStem(const QString &upperName);
