#pragma once
#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "protocol/VentraLib.h"
#include "support/QtPump.h"
#include "support/SimProcess.h"

// A device session in a temporary base folder and virtual-device folder, with every event
// recorded. Simulators started through startSim() plug into that folder.
class SessionTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString devices, home;
  TClass_VentraLib *lib = nullptr;
  QStringList events;  // names of the events in the order they were raised
  QStringList logs;
  QList<qint64> progress, startProgress;
  bool insideCall = false;          // set by the test around direct calls into the session
  QStringList raisedInsideCall;     // events that fired while a call was still running

  void SetUp() override {
    EnsureQtApp();
    devices = tmp.filePath("devices");
    home = tmp.filePath("home") + "/";
    QDir().mkpath(devices);
    QDir().mkpath(home);
    qputenv("VENTRAIDE_DEVICES", devices.toLocal8Bit());
    qputenv("VENTRAIDE_HOME", home.toLocal8Bit());
    lib = TClass_VentraLib::GetInstance();
    lib->SetHandle();
    auto rec = [this](const char *name) {
      return [this, name] {
        events << QString::fromLatin1(name);
        if (insideCall) raisedInsideCall << QString::fromLatin1(name);
      };
    };
    lib->OnDeviceListReady = rec("DeviceListReady");
    lib->OnDeviceConnected = rec("DeviceConnected");
    lib->OnDeviceDisconnected = rec("DeviceDisconnected");
    lib->OnDeviceOpened = rec("DeviceOpened");
    lib->OnDeviceClosed = rec("DeviceClosed");
    lib->OnConnectionError = rec("ConnectionError");
    lib->OnSerialInvalido = rec("SerialInvalido");
    lib->OnNrSerieDivergente = rec("NrSerieDivergente");
    lib->OnLog = [this](const QString &s) { logs << s; };
    lib->OnProgress = [this](qint64 v) { progress << v; };
    lib->OnStartProgress = [this](qint64 v) { startProgress << v; };
  }

  void TearDown() override {
    TClass_VentraLib::FreeInstance();
    qunsetenv("VENTRAIDE_DEVICES");
    qunsetenv("VENTRAIDE_HOME");
  }

  // Starts a simulator plugged into this session's devices folder; a watched identity must
  // be reported as connected.
  std::unique_ptr<SimProcess> startSim(QStringList args = {}, bool expectConnected = true) {
    auto sim = std::make_unique<SimProcess>(args, devices);
    if (!sim->start()) return nullptr;
    if (expectConnected && !waitEvent("DeviceConnected", 3000)) return nullptr;
    return sim;
  }

  bool waitEvent(const QString &name, int timeoutMs) {
    const qsizetype before = events.count(name);
    return PumpUntil([&] { return events.count(name) > before; }, timeoutMs);
  }

  // What the main window does once a scanner is found: list, open, check the serial. Returns
  // the event that ended the check.
  QString openSession(const QString &port, int timeoutMs = 15000) {
    insideCall = true;
    lib->ListarPortasCOM();
    insideCall = false;
    if (!waitEvent("DeviceListReady", 2000)) return "no list";
    insideCall = true;
    const bool opened = lib->OpenConnection(port);
    lib->CheckSerial();
    insideCall = false;
    if (!opened) return "not opened";
    const qsizetype before = events.size();
    static const QStringList ends{"DeviceOpened", "ConnectionError", "SerialInvalido", "NrSerieDivergente"};
    PumpUntil(
        [&] {
          for (qsizetype i = before; i < events.size(); ++i)
            if (ends.contains(events[i])) return true;
          return false;
        },
        timeoutMs);
    for (qsizetype i = before; i < events.size(); ++i)
      if (ends.contains(events[i])) return events[i];
    return "timeout";
  }

  int countLogs(const QString &prefix) const {
    int n = 0;
    for (const QString &l : logs) n += l.startsWith(prefix) ? 1 : 0;
    return n;
  }
};
