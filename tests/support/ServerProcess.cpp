#include "support/ServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

ServerProcess::ServerProcess(QStringList extraArgs)
    : tmp_(std::make_unique<QTemporaryDir>()), args_(std::move(extraArgs)) {
  root_ = tmp_->filePath("files");
  QDir().mkpath(root_);
}

ServerProcess::~ServerProcess() { stop(); }

bool ServerProcess::start(int timeoutMs) {
  QStringList args{"--port", "0", "--root", root_};
  args << args_;
  proc_.setProgram(QStringLiteral(VENTRA_SERVER_PATH));
  proc_.setArguments(args);
  proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  proc_.start();
  if (!proc_.waitForStarted(timeoutMs)) return false;
  QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired()) {
    const QString line = readLine(int(std::max<qint64>(deadline.remainingTime(), 1)));
    if (line.startsWith("listening ")) {
      port_ = quint16(line.section(':', -1).toUInt());
      return port_ != 0;
    }
    if (line.isNull()) break;
  }
  return false;
}

void ServerProcess::stop() {
  if (proc_.state() == QProcess::NotRunning) return;
  proc_.write("quit\n");
  proc_.closeWriteChannel();
  if (!proc_.waitForFinished(3000)) {
    proc_.kill();
    proc_.waitForFinished(3000);
  }
}

void ServerProcess::putFile(const QString &relative, const QByteArray &data) {
  const QString path = root_ + "/" + relative;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
}

QString ServerProcess::baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port_); }
QString ServerProcess::filesUrl() const { return baseUrl() + "ventraide/files/"; }
QString ServerProcess::probeUrl() const { return baseUrl() + "generate_204"; }

QString ServerProcess::readLine(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    const qsizetype nl = pending_.indexOf('\n');
    if (nl >= 0) {
      const QString line = QString::fromUtf8(pending_.left(nl));
      pending_.remove(0, nl + 1);
      return line;
    }
    if (deadline.hasExpired() || proc_.state() == QProcess::NotRunning) return {};
    proc_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    pending_ += proc_.readAllStandardOutput();
  }
}

void ServerProcess::collect(int settleMs) {
  for (;;) {
    const QString line = readLine(settleMs);
    if (line.isNull()) break;
    if (line.startsWith("served ")) served_ << line.mid(7);
    if (line.startsWith("request ")) received_ << line.mid(8);
  }
}

QStringList ServerProcess::received(int settleMs) {
  collect(settleMs);
  return received_;
}

QStringList ServerProcess::requests(int settleMs) {
  collect(settleMs);
  return served_;
}
