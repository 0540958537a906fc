#include "update/ServicePackManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <limits>

#include "app/Globais.h"
#include "app/ShellUi.h"
#include "app/VentraError.h"
#include "protocol/Crc64.h"
#include "protocol/VentraLib.h"
#include "update/MnuManager.h"

const char *const kExtraFileMasks[17] = {"*.mnu", "*_PT.BIN", "*.FLX", "app",  "appctrl", "app_*",
                                         "ckl",   "cklctrl",  "ckl_*", "mlo",  "*.app",   "*.smk",
                                         "*.bmp", "*.bkp",    "*.log", "*.v4", "*.v6"};

namespace {

QSet<QString> bmpSet(std::initializer_list<const char *> names) {
  QSet<QString> s;
  for (const char *n : names) s.insert(QString::fromLatin1(n) + QStringLiteral(".BMP"));
  return s;
}

const QSet<QString> &v5Images() {
  static const QSet<QString> s = [] {
    QSet<QString> r = bmpSet({"IM000400", "IM001060", "IM002022", "IM016020", "IM025001", "IM025002", "IM026020",
                              "IM029000", "IM035001", "IM035002", "IM039000", "IM040000", "IM090007", "IM090008",
                              "IM090013", "IM090016", "IM090017", "IM090018", "IM090024", "IM090025", "IM090026",
                              "IM090027", "IM090031", "IM090032", "START",    "STARTV5",  "STARTV5X"});
    return r;
  }();
  return s;
}

const QSet<QString> &v6Images() {
  static const QSet<QString> s = [] {
    QSet<QString> r = bmpSet({"STARTV6", "STARTV6S"});
    for (int i = 0; i <= 20; ++i) r.insert(QStringLiteral("IM6%1.BMP").arg(i, 5, 10, QLatin1Char('0')));
    return r;
  }();
  return s;
}

const QSet<QString> &v4Images() {
  static const QSet<QString> s = bmpSet({"IM090032", "IM090027", "IM090024", "IM090016", "IM090017", "IM090018",
                                         "IM090013", "IM090008", "IM090007", "IM039000", "IM035001", "IM035002",
                                         "IM029000", "IM026020", "IM025002", "IM025001", "IM016020"});
  return s;
}

// Whether an image (upper-cased name) belongs to the model's image set; models without images: false.
bool imageForModel(TType_Equipamento tipo, const QString &upper) {
  switch (tipo) {
    case TType_Equipamento::VentraV5:
    case TType_Equipamento::VentraV5X:
      return v5Images().contains(upper);
    case TType_Equipamento::VentraV6:
    case TType_Equipamento::VentraV6S:
      return v6Images().contains(upper);
    case TType_Equipamento::VentraV4:
      return v4Images().contains(upper) || (!v5Images().contains(upper) && !v6Images().contains(upper));
    default:
      return false;
  }
}

bool modelHasImages(TType_Equipamento tipo) {
  switch (tipo) {
    case TType_Equipamento::VentraV4:
    case TType_Equipamento::VentraV5:
    case TType_Equipamento::VentraV5X:
    case TType_Equipamento::VentraV6:
    case TType_Equipamento::VentraV6S:
      return true;
    default:
      return false;
  }
}

std::unique_ptr<TClassFileCrcControlValue> copyOf(const TClassFileCrcControlValue &v) {
  return std::make_unique<TClassFileCrcControlValue>(v.Sz(), v.Fn(), v.Crc());
}

}  // namespace

QString ServicePackStem(const QString &upperName) {
  qsizetype cut = upperName.indexOf('_');
  if (cut < 0) cut = upperName.indexOf('.');
  return cut < 0 ? upperName : upperName.left(cut);
}

