#include <gtest/gtest.h>

#include <random>

#include "app/VentraError.h"
#include "protocol/Frame.h"
#include "protocol/FrameLayout.h"

namespace {
QByteArray hex(const char *s) { return QByteArray::fromHex(QByteArray(s).replace(' ', "")); }

QByteArray withChecksum(QByteArray body) {
  const uint16_t c = FrameLayout::checksum(reinterpret_cast<const uint8_t *>(body.constData()), size_t(body.size()));
  body.append(char(c >> 8));
  body.append(char(c & 0xFF));
  return body;
}

// Identification reply: firmware word, type, service pack, language, fs byte, company, uuid, dates.
QByteArray id72(uint16_t fw, uint8_t type, uint16_t sp, uint8_t lang, uint8_t fs) {
  QByteArray b;
  b.append(char(27)).append(char(0x72));
  b.append(char(fw >> 8)).append(char(fw & 0xFF)).append(char(type));
  b.append(char(sp >> 8)).append(char(sp & 0xFF)).append(char(lang)).append(char(fs)).append(char(7));
  b.append(hex("88 77 66 55 44 33 22 11"));   // uuid, least significant first
  b.append(hex("26 03 15"));                  // last update 15/03/26
  b.append(char(0));                          // status
  b.append(hex("26 12 11 09 05 07"));         // clock 11/12/26 09:05:07
  return withChecksum(b);
}
}  // namespace

// Request vectors from the protocol's own examples.
struct RequestCase {
  const char *name;
  uint8_t cmd;
  const char *fileName;
  uint32_t pos, size;
  bool known;
  const char *bytes;
};
void PrintTo(const RequestCase &c, std::ostream *os) { *os << c.name; }

class FrameRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(FrameRequests, BuildsExactBytes) {
  const auto &c = GetParam();
  TFrame f;
  f.cmd = c.cmd;
  f.FileName = QString::fromLatin1(c.fileName);
  f.PosInicialFile = c.pos;
  f.FileSize = c.size;
  EXPECT_EQ(f.Build(), c.known);
  EXPECT_EQ(f.Frame.toHex(' ').toUpper(), QByteArray(c.bytes));
  EXPECT_FALSE(f.Ack);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FrameRequests,
    ::testing::Values(
        RequestCase{"identification", 0x72, "", 0, 0, true, "01 72 FF 8D"},
        RequestCase{"serial", 0x69, "", 0, 0, true, "01 69 FF 96"},
        RequestCase{"presence", 0x80, "", 0, 0, true, "01 80 FF 7F"},
        RequestCase{"reset_is_unknown_but_complete", 0x76, "", 0, 0, false, "01 76 FF 89"},
        RequestCase{"size", 0xC0, "M001.MNU", 0, 0, true, "0C C0 00 00 4D 30 30 31 2E 4D 4E 55 00 FD 38"},
        RequestCase{"block", 0xBF, "M001.MNU", 4096, 4096, true,
                    "12 BF 00 10 00 00 00 10 00 00 4D 30 30 31 2E 4D 4E 55 00 FD 13"},
        RequestCase{"write_header_300", 0xB0, "A.BIN", 0, 300, true,
                    "0D B0 00 00 2C 01 00 00 41 2E 42 49 4E 00 FD CE"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Frame, RequestsWithParameters) {
  TFrame f;
  f.cmd = 0x77;
  f.Dados = "261211090507";
  EXPECT_TRUE(f.Build());
  EXPECT_EQ(f.Frame.left(8), hex("07 77 26 12 11 09 05 07"));

  f.cmd = 0xAF;
  f.SubComandoAF = 0x72;
  EXPECT_TRUE(f.Build());
  EXPECT_EQ(f.Frame.left(3), hex("02 AF 72"));

  f.cmd = 0xBB;
  f.Idioma = 2;
  EXPECT_TRUE(f.Build());
  EXPECT_EQ(f.Frame.left(3), hex("02 BB 02"));

  f.cmd = 0xB2;
  f.FileName = "X";
  f.CRC = 99;
  EXPECT_TRUE(f.Build());
  EXPECT_EQ(f.CRC, 0u) << "a CRC request clears the previous answer";
  EXPECT_EQ(f.Frame.left(6), hex("05 B2 00 00 58 00"));
}

TEST(Frame, EveryBuiltFrameSumsToZero) {
  TFrame f;
  for (uint8_t cmd : {0x69, 0x72, 0x77, 0x80, 0xAF, 0xB0, 0xB2, 0xBB, 0xBD, 0xBF, 0xC0}) {
    f.cmd = cmd;
    f.FileName = "LOG_MODE.LOG";
    f.Dados = "010203040506";
    f.Build();
    ASSERT_EQ(int(uint8_t(f.Frame[0])) + 3, f.FrameSize());
    uint32_t sum = 0;
    for (int i = 0; i < f.FrameSize() - 2; ++i) sum += uint8_t(f.Frame[i]);
    sum += (uint8_t(f.Frame[f.FrameSize() - 2]) << 8) | uint8_t(f.Frame[f.FrameSize() - 1]);
    EXPECT_EQ(sum & 0xFFFF, 0u) << std::hex << int(cmd);
  }
}

TEST(Frame, NameTooLongForLenIsRefusedWithoutHalfFrame) {
  TFrame f;
  f.cmd = 0xBF;  // 8 fixed bytes + name + zero must fit 254 data bytes
  f.FileName = QString(245, 'A');
  EXPECT_TRUE(f.Build()) << "245 characters still fit";
  EXPECT_EQ(uint8_t(f.Frame[0]), 255);
  f.FileName = QString(246, 'A');
  EXPECT_FALSE(f.Build());
  EXPECT_TRUE(f.BuildOverflowed());
  EXPECT_TRUE(f.Frame.isEmpty());
  f.cmd = 0xC0;
  f.FileName = QString(1000, 'B');
  EXPECT_FALSE(f.Build());
  EXPECT_TRUE(f.Frame.isEmpty());
}

TEST(Frame, ParsesAcknowledgementsAndSimpleReplies) {
  TFrame f;
  EXPECT_TRUE(f.Parse(hex("02 55 BD FE EC"), 5));
  EXPECT_TRUE(f.Ack);
  EXPECT_EQ(f.cmd, 0xBD);
  EXPECT_EQ(f.ParseError, 0);

  EXPECT_TRUE(f.Parse(hex("02 55 80 FF 29"), 5));
  EXPECT_EQ(f.cmd, 0x80);

  ASSERT_TRUE(f.Parse(withChecksum(hex("05 69 00 07 D0 E1")), 7));
  EXPECT_EQ(f.Serie(), 512225u);
  EXPECT_FALSE(f.Ack);

  ASSERT_TRUE(f.Parse(withChecksum(hex("05 C0 2C 01 00 00")), 7));
  EXPECT_EQ(f.FileSizeToRead, 300u) << "file sizes are little-endian";

  ASSERT_TRUE(f.Parse(withChecksum(hex("09 B2 04 8B 81 3A F9 F4 97 02")), 11));
  EXPECT_EQ(f.CRC, 0x048B813AF9F49702ULL) << "CRCs are big-endian";

  ASSERT_TRUE(f.Parse(withChecksum(hex("05 AF 72 00 2A 66")), 7));
  EXPECT_EQ(f.ServicePack, 42);
  EXPECT_EQ(f.VersaoSW, 102);
}

TEST(Frame, ParsesIdentificationRecord) {
  TFrame f;
  ASSERT_TRUE(f.Parse(id72(0x0512, 10, 40, 2, 1), 30));
  EXPECT_EQ(f.VersaoFirmware, 0x0512);
  EXPECT_EQ(f.VersaoFirmwareS(), "0518");
  EXPECT_EQ(f.TipoEquipamento, 10);
  EXPECT_EQ(f.TipoEquipamentoEnum(), TType_Equipamento::VentraV5);
  EXPECT_EQ(f.TipoEquipamentoStr(), "Ventra V5");
  EXPECT_EQ(f.ServicePack, 40);
  EXPECT_EQ(f.Idioma, 2);
  EXPECT_TRUE(f.FSIntegrity);
  EXPECT_EQ(f.Empresa, 7);
  EXPECT_EQ(f.UUID, 0x1122334455667788ULL);
  EXPECT_EQ(f.DataUltAtualizacao, "15/03/26");
  EXPECT_EQ(f.DataHoraV4, "11/12/26 09:05:07");
}

TEST(Frame, FileSystemByteCountsOnlyAboveFirmware010F) {
  struct {
    uint16_t fw;
    uint8_t fs;
    bool sound;
  } cases[] = {{0x010F, 0, true}, {0x0110, 0, false}, {0x0110, 1, true}, {0x0512, 2, false}};
  for (const auto &c : cases) {
    TFrame f;
    f.Parse(id72(c.fw, 8, 1, 0, c.fs), 30);
    EXPECT_EQ(f.FSIntegrity, c.sound) << std::hex << c.fw << " fs=" << int(c.fs);
  }
}

TEST(Frame, DatesOnlyForTypes8To15) {
  TFrame f;
  f.DataUltAtualizacao = "previous";
  f.DataHoraV4 = "previous";
  f.Parse(id72(0x0512, 3, 1, 0, 1), 30);
  EXPECT_EQ(f.DataUltAtualizacao, "previous");
  EXPECT_EQ(f.DataHoraV4, "previous");
  f.Parse(id72(0x0512, 15, 1, 0, 1), 30);
  EXPECT_EQ(f.DataUltAtualizacao, "15/03/26");
}

TEST(Frame, ChecksumMismatchDependsOnValidaFrame) {
  QByteArray bad = withChecksum(hex("05 69 00 07 D0 E1"));
  bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x01);
  TFrame f;
  EXPECT_TRUE(f.Parse(bad, int(bad.size())));
  EXPECT_EQ(f.ParseError, TFrame::kChecksumMismatch);
  EXPECT_EQ(f.Serie(), 512225u) << "decoded anyway while ValidaFrame is false";

  TFrame strict;
  strict.ValidaFrame = true;
  strict.cmd = 0x11;
  EXPECT_FALSE(strict.Parse(bad, int(bad.size())));
  EXPECT_EQ(strict.ParseError, TFrame::kChecksumMismatch);
  EXPECT_EQ(strict.cmd, 0x11);
  EXPECT_EQ(strict.Serie(), 0u);
}

TEST(Frame, AllZeroBufferIsAnEmptyFrameThatChangesNothing) {
  TFrame f;
  f.Parse(withChecksum(hex("05 C0 2C 01 00 00")), 7);
  f.setFrameSize(260);
  EXPECT_EQ(f.FrameSize(), 260);
  EXPECT_EQ(f.Frame.count('\0'), 260);
  EXPECT_TRUE(f.Parse());
  EXPECT_EQ(f.cmd, 0);
  EXPECT_EQ(f.ParseError, 0);
  EXPECT_EQ(f.FileSizeToRead, 300u);
}

TEST(Frame, SerieSetterAndTypeMapping) {
  TFrame f;
  EXPECT_THROW(f.setSerie(0), VentraError);
  try {
    f.setSerie(800001);
    FAIL();
  } catch (const VentraError &e) {
    EXPECT_EQ(e.text(), QString::fromUtf8("Número de série inválido: 800001"));
  }
  f.setSerie(800000);
  EXPECT_EQ(f.Serie(), 800000u);
  for (int code : {0, 1, 16, 255}) {
    f.TipoEquipamento = code;
    EXPECT_EQ(f.TipoEquipamentoEnum(), TType_Equipamento::VersaoDesc) << code;
  }
  f.TipoEquipamento = 2;
  EXPECT_EQ(f.TipoEquipamentoEnum(), TType_Equipamento::Checkline);
}

TEST(Frame, HexAndStringViews) {
  TFrame f;
  f.cmd = 0x72;
  f.Build();
  EXPECT_EQ(f.FrameToHex(), "01 72 FF 8D ");
  f.Frame = hex("01 72 FF 8D 00 00");
  EXPECT_EQ(f.FrameToHex(), "01 72 FF 8D ") << "LEN + 3 bytes only";
  f.Frame = hex("09 72");
  EXPECT_EQ(f.FrameToHex(), "09 72 ") << "never past the array";
  f.StringToFrame("AB");
  EXPECT_EQ(f.FrameToString(), "AB");
}

// Whatever the bytes claim, Parse stays inside the buffer it was given (run under ASan).
TEST(Frame, ParseNeverReadsPastTheBuffer) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 300);
  TFrame f;
  for (int i = 0; i < 20000; ++i) {
    const size_t n = size_t(length(rng));
    std::vector<uint8_t> heap(n);  // exact-size heap block: any overread trips the sanitizer
    for (auto &b : heap) b = uint8_t(byte(rng));
    if (n > 1 && i % 3 == 0) heap[1] = std::array<uint8_t, 6>{0x72, 0x55, 0xAF, 0xB2, 0xC0, 0x69}[i % 6];
    f.ValidaFrame = (i % 2) == 0;
    f.Parse(heap.data(), heap.size());
    QByteArray qa(reinterpret_cast<const char *>(heap.data()), qsizetype(n));
    f.Parse(qa, int(n) + 50);  // a size larger than the buffer is clamped
  }
  // Truncated real replies.
  const QByteArray full = id72(0x0512, 10, 40, 2, 1);
  for (int cut = 0; cut <= full.size(); ++cut) {
    std::vector<uint8_t> heap(full.begin(), full.begin() + cut);
    f.Parse(heap.data(), heap.size());
  }
  SUCCEED();
}
