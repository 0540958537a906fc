#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// One candidate port: its name, number and the USB identity of the device behind it.
// Identifiers are the decimal reading of the four hex characters after "VID_" / "PID_"
// (VID_2956 gives 2956, VID_0461 gives 461, VID_04D8 gives 0 and matches nothing).
class TClass_UsbInfo {
 public:
  TClass_UsbInfo() = default;
  // From a Plug and Play style record: name "USB Serial Port (COM12)" and a device identifier
  // holding VID_xxxx&PID_yyyy.
  TClass_UsbInfo(const QString &name, const QString &deviceId);

  const QString &COM_NAME() const { return FCOM_NAME; }
  int COM_NUMBER() const { return FCOM_NUMBER; }
  int VID() const { return FVID; }
  int PID() const { return FPID; }
  void setCOM_NAME(const QString &v) { FCOM_NAME = v; }
  void setCOM_NUMBER(int v) { FCOM_NUMBER = v; }
  void setVID(int v) { FVID = v; }
  void setPID(int v) { FPID = v; }

  // Text between the last "(" and the last ")" when the "(" comes first; else empty.
  static QString ComNameFrom(const QString &name);
  // "COM12" gives 12; a device node gives its trailing number ("/dev/ttyACM3" gives 3); else 0.
  static int ComNumberFrom(const QString &comName);
  // The four characters after the first occurrence of tag ("VID_" or "PID_"), case as written.
  static QString IdTextAfter(const QString &deviceId, const QString &tag);
  // Decimal reading of four characters; 0 unless all four are decimal digits.
  static int IdNumber(const QString &text);

  // Identity tables. Listed: every scanner and its boot loader. Watched: scanners only,
  // compared as exact text of the identifiers.
  static bool IsBootloader(int vid, int pid) { return vid == 2956 && pid == 1001; }
  static bool IsListedScanner(int vid, int pid);
  static bool IsWatchedScanner(const QString &vidText, const QString &pidText);

 private:
  QString FCOM_NAME;
  int FCOM_NUMBER = 0;
  int FVID = 0;
  int FPID = 0;
};

using TListaPortas = std::vector<std::unique_ptr<TClass_UsbInfo>>;

// A plugged-in device as discovery sees it, before the identity filter.
struct TDeviceRecord {
  QString name;      // Plug and Play style: "<product> (<port>)"
  QString deviceId;  // "USB\VID_xxxx&PID_yyyy\..."
};

namespace UsbDiscovery {
// One descriptor file of the virtual-device folder, as written by whoever plugged the device in.
struct TDeviceDescriptor {
  QString file;  // file name, e.g. "ventra-sim-512345.json"
  QString port, vid, pid, name;
};
// Every readable descriptor (*.json) with a vid and a pid, in file-name order.
std::vector<TDeviceDescriptor> ReadDescriptors(const QString &folder);
// tty devices with a USB ancestor, from udev (sysfs); empty when udev cannot be used.
std::vector<TDeviceRecord> UdevTtyDevices();
// Descriptor files (*.json) of the virtual-device folder, in file-name order; unreadable or
// malformed descriptors are skipped.
std::vector<TDeviceRecord> VirtualDevices(const QString &folder);
// Both sources, udev first.
std::vector<TDeviceRecord> AllDevices(const QString &folder);
// Whether a udev daemon runs on this machine (containers and CI usually have none).
bool UdevDaemonPresent();
// "VID_xxxx&PID_yyyy" from hex texts of any length ("7d1" gives "07D1").
QString UsbIdPath(const QString &vidHex, const QString &pidHex);
}  // namespace UsbDiscovery
