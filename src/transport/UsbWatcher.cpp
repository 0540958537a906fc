#include "transport/UsbWatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QObject>
#include <QSocketNotifier>
#include <libudev.h>

#include "app/BuildConfig.h"
#include "transport/UsbInfo.h"

TDeviceChangeMsg TDeviceChangeMsg::ForUsb(uint32_t event, const QString &vidHex, const QString &pidHex,
                                          const QString &instance) {
  TDeviceChangeMsg m;
  m.Event = event;
  m.DevicePath = QStringLiteral("\\\\?\\USB#VID_") + vidHex + QStringLiteral("&PID_") + pidHex + QLatin1Char('#') +
                 instance + QLatin1Char('#') + QLatin1String(kUsbInterfaceGuid);
  return m;
}

TClassUsbWatcher::TClassUsbWatcher(uintptr_t hnd) : TClassUsbWatcher(hnd, BuildConfig::devicesFolder()) {}

TClassUsbWatcher::TClassUsbWatcher(uintptr_t hnd, const QString &devicesFolder)
    : hnd_(hnd), devicesFolder_(devicesFolder) {
  RegistraNotificacaoUsb();
}

TClassUsbWatcher::~TClassUsbWatcher() {
  notifier_.reset();
  folderWatcher_.reset();
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

void TClassUsbWatcher::RegistraNotificacaoUsb() {
  // udev: USB device add/remove. Without a udev daemon the socket simply stays quiet.
  udev_ = udev_new();
  if (udev_) {
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ && udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") >= 0 &&
        udev_monitor_enable_receiving(monitor_) >= 0) {
      notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
      QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { onUdevReadable(); });
    } else if (monitor_) {
      udev_monitor_unref(monitor_);
      monitor_ = nullptr;
    }
  }
  // Virtual devices: descriptor files appear and disappear in a folder.
  if (!devicesFolder_.isEmpty()) {
    QDir().mkpath(devicesFolder_);
    known_ = readFolder();  // what is already there was plugged before us: no events
    folderWatcher_ = std::make_unique<QFileSystemWatcher>();
    folderWatcher_->addPath(devicesFolder_);
    QObject::connect(folderWatcher_.get(), &QFileSystemWatcher::directoryChanged, folderWatcher_.get(),
                     [this](const QString &) { VerificaPastaDispositivos(); });
  }
}

std::map<QString, TClassUsbWatcher::Descriptor> TClassUsbWatcher::readFolder() const {
  std::map<QString, Descriptor> out;
  // a new port under the same file name is another plug-in (pulled and plugged between two looks)
  for (const auto &d : UsbDiscovery::ReadDescriptors(devicesFolder_)) out[d.file] = Descriptor{d.vid, d.pid, d.port};
  return out;
}

void TClassUsbWatcher::VerificaPastaDispositivos() {
  if (folderWatcher_ && !folderWatcher_->directories().contains(devicesFolder_) && QFileInfo::exists(devicesFolder_))
    folderWatcher_->addPath(devicesFolder_);  // the folder was removed and made again
  std::map<QString, Descriptor> now = readFolder();
  std::map<QString, Descriptor> before;
  before.swap(known_);
  known_ = now;
  for (const auto &[file, d] : before) {
    const auto it = now.find(file);
    if (it == now.end() || !(it->second == d))
      deliver(TDeviceChangeMsg::ForUsb(TDeviceChangeMsg::kDeviceRemoveComplete, d.vid, d.pid,
                                       QStringLiteral("virtual-") + QFileInfo(file).completeBaseName()));
  }
  for (const auto &[file, d] : now) {
    const auto it = before.find(file);
    if (it == before.end() || !(it->second == d))
      deliver(TDeviceChangeMsg::ForUsb(TDeviceChangeMsg::kDeviceArrival, d.vid, d.pid,
                                       QStringLiteral("virtual-") + QFileInfo(file).completeBaseName()));
  }
}

void TClassUsbWatcher::onUdevReadable() {
  if (!monitor_) return;
  udev_device *dev = udev_monitor_receive_device(monitor_);
  if (!dev) return;
  const QString action = QString::fromUtf8(udev_device_get_action(dev) ? udev_device_get_action(dev) : "");
  // After removal the attributes are gone; PRODUCT ("vid/pid/bcd", hex) is still in the event.
  const QString product = QString::fromUtf8(udev_device_get_property_value(dev, "PRODUCT") ? udev_device_get_property_value(dev, "PRODUCT") : "");
  const QString sysname = QString::fromUtf8(udev_device_get_sysname(dev) ? udev_device_get_sysname(dev) : "");
  udev_device_unref(dev);
  const QStringList parts = product.split('/');
  if (parts.size() < 2) return;
  uint32_t event = 0;
  if (action == QLatin1String("add")) event = TDeviceChangeMsg::kDeviceArrival;
  else if (action == QLatin1String("remove")) event = TDeviceChangeMsg::kDeviceRemoveComplete;
  else return;
  const QString ids = UsbDiscovery::UsbIdPath(parts[0], parts[1]);  // VID_xxxx&PID_yyyy
  QString vid, pid;
  ExtraiVidPid(ids, vid, pid);
  deliver(TDeviceChangeMsg::ForUsb(event, vid, pid, sysname));
}

void TClassUsbWatcher::deliver(TDeviceChangeMsg msg) {
  if (OnDeviceChange) OnDeviceChange(msg);
  else WMDeviceChange(msg);
}

bool TClassUsbWatcher::ExtraiVidPid(const QString &path, QString &vid, QString &pid) {
  vid = TClass_UsbInfo::IdTextAfter(path, QStringLiteral("VID_"));
  pid = TClass_UsbInfo::IdTextAfter(path, QStringLiteral("PID_"));
  return !vid.isEmpty() && !pid.isEmpty();
}

void TClassUsbWatcher::WMDeviceChange(TDeviceChangeMsg &msg) {
  msg.Result = 0;
  if (msg.Msg != TDeviceChangeMsg::kWmDeviceChange || !msg.HasHeader ||
      msg.DeviceType != TDeviceChangeMsg::kDevTypDeviceInterface || msg.DevicePath.isEmpty())
    return;
  QString vid, pid;
  if (!ExtraiVidPid(msg.DevicePath, vid, pid)) return;
  if (!TClass_UsbInfo::IsWatchedScanner(vid, pid)) return;
  if (msg.Event == TDeviceChangeMsg::kDeviceArrival) {
    FFlagConectado = true;
    if (OnVentraConnected) OnVentraConnected();
  } else if (msg.Event == TDeviceChangeMsg::kDeviceRemoveComplete) {
    FFlagConectado = false;
    if (OnVentraDisconected) OnVentraDisconected();
  }
}

namespace {
bool markerExists(const char *name) { return QFileInfo::exists(BuildConfig::baseFolder() + QLatin1String(name)); }
}  // namespace

bool DebugSerialAtivo() { return markerExists("debug_serial.txt"); }
bool DebugAtivo() { return markerExists("debug.txt"); }
bool HomologacaoAtiva() { return markerExists("homolog.txt"); }
