#pragma once
#include <cstddef>
#include <cstdint>

// Wire layout of the device frame, shared by the codec, the simulator and the tests:
// [LEN][cmd][data...][cks hi][cks lo], LEN = 1 + data length, cks = (0x10000 - sum) mod 0x10000.
namespace FrameLayout {

constexpr size_t kMaxLen = 255;
constexpr size_t kMaxFrame = kMaxLen + 3;  // 258
constexpr size_t kMaxData = kMaxLen - 1;   // 254
constexpr size_t kReplyBuffer = 260;       // what callers size a receive buffer to

namespace Cmd {
constexpr uint8_t Ack = 0x55;
constexpr uint8_t SerialNumber = 0x69;
constexpr uint8_t Identification = 0x72;
constexpr uint8_t Reset = 0x76;
constexpr uint8_t SetClock = 0x77;
constexpr uint8_t Presence = 0x80;
constexpr uint8_t SubCommand = 0xAF;
constexpr uint8_t WriteFile = 0xB0;
constexpr uint8_t FileCrc = 0xB2;
constexpr uint8_t SetLanguage = 0xBB;
constexpr uint8_t DeleteFile = 0xBD;
constexpr uint8_t ReadBlock = 0xBF;
constexpr uint8_t FileSize = 0xC0;
}  // namespace Cmd

namespace SubCmd {
constexpr uint8_t ExtendedIdentification = 0x72;  // Checkline's service pack and software version
constexpr uint8_t FirmwareWritten = 0x01;         // Checkline: image written and verified
}  // namespace SubCmd

// Identification record (reply 0x72): byte offsets from the frame start.
namespace Id72 {
constexpr size_t Firmware = 2;      // 2 bytes, big-endian
constexpr size_t Type = 4;
constexpr size_t ServicePack = 5;   // 2 bytes, big-endian
constexpr size_t Language = 7;
constexpr size_t FileSystem = 8;
constexpr size_t Company = 9;
constexpr size_t Uuid = 10;         // 8 bytes, least significant first
constexpr size_t UpdateDate = 18;   // BCD year, month, day
constexpr size_t Status = 21;
constexpr size_t Clock = 22;        // BCD year, month, day, hour, minute, second
constexpr size_t DataLen = 26;      // data bytes after the command (offsets 2..27)
constexpr uint16_t FsCheckedFromFirmware = 0x010F;  // FS byte meaningful above this word
}  // namespace Id72

// Checksum of len bytes: 16-bit two's complement of their sum.
constexpr uint16_t checksum(const uint8_t *p, size_t len) {
  uint32_t sum = 0;
  for (size_t i = 0; i < len; ++i) sum += p[i];
  return uint16_t((0x10000u - (sum & 0xFFFFu)) & 0xFFFFu);
}

}  // namespace FrameLayout
