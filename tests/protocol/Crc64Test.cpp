#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>

#include "app/VentraError.h"
#include "protocol/Crc64.h"

// Check values: the CRC-64/WE entry of the reveng catalogue of parametrised CRC algorithms.
TEST(Crc64, KnownAnswers) {
  EXPECT_EQ(CalcCRC64Bytes("123456789"), 0x62EC59E3F1A4F00AULL);
  EXPECT_EQ(CalcCRC64Bytes("abc"), 0x048B813AF9F49702ULL);
  EXPECT_EQ(QString::number(CalcCRC64Bytes("abc")), "327497488216135426");
  EXPECT_EQ(CalcCRC64Bytes(QByteArray()), 0u);
  EXPECT_EQ(CalcCRC64Buffer(nullptr, 0), 0u);
  EXPECT_EQ(Crc64::table()[1], 0x42F0E1EBA9EA3693ULL);
  EXPECT_EQ(Crc64::table()[128], 0xF6FAE5C07D3274CDULL);
}

TEST(Crc64, AllFormsAgreeWithTheBytewiseReference) {
  std::mt19937 rng(7);
  QTemporaryDir dir;
  for (int len : {1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 4095, 4096, 70001, 200003}) {
    QByteArray data(len, Qt::Uninitialized);
    for (auto &c : data) c = char(rng());
    const uint64_t ref = ~Crc64::updateBytewise(~0ULL, data.constData(), size_t(len));

    EXPECT_EQ(CalcCRC64Bytes(data), ref) << len;
    EXPECT_EQ(CalcCRC64Buffer(data.constData(), size_t(len)), ref) << len;
    EXPECT_EQ(CalcCRC64HexaString(TClassBufferHelper::BytesToHexStr(data)), ref) << len;
    EXPECT_EQ(TMemoryStreamCrc(data).CalcCRC64(), ref) << len;

    // Incremental, fed in uneven pieces.
    uint64_t reg = CRC64Init();
    for (int at = 0; at < len;) {
      const int piece = std::min(len - at, 1 + int(rng() % 1000));
      reg = CRC64Update(reg, data.constData() + at, size_t(piece));
      at += piece;
    }
    EXPECT_EQ(CRC64Final(reg), ref) << len;

    const QString path = dir.filePath(QString::number(len));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    EXPECT_EQ(CalcCRC64File(path), ref) << len;
  }
}

TEST(Crc64, FileForms) {
  QTemporaryDir dir;
  const QString empty = dir.filePath("empty");
  QFile(empty).open(QIODevice::WriteOnly);
  EXPECT_EQ(CalcCRC64File(empty), 0u);
  EXPECT_FALSE(TryCalcCRC64File(dir.filePath("missing")).has_value());
  try {
    CalcCRC64File(dir.filePath("missing"));
    FAIL();
  } catch (const VentraError &e) {
    EXPECT_TRUE(e.text().startsWith(QString::fromUtf8("Arquivo não encontrado: ")));
  }
}

TEST(BufferHelpers, Table) {
  EXPECT_EQ(TClassBufferHelper::ReverseBytes(QByteArray()), QByteArray());
  EXPECT_EQ(TClassBufferHelper::ReverseBytes(QByteArray("\x01\x02\x03", 3)), QByteArray("\x03\x02\x01", 3));
  EXPECT_EQ(TClassBufferHelper::BytesToHexStr(QByteArray("\x0A", 1)), "0A");
  EXPECT_EQ(TClassBufferHelper::BytesToHexStr(QByteArray("\x0A\xFF\x01", 3)), "0A FF 01");
  EXPECT_EQ(TClassBufferHelper::ConcatBuffer("ab", "cd"), QByteArray("abcd"));
  EXPECT_EQ(HexToText("414243"), "ABC");
  EXPECT_EQ(HexToText("414"), "A");
  EXPECT_EQ(HexToText(""), "");
  EXPECT_EQ(HexaStringToBytes("0A FF 01"), QByteArray("\x0A\xFF\x01", 3));
}

TEST(BufferHelpers, StreamHexViews) {
  TMemoryStreamCrc s(QByteArray("\x01\x02\x03\x04\x05", 5));
  EXPECT_EQ(s.HexaStringOf(3, 10), "04 05") << "end clamped to the last byte";
  EXPECT_EQ(s.HexaStringOf(2), "01 02");
  EXPECT_EQ(s.HexaStringOf(3), "03 04 05");
  EXPECT_THROW(s.HexaStringOf(1), VentraError);
  EXPECT_EQ(s.GetPacotesHexaString(2), QStringList({"01 02", "03 04", "05"}));
}
