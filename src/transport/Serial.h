#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <termios.h>

enum class TStopbits { sbOne, sbTwo };
enum class TParity { paNone, paOdd, paEven };
enum class TDatabits { db8, db9 };

// The serial port of the device session: a tty opened exclusively in raw mode at 57600 8N1.
// Reads wait with poll(2) against a deadline; a hung-up port (pulled cable) fails every
// read and write at once instead of spinning.
class TSerial {
 public:
  TSerial();
  ~TSerial();
  TSerial(const TSerial &) = delete;
  TSerial &operator=(const TSerial &) = delete;

  int Baudrate = 57600;
  TStopbits Stopbits = TStopbits::sbOne;
  TParity Parity = TParity::paNone;
  TDatabits Databits = TDatabits::db8;
  bool Debug = false;
  int ReadIntervalTimeout = 500;
  int ReadTotalTimeoutMultiplier = 100;
  int ReadTotalTimeoutConstant = 100;
  int WriteTotalTimeoutMultiplier = 150;
  int WriteTotalTimeoutConstant = 1000;

  int Handle() const { return fd_; }
  const QString &PortaConectada() const { return portaConectada_; }
  bool Connected() const { return fd_ >= 0; }
  // The device hung up (cable pulled, simulator gone) since it was opened.
  bool DeviceGone() const { return gone_; }

  bool Open(const QString &porta);
  void Close();
  void Purge();
  void PurgeAll();
  bool Write(const QByteArray &b);
  bool WriteEx(const QByteArray &b, int size);
  bool WriteEx(const char *data, int size);
  // Reads one frame: LEN, then LEN + 2 bytes. buf is resized to hold at least the frame.
  bool ReadFrame(QByteArray &buf, int timeout);
  bool ReadFrame(QByteArray &buf, int timeout, int timeout2);
  // Same result as ReadFrame, the rest of the frame taken byte by byte; bounded by timeout.
  bool Read(QByteArray &b, int timeout);
  // Collects at least qtdBytes bytes within timeout ms; on failure returns empty with an error.
  QByteArray NewReadFrame(int qtdBytes, int timeout, QString &error);

  // Bytes received and not yet consumed (the input queue).
  int BytesWaiting();

 private:
  enum class Wait { Ok, Timeout, Gone };
  Wait waitFor(int count, qint64 deadlineMs);
  bool fillOnce(int pollMs);  // false when the device is gone
  void markGone();
  bool writeAll(const char *data, int size);
  void traceIn(const QByteArray &frame);
  void traceOut(const QString &prefix, const QByteArray &frame);
  void traceLine(const QString &s);
  static QString frameHex(const QByteArray &b);

  int fd_ = -1;
  bool gone_ = false;
  bool haveSaved_ = false;
  termios saved_{};
  QString portaConectada_;
  QByteArray rx_;  // bytes read from the driver and not yet handed out
};