TClassServicePackManager::TClassServicePackManager(const QString &pathExe, const QString &pathVT, const QString &spIDE,
                                                   const QString &serieReduzido)
    : FSpIDE(spIDE),
      FPathExe(pathExe),
      FPathSp(pathExe + QStringLiteral("vt/sp") + spIDE + QStringLiteral("/")),
      FPathVt(pathVT),
      FCrcManager(std::make_unique<TClassFileCrcControlManager>(FPathSp, QStringLiteral("FileCrcControl.json"))),
      FCrcManagerVT(std::make_unique<TClassFileCrcControlManagerVT>(pathVT, QStringLiteral("C"), serieReduzido)),
      FSerieReduzido(serieReduzido),
      FDownload(UpdateIo::DefaultDownload()),
      FUnzip(UpdateIo::DefaultUnzip()) {}

TClassServicePackManager::~TClassServicePackManager() { FOnLog = nullptr; }

void TClassServicePackManager::LoadCrcControl() {
  const QString name = QStringLiteral("FileCrcControl.json");
  QString err;
  try {
    err = FDownload(UpdateIo::ServicePackServerUrl(FSpIDE), FPathSp, name);
  } catch (const VentraError &e) {
    err = e.text();
  } catch (const std::exception &e) {
    err = QString::fromUtf8(e.what());
  }
  if (!err.isEmpty()) throw VentraError(err);
  FCrcManager->LoadCrcFileContent();
}

void TClassServicePackManager::DownloadFileFromSP(const QString &fileName) {
  // a name from the server's list must not lead outside the service-pack folder
  if (!UpdateIo::IsPlainFileName(fileName)) throw VentraError(QStringLiteral("Nome de arquivo inválido: ") + fileName);
  // the archive is named by the file's name up to its first dot; a name without a dot is taken whole
  const qsizetype dot = fileName.indexOf('.');
  const QString archive = (dot < 0 ? fileName : fileName.left(dot)) + QStringLiteral(".zip");

  QString err;
  try {
    err = FDownload(UpdateIo::ServicePackServerUrl(FSpIDE), FPathSp, archive);
  } catch (const VentraError &e) {
    err = e.text();
  } catch (const std::exception &e) {
    err = QString::fromUtf8(e.what());
  }
  if (!err.isEmpty()) throw VentraError(err);

  ShellUi::get().StatusShowMsg(QStringLiteral("Descompactando arquivo ") + archive + QStringLiteral(". Aguarde..."));
  QString unzipError;
  bool unpacked = false;
  try {
    unpacked = FUnzip(FPathSp + archive, FPathSp, unzipError);
  } catch (const std::exception &e) {
    unzipError = QString::fromUtf8(e.what());
  }
  ShellUi::get().StatusClose();
  if (!unpacked && FOnLog)
    FOnLog(QStringLiteral("Falha ao descompactar ") + archive + QStringLiteral(": ") + unzipError);

  // an archive without the expected file stays for inspection; the caller finds the file missing
  if (QFileInfo(FPathSp + fileName).isFile()) QFile::remove(FPathSp + archive);
}

TClassFileCrcControlVtValue *TClassServicePackManager::GetVtValue(const QString &fileName) const {
  return FCrcManagerVT->GetInfoCrc(fileName);
}

