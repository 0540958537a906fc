// Port discovery and the hot-plug watcher: identity rules, device-change messages, the
// virtual-device folder with real simulators, and udev where the machine has it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/QtPump.h"
#include "support/SimProcess.h"
#include "transport/UsbInfo.h"
#include "transport/UsbWatcher.h"

namespace {
bool writeText(const QString &path, const QByteArray &text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

struct WatchedEvents {
  int connected = 0, disconnected = 0;
  void attach(TClassUsbWatcher &w) {
    w.OnVentraConnected = [this] { ++connected; };
    w.OnVentraDisconected = [this] { ++disconnected; };
  }
};
}  // namespace

TEST(UsbInfo, NameAndIdentifierRules) {
  struct {
    const char *name, *deviceId;
    const char *comName;
    int comNumber, vid, pid;
  } cases[] = {
      {"USB Serial Port (COM12)", "USB\\VID_2956&PID_2001\\5&1A", "COM12", 12, 2956, 2001},
      {"Ventra (x) (COM3)", "USB\\VID_0461&PID_0033\\1", "COM3", 3, 461, 33},
      {"Scanner (/dev/ttyACM2)", "USB\\VID_2956&PID_1001\\x", "/dev/ttyACM2", 2, 2956, 1001},
      {"Other (COM4)", "USB\\VID_04D8&PID_000A\\x", "COM4", 4, 0, 0},
      {"No port here", "USB\\VID_2956&PID_2001", "", 0, 2956, 2001},
      {"Reversed )COM5(", "USB\\VID_2956&PID_2001", "", 0, 2956, 2001},
      {"Short id (COM7)", "USB\\VID_29", "COM7", 7, 0, 0},
      {"lower case (COM8)", "usb\\vid_2956&pid_2001", "COM8", 8, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const TClass_UsbInfo info(c.name, c.deviceId);
    EXPECT_EQ(info.COM_NAME(), c.comName);
    EXPECT_EQ(info.COM_NUMBER(), c.comNumber);
    EXPECT_EQ(info.VID(), c.vid);
    EXPECT_EQ(info.PID(), c.pid);
  }
  const TClass_UsbInfo empty;
  EXPECT_TRUE(empty.COM_NAME().isEmpty());
  EXPECT_EQ(empty.COM_NUMBER() + empty.VID() + empty.PID(), 0);
}

TEST(UsbInfo, IdentityTables) {
  struct {
    int vid, pid;
    bool listed, bootloader;
    const char *vidText, *pidText;
    bool watched;
  } cases[] = {
      {2956, 1001, true, true, "2956", "1001", false}, {2956, 2001, true, false, "2956", "2001", true},
      {2956, 2010, true, false, "2956", "2010", true}, {2956, 2015, true, false, "2956", "2015", true},
      {461, 33, true, false, "0461", "0033", true},    {2956, 2002, false, false, "2956", "2002", false},
      {461, 34, false, false, "0461", "0034", false},  {0, 0, false, false, "04D8", "000A", false},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(TClass_UsbInfo::IsListedScanner(c.vid, c.pid), c.listed) << c.vid << "/" << c.pid;
    EXPECT_EQ(TClass_UsbInfo::IsBootloader(c.vid, c.pid), c.bootloader) << c.vid << "/" << c.pid;
    EXPECT_EQ(TClass_UsbInfo::IsWatchedScanner(c.vidText, c.pidText), c.watched) << c.vidText << "/" << c.pidText;
  }
  EXPECT_EQ(UsbDiscovery::UsbIdPath("2956", "7d1"), "VID_2956&PID_07D1");
}

TEST(UsbWatcher, DeviceChangeMessages) {
  EnsureQtApp();
  TClassUsbWatcher w(0, QString());  // no folder: messages only
  WatchedEvents ev;
  ev.attach(w);
  EXPECT_FALSE(w.FlagConectado());
  using M = TDeviceChangeMsg;
  struct {
    const char *what;
    M msg;
    int connected, disconnected;
    bool flag;
  } cases[] = {
      {"arrival", M::ForUsb(M::kDeviceArrival, "2956", "2001", "a"), 1, 0, true},
      {"removal of 2010", M::ForUsb(M::kDeviceRemoveComplete, "2956", "2010", "a"), 1, 1, false},
      {"arrival 0461", M::ForUsb(M::kDeviceArrival, "0461", "0033", "b"), 2, 1, true},
      {"other event code", M::ForUsb(0x8001, "2956", "2001", "c"), 2, 1, true},
      {"boot loader removal", M::ForUsb(M::kDeviceRemoveComplete, "2956", "1001", "d"), 2, 1, true},
      {"other device", M::ForUsb(M::kDeviceRemoveComplete, "04D8", "000A", "e"), 2, 1, true},
      {"lower-case tag", M::ForUsb(M::kDeviceRemoveComplete, "2956", "2001", "f"), 2, 1, true},
  };
  cases[6].msg.DevicePath.replace("VID_", "vid_");  // the tag is matched as written
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    w.WMDeviceChange(c.msg);
    EXPECT_EQ(c.msg.Result, 0);
    EXPECT_EQ(ev.connected, c.connected);
    EXPECT_EQ(ev.disconnected, c.disconnected);
    EXPECT_EQ(w.FlagConectado(), c.flag);
  }
  // not a device-interface broadcast, or no path: ignored
  M wrongType = M::ForUsb(M::kDeviceRemoveComplete, "2956", "2001", "g");
  wrongType.DeviceType = 2;
  M noHeader = wrongType;
  noHeader.DeviceType = M::kDevTypDeviceInterface;
  noHeader.HasHeader = false;
  M otherMsg = M::ForUsb(M::kDeviceRemoveComplete, "2956", "2001", "h");
  otherMsg.Msg = 0x0200;
  M emptyPath;
  emptyPath.Event = M::kDeviceRemoveComplete;
  for (M *m : {&wrongType, &noHeader, &otherMsg, &emptyPath}) w.WMDeviceChange(*m);
  EXPECT_EQ(ev.disconnected, 1);
  EXPECT_TRUE(w.FlagConectado());
  QString vid, pid;
  EXPECT_FALSE(TClassUsbWatcher::ExtraiVidPid("USB#VID_2956", vid, pid));
  EXPECT_TRUE(TClassUsbWatcher::ExtraiVidPid("\\\\?\\USB#VID_2956&PID_2001#x", vid, pid));
  EXPECT_EQ(vid + pid, "29562001");
}

class VirtualDevices : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString devices;
  void SetUp() override {
    EnsureQtApp();
    devices = tmp.filePath("devices");
    QDir().mkpath(devices);
  }
};

