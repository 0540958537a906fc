#include "update/VersionManager.h"

#include <QFile>
#include <QFileInfo>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "app/BuildConfig.h"
#include "app/VentraError.h"
#include "protocol/Crc64.h"

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

const QString kInfoFile = QStringLiteral("info_fw.json");
const QString kCrcFile = QStringLiteral("FileCrcControl.json");

json parse(const QByteArray &text) {
  QByteArray body = text;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  return json::parse(body.constBegin(), body.constEnd());
}

QString text(const json &obj, const char *name) {
  auto it = obj.find(name);
  if (it == obj.end() || it->is_null()) return {};
  if (!it->is_string()) throw std::runtime_error(std::string("member \"") + name + "\" is not a string");
  return QString::fromStdString(it->get<std::string>());
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error(f.errorString().toStdString());
  return f.readAll();
}

std::vector<TFileCrcInfo> parseImageList(const QByteArray &bytes) {
  const json doc = parse(bytes);
  if (!doc.is_array()) throw std::runtime_error("the top value is not a JSON array");
  std::vector<TFileCrcInfo> out;
  out.reserve(doc.size());
  for (const auto &el : doc) {
    if (!el.is_object()) throw std::runtime_error("an element of the array is not an object");
    TFileCrcInfo info;
    if (auto it = el.find("sz"); it != el.end() && !it->is_null()) {
      if (it->is_number_unsigned())
        info.SetSz(it->get<uint64_t>());
      else if (it->is_number_integer() && it->get<int64_t>() >= 0)
        info.SetSz(uint64_t(it->get<int64_t>()));
      else
        throw std::runtime_error("member \"sz\" is not an unsigned size");
    }
    if (auto it = el.find("crc"); it != el.end() && it->is_number_unsigned())
      info.SetCrc(QString::number(it->get<uint64_t>()));
    else
      info.SetCrc(text(el, "crc"));
    info.SetFn(text(el, "fn"));
    out.push_back(std::move(info));
  }
  return out;
}

}  // namespace

TVersionInfo TVersionInfo::FromJsonText(const QByteArray &bytes) {
  const json doc = parse(bytes);
  if (!doc.is_object()) throw std::runtime_error("the top value is not a JSON object");
  TVersionInfo v;
  if (auto it = doc.find("servicePack"); it != doc.end() && !it->is_null()) {
    const bool inRange = (it->is_number_integer() && !it->is_number_unsigned() &&
                          it->get<int64_t>() >= std::numeric_limits<int>::min() &&
                          it->get<int64_t>() <= std::numeric_limits<int>::max()) ||
                         (it->is_number_unsigned() && it->get<uint64_t>() <= uint64_t(std::numeric_limits<int>::max()));
    if (!inRange) throw std::runtime_error("member \"servicePack\" is not an integer");
    v.FServicePack = int(it->get<int64_t>());
  }
  v.Ffw_checkline = text(doc, "fw_checkline");
  v.Ffw_v2 = text(doc, "fw_v2");
  v.Ffw_v3 = text(doc, "fw_v3");
  v.Ffw_v4 = text(doc, "fw_v4");
  v.Ffw_v5 = text(doc, "fw_v5");
  v.Ffw_v6 = text(doc, "fw_v6");
  v.Ffw_v6s = text(doc, "fw_v6s");
  v.Ffw_sniffer = text(doc, "fw_sniffer");
  v.Fmlo_v3 = text(doc, "mlo_v3");
  v.Fmlo_v4 = text(doc, "mlo_v4");
  v.Fmlo_v5 = text(doc, "mlo_v5");
  v.Fmlo_v6 = text(doc, "mlo_v6");
  v.Fmlo_v6s = text(doc, "mlo_v6s");
  return v;
}

QByteArray TVersionInfo::ToJsonText() const {
  ordered_json o;
  o["servicePack"] = FServicePack;
  o["fw_checkline"] = Ffw_checkline.toStdString();
  o["fw_v2"] = Ffw_v2.toStdString();
  o["fw_v3"] = Ffw_v3.toStdString();
  o["fw_v4"] = Ffw_v4.toStdString();
  o["fw_v5"] = Ffw_v5.toStdString();
  o["fw_v6"] = Ffw_v6.toStdString();
  o["fw_v6s"] = Ffw_v6s.toStdString();
  o["fw_sniffer"] = Ffw_sniffer.toStdString();
  o["mlo_v3"] = Fmlo_v3.toStdString();
  o["mlo_v4"] = Fmlo_v4.toStdString();
  o["mlo_v5"] = Fmlo_v5.toStdString();
  o["mlo_v6"] = Fmlo_v6.toStdString();
  o["mlo_v6s"] = Fmlo_v6s.toStdString();
  return QByteArray::fromStdString(o.dump(2));
}

