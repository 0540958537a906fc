#pragma once
#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "protocol/EquipmentType.h"
#include "update/UpdateIo.h"

// The version record of this release ("info_fw.json"): its service-pack number and the firmware
// versions per scanner family.
class TVersionInfo {
 public:
  int ServicePack() const { return FServicePack; }
  const QString &fw_checkline() const { return Ffw_checkline; }
  const QString &fw_v2() const { return Ffw_v2; }
  const QString &fw_v3() const { return Ffw_v3; }
  const QString &fw_v4() const { return Ffw_v4; }
  const QString &fw_v5() const { return Ffw_v5; }
  const QString &fw_v6() const { return Ffw_v6; }
  const QString &fw_v6s() const { return Ffw_v6s; }
  const QString &fw_sniffer() const { return Ffw_sniffer; }
  const QString &mlo_v3() const { return Fmlo_v3; }
  const QString &mlo_v4() const { return Fmlo_v4; }
  const QString &mlo_v5() const { return Fmlo_v5; }
  const QString &mlo_v6() const { return Fmlo_v6; }
  const QString &mlo_v6s() const { return Fmlo_v6s; }
  void SetServicePack(int v) { FServicePack = v; }
  void Setfw_checkline(const QString &v) { Ffw_checkline = v; }
  void Setfw_v2(const QString &v) { Ffw_v2 = v; }
  void Setfw_v3(const QString &v) { Ffw_v3 = v; }
  void Setfw_v4(const QString &v) { Ffw_v4 = v; }
  void Setfw_v5(const QString &v) { Ffw_v5 = v; }
  void Setfw_v6(const QString &v) { Ffw_v6 = v; }
  void Setfw_v6s(const QString &v) { Ffw_v6s = v; }
  void Setfw_sniffer(const QString &v) { Ffw_sniffer = v; }
  void Setmlo_v3(const QString &v) { Fmlo_v3 = v; }
  void Setmlo_v4(const QString &v) { Fmlo_v4 = v; }
  void Setmlo_v5(const QString &v) { Fmlo_v5 = v; }
  void Setmlo_v6(const QString &v) { Fmlo_v6 = v; }
  void Setmlo_v6s(const QString &v) { Fmlo_v6s = v; }

  // Parses the JSON object of "info_fw.json"; throws std::exception on malformed text or wrong types.
  static TVersionInfo FromJsonText(const QByteArray &text);
  // The JSON object text, members in declaration order.
  QByteArray ToJsonText() const;

 private:
  int FServicePack = 0;
  QString Ffw_checkline, Ffw_v2, Ffw_v3, Ffw_v4, Ffw_v5, Ffw_v6, Ffw_v6s, Ffw_sniffer;
  QString Fmlo_v3, Fmlo_v4, Fmlo_v5, Fmlo_v6, Fmlo_v6s;
};

// One firmware image of the firmware folder's "FileCrcControl.json".
class TFileCrcInfo {
 public:
  TFileCrcInfo() = default;
  TFileCrcInfo(uint64_t sz, QString crc, QString fn) : FSz(sz), FCrc(std::move(crc)), FFn(std::move(fn)) {}
  uint64_t Sz() const { return FSz; }
  const QString &Crc() const { return FCrc; }
  const QString &Fn() const { return FFn; }
  void SetSz(uint64_t v) { FSz = v; }
  void SetCrc(const QString &v) { FCrc = v; }
  void SetFn(const QString &v) { FFn = v; }

 private:
  uint64_t FSz = 0;
  QString FCrc;
  QString FFn;
};

// A firmware image of a model: the local file (and server file) name and the name on the scanner.
struct TFirmwareImage {
  QString localName;    // "app_" + version + ".bin"
  QString scannerName;  // "app_" + version
};
// Main, controller and boot image of a model, in writing order; empty for models without firmware.
std::vector<TFirmwareImage> FirmwareImagesFor(const TVersionInfo &info, TType_Equipamento tipo);

class TClassVersionManager {
 public:
  using TLogEvent = std::function<void(const QString &)>;

  // Server folder: files folder + "fw/homolog/" when baseFolder holds "homolog.txt", else "fw/oficial/";
  // local folder: baseFolder + "fw/".
  explicit TClassVersionManager(const QString &baseFolder);
  TClassVersionManager();  // the program's base folder

  const TVersionInfo *VersionInfo() const { return FVersionInfo.get(); }
  const QString &PathFilesFWLocal() const { return FPathFilesFWLocal; }
  const QString &PathFilesFWServer() const { return FPathFilesFWServer; }
  const std::vector<TFileCrcInfo> &FwFiles() const { return FFwFiles; }
  // Trace lines go out unchanged, without a time prefix.
  void SetOnLog(TLogEvent ev) { FOnLog = std::move(ev); }
  void SetDownloader(UpdateIo::TDownloadFn fn) { FDownload = std::move(fn); }

  // Downloads and reads "info_fw.json" and the image list; failures leave no version record.
  void CarregaInfo();
  // The image named exactly fileName, or nullptr.
  const TFileCrcInfo *GetFwFile(const QString &fileName) const;
  // True when the local image exists with the listed CRC-64, downloading it first when needed.
  bool DownloadFw(const TFileCrcInfo &fileInfo);
  // This release's service-pack number: loads the record on the first call; -1 without a record.
  int ServicePackIDE();

 private:
  void Trace(const QString &text) const {
    if (FOnLog) FOnLog(text);
  }
  QString Fetch(const QString &fileName);

  std::unique_ptr<TVersionInfo> FVersionInfo;
  QString FPathFilesFWServer;
  QString FPathFilesFWLocal;
  QString FPathInfo;
  std::vector<TFileCrcInfo> FFwFiles;
  QHash<QString, qsizetype> FFwIndex;  // first image of each name
  bool FCarregado = false;
  TLogEvent FOnLog;
  UpdateIo::TDownloadFn FDownload;
};
