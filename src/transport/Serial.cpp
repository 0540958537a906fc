#include "transport/Serial.h"

#include <QElapsedTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "protocol/Crc64.h"
#include "transport/FrameTrace.h"

namespace {
qint64 nowMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.elapsed();
}

speed_t speedFor(int baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B57600;
  }
}
}  // namespace

TSerial::TSerial() = default;
TSerial::~TSerial() { Close(); }

bool TSerial::Open(const QString &porta) {
  if (Connected()) Close();
  const QByteArray path = porta.toLocal8Bit();
  int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int err = fd < 0 ? errno : 0;
  if (fd >= 0) {
    // TIOCEXCL keeps other openers out (except root); flock also covers root and this process.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      err = errno == EWOULDBLOCK ? EBUSY : errno;
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    traceLine(porta + " Error: " + QStringLiteral("%1").arg(uint(err), 8, 16, QLatin1Char('0')).toUpper() + " " +
              QString::fromLocal8Bit(std::strerror(err)));
    return false;
  }
  fd_ = fd;
  gone_ = false;
  rx_.clear();
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  saved_ = tio;
  haveSaved_ = true;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speedFor(Baudrate));
  ::cfsetospeed(&tio, speedFor(Baudrate));
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
  ::tcflush(fd_, TCIOFLUSH);
  portaConectada_ = porta;
  traceLine(porta + " OPEN");
  return true;
}

void TSerial::Close() {
  if (fd_ < 0) return;
  if (haveSaved_ && !gone_) ::tcsetattr(fd_, TCSANOW, &saved_);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  haveSaved_ = false;
  gone_ = false;
  rx_.clear();
  portaConectada_.clear();
  traceLine(QStringLiteral("CLOSED"));
}

void TSerial::Purge() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
  rx_.clear();
  traceLine(QStringLiteral("PURGE"));
}

void TSerial::PurgeAll() {
  if (fd_ >= 0) ::tcflush(fd_, TCIOFLUSH);
  rx_.clear();
  traceLine(QStringLiteral("PURGE ALL"));
}

void TSerial::markGone() { gone_ = true; }

bool TSerial::fillOnce(int pollMs) {
  if (fd_ < 0 || gone_) return false;
  pollfd p{fd_, POLLIN, 0};
  const int r = ::poll(&p, 1, std::max(pollMs, 0));
  if (r < 0) return errno == EINTR;
  if (r == 0) return true;
  if (p.revents & POLLIN) {
    char buf[8192];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
      rx_.append(buf, n);
      return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    markGone();  // 0 bytes on a readable tty, EIO or ENXIO: hung up
    return false;
  }
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
    markGone();
    return false;
  }
  return true;
}

TSerial::Wait TSerial::waitFor(int count, qint64 deadlineMs) {
  while (rx_.size() < count) {
    if (gone_ || fd_ < 0) return Wait::Gone;
    const qint64 left = deadlineMs - nowMs();
    if (left <= 0) {
      // one last non-blocking look, so a reply already queued is never missed
      if (!fillOnce(0)) return Wait::Gone;
      return rx_.size() >= count ? Wait::Ok : Wait::Timeout;
    }
    if (!fillOnce(int(left))) return Wait::Gone;
  }
  return Wait::Ok;
}

int TSerial::BytesWaiting() {
  if (fd_ >= 0 && !gone_) {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) == 0 && n > 0) fillOnce(0);
  }
  return int(rx_.size());
}

bool TSerial::writeAll(const char *data, int size) {
  if (fd_ < 0 || gone_) return false;
  const qint64 deadline = nowMs() + qint64(WriteTotalTimeoutMultiplier) * size + WriteTotalTimeoutConstant;
  int done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, size_t(size - done));
    if (n > 0) {
      done += int(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      if (errno == EIO || errno == ENXIO || errno == EPIPE) markGone();
      return false;
    }
    const qint64 left = deadline - nowMs();
    if (left <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, int(left)) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      markGone();
      return false;
    }
  }
  return true;
}

bool TSerial::Write(const QByteArray &b) {
  traceOut(QString(), b);
  const bool ok = writeAll(b.constData(), int(b.size()));
  if (!ok) traceOut(QStringLiteral("Falha ao enviar: "), b);
  return ok;
}

bool TSerial::WriteEx(const QByteArray &b, int size) {
  size = std::clamp(size, 0, int(b.size()));
  return writeAll(b.constData(), size);
}

bool TSerial::WriteEx(const char *data, int size) { return writeAll(data, size); }

bool TSerial::ReadFrame(QByteArray &buf, int timeout) { return ReadFrame(buf, timeout, timeout); }

bool TSerial::ReadFrame(QByteArray &buf, int timeout, int timeout2) {
  // Needs LEN and at least one more byte before it commits to a frame.
  if (waitFor(2, nowMs() + timeout) != Wait::Ok) return false;
  const int len = uint8_t(rx_[0]);
  if (waitFor(len + 3, nowMs() + timeout2) != Wait::Ok) return false;
  if (buf.size() < len + 3) buf.resize(len + 3);
  std::memcpy(buf.data(), rx_.constData(), size_t(len + 3));
  rx_.remove(0, len + 3);
  traceIn(buf.left(len + 3));
  return true;
}

bool TSerial::Read(QByteArray &b, int timeout) {
  if (waitFor(2, nowMs() + timeout) != Wait::Ok) return false;
  const int len = uint8_t(rx_[0]);
  // The original waits for the rest without a bound; here the same budget applies again.
  if (waitFor(len + 3, nowMs() + timeout) != Wait::Ok) return false;
  if (b.size() < len + 3) b.resize(len + 3);
  std::memcpy(b.data(), rx_.constData(), size_t(len + 3));
  rx_.remove(0, len + 3);
  traceIn(b.left(len + 3));
  return true;
}

QByteArray TSerial::NewReadFrame(int qtdBytes, int timeout, QString &error) {
  error.clear();
  const Wait w = waitFor(std::max(qtdBytes, 1), nowMs() + timeout);
  if (w == Wait::Gone) {
    error = QStringLiteral("Dispositivo desconectado");
    return {};
  }
  if (w == Wait::Timeout) {
    error = QStringLiteral("Timeout");
    return {};
  }
  QByteArray out;
  out.swap(rx_);  // everything that arrived, as a burst-sized read would return
  if (Debug && FrameTrace::sink() && !out.isEmpty())
    FrameTrace::sink()->AddInLine(TClassBufferHelper::BytesToHexStr(out));
  return out;
}

QString TSerial::frameHex(const QByteArray &b) {
  if (b.isEmpty()) return {};
  const int n = std::min<int>(uint8_t(b[0]) + 3, int(b.size()));
  QString out;
  out.reserve(n * 3);
  static const char *digits = "0123456789ABCDEF";
  for (int i = 0; i < n; ++i) {
    const uint8_t v = uint8_t(b[i]);
    out += QLatin1Char(digits[v >> 4]);
    out += QLatin1Char(digits[v & 15]);
    out += QLatin1Char(' ');
  }
  return out;
}

void TSerial::traceIn(const QByteArray &frame) {
  if (Debug && FrameTrace::sink()) FrameTrace::sink()->AddInLine(frameHex(frame));
}

void TSerial::traceOut(const QString &prefix, const QByteArray &frame) {
  if (Debug && FrameTrace::sink()) FrameTrace::sink()->AddOutLine(prefix + frameHex(frame));
}

void TSerial::traceLine(const QString &s) {
  if (Debug && FrameTrace::sink()) FrameTrace::sink()->AddLine(s);
}
