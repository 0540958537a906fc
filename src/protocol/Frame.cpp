#include "protocol/Frame.h"

#include <array>
#include <cstring>

#include "app/VentraError.h"
#include "protocol/FrameLayout.h"

using namespace FrameLayout;

namespace {

void appendLE(QByteArray &f, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) f.append(char((v >> (8 * i)) & 0xFF));
}

void appendName(QByteArray &f, const QString &name) {
  f.append(name.toLatin1());
  f.append('\0');
}

uint64_t readBE(const uint8_t *p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

QString bcdText(uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

void TFrame::setSerie(uint32_t value) {
  if (value == 0 || value > 800000)
    throw VentraError(QStringLiteral("Número de série inválido: ") + QString::number(value));
  serie_ = value;
}

void TFrame::setFrameSize(int size) { Frame = QByteArray(std::max(size, 0), '\0'); }

bool TFrame::Build() {
  Ack = false;
  overflowed_ = false;
  QByteArray f;
  f.append('\0');
  f.append(char(cmd));
  bool known = true;
  switch (cmd) {
    case Cmd::SerialNumber:
    case Cmd::Identification:
    case Cmd::Presence:
      break;
    case Cmd::SetClock:
      for (int i = 0; i + 1 < Dados.size() && i < 12; i += 2) f.append(char(Dados.mid(i, 2).toUInt(nullptr, 16)));
      break;
    case Cmd::SubCommand:
      f.append(char(SubComandoAF));
      break;
    case Cmd::WriteFile:
      appendLE(f, Folder, 2);
      appendLE(f, FileSize, 4);
      appendName(f, FileName);
      break;
    case Cmd::FileCrc:
      appendLE(f, Folder, 2);
      appendName(f, FileName);
      CRC = 0;
      break;
    case Cmd::SetLanguage:
      f.append(char(Idioma));
      break;
    case Cmd::DeleteFile:
    case Cmd::FileSize:
      appendLE(f, Folder, 2);
      appendName(f, FileName);
      break;
    case Cmd::ReadBlock:
      appendLE(f, PosInicialFile, 4);
      appendLE(f, FileSize, 4);
      appendName(f, FileName);
      break;
    default:
      known = false;
      break;
  }
  if (size_t(f.size()) - 1 > kMaxLen) {
    // A name this long cannot be framed; never hand out a truncated request.
    overflowed_ = true;
    Frame.clear();
    return false;
  }
  f[0] = char(f.size() - 1);
  Frame = f;
  Cks();
  return known;
}

void TFrame::Cks() {
  const uint16_t c = checksum(reinterpret_cast<const uint8_t *>(Frame.constData()), size_t(Frame.size()));
  Frame.append(char(c >> 8));
  Frame.append(char(c & 0xFF));
}

bool TFrame::Parse() { return Parse(Frame, int(Frame.size())); }

bool TFrame::Parse(const QByteArray &buf, int size) {
  size = std::clamp(size, 0, int(buf.size()));
  return Parse(reinterpret_cast<const uint8_t *>(buf.constData()), size_t(size));
}

bool TFrame::Parse(const uint8_t *buf, size_t size) {
  ParseError = 0;
  // A zero-filled work area bounds every read below, whatever LEN says.
  std::array<uint8_t, 261> w{};
  if (buf && size) std::memcpy(w.data(), buf, std::min(size, w.size()));
  const size_t len = w[0];
  const uint16_t expected = checksum(w.data(), len + 1);
  if (w[len + 1] != (expected >> 8) || w[len + 2] != (expected & 0xFF)) {
    ParseError = kChecksumMismatch;
    if (ValidaFrame) return false;
  }
  cmd = w[1];
  Ack = false;
  switch (cmd) {
    case Cmd::Ack:
      Ack = true;
      cmd = w[2];
      break;
    case Cmd::SerialNumber:
      serie_ = uint32_t(readBE(&w[2], 4));
      break;
    case Cmd::Identification: {
      VersaoFirmware = uint16_t(readBE(&w[Id72::Firmware], 2));
      TipoEquipamento = w[Id72::Type];
      ServicePack = uint16_t(readBE(&w[Id72::ServicePack], 2));
      Idioma = w[Id72::Language];
      FSIntegrity = VersaoFirmware > Id72::FsCheckedFromFirmware ? w[Id72::FileSystem] == 1 : true;
      Empresa = w[Id72::Company];
      uint64_t uuid = 0;
      for (int i = 7; i >= 0; --i) uuid = (uuid << 8) | w[Id72::Uuid + size_t(i)];
      UUID = uuid;
      if (TipoEquipamento >= 8 && TipoEquipamento <= 15) {
        const size_t d = Id72::UpdateDate, c = Id72::Clock;
        DataUltAtualizacao = bcdText(w[d + 2]) + "/" + bcdText(w[d + 1]) + "/" + bcdText(w[d]);
        DataHoraV4 = bcdText(w[c + 2]) + "/" + bcdText(w[c + 1]) + "/" + bcdText(w[c]) + " " + bcdText(w[c + 3]) +
                     ":" + bcdText(w[c + 4]) + ":" + bcdText(w[c + 5]);
      }
      break;
    }
    case Cmd::SubCommand:
      if (w[2] == SubCmd::ExtendedIdentification) {
        ServicePack = uint16_t(readBE(&w[3], 2));
        VersaoSW = w[5];
      }
      break;
    case Cmd::FileCrc:
      CRC = readBE(&w[2], 8);
      break;
    case Cmd::FileSize:
      FileSizeToRead = uint32_t(w[2]) | uint32_t(w[3]) << 8 | uint32_t(w[4]) << 16 | uint32_t(w[5]) << 24;
      break;
    default:
      break;
  }
  return true;
}

QString TFrame::VersaoFirmwareS() const {
  return QStringLiteral("%1%2").arg(VersaoFirmware >> 8, 2, 10, QLatin1Char('0')).arg(VersaoFirmware & 0xFF, 2, 10,
                                                                                       QLatin1Char('0'));
}

QString TFrame::FrameToString() const { return QString::fromLatin1(Frame); }

QString TFrame::FrameToHex() const {
  if (Frame.isEmpty()) return {};
  const int n = std::min<int>(uint8_t(Frame[0]) + 3, int(Frame.size()));
  QString out;
  out.reserve(n * 3);
  for (int i = 0; i < n; ++i) out += QStringLiteral("%1 ").arg(uint8_t(Frame[i]), 2, 16, QLatin1Char('0')).toUpper();
  return out;
}
