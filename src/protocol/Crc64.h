#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <optional>

// CRC-64/WE: ECMA-182 polynomial, MSB first, init and final XOR all ones.
namespace Crc64 {
constexpr uint64_t kPoly = 0x42F0E1EBA9EA3693ULL;
// The 256-entry table of the plain byte-at-a-time method (entry i = i << 56 shifted through 8 times).
const uint64_t *table();
// Byte-at-a-time reference over the same table; kept for tests and the benchmark.
uint64_t updateBytewise(uint64_t reg, const void *data, size_t len);
}  // namespace Crc64

uint64_t CRC64Init();
uint64_t CRC64Update(uint64_t reg, const void *data, size_t count);
uint64_t CRC64Final(uint64_t reg);

uint64_t CalcCRC64Buffer(const void *data, size_t length);
uint64_t CalcCRC64Bytes(const QByteArray &bytes);
uint64_t CalcCRC64HexaString(const QString &hexa);
// Throws VentraError "Arquivo não encontrado: " + name when the file cannot be read.
uint64_t CalcCRC64File(const QString &fileName);
// Same, without throwing.
std::optional<uint64_t> TryCalcCRC64File(const QString &fileName);

// Memory stream with CRC and hex helpers.
class TMemoryStreamCrc {
 public:
  TMemoryStreamCrc() = default;
  explicit TMemoryStreamCrc(QByteArray data) : data_(std::move(data)) {}
  QByteArray &data() { return data_; }
  const QByteArray &data() const { return data_; }
  qint64 position() const { return pos_; }
  void setPosition(qint64 p) { pos_ = p; }
  qint64 size() const { return data_.size(); }
  bool loadFromFile(const QString &fileName);

  uint64_t CalcCRC64() const;
  uint64_t Crc64() const { return CalcCRC64(); }
  QString HexaStringOf(qint64 startIndex, qint64 count) const;
  // Next count bytes from the position; throws VentraError "Erro ao ler bytes" when fewer remain.
  QString HexaStringOf(qint64 count);
  QStringList GetPacotesHexaString(qint64 maxSize) const;

 private:
  QByteArray data_;
  qint64 pos_ = 0;
};

class TClassBufferHelper {
 public:
  static QByteArray ReverseBytes(const QByteArray &buf);
  static QString BytesToHexStr(const QByteArray &bytes);
  static QByteArray ConcatBuffer(const QByteArray &a, const QByteArray &b);
};

// Pairs of hex digits to characters ("414243" -> "ABC"); a final unpaired digit is ignored.
QString HexToText(const QString &text);
// "0A FF 01" -> bytes; anything that is not a hex pair is skipped.
QByteArray HexaStringToBytes(const QString &hexa);
