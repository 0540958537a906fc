#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A real FTP server (pyftpdlib under /usr/bin/python3) on an ephemeral loopback port, with a
// temporary root and one account.
class FtpServerProcess {
 public:
  explicit FtpServerProcess(QStringList extraArgs = {});  // e.g. {"--size-offset", "1"}
  ~FtpServerProcess();

  bool start(int timeoutMs = 10000);
  void stop();

  const QString &root() const { return root_; }
  quint16 port() const { return port_; }
  QString host() const { return QStringLiteral("127.0.0.1"); }
  QString user() const { return QStringLiteral("ventralogs"); }
  QString password() const { return QStringLiteral("logs2024"); }

 private:
  std::unique_ptr<QTemporaryDir> tmp_;
  QString root_;
  QStringList args_;
  QProcess proc_;
  quint16 port_ = 0;
};
