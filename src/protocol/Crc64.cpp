#include "protocol/Crc64.h"

#include <QFile>
#include <array>
#include <cstring>

#include "app/VentraError.h"

namespace {

// tables[0] is the classic table; tables[k][i] is the effect of byte i followed by k zero bytes,
// which lets the main loop fold sixteen input bytes per step (slicing-by-16).
struct Tables {
  std::array<std::array<uint64_t, 256>, 16> t{};
  constexpr Tables() {
    for (uint64_t i = 0; i < 256; ++i) {
      uint64_t r = i << 56;
      for (int b = 0; b < 8; ++b) r = (r & 0x8000000000000000ULL) ? (r << 1) ^ Crc64::kPoly : (r << 1);
      t[0][i] = r;
    }
    for (int k = 1; k < 16; ++k)
      for (int i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 56];
  }
};
constexpr Tables kTables;

inline uint64_t loadBigEndian64(const unsigned char *p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

}  // namespace

namespace Crc64 {
const uint64_t *table() { return kTables.t[0].data(); }

uint64_t updateBytewise(uint64_t reg, const void *data, size_t len) {
  const auto *p = static_cast<const unsigned char *>(data);
  for (size_t i = 0; i < len; ++i) reg = (reg << 8) ^ kTables.t[0][(reg >> 56) ^ p[i]];
  return reg;
}
}  // namespace Crc64

uint64_t CRC64Init() { return ~0ULL; }
uint64_t CRC64Final(uint64_t reg) { return ~reg; }

uint64_t CRC64Update(uint64_t reg, const void *data, size_t count) {
  const auto *p = static_cast<const unsigned char *>(data);
  const auto &t = kTables.t;
  while (count >= 16) {
    const uint64_t a = reg ^ loadBigEndian64(p);
    const uint64_t b = loadBigEndian64(p + 8);
    reg = t[15][a >> 56] ^ t[14][(a >> 48) & 0xFF] ^ t[13][(a >> 40) & 0xFF] ^ t[12][(a >> 32) & 0xFF] ^
          t[11][(a >> 24) & 0xFF] ^ t[10][(a >> 16) & 0xFF] ^ t[9][(a >> 8) & 0xFF] ^ t[8][a & 0xFF] ^
          t[7][b >> 56] ^ t[6][(b >> 48) & 0xFF] ^ t[5][(b >> 40) & 0xFF] ^ t[4][(b >> 32) & 0xFF] ^
          t[3][(b >> 24) & 0xFF] ^ t[2][(b >> 16) & 0xFF] ^ t[1][(b >> 8) & 0xFF] ^ t[0][b & 0xFF];
    p += 16;
    count -= 16;
  }
  if (count >= 8) {
    reg ^= loadBigEndian64(p);
    reg = t[7][reg >> 56] ^ t[6][(reg >> 48) & 0xFF] ^ t[5][(reg >> 40) & 0xFF] ^ t[4][(reg >> 32) & 0xFF] ^
          t[3][(reg >> 24) & 0xFF] ^ t[2][(reg >> 16) & 0xFF] ^ t[1][(reg >> 8) & 0xFF] ^ t[0][reg & 0xFF];
    p += 8;
    count -= 8;
  }
  return Crc64::updateBytewise(reg, p, count);
}

uint64_t CalcCRC64Buffer(const void *data, size_t length) {
  if (length == 0) return 0;
  return CRC64Final(CRC64Update(CRC64Init(), data, length));
}

uint64_t CalcCRC64Bytes(const QByteArray &bytes) { return CalcCRC64Buffer(bytes.constData(), size_t(bytes.size())); }

uint64_t CalcCRC64HexaString(const QString &hexa) { return CalcCRC64Bytes(HexaStringToBytes(hexa)); }

std::optional<uint64_t> TryCalcCRC64File(const QString &fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  // Chunked reads keep memory flat for large images.
  static constexpr qint64 kChunk = 1 << 16;
  QByteArray buf(kChunk, Qt::Uninitialized);
  uint64_t reg = CRC64Init();
  qint64 total = 0;
  for (;;) {
    const qint64 n = f.read(buf.data(), kChunk);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    reg = CRC64Update(reg, buf.constData(), size_t(n));
    total += n;
  }
  return total == 0 ? 0 : CRC64Final(reg);
}

uint64_t CalcCRC64File(const QString &fileName) {
  auto v = TryCalcCRC64File(fileName);
  if (!v) throw VentraError(QStringLiteral("Arquivo não encontrado: ") + fileName);
  return *v;
}

bool TMemoryStreamCrc::loadFromFile(const QString &fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return false;
  data_ = f.readAll();
  pos_ = 0;
  return true;
}

uint64_t TMemoryStreamCrc::CalcCRC64() const { return CalcCRC64Bytes(data_); }

QString TMemoryStreamCrc::HexaStringOf(qint64 startIndex, qint64 count) const {
  if (startIndex < 0 || count <= 0 || startIndex >= data_.size()) return {};
  const qint64 end = std::min<qint64>(startIndex + count, data_.size());
  return TClassBufferHelper::BytesToHexStr(data_.mid(startIndex, end - startIndex));
}

QString TMemoryStreamCrc::HexaStringOf(qint64 count) {
  if (count < 0 || pos_ + count > data_.size()) throw VentraError(QStringLiteral("Erro ao ler bytes"));
  QString s = TClassBufferHelper::BytesToHexStr(data_.mid(pos_, count));
  pos_ += count;
  return s;
}

QStringList TMemoryStreamCrc::GetPacotesHexaString(qint64 maxSize) const {
  QStringList out;
  if (maxSize <= 0) return out;
  for (qint64 i = 0; i < data_.size(); i += maxSize) out << HexaStringOf(i, maxSize);
  return out;
}

QByteArray TClassBufferHelper::ReverseBytes(const QByteArray &buf) {
  QByteArray r(buf.size(), Qt::Uninitialized);
  std::reverse_copy(buf.cbegin(), buf.cend(), r.begin());
  return r;
}

QString TClassBufferHelper::BytesToHexStr(const QByteArray &bytes) {
  return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray TClassBufferHelper::ConcatBuffer(const QByteArray &a, const QByteArray &b) { return a + b; }

namespace {
int hexDigit(QChar c) {
  const ushort u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}
}  // namespace

QString HexToText(const QString &text) {
  QString out;
  out.reserve(text.size() / 2);
  for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
    const int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) continue;
    out.append(QChar(hi * 16 + lo));
  }
  return out;
}

QByteArray HexaStringToBytes(const QString &hexa) {
  QByteArray out;
  out.reserve(hexa.size() / 3 + 1);
  int pending = -1;
  for (QChar c : hexa) {
    const int d = hexDigit(c);
    if (d < 0) {
      pending = -1;
      continue;
    }
    if (pending < 0) {
      pending = d;
    } else {
      out.append(char(pending * 16 + d));
      pending = -1;
    }
  }
  return out;
}
