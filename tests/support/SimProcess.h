#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <memory>

// A ventra-sim process on a real pseudo-terminal, driven through its control lines.
class SimProcess {
 public:
  // devicesDir: the virtual-device folder the simulator writes its descriptor into.
  // filesDir: its file system (created empty inside a temporary folder when not given).
  explicit SimProcess(QStringList extraArgs = {}, QString devicesDir = {}, QString filesDir = {});
  ~SimProcess();

  bool start(int timeoutMs = 5000);  // waits for the "plugged" line unless --unplugged
  void stop();
  // Sends a control line and, when expect is set, waits for a status line starting with it.
  QString control(const QString &line, const QString &expect = {}, int timeoutMs = 5000);
  bool pull();
  bool plug();
  std::map<QString, quint64> stats();  // "total" and per command byte ("69", "72", ...)

  const QString &port() const { return port_; }
  const QString &devicesDir() const { return devicesDir_; }
  const QString &filesDir() const { return filesDir_; }
  QString waitLine(const QString &prefix, int timeoutMs);

 private:
  std::unique_ptr<QTemporaryDir> tmp_;
  QProcess proc_;
  QStringList args_;
  QString devicesDir_, filesDir_, port_;
  QByteArray pending_;
};
