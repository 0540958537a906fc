#include "support/SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>

SimProcess::SimProcess(QStringList extraArgs, QString devicesDir, QString filesDir)
    : tmp_(std::make_unique<QTemporaryDir>()), args_(std::move(extraArgs)) {
  devicesDir_ = devicesDir.isEmpty() ? tmp_->filePath("devices") : devicesDir;
  filesDir_ = filesDir.isEmpty() ? tmp_->filePath("files") : filesDir;
  QDir().mkpath(devicesDir_);
  QDir().mkpath(filesDir_);
}

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(int timeoutMs) {
  QStringList args{"--devices", devicesDir_, "--files", filesDir_};
  args << args_;
  proc_.setProgram(QStringLiteral(VENTRA_SIM_PATH));
  proc_.setArguments(args);
  proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  proc_.start();
  if (!proc_.waitForStarted(timeoutMs)) return false;
  if (args_.contains("--unplugged")) return true;
  const QString line = waitLine("plugged ", timeoutMs);
  port_ = line.mid(8).trimmed();
  return !port_.isEmpty();
}

void SimProcess::stop() {
  if (proc_.state() == QProcess::NotRunning) return;
  proc_.write("quit\n");
  if (!proc_.waitForFinished(3000)) {
    proc_.kill();
    proc_.waitForFinished(3000);
  }
}

QString SimProcess::waitLine(const QString &prefix, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    qsizetype nl;
    while ((nl = pending_.indexOf('\n')) >= 0) {
      const QString line = QString::fromUtf8(pending_.left(nl));
      pending_.remove(0, nl + 1);
      if (line.startsWith(prefix)) return line;
    }
    if (deadline.hasExpired() || proc_.state() == QProcess::NotRunning) return {};
    proc_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    pending_ += proc_.readAllStandardOutput();
  }
}

QString SimProcess::control(const QString &line, const QString &expect, int timeoutMs) {
  proc_.write((line + "\n").toUtf8());
  proc_.waitForBytesWritten(timeoutMs);
  if (expect.isEmpty()) return {};
  return waitLine(expect, timeoutMs);
}

bool SimProcess::pull() { return !control("pull", "pulled").isEmpty(); }

bool SimProcess::plug() {
  const QString line = control("plug", "plugged ");
  if (line.isEmpty()) return false;
  port_ = line.mid(8).trimmed();
  return true;
}

std::map<QString, quint64> SimProcess::stats() {
  std::map<QString, quint64> out;
  const QString line = control("stats", "stats ");
  for (const QString &kv : line.mid(6).split(' ', Qt::SkipEmptyParts)) {
    const auto parts = kv.split('=');
    if (parts.size() == 2) out[parts[0]] = parts[1].toULongLong();
  }
  return out;
}
