#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Menu files (".MNU") a scanner must hold, per scanner family and display language.
enum class TMnuType : int {
  mnuMsgUsuario,
  mnuParametros,
  mnuStatusParametros,
  mnuAjustes,
  mnuAtuadores,
  mnuComandoAjuste,
  mnuComandoAtuador,
  mnuMsgAdicFalhas,
  mnuStatusFalhas,
  mnuTitulosFalhas,
  mnuInfoSolicitada,
  mnuTipoInfoECU,
  mnuAbrevParam,
  mnuAbrevAjuste,
  mnuAbrevAtuador,
  mnuAbrevComandoAjuste,
  mnuAbrevComandoAtuador,
  mnuCript01,
  mnuCript02,
  mnuCript03,
  mnuCript04,
  mnuCript05,
  mnuSP,
  mnuMontadoraOtto,
  mnuMontadoraDiesel,
  mnuGrupoModeloOtto,
  mnuGrupoModeloDiesel,
  mnuModeloOtto,
  mnuModeloDiesel,
  mnuAssocModSisOtto,
  mnuAssocModSisDiesel,
  mnuSiglaSis,
  mnuSistemaRegGrupos,
  mnuInfoSistema,
  mnuParamPorGrupo,
  mnuVisualGraph,
  mnuAssocGrupoAjustes,
  mnuAssocGrupoAtuadores,
  mnuParamPorAjuste,
  mnuParamPorAtuador,
  mnuFalhas,
  mnuValoresIA,
  mnuPidsVariaveis,
  mnuSistemaBigData,
  mnuListaFalhasBDG,
  mnuAssocSolucoesBDG,
  mnuTituloSolucoesBDG,
  mnuAssocVinHeaders,
  mnuFormulasOdometro,
  mnuAdaptadorV2,
  mnuGrupoAdaptador,
  mnuAdaptadorV3,
  mnuArquivoAdaptador,
};
inline constexpr int kMnuTypeCount = 53;

enum class TMnuLanguage : int { mnuPT, mnuES, mnuEN, mnuIT, mnuPTPT, mnuGR, mnuFR };
enum class TScannerFamily : int { tfV3_V4, tfV5_V6 };

// "0", "1", "2" for PT, ES, EN; empty for every other language.
QString MnuLanguageDigit(TMnuLanguage language);
// The file name of a menu type in a language ("M9031.MNU" for mnuParametros in ES).
QString MnuFileName(TMnuType type, TMnuLanguage language);

class TClassMnuInfo {
 public:
  const QString &FileName() const { return FFileName; }
  TMnuType MnuType() const { return FMnuType; }
  const QString &Path() const { return FPath; }
  void SetFileName(const QString &v) { FFileName = v; }
  void SetMnuType(TMnuType v) { FMnuType = v; }
  void SetPath(const QString &v) { FPath = v; }
  // Size of Path + "/" + FileName, 0 when that file does not exist.
  int64_t GetFileSize() const;

 private:
  QString FFileName;
  TMnuType FMnuType = TMnuType::mnuMsgUsuario;
  QString FPath;
};

class TClassMnuManager {
 public:
  TMnuLanguage Language() const { return FLanguage; }
  TScannerFamily ScannerFamily() const { return FScannerFamily; }
  void SetLanguage(TMnuLanguage v) { FLanguage = v; }
  void SetScannerFamily(TScannerFamily v) { FScannerFamily = v; }
  void SetFiles(std::vector<std::unique_ptr<TClassMnuInfo>> files) { FFiles = std::move(files); }
  const std::vector<std::unique_ptr<TClassMnuInfo>> &Files() const { return FFiles; }

  // Appends the required menu files of the family and language: 49 for tfV3_V4, 44 for tfV5_V6.
  // A second call appends the list again.
  void PrepareList();

 private:
  TMnuLanguage FLanguage = TMnuLanguage::mnuPT;
  TScannerFamily FScannerFamily = TScannerFamily::tfV3_V4;
  std::vector<std::unique_ptr<TClassMnuInfo>> FFiles;
};
