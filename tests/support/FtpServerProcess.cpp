#include "support/FtpServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>

FtpServerProcess::FtpServerProcess(QStringList extraArgs)
    : tmp_(std::make_unique<QTemporaryDir>()), args_(std::move(extraArgs)) {
  root_ = tmp_->filePath("root");
  QDir().mkpath(root_);
}

FtpServerProcess::~FtpServerProcess() { stop(); }

bool FtpServerProcess::start(int timeoutMs) {
  // Debian's python3 sees python3-pyftpdlib; another python3 may come first on PATH
  QStringList args{QStringLiteral(VENTRA_SOURCE_DIR "/tests/support/ftp_server.py"),
                   "--root", root_, "--user", user(), "--password", password()};
  args << args_;
  proc_.setProgram(QStringLiteral("/usr/bin/python3"));
  proc_.setArguments(args);
  proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  proc_.start();
  if (!proc_.waitForStarted(timeoutMs)) return false;
  QByteArray out;
  QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired() && proc_.state() != QProcess::NotRunning) {
    proc_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    out += proc_.readAllStandardOutput();
    const qsizetype nl = out.indexOf('\n');
    if (nl >= 0) {
      const QString line = QString::fromUtf8(out.left(nl));
      if (!line.startsWith("listening ")) return false;
      port_ = quint16(line.section(':', -1).toUInt());
      return port_ != 0;
    }
  }
  return false;
}

void FtpServerProcess::stop() {
  if (proc_.state() == QProcess::NotRunning) return;
  proc_.closeWriteChannel();
  if (!proc_.waitForFinished(3000)) {
    proc_.kill();
    proc_.waitForFinished(3000);
  }
}