void TClassServicePackManager::PrepareListToUpdate(TType_Equipamento tipo, int idioma) {
  FFilesToUpdate.clear();
  const int lang = (idioma == 1 || idioma == 2) ? idioma : 0;
  const auto &sp = FCrcManager->Lista();

  // upper-cased names once, and the first "M000.MNU"
  std::vector<QString> upper;
  upper.reserve(sp.size());
  const TClassFileCrcControlValue *m000 = nullptr;
  for (const auto &e : sp) {
    upper.push_back(e->Fn().toUpper());
    if (!m000 && upper.back() == QLatin1String("M000.MNU")) m000 = e.get();
  }

  // 1. ".V6" files; their stems keep language, script and ".FLX" files of the same stem out
  QSet<QString> v6Stems;
  for (size_t i = 0; i < sp.size(); ++i) {
    if (!upper[i].endsWith(QLatin1String(".V6"))) continue;
    FFilesToUpdate.push_back(copyOf(*sp[i]));
    v6Stems.insert(ServicePackStem(upper[i]));
  }
  auto addUnlessV6 = [&](const QString &suffix) {
    for (size_t i = 0; i < sp.size(); ++i)
      if (upper[i].endsWith(suffix) && !v6Stems.contains(ServicePackStem(upper[i])))
        FFilesToUpdate.push_back(copyOf(*sp[i]));
  };

  // 2. language tables and scripts for the V3/V4 family
  if (int(tipo) < int(TType_Equipamento::VentraV3)) {
    FFilesToUpdate.clear();
    throw VentraError(QStringLiteral("Tipo de equipamento inválido"));
  }
  const TScannerFamily family =
      int(tipo) <= int(TType_Equipamento::VentraPad2) ? TScannerFamily::tfV3_V4 : TScannerFamily::tfV5_V6;
  if (family == TScannerFamily::tfV3_V4) {
    static const char *const kLangSuffix[] = {"_PT.BIN", "_ES.BIN", "_EN.BIN"};
    addUnlessV6(QString::fromLatin1(kLangSuffix[lang]));
    addUnlessV6(QStringLiteral("_%1.SMK").arg(lang));
  }

  // 3. menu files the family needs, as the service pack names them
  TClassMnuManager mnu;
  mnu.SetLanguage(TMnuLanguage(lang));
  mnu.SetScannerFamily(family);
  mnu.PrepareList();
  for (const auto &info : mnu.Files())
    if (const auto *e = FCrcManager->GetInfoCrc(info->FileName())) FFilesToUpdate.push_back(copyOf(*e));

  // 4. the model's image set
  if (modelHasImages(tipo)) {
    for (size_t i = 0; i < sp.size(); ++i) {
      const QString &u = upper[i];
      if (u.endsWith(QLatin1String(".BMP")) && !u.startsWith(QLatin1String("IM08")) && imageForModel(tipo, u))
        FFilesToUpdate.push_back(copyOf(*sp[i]));
    }
  }

  // 5. ".FLX" files, 6. "M000.MNU"
  addUnlessV6(QStringLiteral(".FLX"));
  if (m000) FFilesToUpdate.push_back(copyOf(*m000));

  KeepWhatScannerNeeds();
}

void TClassServicePackManager::PrepareListToUpdate() {
  PrepareListToUpdate(TClass_VentraLib::GetInstance()->TipoEquipamentoEnum(), Globais::IndiceIdioma);
}

void TClassServicePackManager::PrepareExtrasToUpdate() {
  FFilesToUpdate.clear();
  const QDir dir(PathExtras());
  QHash<QString, QString> crcByPath;  // a file matched by two masks is read once
  for (const char *mask : kExtraFileMasks) {
    const QFileInfoList files = dir.entryInfoList(QStringList{QString::fromLatin1(mask)}, QDir::Files | QDir::Hidden,
                                                  QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &fi : files) {
      const QString path = fi.absoluteFilePath();
      auto it = crcByPath.find(path);
      if (it == crcByPath.end()) {
        const auto crc = TryCalcCRC64File(path);
        if (!crc) {
          if (FOnLog) FOnLog(QStringLiteral("Arquivo não encontrado: ") + fi.fileName());
          continue;
        }
        it = crcByPath.insert(path, QString::number(*crc));
      }
      const uint32_t size = uint32_t(std::min<qint64>(fi.size(), std::numeric_limits<uint32_t>::max()));
      FFilesToUpdate.push_back(std::make_unique<TClassFileCrcControlValue>(size, fi.fileName(), it.value()));
    }
  }
  KeepWhatScannerNeeds();
}

void TClassServicePackManager::KeepWhatScannerNeeds() {
  TFileList kept;
  kept.reserve(FFilesToUpdate.size());
  for (auto &e : FFilesToUpdate) {
    const auto *rec = FCrcManagerVT->GetInfoCrc(e->Fn());
    if (!rec || rec->Sz() != e->Sz() || rec->Crc() != e->Crc()) kept.push_back(std::move(e));
  }
  FFilesToUpdate = std::move(kept);
}