std::vector<TFirmwareImage> FirmwareImagesFor(const TVersionInfo &info, TType_Equipamento tipo) {
  using T = TType_Equipamento;
  if (tipo == T::Checkline) {
    const QString v = info.fw_checkline();
    return {{"ckl_" + v + ".bin", "ckl_" + v}, {"cklctrl_" + v + ".bin", "cklctrl"}};
  }
  QString v, m, bootPrefix;
  switch (tipo) {
    case T::VentraV3:
    case T::Omnibox2:
    case T::VentraRTX:
    case T::VentraPad:
      v = info.fw_v3();
      m = info.mlo_v3();
      bootPrefix = "MLO_3_";
      break;
    case T::VentraV4:
    case T::VentraPad2:
      v = info.fw_v4();
      m = info.mlo_v4();
      bootPrefix = "MLO_4_";
      break;
    case T::VentraV5:
    case T::VentraPad3:
    case T::VentraV5X:
    case T::VentraPad3X:
      v = info.fw_v5();
      m = info.mlo_v5();
      bootPrefix = "MLO_5_";
      break;
    case T::VentraV6:
      v = info.fw_v6();
      m = info.mlo_v6();
      bootPrefix = "MLO_6_";
      break;
    case T::VentraV6S:
      v = info.fw_v6s();
      m = info.mlo_v6s();
      bootPrefix = "MLO_6S_";
      break;
    default:
      return {};
  }
  return {{"app_" + v + ".bin", "app_" + v}, {"appctrl_" + v + ".bin", "appctrl"}, {bootPrefix + m + ".bin", "mlo"}};
}

TClassVersionManager::TClassVersionManager(const QString &baseFolder)
    : FPathFilesFWServer(UpdateIo::ServerFilesUrl() + (QFileInfo::exists(baseFolder + QStringLiteral("homolog.txt"))
                                                           ? QStringLiteral("fw/homolog/")
                                                           : QStringLiteral("fw/oficial/"))),
      FPathFilesFWLocal(baseFolder + QStringLiteral("fw/")),
      FDownload(UpdateIo::DefaultDownload()) {}

TClassVersionManager::TClassVersionManager() : TClassVersionManager(BuildConfig::baseFolder()) {}

QString TClassVersionManager::Fetch(const QString &fileName) {
  try {
    return FDownload(FPathFilesFWServer, FPathFilesFWLocal, fileName);
  } catch (const VentraError &e) {
    return e.text();
  } catch (const std::exception &e) {
    return QString::fromUtf8(e.what());
  }
}

void TClassVersionManager::CarregaInfo() {
  FCarregado = true;
  FVersionInfo.reset();
  FFwFiles.clear();
  FFwIndex.clear();

  auto missing = [this](const QString &err, const QString &name) {
    Trace(err.isEmpty() ? QStringLiteral("Arquivo não encontrado: ") + name : QStringLiteral("Erro: ") + err);
  };

  Trace(QStringLiteral("Baixando arquivo: ") + kInfoFile);
  QString err = Fetch(kInfoFile);
  if (QFileInfo(FPathFilesFWLocal + kInfoFile).isFile()) {
    try {
      FVersionInfo =
          std::make_unique<TVersionInfo>(TVersionInfo::FromJsonText(readFile(FPathFilesFWLocal + kInfoFile)));
    } catch (const std::exception &e) {
      Trace(QStringLiteral("Falha ao ler json: ") + kInfoFile + QStringLiteral(" - ") + QString::fromUtf8(e.what()));
    }
  } else {
    missing(err, kInfoFile);
  }

  Trace(QStringLiteral("Baixando arquivo: ") + kCrcFile);
  err = Fetch(kCrcFile);
  if (QFileInfo(FPathFilesFWLocal + kCrcFile).isFile()) {
    try {
      FFwFiles = parseImageList(readFile(FPathFilesFWLocal + kCrcFile));
      for (qsizetype i = 0; i < qsizetype(FFwFiles.size()); ++i)
        if (!FFwIndex.contains(FFwFiles[i].Fn())) FFwIndex.insert(FFwFiles[i].Fn(), i);
    } catch (const std::exception &e) {
      // an image list that cannot be read discards the version record as well
      Trace(QStringLiteral("Falha ao ler json: ") + kCrcFile + QStringLiteral(" - ") + QString::fromUtf8(e.what()));
      FVersionInfo.reset();
      FFwFiles.clear();
      FFwIndex.clear();
    }
  } else {
    missing(err, kCrcFile);
  }
}

const TFileCrcInfo *TClassVersionManager::GetFwFile(const QString &fileName) const {
  auto it = FFwIndex.constFind(fileName);
  return it == FFwIndex.constEnd() ? nullptr : &FFwFiles[size_t(it.value())];
}

bool TClassVersionManager::DownloadFw(const TFileCrcInfo &fileInfo) {
  const QString name = fileInfo.Fn();
  if (!UpdateIo::IsPlainFileName(name)) {
    Trace(QStringLiteral("Nome de arquivo inválido: ") + name);
    return false;
  }
  const QString local = FPathFilesFWLocal + name;
  auto hasListedCrc = [&] {
    const auto crc = TryCalcCRC64File(local);
    return crc && QString::number(*crc) == fileInfo.Crc();
  };
  if (QFileInfo(local).isFile() && hasListedCrc()) return true;
  Trace(QStringLiteral("Baixando arquivo: ") + name);
  const QString err = Fetch(name);
  if (!err.isEmpty()) Trace(QStringLiteral("Erro: ") + err);
  return QFileInfo(local).isFile() && hasListedCrc();
}

int TClassVersionManager::ServicePackIDE() {
  if (!FCarregado) CarregaInfo();
  return FVersionInfo ? FVersionInfo->ServicePack() : -1;
}
