#include "transport/UsbInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <libudev.h>
#include <nlohmann/json.hpp>

TClass_UsbInfo::TClass_UsbInfo(const QString &name, const QString &deviceId) {
  FCOM_NAME = ComNameFrom(name);
  FCOM_NUMBER = ComNumberFrom(FCOM_NAME);
  FVID = IdNumber(IdTextAfter(deviceId, QStringLiteral("VID_")));
  FPID = IdNumber(IdTextAfter(deviceId, QStringLiteral("PID_")));
}

QString TClass_UsbInfo::ComNameFrom(const QString &name) {
  const qsizetype open = name.lastIndexOf('(');
  const qsizetype close = name.lastIndexOf(')');
  if (open < 0 || close < 0 || open > close) return {};
  return name.mid(open + 1, close - open - 1);
}

int TClass_UsbInfo::ComNumberFrom(const QString &comName) {
  if (comName.isEmpty()) return 0;
  if (comName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
    bool ok = false;
    const int n = comName.mid(3).toInt(&ok);
    return ok ? n : 0;
  }
  qsizetype i = comName.size();
  while (i > 0 && comName[i - 1].isDigit()) --i;
  bool ok = false;
  const int n = comName.mid(i).toInt(&ok);
  return ok ? n : 0;
}

QString TClass_UsbInfo::IdTextAfter(const QString &deviceId, const QString &tag) {
  const qsizetype at = deviceId.indexOf(tag);
  if (at < 0) return {};
  return deviceId.mid(at + tag.size(), 4);
}

int TClass_UsbInfo::IdNumber(const QString &text) {
  if (text.size() != 4) return 0;
  int v = 0;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
    v = v * 10 + (c.unicode() - '0');
  }
  return v;
}

bool TClass_UsbInfo::IsListedScanner(int vid, int pid) {
  if (IsBootloader(vid, pid)) return true;
  if (vid == 2956) return pid == 2001 || pid == 2010 || pid == 2015;
  return vid == 461 && pid == 33;
}

bool TClass_UsbInfo::IsWatchedScanner(const QString &vidText, const QString &pidText) {
  if (vidText == QLatin1String("2956"))
    return pidText == QLatin1String("2001") || pidText == QLatin1String("2010") || pidText == QLatin1String("2015");
  return vidText == QLatin1String("0461") && pidText == QLatin1String("0033");
}

namespace UsbDiscovery {
namespace {
struct UdevDeleter {
  void operator()(udev *u) const { udev_unref(u); }
  void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
  void operator()(udev_device *d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

QString attr(udev_device *d, const char *name) {
  const char *v = udev_device_get_sysattr_value(d, name);
  return v ? QString::fromUtf8(v).trimmed() : QString();
}
}  // namespace

QString UsbIdPath(const QString &vidHex, const QString &pidHex) {
  auto pad = [](const QString &h) {
    bool ok = false;
    const uint v = h.toUInt(&ok, 16);
    return ok ? QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper() : h.toUpper();
  };
  return QStringLiteral("VID_") + pad(vidHex) + QStringLiteral("&PID_") + pad(pidHex);
}

bool UdevDaemonPresent() { return QFileInfo::exists(QStringLiteral("/run/udev/control")); }

std::vector<TDeviceRecord> UdevTtyDevices() {
  std::vector<TDeviceRecord> out;
  UdevPtr<udev> ctx(udev_new());
  if (!ctx) return out;
  UdevPtr<udev_enumerate> en(udev_enumerate_new(ctx.get()));
  if (!en) return out;
  udev_enumerate_add_match_subsystem(en.get(), "tty");
  if (udev_enumerate_scan_devices(en.get()) < 0) return out;
  udev_list_entry *entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(en.get())) {
    UdevPtr<udev_device> dev(udev_device_new_from_syspath(ctx.get(), udev_list_entry_get_name(entry)));
    if (!dev) continue;
    const char *node = udev_device_get_devnode(dev.get());
    // the parent is owned by dev: no unref
    udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
    if (!node || !usb) continue;
    const QString vid = attr(usb, "idVendor"), pid = attr(usb, "idProduct");
    if (vid.isEmpty() || pid.isEmpty()) continue;
    QString product = attr(usb, "product");
    if (product.isEmpty()) product = QStringLiteral("USB Serial Device");
    out.push_back({product + QStringLiteral(" (") + QString::fromUtf8(node) + QLatin1Char(')'),
                   QStringLiteral("USB\\") + UsbIdPath(vid, pid) + QLatin1Char('\\') +
                       QString::fromUtf8(udev_device_get_sysname(usb))});
  }
  return out;
}

std::vector<TDeviceDescriptor> ReadDescriptors(const QString &folder) {
  std::vector<TDeviceDescriptor> out;
  if (folder.isEmpty()) return out;
  const QDir dir(folder);
  const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
  for (const QString &f : files) {
    QFile file(dir.filePath(f));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QByteArray text = file.read(64 * 1024);
    const auto j = nlohmann::json::parse(text.constData(), text.constData() + text.size(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) continue;
    auto str = [&](const char *key) {
      const auto it = j.find(key);
      return it != j.end() && it->is_string() ? QString::fromStdString(it->get<std::string>()) : QString();
    };
    TDeviceDescriptor d{f, str("port"), str("vid"), str("pid"), str("name")};
    if (d.vid.isEmpty() || d.pid.isEmpty()) continue;
    out.push_back(std::move(d));
  }
  return out;
}

std::vector<TDeviceRecord> VirtualDevices(const QString &folder) {
  std::vector<TDeviceRecord> out;
  for (const TDeviceDescriptor &d : ReadDescriptors(folder)) {
    if (d.port.isEmpty()) continue;
    const QString name = d.name.isEmpty() ? QStringLiteral("Virtual serial device") : d.name;
    // identifiers are kept as written, like the text of a real device identifier
    out.push_back({name + QStringLiteral(" (") + d.port + QLatin1Char(')'),
                   QStringLiteral("USB\\VID_") + d.vid + QStringLiteral("&PID_") + d.pid +
                       QStringLiteral("\\virtual\\") + QFileInfo(d.file).completeBaseName()});
  }
  return out;
}

std::vector<TDeviceRecord> AllDevices(const QString &folder) {
  std::vector<TDeviceRecord> out = UdevTtyDevices();
  for (auto &r : VirtualDevices(folder)) out.push_back(std::move(r));
  return out;
}

}  // namespace UsbDiscovery
