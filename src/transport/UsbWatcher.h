#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

class QSocketNotifier;
class QFileSystemWatcher;
struct udev;
struct udev_monitor;

// A device-change message as the hot-plug handling consumes it: the message code, the event
// (arrival / removal complete), the broadcast header's device type and the device path that
// follows it. The udev monitor and the virtual-device folder both produce it.
struct TDeviceChangeMsg {
  static constexpr uint32_t kWmDeviceChange = 0x0219;
  static constexpr uint32_t kDeviceArrival = 0x8000;
  static constexpr uint32_t kDeviceRemoveComplete = 0x8004;
  static constexpr uint32_t kDevTypDeviceInterface = 5;
  static constexpr const char *kUsbInterfaceGuid = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

  uint32_t Msg = kWmDeviceChange;
  uint32_t Event = 0;
  bool HasHeader = true;  // the parameter points to a broadcast header
  uint32_t DeviceType = kDevTypDeviceInterface;
  QString DevicePath;     // e.g. \\?\USB#VID_2956&PID_2001#<instance>#{A5DCBF10-...}
  int64_t Result = -1;

  // A device-interface message for the given hex identifiers (already four characters, or padded).
  static TDeviceChangeMsg ForUsb(uint32_t event, const QString &vidHex, const QString &pidHex,
                                 const QString &instance);
};

// Hot-plug watcher: turns the arrival or removal of a scanner's USB interface into
// OnVentraConnected / OnVentraDisconected. Sources: a udev monitor (usb/usb_device) and the
// virtual-device folder; both are read on the main thread through the Qt event loop.
class TClassUsbWatcher {
 public:
  // hnd: the main window's handle, kept for symmetry with the session; unused on this platform.
  explicit TClassUsbWatcher(uintptr_t hnd = 0);
  TClassUsbWatcher(uintptr_t hnd, const QString &devicesFolder);
  ~TClassUsbWatcher();
  TClassUsbWatcher(const TClassUsbWatcher &) = delete;
  TClassUsbWatcher &operator=(const TClassUsbWatcher &) = delete;

  std::function<void()> OnVentraConnected;
  std::function<void()> OnVentraDisconected;
  // Every message the sources produce. When set, it is responsible for handing the message on
  // (the main window sees every message and passes it to the session); when unset the watcher
  // handles the message itself.
  std::function<void(TDeviceChangeMsg &)> OnDeviceChange;
  std::function<void(const QString &)> OnLog;

  // Handles one device-change message.
  void WMDeviceChange(TDeviceChangeMsg &msg);
  void SetConnected() { FFlagConectado = true; }
  bool FlagConectado() const { return FFlagConectado; }

  bool UdevMonitorAtivo() const { return notifier_ != nullptr; }
  const QString &DevicesFolder() const { return devicesFolder_; }
  // Re-reads the virtual-device folder now and delivers what changed (the folder watcher calls it).
  void VerificaPastaDispositivos();

  // "VID_" / "PID_" texts of a device path; false when either is missing.
  static bool ExtraiVidPid(const QString &path, QString &vid, QString &pid);

 private:
  struct Descriptor {
    QString vid, pid, port;
    bool operator==(const Descriptor &o) const { return vid == o.vid && pid == o.pid && port == o.port; }
  };
  void RegistraNotificacaoUsb();
  void onUdevReadable();
  void deliver(TDeviceChangeMsg msg);
  std::map<QString, Descriptor> readFolder() const;

  bool FFlagConectado = false;
  uintptr_t hnd_ = 0;
  QString devicesFolder_;
  std::map<QString, Descriptor> known_;  // descriptor file -> identity, as last seen
  udev *udev_ = nullptr;
  udev_monitor *monitor_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QFileSystemWatcher> folderWatcher_;
};

// Marker files in the base folder that switch on diagnostic behaviour.
bool DebugSerialAtivo();  // "debug_serial.txt": frame trace window and port tracing
bool DebugAtivo();        // "debug.txt": the application trace window
bool HomologacaoAtiva();  // "homolog.txt": homologation mode
