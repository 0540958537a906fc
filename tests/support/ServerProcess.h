#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A ventra-maker-server process on an ephemeral loopback port, serving a temporary files folder.
class ServerProcess {
 public:
  explicit ServerProcess(QStringList extraArgs = {});
  ~ServerProcess();

  bool start(int timeoutMs = 5000);
  void stop();

  // Writes a file under the files folder (sub-folders created).
  void putFile(const QString &relative, const QByteArray &data);
  const QString &filesRoot() const { return root_; }
  quint16 port() const { return port_; }
  QString baseUrl() const;   // http://127.0.0.1:PORT/
  QString filesUrl() const;  // baseUrl + "ventraide/files/"
  QString probeUrl() const;  // baseUrl + "generate_204"

  // Requests received so far, e.g. "GET /ventraide/files/sp/a.zip"; waits settleMs for late lines.
  QStringList received(int settleMs = 100);
  // Requests whose reply went out, e.g. "GET /ventraide/files/sp/a.zip 200".
  QStringList requests(int settleMs = 100);

 private:
  QString readLine(int timeoutMs);

  std::unique_ptr<QTemporaryDir> tmp_;
  QString root_;
  QStringList args_;
  QProcess proc_;
  QByteArray pending_;
  QStringList served_, received_;
  void collect(int settleMs);
  quint16 port_ = 0;
};
