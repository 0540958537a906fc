#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <mutex>

#include "protocol/EquipmentType.h"

// Codec of the device frame: holds the next request's parameters, builds the request into Frame,
// and verifies and decodes a reply into the typed fields below.
class TFrame {
 public:
  // Request parameters and decoded reply fields (names as the rest of the program uses them).
  uint8_t cmd = 0;
  QString Dados;           // clock command: twelve hex digits YYMMDDhhmmss
  QString FileName;        // sent as 8-bit characters plus a zero byte
  uint16_t Folder = 0;
  uint32_t FileSize = 0;   // 0xB0: size being written; 0xBF: block length
  uint32_t PosInicialFile = 0;
  uint32_t FileSizeToRead = 0;
  uint64_t CRC = 0;
  uint16_t VersaoFirmware = 0;
  uint16_t ServicePack = 0;
  uint16_t VersaoSW = 0;
  int TipoEquipamento = 0;
  uint8_t Idioma = 0;
  bool FSIntegrity = false;
  uint64_t UUID = 0;
  int Empresa = 0;
  QString DataUltAtualizacao;  // DD/MM/YY
  QString DataHoraV4;          // DD/MM/YY hh:mm:ss
  int SubComandoAF = 0;
  bool Ack = false;
  int ParseError = 0;          // 1000 after a checksum mismatch
  bool ValidaFrame = false;
  QByteArray Frame;

  static constexpr int kChecksumMismatch = 1000;

  uint32_t Serie() const { return serie_; }
  // Throws VentraError "Número de série inválido: <n>" for 0 or values above 800000.
  void setSerie(uint32_t value);

  int FrameSize() const { return int(Frame.size()); }
  void setFrameSize(int size);  // Frame := size zero bytes

  // True for the commands of the request table. Other commands still get a complete data-less
  // frame (0x76). A request whose data would not fit LEN returns false with Frame empty.
  bool Build();
  bool BuildOverflowed() const { return overflowed_; }
  bool Parse();
  bool Parse(const QByteArray &buf, int size);
  bool Parse(const uint8_t *buf, size_t size);
  void Cks();
  void StringToFrame(const QByteArray &raw) { Frame = raw; }

  QString VersaoFirmwareS() const;
  TType_Equipamento TipoEquipamentoEnum() const { return TipoEquipamentoFromCode(TipoEquipamento); }
  QString TipoEquipamentoStr() const { return ::TipoEquipamentoStr(TipoEquipamentoEnum()); }
  QString FrameToString() const;
  QString FrameToHex() const;

  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  uint32_t serie_ = 0;
  bool overflowed_ = false;
  std::mutex mutex_;
};