TEST_F(VirtualDevices, ArrivalAndRemovalFollowTheDescriptorFile) {
  TClassUsbWatcher w(0, devices);
  WatchedEvents ev;
  ev.attach(w);
  QList<uint32_t> seen;
  w.OnDeviceChange = [&](TDeviceChangeMsg &m) {
    seen << m.Event;
    w.WMDeviceChange(m);  // as the main window hands every message on
  };
  SimProcess sim({}, devices);
  ASSERT_TRUE(sim.start());
  ASSERT_TRUE(PumpUntil([&] { return ev.connected == 1; }, 3000));
  EXPECT_TRUE(w.FlagConectado());
  ASSERT_TRUE(sim.pull());
  ASSERT_TRUE(PumpUntil([&] { return ev.disconnected == 1; }, 3000));
  EXPECT_FALSE(w.FlagConectado());
  ASSERT_TRUE(sim.plug());
  ASSERT_TRUE(PumpUntil([&] { return ev.connected == 2; }, 3000));
  PumpFor(200);
  EXPECT_EQ(seen, QList<uint32_t>({0x8000, 0x8004, 0x8000}));
  EXPECT_EQ(ev.disconnected, 1);
}

TEST_F(VirtualDevices, DescriptorReplacedWithAnotherPortIsUnplugAndPlug) {
  TClassUsbWatcher w(0, devices);
  WatchedEvents ev;
  ev.attach(w);
  auto place = [&](const char *port) {
    const QByteArray text = QByteArray(R"({"port":")") + port + R"(","vid":"2956","pid":"2010"})";
    QFile::remove(devices + "/x.json");  // QFile::rename does not replace
    return writeText(devices + "/.x.tmp", text) && QFile::rename(devices + "/.x.tmp", devices + "/x.json");
  };
  ASSERT_TRUE(place("/dev/pts/70"));
  ASSERT_TRUE(PumpUntil([&] { return ev.connected == 1; }, 3000));
  // both changes seen in one look, as when a pull and a plug come close together
  ASSERT_TRUE(place("/dev/pts/71"));
  w.VerificaPastaDispositivos();
  EXPECT_EQ(ev.disconnected, 1);
  EXPECT_EQ(ev.connected, 2);
  EXPECT_TRUE(w.FlagConectado());
  PumpFor(300);
  EXPECT_EQ(ev.connected, 2) << "the folder notification finds nothing new";
}

TEST_F(VirtualDevices, BootLoaderOtherDevicesAndBadDescriptorsRaiseNothing) {
  TClassUsbWatcher w(0, devices);
  WatchedEvents ev;
  ev.attach(w);
  SimProcess boot({"--pid", "1001", "--name", "boot"}, devices);
  ASSERT_TRUE(boot.start());
  ASSERT_TRUE(writeText(devices + "/mouse.json", R"({"port":"/dev/null","vid":"046D","pid":"C077"})"));
  ASSERT_TRUE(writeText(devices + "/broken.json", R"({"port":"/dev/pts/99","vid":"2956","pid":)"));
  ASSERT_TRUE(writeText(devices + "/array.json", R"([1,2,3])"));
  ASSERT_TRUE(writeText(devices + "/notes.txt", "not a descriptor"));
  PumpFor(500);
  EXPECT_EQ(ev.connected, 0);
  ASSERT_TRUE(boot.pull());
  PumpFor(300);
  EXPECT_EQ(ev.disconnected, 0);

  // the listing keeps the scanners and the boot loader, and skips what it cannot read
  ASSERT_TRUE(boot.plug());
  const auto records = UsbDiscovery::VirtualDevices(devices);
  ASSERT_EQ(records.size(), 2u);  // boot + mouse
  int listed = 0;
  for (const auto &r : records) {
    const TClass_UsbInfo info(r.name, r.deviceId);
    listed += TClass_UsbInfo::IsListedScanner(info.VID(), info.PID()) ? 1 : 0;
  }
  EXPECT_EQ(listed, 1);
}

TEST_F(VirtualDevices, TwoScannersAreBothListedInOrder) {
  SimProcess a({"--name", "a-first", "--serial", "300001"}, devices);
  SimProcess b({"--name", "b-second", "--serial", "300002", "--pid", "2015"}, devices);
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(b.start());
  const auto records = UsbDiscovery::AllDevices(devices);
  std::vector<TClass_UsbInfo> scanners;
  for (const auto &r : records) {
    TClass_UsbInfo info(r.name, r.deviceId);
    if (TClass_UsbInfo::IsListedScanner(info.VID(), info.PID())) scanners.push_back(info);
  }
  ASSERT_EQ(scanners.size(), 2u);
  EXPECT_EQ(scanners[0].COM_NAME(), a.port());
  EXPECT_EQ(scanners[1].COM_NAME(), b.port());
  EXPECT_EQ(scanners[1].PID(), 2015);
}

TEST(Udev, EnumerationAndMonitorWhereAvailable) {
  EnsureQtApp();
  // enumeration goes through sysfs and must work (or be empty) with or without a daemon
  const auto devices = UsbDiscovery::UdevTtyDevices();
  for (const auto &r : devices) {
    const TClass_UsbInfo info(r.name, r.deviceId);
    EXPECT_FALSE(info.COM_NAME().isEmpty()) << r.name.toStdString();
  }
  TClassUsbWatcher w(0, QString());
  if (!UsbDiscovery::UdevDaemonPresent())
    GTEST_SKIP() << "no udev daemon on this machine (/run/udev/control missing): the monitor sees nothing here; "
                    "discovery relies on the virtual-device folder";
  EXPECT_TRUE(w.UdevMonitorAtivo());
}
